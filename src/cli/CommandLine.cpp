#include "cli/CommandLine.h"

#include "application/FormStorage.h"
#include "application/LocalSubnets.h"
#include "application/RemoteActions.h"
#include "application/SettingsStore.h"
#include "base/AtomicFile.h"
#include "base/Exception.h"
#include "cli/Job.h"
#include "ping/Ping.h"
#include "probe/LinuxHostProber.h"
#include "resources/ResourceList.h"
#include "resources/SessionFile.h"

#include <QCommandLineOption>
#include <QCoreApplication>

#include <cstdio>

namespace cli {

namespace {

const QCommandLineOption kSweep(QStringLiteral("sweep"),
                                QStringLiteral("Ping every row of the session file FILE and print each as it "
                                               "completes; no window is opened."),
                                QStringLiteral("FILE"));
const QCommandLineOption kMonitor(QStringLiteral("monitor"),
                                  QStringLiteral("Ping every row of the session file FILE every --interval and "
                                                 "print each round as it completes, until interrupted (SIGINT or "
                                                 "SIGTERM end it after the round in flight); hosts going down or "
                                                 "coming back are told on standard error."),
                                  QStringLiteral("FILE"));
const QCommandLineOption kInterval(QStringLiteral("interval"),
                                   QStringLiteral("Seconds from the start of one --monitor round to the next, 1 to "
                                                  "3600 (default: the Settings dialog's \"Monitor every\"); a round "
                                                  "that takes longer is followed at once, never doubled."),
                                   QStringLiteral("S"));
const QCommandLineOption kFormat(QStringLiteral("format"),
                                 QStringLiteral("How the rows are printed: text (the default), csv, json "
                                                "(JSON Lines) or openmetrics (all rows at the end of each sweep, "
                                                "for a Prometheus textfile collector)."),
                                 QStringLiteral("FORMAT"), QStringLiteral("text"));
const QCommandLineOption kOutput(QStringLiteral("output"),
                                 QStringLiteral("With --format openmetrics: replace FILE atomically after each "
                                                "sweep instead of printing."),
                                 QStringLiteral("FILE"));
const QCommandLineOption kParallel(QStringLiteral("parallel"),
                                   QStringLiteral("How many rows are tested at once, 1 to 4096 (default: the "
                                                  "Settings dialog's \"Simultaneous pings\")."),
                                   QStringLiteral("N"));
const QCommandLineOption kProbePorts(QStringLiteral("probe-ports"),
                                     QStringLiteral("The TCP ports asked when a row's echo gets no answer "
                                                    "(comma-separated, 1 to 65535; empty: no probes; default: the "
                                                    "Settings dialog's \"Probe ports when ping fails\")."),
                                     QStringLiteral("LIST"));
const QCommandLineOption kTimeout(QStringLiteral("timeout"),
                                  QStringLiteral("How long each answer is awaited, in milliseconds "
                                                 "(default: the Settings dialog's timeout)."),
                                  QStringLiteral("MS"));

// The longest --interval: an hour, as the setting's.
constexpr qint64 kMaxIntervalSeconds = 3600;

QString programName() { return QCoreApplication::applicationName().toLower(); }

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

// A monitor from the command line may watch more closely than the window's
// setting allows: its rounds never overlap, so one second only means rounds
// back to back on a large list.
QString checkCommandLineInterval(qint64 seconds)
{
    if (seconds < 1 || seconds > kMaxIntervalSeconds)
        return QStringLiteral("--interval is a number of seconds from 1 to %1").arg(kMaxIntervalSeconds);
    return {};
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

Runtime::Runtime(Job &job)
    : m_workspace(Platform{m_resolver, m_echo, systemNeighborhood(), std::make_shared<NetworkTransport>(),
                           localComputerName(), std::make_shared<LinuxHostProber>()})
{
    m_workspace.setEchoSettings(job.settings);
    m_workspace.list().setRows(std::move(job.rows));
    job.rows.clear();
    if (!m_workspace.ping().available())
        fail(kSomeSilent, EchoUnavailableText(m_workspace.ping(), QCoreApplication::applicationFilePath()));
}

int failed(std::exception_ptr failure)
{
    try {
        std::rethrow_exception(failure);
    } catch (const Exception &e) {
        return fail(kUnusable, e.message());
    } catch (const std::exception &e) {
        return fail(kUnusable, QString::fromLocal8Bit(e.what()));
    }
}

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

bool publish(const Job &job, const QByteArray &exposition)
{
    if (job.output.isEmpty()) {
        out(exposition);
        return true;
    }
    if (const auto failure = replaceFileAtomically(job.output, exposition)) {
        fail(kSomeSilent, QStringLiteral("Cannot write %1, %2").arg(job.output, failure->cause()));
        return false;
    }
    return true;
}

void describeOptions(QCommandLineParser &parser)
{
    parser.addOptions({kSweep, kMonitor, kInterval, kFormat, kOutput, kParallel, kTimeout, kProbePorts});
}

bool wanted(const QStringList &arguments)
{
    for (const QString &a : arguments.mid(1)) {
        if (a == QLatin1String("--"))
            break;
        for (const QLatin1String option : {QLatin1String("--sweep"), QLatin1String("--monitor")})
            if (a == option || a.startsWith(option + QLatin1Char('=')))
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
    const bool watching = parser.isSet(kMonitor);
    if (watching == parser.isSet(kSweep))
        return fail(kUnusable, QStringLiteral("give either --sweep FILE or --monitor FILE"));
    const QString command = watching ? QStringLiteral("--monitor") : QStringLiteral("--sweep");
    if (!parser.positionalArguments().isEmpty())
        return fail(kUnusable, QStringLiteral("%1 takes its file as its value, not \"%2\"")
                                   .arg(command, parser.positionalArguments().first()));
    Job job;
    const auto format = resultFormatFromName(parser.value(kFormat));
    if (!format)
        return fail(kUnusable, QStringLiteral("--format is one of %1, not \"%2\"")
                                   .arg(resultFormatNames().join(QStringLiteral(", ")), parser.value(kFormat)));
    job.format = *format;
    if (parser.isSet(kOutput)) {
        // The streaming formats go where standard output is sent; only a
        // whole exposition can replace a file as one.
        if (job.format != ResultFormat::OpenMetrics)
            return fail(kUnusable, QStringLiteral("--output is for --format openmetrics; send the other formats "
                                                  "where standard output goes"));
        job.output = parser.value(kOutput);
        if (job.output.isEmpty())
            return fail(kUnusable, QStringLiteral("--output takes a file name"));
    }
    job.settings = storedEchoSettings();
    QString problem;
    if (!numberOption(parser, kParallel, &EchoLimits::checkParallel, job.settings.parallel, problem)
        || !numberOption(parser, kTimeout, &EchoLimits::checkTimeout, job.settings.timeoutMs, problem))
        return fail(kUnusable, problem);
    if (parser.isSet(kProbePorts)) {
        const auto ports = EchoLimits::parseProbePorts(parser.value(kProbePorts), &problem);
        if (!ports)
            return fail(kUnusable, problem);
        job.settings.probePorts = *ports;
    }
    if (parser.isSet(kInterval) && !watching)
        return fail(kUnusable, QStringLiteral("--interval is for --monitor"));
    int interval = job.settings.monitorIntervalSeconds;
    if (!numberOption(parser, kInterval, &checkCommandLineInterval, interval, problem))
        return fail(kUnusable, problem);
    job.interval = std::chrono::seconds(interval);

    // The whole file, or nothing: a sweep of part of a damaged file would
    // pass for a sweep of the list.
    const QString path = parser.value(watching ? kMonitor : kSweep);
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
    // A session file keeps no ticks: every row is swept.
    for (ResourceRow &row : loaded->rows)
        row.checked = true;
    job.rows = std::move(loaded->rows);
    return watching ? monitor(job) : sweep(job);
}

} // namespace cli
