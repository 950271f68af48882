// Watches a thousand rows of the test network every 10 s for a while, on
// the real platform (the system's resolver, ICMP sockets and probes) and
// with every result appended to a result log, and reports what that costs:
// the processor as a share of one core, the memory at the start and at the
// end, the rounds done and the longest a posted event waited for the event
// loop. Run it through tests/ping/testnet.sh (see README); it is a
// measurement, not a test.
//
//   LUMEO_TESTNET_HOSTS=900 LUMEO_BENCH_SECONDS=600 bash tests/ping/testnet.sh build-rel/tests/monitor_benchmark
#include "application/LocalSubnets.h"
#include "application/Monitor.h"
#include "application/PingSweep.h"
#include "application/RemoteActions.h"
#include "application/Workspace.h"
#include "ping/HostResolver.h"
#include "ping/LinuxEchoChannel.h"
#include "ping/Ping.h"
#include "ping/TestNetwork.h"
#include "probe/LinuxHostProber.h"
#include "resources/ResourceList.h"
#include "support/FakeWindow.h"
#include "support/InputDelay.h"

#include <QAction>
#include <QApplication>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTimer>

#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <optional>
#include <vector>

using TestNet::live;
using TestNet::silent;

namespace {

constexpr int kRows = 1000;
constexpr int kSilentRows = 50;  // 10.201.8.x: the hosts drop the echo
constexpr int kOffLinkRows = 50; // 10.202.x: the router drops everything
constexpr auto kInterval = std::chrono::seconds(10);
// The router routes 10.201.2.0/23 to the hosts: 508 addresses answer at
// most; more answering rows share them.
constexpr int kRoutedLive = 508;

// Processor time of the whole process (every thread), in seconds.
double cpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval &t) { return double(t.tv_sec) + double(t.tv_usec) / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

std::vector<ResourceRow> benchmarkRows(int liveHosts)
{
    std::vector<ResourceRow> rows;
    const int answering = kRows - kSilentRows - kOffLinkRows;
    for (int k = 0; k < answering; ++k)
        rows.push_back(ResourceRow::created(QStringLiteral("PC%1").arg(k + 1), live(1 + k % liveHosts), "LAB"));
    for (int k = 1; k <= kSilentRows; ++k)
        rows.push_back(ResourceRow::created(QStringLiteral("SILENT%1").arg(k), silent(k), "LAB"));
    for (int k = 0; k < kOffLinkRows; ++k)
        rows.push_back(ResourceRow::created(QStringLiteral("OFF%1").arg(k + 1),
                                            QStringLiteral("10.202.%1.%2").arg(k / 200).arg(1 + k % 200), "LAB"));
    for (ResourceRow &row : rows)
        row.checked = true;
    return rows;
}

struct Round {
    double ms = 0;
    int replied = 0;
    int upWithoutEcho = 0;
    int down = 0;
};

} // namespace

int main(int argc, char **argv)
{
    // LUMEO_BENCH_WINDOW=1 watches through the window (shown, statistics
    // columns on, the chart of a row open), so that painting counts too and
    // the input delay is the window's. It needs a display or
    // QT_QPA_PLATFORM=offscreen.
    const bool withWindow = qEnvironmentVariable("LUMEO_BENCH_WINDOW") == QLatin1String("1");
    std::unique_ptr<QCoreApplication> application =
        withWindow ? std::make_unique<QApplication>(argc, argv) : std::make_unique<QCoreApplication>(argc, argv);
    QCoreApplication &app = *application;
    if (!TestNet::inside()) {
        std::fprintf(stderr, "run me through tests/ping/testnet.sh\n");
        return 2;
    }
    const int seconds = qEnvironmentVariableIsSet("LUMEO_BENCH_SECONDS")
                            ? std::clamp(qEnvironmentVariableIntValue("LUMEO_BENCH_SECONDS"), 10, 3600)
                            : 600;
    const int liveHosts = std::clamp(
        qEnvironmentVariableIsSet("LUMEO_TESTNET_HOSTS") ? qEnvironmentVariableIntValue("LUMEO_TESTNET_HOSTS") : 300, 1,
        kRoutedLive);

    SystemResolver resolver;
    LinuxEchoChannelFactory echo;
    Workspace workspace(Platform{resolver, echo, systemNeighborhood(), std::make_shared<NetworkTransport>(),
                                 localComputerName(), std::make_shared<LinuxHostProber>()});
    workspace.list().setRows(benchmarkRows(liveHosts));
    EchoSettings settings = workspace.echoSettings();
    settings.monitorIntervalSeconds = int(kInterval.count());
    workspace.setEchoSettings(settings);
    if (!workspace.ping().available()) {
        std::fprintf(stderr, "%s\n", qPrintable(EchoUnavailableText(workspace.ping(), argv[0])));
        return 2;
    }

    // Every result goes to a log, as the window's "Monitor_Log" has it.
    QTemporaryDir folder;
    if (const auto failure = workspace.setResultLog(folder.filePath(QStringLiteral("results.jsonl")))) {
        std::fprintf(stderr, "%s\n", qPrintable(*failure));
        return 2;
    }
    int logFailures = 0;
    QObject::connect(&workspace, &Workspace::resultLogFailed, &app, [&] { ++logFailures; });
    ResourceList &list = workspace.list();

    std::optional<FakeWindowServices> ui;
    std::unique_ptr<TfrmMain> window;
    if (withWindow) {
        ui.emplace();
        window = std::make_unique<TfrmMain>(workspace, ui->services());
        window->resize(1200, 800);
        window->show();
        window->findChild<QAction *>(QStringLiteral("mmStatistics"))->trigger();
        window->findChild<QAction *>(QStringLiteral("mmChart"))->trigger();
        window->selectRow(0);
    }

    Monitor &monitor = workspace.monitor();
    std::vector<Round> rounds;
    QElapsedTimer roundTime;
    QObject::connect(&monitor, &Monitor::roundStarted, &app, [&] { roundTime.start(); });
    QObject::connect(&monitor, &Monitor::roundFinished, &app, [&] {
        Round r;
        r.ms = double(roundTime.nsecsElapsed()) / 1e6;
        for (const ResourceRow &row : list.rows()) {
            if (!row.result)
                continue;
            r.replied += row.result->outcome == PingOutcome::Reply;
            r.upWithoutEcho += row.result->outcome == PingOutcome::UpWithoutEcho;
            r.down += !row.result->up();
        }
        rounds.push_back(r);
        std::printf("round %3zu  %7.1f ms  %4d replied %3d up without echo %3d down\n", rounds.size(), r.ms, r.replied,
                    r.upWithoutEcho, r.down);
        std::fflush(stdout);
    });
    QObject::connect(&monitor, &Monitor::stopped, &app, &QCoreApplication::quit);
    // The watch ends after the round in flight once the time is up, and at
    // once should that round hang.
    QTimer::singleShot(std::chrono::seconds(seconds), &monitor, [&] { monitor.stopAfterRound(); });
    QTimer::singleShot(std::chrono::seconds(seconds + 60), &monitor, [&] { monitor.stop(); });

    std::printf("== %d rows (%d answering over %d addresses, %d silent, %d off-link), every %lld s for %d s ==\n",
                kRows, kRows - kSilentRows - kOffLinkRows, liveHosts, kSilentRows, kOffLinkRows,
                qint64(kInterval.count()), seconds);
    const double rssStart = statusMiB("VmRSS:");
    const double cpuStart = cpuSeconds();
    QElapsedTimer wall;
    wall.start();
    double worstDelayMs = -1;
    {
        // The probe wakes the event loop 200 times a second, which costs
        // processor time of its own: LUMEO_BENCH_INPUT_DELAY=0 leaves it
        // out, for the processor share of the watch alone.
        std::optional<InputDelay> delay;
        if (qEnvironmentVariable("LUMEO_BENCH_INPUT_DELAY") != QLatin1String("0"))
            delay.emplace(&app, std::chrono::seconds(seconds + 90));
        if (window)
            window->findChild<QAction *>(QStringLiteral("mmMonitor"))->trigger(); // at the settings' interval
        else
            monitor.start(kInterval);
        app.exec();
        if (delay)
            worstDelayMs = delay->worstMs();
    }
    const double wallSeconds = double(wall.nsecsElapsed()) / 1e9;
    const double cpu = cpuSeconds() - cpuStart;
    const double rssEnd = statusMiB("VmRSS:");
    workspace.setResultLog(QString());

    const int expectedRounds = int(std::chrono::seconds(seconds) / kInterval);
    double longestRound = 0;
    int incomplete = 0;
    for (const Round &r : rounds) {
        longestRound = std::max(longestRound, r.ms);
        incomplete += r.replied != kRows - kSilentRows - kOffLinkRows;
    }
    std::printf("cpu %.2f s in %.1f s: %.2f %% of one core\n", cpu, wallSeconds, 100 * cpu / wallSeconds);
    std::printf("memory (VmRSS) %.1f MiB at the start, %.1f MiB at the end (+%.1f), peak %.1f MiB\n", rssStart, rssEnd,
                rssEnd - rssStart, statusMiB("VmHWM:"));
    std::printf("rounds %zu (expected about %d), longest %.1f ms, %d with an answering row missing\n", rounds.size(),
                expectedRounds, longestRound, incomplete);
    if (worstDelayMs >= 0)
        std::printf("worst input delay %.1f ms\n", worstDelayMs);
    else
        std::printf("worst input delay not measured (LUMEO_BENCH_INPUT_DELAY=0)\n");
    std::printf("result log %.1f KiB, %d failed writes\n",
                double(QFileInfo(folder.filePath(QStringLiteral("results.jsonl"))).size()) / 1024, logFailures);
    const bool ok =
        int(rounds.size()) >= expectedRounds - 1 && incomplete == 0 && logFailures == 0 && worstDelayMs < 100;
    std::printf("%s\n", ok ? "ok" : "NOT OK");
    return ok ? 0 : 1;
}
