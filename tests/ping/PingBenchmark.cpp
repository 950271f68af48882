// Sweeps hosts of the test network through the main window's real sweep,
// one row at a time and with rows in flight together, and runs fping on the
// same hosts in the same run for comparison. Run it through
// tests/ping/testnet.sh (see README); it is a measurement, not a test.
#include "gui/MainWindow.h"
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
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

using TestNet::live;
using TestNet::silent;

namespace {

struct Run {
    double ms = 0; // the whole sweep
    double cpuMs = 0;
    int replied = 0;
    int timedOut = 0;
    int upWithoutEcho = 0;
    double worstDelayMs = 0; // the longest a posted event waited for the event loop
    double rssBeforeMiB = 0, peakMiB = 0;
};

class Bench {
public:
    Bench()
        : core(Platform{resolver, echo, std::make_shared<FakeNeighborhood>(), std::make_shared<FakeRemoteTransport>(),
                        "LAB", std::make_shared<LinuxHostProber>()}),
          w(core, ui.services())
    {
        if (qgetenv("LUMEO_BENCH_HIDDEN") != "1")
            w.show();
        pingAction = w.findChild<QAction *>("mmPing");
    }

    // Rows for `hosts`; by name they carry no address, so that every sweep
    // looks each one up.
    void load(const QStringList &hosts, bool byName)
    {
        std::vector<ResourceRow> rows;
        for (const QString &h : hosts)
            rows.push_back(ResourceRow::created(byName ? nameOf(h) : h, byName ? QString() : h, "LAB"));
        core.list().setRows(std::move(rows));
        m_byName = byName;
    }

    Run sweep(int parallel, int timeoutMs, QList<quint16> probePorts = {})
    {
        if (m_byName)
            for (int i = 0; i < core.list().count(); ++i)
                core.list().setSubItem(i, siAddress, QString());
        EchoSettings settings = core.echoSettings();
        settings.parallel = parallel;
        settings.timeoutMs = timeoutMs;
        settings.probePorts = std::move(probePorts);
        core.setEchoSettings(settings);
        Run r;
        r.rssBeforeMiB = statusMiB("VmRSS:");
        QFile clearRefs(QStringLiteral("/proc/self/clear_refs"));
        if (clearRefs.open(QIODevice::WriteOnly))
            clearRefs.write("5"); // the peak starts again from here
        clearRefs.close();
        const double cpu0 = TestNet::cpuMs();
        QElapsedTimer t;
        {
            InputDelay delay(&w);
            t.start();
            pingAction->trigger();
            waitForSweep(core.sweep(), 600000);
            r.ms = double(t.nsecsElapsed()) / 1e6;
            r.worstDelayMs = delay.worstMs();
        }
        r.cpuMs = TestNet::cpuMs() - cpu0;
        r.peakMiB = statusMiB("VmHWM:");
        for (const ResourceRow &row : core.list().rows()) {
            r.replied += row.imageIndex == imgReply;
            r.upWithoutEcho += row.imageIndex == imgComputer;
            r.timedOut += row.subItem(siMessage) == "Cannot ping host : Request timed out";
        }
        return r;
    }

    static QString nameOf(const QString &address)
    {
        // host<k> in the test network's hosts file.
        const QStringList parts = address.split('.');
        return QStringLiteral("host%1").arg((parts[2].toInt() - 2) * 254 + parts[3].toInt());
    }

private:
    FakeWindowServices ui;
    SystemResolver resolver;
    LinuxEchoChannelFactory echo;
    bool m_byName = false;

public:
    Workspace core;
    TfrmMain w;
    QAction *pingAction = nullptr;
};

// fping on the same hosts: one request each, no retry; prints its wall time
// and how many it found alive.
Run fping(const QStringList &hosts, int timeoutMs, int intervalMs)
{
    Run r;
    QProcess p;
    QStringList args = {"-a", "-r", "0", "-t", QString::number(timeoutMs), "-i", QString::number(intervalMs)};
    args += hosts;
    QElapsedTimer t;
    t.start();
    p.start(QStringLiteral("fping"), args);
    if (!p.waitForFinished(120000)) {
        p.kill();
        p.waitForFinished();
        r.ms = -1;
        return r;
    }
    r.ms = double(t.nsecsElapsed()) / 1e6;
    r.replied = int(p.readAllStandardOutput().count('\n'));
    return r;
}

QStringList liveHosts(int n)
{
    QStringList hosts;
    for (int k = 1; k <= n; ++k)
        hosts << live(k);
    return hosts;
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (!TestNet::inside()) {
        std::fprintf(stderr, "run me through tests/ping/testnet.sh\n");
        return 2;
    }
    const int n = argc > 1 ? std::atoi(argv[1]) : 250;
    const int rounds = argc > 2 ? std::atoi(argv[2]) : 3;
    const bool haveFping = !QStandardPaths::findExecutable(QStringLiteral("fping")).isEmpty();
    const int wide = EchoSettings{}.parallel;
    Bench bench;
    int failures = 0;

    // 1. Live hosts only, by address and by name: time per row, best of the rounds.
    const QStringList hosts = liveHosts(n);
    std::printf("== %d live hosts, timeout 4000 ms, best of %d rounds (per row) ==\n", n, rounds);
    for (const bool byName : {false, true}) {
        bench.load(hosts, byName);
        for (const int parallel : {1, wide}) {
            Run best;
            best.ms = 1e18;
            for (int r = 0; r < rounds; ++r) {
                const Run run = bench.sweep(parallel, 4000);
                if (run.replied != n)
                    ++failures;
                if (run.ms < best.ms)
                    best = run;
            }
            std::printf("by %-7s N=%-2d  %8.1f us/row  (cpu %6.1f us/row)  whole %7.1f ms  %d/%d replied\n",
                        byName ? "name" : "address", parallel, best.ms * 1000 / n, best.cpuMs * 1000 / n, best.ms,
                        best.replied, n);
        }
        if (haveFping) {
            QStringList targets = hosts;
            if (byName)
                std::transform(targets.begin(), targets.end(), targets.begin(), Bench::nameOf);
            for (const int interval : {10, 1}) {
                const Run f = fping(targets, 4000, interval);
                std::printf("by %-7s fping -i %-2d %8.1f us/row  whole %7.1f ms  %d/%d alive\n",
                            byName ? "name" : "address", interval, f.ms * 1000 / n, f.ms, f.replied, n);
            }
        }
    }

    // 2. 200 live and 50 silent hosts mixed (every fifth row silent), 500 ms
    // timeout: the whole sweep should take at most two timeouts more than
    // the live hosts alone.
    constexpr int kTimeout = 500;
    QStringList mixed;
    for (int k = 1, s = 1; k <= 200; ++k) {
        mixed << live(k);
        if (k % 4 == 0)
            mixed << silent(s++);
    }
    const QStringList live200 = liveHosts(200);
    std::printf("\n== 200 live + 50 silent hosts, timeout %d ms ==\n", kTimeout);
    bench.load(live200, false);
    const Run liveOnly = bench.sweep(wide, kTimeout);
    bench.load(mixed, false);
    const Run together = bench.sweep(wide, kTimeout);
    const Run oneAtATime = bench.sweep(1, kTimeout);
    const double bound = 2 * kTimeout + liveOnly.ms;
    std::printf("200 live alone      N=%-2d %8.1f ms  %d replied\n", wide, liveOnly.ms, liveOnly.replied);
    std::printf("200 live + 50 silent N=%-2d %8.1f ms  %d replied, %d timed out  (bound 2 x %d + %.1f = %.1f ms: %s)\n",
                wide, together.ms, together.replied, together.timedOut, kTimeout, liveOnly.ms, bound,
                together.ms <= bound ? "within" : "OVER");
    std::printf("200 live + 50 silent N=1  %8.1f ms  %d replied, %d timed out\n", oneAtATime.ms, oneAtATime.replied,
                oneAtATime.timedOut);
    if (together.ms > bound || together.replied != 200 || together.timedOut != 50 || oneAtATime.replied != 200)
        ++failures;
    if (haveFping) {
        for (const int interval : {10, 1}) {
            const Run f = fping(mixed, kTimeout, interval);
            std::printf("200 live + 50 silent fping -r 0 -t %d -i %-2d %8.1f ms  %d alive\n", kTimeout, interval, f.ms,
                        f.replied);
        }
    } else {
        std::printf("(fping is not installed: no comparison)\n");
    }

    // 3. A /20's worth of rows: every tenth answers, the rest are silent and
    // off-link (the router drops them), 500 ms timeout; the design's
    // outcomes (no probes) and the default probes, beside fping.
    if (qEnvironmentVariableIntValue("LUMEO_TESTNET_HOSTS") >= 410) {
        QStringList wideList;
        for (int k = 0, j = 1; k < 4096; ++k)
            wideList << (k % 10 == 0 && j <= 410 ? live(j++)
                                                 : QStringLiteral("10.202.%1.%2").arg(k / 256).arg(k % 256));
        const int alive = int(
            std::count_if(wideList.begin(), wideList.end(), [](const QString &a) { return a.startsWith("10.201."); }));
        std::printf("\n== 4096 rows (%d answer, the rest silent off-link), timeout %d ms, %d in flight ==\n", alive,
                    kTimeout, wide);
        bench.load(wideList, false);
        const QList<quint16> defaultPorts = EchoSettings{}.probePorts;
        for (int round = 0; round < rounds; ++round) {
            const Run plain = bench.sweep(wide, kTimeout);
            const Run probed = bench.sweep(wide, kTimeout, defaultPorts);
            const Run f = haveFping ? fping(wideList, kTimeout, 1) : Run{};
            const auto show = [](const char *what, const Run &r) {
                std::printf("%-22s %8.1f ms  cpu %7.1f ms  %4d replied %4d up without echo %4d timed out  "
                            "worst input delay %5.1f ms  memory %.1f MiB before, peak %.1f MiB (+%.1f)\n",
                            what, r.ms, r.cpuMs, r.replied, r.upWithoutEcho, r.timedOut, r.worstDelayMs, r.rssBeforeMiB,
                            r.peakMiB, r.peakMiB - r.rssBeforeMiB);
            };
            show("no probes", plain);
            show("default probes", probed);
            if (haveFping)
                std::printf("%-22s %8.1f ms  %d alive\n", "fping -i 1 -r 0", f.ms, f.replied);
            const bool withinTime = !haveFping || (plain.ms <= f.ms && probed.ms <= 2 * f.ms);
            std::printf("round %d: %s\n", round + 1,
                        withinTime ? "within fping's time (x1 without probes, x2 with)" : "OVER fping's time");
            if (plain.replied != alive || probed.replied != alive || plain.worstDelayMs > 100
                || probed.worstDelayMs > 100 || probed.peakMiB - probed.rssBeforeMiB > 50 || !withinTime)
                ++failures;
        }
    }
    return failures ? 1 : 0;
}
