#include "application/LocalSubnets.h"
#include "application/RemoteActions.h"
#include "application/SettingsStore.h"
#include "application/Workspace.h"
#include "cli/CommandLine.h"
#include "gui/MainWindow.h"
#include "gui/RemotePrompts.h"
#include "gui/UserPrompts.h"
#include "ping/HostResolver.h"
#include "ping/LinuxEchoChannel.h"
#include "probe/LinuxHostProber.h"
#include "sysinfo/LocalNetwork.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFileInfo>
#include <QIcon>
#include <QString>
#include <QStringList>

#include <cstdio>
#include <cstring>

namespace {

void describeCommandLine(QCommandLineParser &parser)
{
    parser.setApplicationDescription(QStringLiteral("Keeps a list of workstations and pings them."));
    parser.addHelpOption();
    parser.addVersionOption();
    cli::describeOptions(parser);
    parser.addPositionalArgument(QStringLiteral("file"),
                                 QStringLiteral("A session file (*.lu) to open instead of the last one."),
                                 QStringLiteral("[file]"));
}

// --help and --version are answered on the terminal, where no window system
// may be reachable: they must not need one.
bool asksOnlyForText(int argc, char *argv[])
{
    for (int i = 1; i < argc && std::strcmp(argv[i], "--") != 0; ++i)
        for (const char *option : {"-h", "--help", "-?", "--help-all", "-v", "--version"})
            if (std::strcmp(argv[i], option) == 0)
                return true;
    return false;
}

QStringList argumentsOf(int argc, char *argv[])
{
    QStringList out;
    for (int i = 0; i < argc; ++i)
        out << QString::fromLocal8Bit(argv[i]);
    return out;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication::setOrganizationName(QStringLiteral("Korvell"));
    QCoreApplication::setApplicationName(QStringLiteral("Lumeo"));
    QCoreApplication::setApplicationVersion(QStringLiteral(LUMEO_VERSION));

    if (asksOnlyForText(argc, argv)) {
        QCoreApplication app(argc, argv);
        QCommandLineParser parser;
        describeCommandLine(parser);
        parser.process(app); // prints the text and ends the program
        return 0;
    }

    // The command-line front end needs no display.
    if (cli::wanted(argumentsOf(argc, argv))) {
        QCoreApplication app(argc, argv);
        return cli::run(app.arguments());
    }

    // Takes Qt's own options (-platform, -style...) off the command line.
    QApplication app(argc, argv);
    // The installed desktop entry and icon go by this name.
    QGuiApplication::setDesktopFileName(QStringLiteral("com.korvell.Lumeo"));
    QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral("com.korvell.Lumeo")));
    QCommandLineParser parser;
    describeCommandLine(parser);
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
