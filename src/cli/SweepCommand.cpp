#include "cli/SweepCommand.h"

#include "application/FormStorage.h"
#include "application/LocalSubnets.h"
#include "application/PingSweep.h"
#include "application/RemoteActions.h"
#include "application/ResultWriter.h"
#include "application/SettingsStore.h"
#include "application/Workspace.h"
#include "base/Exception.h"
#include "ping/HostResolver.h"
#include "ping/LinuxEchoChannel.h"
#include "ping/Ping.h"
#include "probe/LinuxHostProber.h"
#include "resources/ResourceList.h"
#include "resources/SessionFile.h"

#include <QCoreApplication>
#include <QFileInfo>

#include <cstdio>

namespace cli {

namespace {

const QCommandLineOption kSweep(QStringLiteral("sweep"),
                                QStringLiteral("Ping every row of the session file FILE and print each as it "
                                               "completes; no window is opened."),
                                QStringLiteral("FILE"));
const QCommandLineOption kFormat(QStringLiteral("format"),
                                 QStringLiteral("How --sweep prints the rows: text (the default), csv, json "
                                                "(JSON Lines) or openmetrics (all rows at the end, for a "
                                                "Prometheus textfile collector)."),
                                 QStringLiteral("FORMAT"), QStringLiteral("text"));
const QCommandLineOption kParallel(QStringLiteral("parallel"),
                                   QStringLiteral("How many rows --sweep tests at once, 1 to 4096 (default: the "
                                                  "Settings dialog's \"Simultaneous pings\")."),
                                   QStringLiteral("N"));
const QCommandLineOption kProbePorts(QStringLiteral("probe-ports"),
                                     QStringLiteral("The TCP ports --sweep asks when a row's echo gets no answer "
                                                    "(comma-separated, 1 to 65535; empty: no probes; default: the "
                                                    "Settings dialog's \"Probe ports when ping fails\")."),
                                     QStringLiteral("LIST"));
const QCommandLineOption kTimeout(QStringLiteral("timeout"),
                                  QStringLiteral("How long --sweep waits for each answer, in milliseconds "
                                                 "(default: the Settings dialog's timeout)."),
                                  QStringLiteral("MS"));

QString programName() { return QCoreApplication::applicationName().toLower(); }

int fail(int status, const QString &message)
{
    std::fprintf(stderr, "%s: %s\n", qPrintable(programName()), qPrintable(message));
    return status;
}

void out(const QByteArray &bytes)
{
    if (bytes.isEmpty())
        return;
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout);
    std::fflush(stdout);
}

// A number option, checked as the Settings dialog checks it.
bool numberOption(const QCommandLineParser &parser, const QCommandLineOption &option, QString (*check)(qint64),
                  int &target, QString &problem)
{
    if (!parser.isSet(option))
        return true;
    bool ok = false;
    const qint64 value = parser.value(option).toLongLong(&ok);
    if (!ok) {
        problem =
            QStringLiteral("--%1 takes a whole number, not \"%2\"").arg(option.names().first(), parser.value(option));
        return false;
    }
    problem = check(value);
    if (!problem.isEmpty())
        return false;
    target = int(value);
    return true;
}

// The user's stored echo settings; the defaults where there are none or the
// file cannot be read (the window reports that, not the command line).
EchoSettings storedEchoSettings()
{
    EchoSettings settings;
    try {
        QStringList refused;
        readEchoSettings(IniSettingsStore(IniSettingsStore::defaultPath()).read(), settings, refused);
    } catch (const Exception &) {
    }
    return settings;
}

} // namespace

void describeOptions(QCommandLineParser &parser)
{
    parser.addOptions({kSweep, kFormat, kParallel, kTimeout, kProbePorts});
}

bool wanted(const QStringList &arguments)
{
    for (const QString &a : arguments.mid(1)) {
        if (a == QLatin1String("--"))
            break;
        if (a == QLatin1String("--sweep") || a.startsWith(QLatin1String("--sweep=")))
            return true;
    }
    return false;
}

int run(const QStringList &arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Pings the rows of a session file."));
    describeOptions(parser);
    if (!parser.parse(arguments))
        return fail(kUnusable, parser.errorText());
    if (!parser.positionalArguments().isEmpty())
        return fail(kUnusable, QStringLiteral("--sweep takes its file as its value, not \"%1\"")
                                   .arg(parser.positionalArguments().first()));
    const auto format = resultFormatFromName(parser.value(kFormat));
    if (!format)
        return fail(kUnusable, QStringLiteral("--format is one of %1, not \"%2\"")
                                   .arg(resultFormatNames().join(QStringLiteral(", ")), parser.value(kFormat)));
    EchoSettings settings = storedEchoSettings();
    QString problem;
    if (!numberOption(parser, kParallel, &EchoLimits::checkParallel, settings.parallel, problem)
        || !numberOption(parser, kTimeout, &EchoLimits::checkTimeout, settings.timeoutMs, problem))
        return fail(kUnusable, problem);
    if (parser.isSet(kProbePorts)) {
        const auto ports = EchoLimits::parseProbePorts(parser.value(kProbePorts), &problem);
        if (!ports)
            return fail(kUnusable, problem);
        settings.probePorts = *ports;
    }

    // The whole file, or nothing: a sweep of part of a damaged file would
    // pass for a sweep of the list.
    const QString path = parser.value(kSweep);
    std::optional<SessionFile::Loaded> loaded;
    try {
        loaded = SessionFile::read(path);
    } catch (const Exception &e) {
        return fail(kUnusable, e.message());
    }
    if (!loaded)
        return fail(kUnusable, QStringLiteral("Cannot open file %1, no such file or directory").arg(path));
    if (!loaded->complete()) {
        const QString why = loaded->error.isEmpty() ? loaded->notice : loaded->error;
        return fail(kUnusable, QStringLiteral("%1 is damaged: %2").arg(path, why));
    }

    SystemResolver resolver;
    LinuxEchoChannelFactory echo;
    Workspace workspace(Platform{resolver, echo, systemNeighborhood(), std::make_shared<NetworkTransport>(),
                                 localComputerName(), std::make_shared<LinuxHostProber>()});
    workspace.setEchoSettings(settings);
    if (!workspace.ping().available())
        fail(kSomeSilent, EchoUnavailableText(workspace.ping(), QCoreApplication::applicationFilePath()));
    // A session file keeps no ticks: every row is swept.
    for (ResourceRow &row : loaded->rows)
        row.checked = true;
    ResourceList &list = workspace.list();
    list.setRows(std::move(loaded->rows));

    ResultWriter writer(*format);
    out(writer.start());
    PingSweep &sweep = workspace.sweep();
    QObject::connect(&sweep, &PingSweep::rowFinished, &sweep,
                     [&](int row, const PingResult &) { out(writer.add(list.row(row))); });
    std::exception_ptr failure;
    QObject::connect(&sweep, &PingSweep::failed, &sweep, [&](std::exception_ptr e) { failure = e; });
    // The program's one event loop runs until the sweep is over.
    QObject::connect(&sweep, &PingSweep::finished, &sweep, [] { QCoreApplication::quit(); });
    sweep.start();
    if (sweep.running())
        QCoreApplication::exec();
    out(writer.finish());
    if (failure) {
        try {
            std::rethrow_exception(failure);
        } catch (const Exception &e) {
            return fail(kUnusable, e.message());
        } catch (const std::exception &e) {
            return fail(kUnusable, QString::fromLocal8Bit(e.what()));
        }
    }
    // A host that a probe proved up answered, if not the echo.
    for (const ResourceRow &row : list.rows())
        if (!row.result || !row.result->up())
            return kSomeSilent;
    return kAllAnswered;
}

} // namespace cli
