#include "cli/CommandLine.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QString>
#include <QStringList>

#include <cstring>

// The window's front end (defined in the widget library, gui/WindowProgram):
// declared here rather than included, so that the program's start needs no
// widget header and picks a front end without knowing either's insides.
int runWindow(int &argc, char **argv, QCommandLineParser &parser);

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

    QCommandLineParser parser;
    describeCommandLine(parser);
    return runWindow(argc, argv, parser);
}
