#include "base/Background.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>
#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <thread>

using namespace std::chrono_literals;

namespace {

// Runs the event loop until DONE or MS milliseconds have passed.
bool spinUntil(const std::function<bool()> &done, int ms = 2000)
{
    QElapsedTimer t;
    t.start();
    while (!done() && t.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
    return done();
}

// Work that blocks until it is asked to stop, or for ten seconds.
int blockUntilStopped(std::stop_token stop, std::atomic<bool> &sawStop)
{
    for (int i = 0; i < 1000 && !stop.stop_requested(); ++i)
        std::this_thread::sleep_for(10ms);
    sawStop = stop.stop_requested();
    return 1;
}

} // namespace

TEST(BackgroundTest, WorkRunsOffTheOwnersThreadAndItsResultComesBackOnIt)
{
    QObject owner;
    Background background(&owner);
    QThread *workedOn = nullptr, *deliveredOn = nullptr;
    std::optional<int> result;
    background.run(
        [&](std::stop_token) {
            workedOn = QThread::currentThread();
            return 42;
        },
        [&](int r) {
            deliveredOn = QThread::currentThread();
            result = r;
        });
    ASSERT_TRUE(spinUntil([&] { return result.has_value(); }));
    EXPECT_EQ(*result, 42);
    EXPECT_NE(workedOn, owner.thread());
    EXPECT_EQ(deliveredOn, owner.thread());
}

TEST(BackgroundTest, StoppingAsksTheWorkToStopAndDropsWhatItStillDelivers)
{
    for (const bool ownerGoes : {false, true}) {
        SCOPED_TRACE(ownerGoes ? "the owner goes away" : "stop()");
        auto owner = std::make_unique<QObject>();
        auto background = std::make_unique<Background>(owner.get());
        auto sawStop = std::make_shared<std::atomic<bool>>(false);
        auto finished = std::make_shared<std::atomic<bool>>(false);
        bool delivered = false;
        background->run(
            [sawStop, finished](std::stop_token stop) {
                const int r = blockUntilStopped(stop, *sawStop);
                *finished = true;
                return r;
            },
            [&](int) { delivered = true; });
        std::this_thread::sleep_for(30ms);
        QElapsedTimer t;
        t.start();
        if (ownerGoes) {
            background.reset();
            owner.reset();
        } else {
            background->stop();
        }
        ASSERT_TRUE(spinUntil([&] { return finished->load(); }));
        EXPECT_LT(t.elapsed(), 500);
        EXPECT_TRUE(*sawStop);
        // Whatever was on its way is dropped, however long we wait.
        spinUntil([] { return false; }, 200);
        EXPECT_FALSE(delivered);
    }
}
