#include "app/MainWindow.h"
#include "app/UserPrompts.h"
#include "application/SettingsStore.h"
#include "ping/HostResolver.h"
#include "ping/LinuxEchoChannel.h"
#include "sysinfo/LocalNetwork.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Korvell"));
    QApplication::setApplicationName(QStringLiteral("Lumeo"));

    DialogPrompts prompts;
    SystemNetworkSource network;
    SystemResolver resolver;
    LinuxEchoChannelFactory echo;
    IniSettingsStore settings(IniSettingsStore::defaultPath());
    TfrmMain window(TfrmMainServices{prompts, network, resolver, echo});
    window.setSettingsStore(&settings);
    window.show();
    return app.exec();
}
