#include "app/MainWindow.h"
#include "app/UserPrompts.h"
#include "sysinfo/LocalNetwork.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Korvell"));
    QApplication::setApplicationName(QStringLiteral("Lumeo"));
    QApplication::setApplicationDisplayName(QStringLiteral("Lumeo"));

    DialogPrompts prompts;
    SystemNetworkSource network;
    TfrmMain window(prompts, network);
    window.show();
    return app.exec();
}
