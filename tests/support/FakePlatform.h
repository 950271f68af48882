#pragma once

// The core as the program builds it, with fakes for the platform: what
// most tests of the core need.

#include "application/PingSweep.h"
#include "application/Workspace.h"
#include "remote/FakeRemoteTransport.h"
#include "support/FakeNeighborhood.h"
#include "support/FakePing.h"

#include <QEventLoop>
#include <QTimer>

#include <memory>

// The platform: a resolver, an echo service, a network and remote machines
// that are all fakes the test controls.
struct FakePlatform {
    FakeResolver resolver;
    FakeEchoFactory echo;
    std::shared_ptr<FakeNeighborhood> neighborhood = std::make_shared<FakeNeighborhood>();
    std::shared_ptr<FakeRemoteTransport> remote = std::make_shared<FakeRemoteTransport>();
    QString computerName = QStringLiteral("WORKHORSE");

    Platform platform() { return Platform{resolver, echo, neighborhood, remote, computerName}; }
};

// Runs a sweep to its end on an event loop of the test's own, for at most MS
// milliseconds; false when it did not end in time (or did not start).
inline bool runSweep(PingSweep &sweep, int ms = 20000)
{
    QEventLoop loop;
    QObject::connect(&sweep, &PingSweep::finished, &loop, &QEventLoop::quit);
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    if (!sweep.start())
        return false;
    if (sweep.running())
        loop.exec();
    return !sweep.running();
}

// Waits on an event loop of the test's own until a running sweep has
// finished, for at most MS milliseconds; true when it is not running.
inline bool waitForSweep(PingSweep &sweep, int ms = 20000)
{
    if (!sweep.running())
        return true;
    QEventLoop loop;
    QObject::connect(&sweep, &PingSweep::finished, &loop, &QEventLoop::quit);
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
    return !sweep.running();
}
