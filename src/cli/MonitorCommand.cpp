// --monitor: the sweep of every row, repeated every interval until a signal
// ends it, each round printed as it completes; hosts that go down or come
// back are told on standard error with the window's alert rule.
#include "application/Monitor.h"
#include "application/PingSweep.h"
#include "cli/CommandLine.h"
#include "cli/Job.h"
#include "cli/StopSignals.h"
#include "resources/ResourceList.h"

#include <QCoreApplication>

#include <cstdio>

namespace cli {

namespace {

void tell(const QString &line)
{
    std::fprintf(stderr, "%s\n", qPrintable(line));
    std::fflush(stderr);
}

} // namespace

int monitor(Job &job)
{
    Runtime runtime(job);
    Workspace &workspace = runtime.workspace();
    ResourceList &list = workspace.list();
    PingSweep &sweep = workspace.sweep();
    Monitor &monitor = workspace.monitor();

    // The streaming formats print each row as it completes (CSV's header
    // once, at the top); OpenMetrics publishes each whole round.
    ResultWriter writer(job.format);
    out(writer.start());
    QObject::connect(&sweep, &PingSweep::rowFinished, &sweep, [&](int row, const PingResult &result) {
        if (result.outcome != PingOutcome::Aborted)
            out(writer.add(list.row(row)));
    });
    bool published = true;
    QObject::connect(&monitor, &Monitor::roundStarted, &monitor, [&] {
        if (!writer.streams())
            writer.finish(); // what an aborted round left behind
    });
    QObject::connect(&monitor, &Monitor::roundFinished, &monitor, [&] {
        // A round ended by a second signal is not a round's worth.
        if (!writer.streams() && monitor.running())
            published = publish(job, writer.finish()) && published;
    });
    QObject::connect(&monitor, &Monitor::hostWentDown, &monitor,
                     [](const QString &, const QString &text) { tell(text); });
    QObject::connect(&monitor, &Monitor::hostCameUp, &monitor,
                     [](const QString &, const QString &text) { tell(text); });

    std::exception_ptr failure;
    QObject::connect(&sweep, &PingSweep::failed, &sweep, [&](std::exception_ptr e) {
        failure = e;
        monitor.stop();
    });

    // The first signal ends the watch after the round in flight, the second
    // at once, as Abort ends a sweep.
    StopSignals stopSignals;
    QObject::connect(&stopSignals, &StopSignals::received, &stopSignals, [&](int, int count) {
        if (count == 1)
            monitor.stopAfterRound();
        else
            monitor.stop();
    });
    QObject::connect(&monitor, &Monitor::stopped, &monitor, [] { QCoreApplication::quit(); });

    monitor.start(job.interval);
    if (monitor.running())
        QCoreApplication::exec();
    if (failure)
        return failed(failure);
    return published ? kAllAnswered : kUnusable;
}

} // namespace cli
