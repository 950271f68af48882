#include "gui/WindowProgram.h"

#include "application/LocalSubnets.h"
#include "application/RemoteActions.h"
#include "application/SettingsStore.h"
#include "application/Workspace.h"
#include "gui/MainWindow.h"
#include "gui/RemotePrompts.h"
#include "gui/UserPrompts.h"
#include "ping/HostResolver.h"
#include "ping/LinuxEchoChannel.h"
#include "probe/LinuxHostProber.h"
#include "sysinfo/LocalNetwork.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QFileInfo>
#include <QGuiApplication>
#include <QIcon>
#include <QString>
#include <QStringList>

#include <cstdio>

int runWindow(int &argc, char **argv, QCommandLineParser &parser)
{
    // Takes Qt's own options (-platform, -style...) off the command line.
    QApplication app(argc, argv);
    // The installed desktop entry and icon go by this name.
    QGuiApplication::setDesktopFileName(QStringLiteral("com.korvell.Lumeo"));
    QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral("com.korvell.Lumeo")));
    parser.process(app);
    const QStringList files = parser.positionalArguments();
    if (files.size() > 1) {
        std::fprintf(stderr, "%s: one session file at a time, not %lld\n",
                     qPrintable(QCoreApplication::applicationName().toLower()), static_cast<long long>(files.size()));
        return 1;
    }

    DialogPrompts prompts;
    DialogRemotePrompts remotePrompts;
    SystemNetworkSource network;
    SystemResolver resolver;
    LinuxEchoChannelFactory echo;
    IniSettingsStore settings(IniSettingsStore::defaultPath());
    Workspace workspace(Platform{resolver, echo, systemNeighborhood(), std::make_shared<NetworkTransport>(),
                                 localComputerName(), std::make_shared<LinuxHostProber>()});
    TfrmMain window(workspace, TfrmMainServices{prompts, remotePrompts, network, &settings});
    if (!files.isEmpty())
        window.setStartFile(QFileInfo(files.first()).absoluteFilePath());
    window.show();
    return app.exec();
}
