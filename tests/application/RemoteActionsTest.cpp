#include "application/RemoteActions.h"
#include "application/RemoteCommands.h"
#include "remote/FakeRemoteTransport.h"
#include "remote/NTRemoteDateTime.h"
#include "sysinfo/SystemSummary.h"

#include <gtest/gtest.h>

TEST(RemoteActionsTest, OneActionAtATimeAndEachAnswerToItsOwnAsker)
{
    auto fake = std::make_shared<FakeRemoteTransport>();
    fake->hold = true;
    fake->info.tod_year = 2024;
    RemoteActions actions(fake);
    QStringList answered;
    ASSERT_TRUE(actions.readTime("WS1", "10.0.0.1, 10.0.0.2,bad", [&](const TimeOfDayAnswer &a) {
        answered << QStringLiteral("WS1 %1 %2").arg(a.status).arg(a.info.tod_year);
    }));
    EXPECT_EQ(actions.waitingFor(), "WS1");
    // While WS1 waits, nothing else starts.
    EXPECT_FALSE(actions.sendMessage("WS2", "", "hi", [&](bool) { answered << "WS2"; }));
    EXPECT_FALSE(actions.readTime("WS3", "", [&](const TimeOfDayAnswer &) { answered << "WS3"; }));

    fake->release();
    ASSERT_TRUE(processEventsUntil([&] { return !answered.isEmpty(); }));
    EXPECT_EQ(answered, QStringList{"WS1 0 2024"});
    EXPECT_FALSE(actions.busy());

    fake->sent = false;
    ASSERT_TRUE(actions.sendMessage("WS2", "", "hi", [&](bool sent) { answered << (sent ? "sent" : "not sent"); }));
    ASSERT_TRUE(processEventsUntil([&] { return answered.size() == 2; }));
    EXPECT_EQ(answered.last(), "not sent");
    const QList<FakeRemoteTransport::Call> calls = fake->calls();
    ASSERT_EQ(calls.size(), 2);
    EXPECT_EQ(calls[0].hints,
              (QList<Ipv4Address>{Ipv4Address::fromHostOrder(0x0A000001), Ipv4Address::fromHostOrder(0x0A000002)}));
    EXPECT_EQ(calls[1].machine, "WS2");
}

TEST(RemoteActionsTest, GoingAwayCutsTheWaitShortWithoutAnAnswer)
{
    auto fake = std::make_shared<FakeRemoteTransport>();
    fake->hold = true; // until the deadline, which going away brings forward
    bool answered = false;
    QElapsedTimer t;
    {
        RemoteActions actions(fake);
        ASSERT_TRUE(actions.readTime("WS1", "", [&](const TimeOfDayAnswer &) { answered = true; }));
        ASSERT_TRUE(processEventsUntil([&] { return !fake->calls().isEmpty(); }));
        t.start();
    }
    EXPECT_LT(t.elapsed(), 500);
    QCoreApplication::processEvents();
    EXPECT_FALSE(answered);
}

TEST(RemoteActionsTest, TheTimeBoxSaysUtcWhenTheServerGaveNoZone)
{
    TIME_OF_DAY_INFO info{0, 0, 13, 5, 0, 0, -1, 0, 1, 2, 2024, 4};
    for (const qint32 zone : {-1, 300}) {
        TNTRemoteDateTime clock;
        info.tod_timezone = zone;
        clock.GetRemoteTime("ws-07", NERR_Success, info);
        EXPECT_EQ(SystemTimeText(clock),
                  "System time on ws-07 is \r\n\r\n" + clock.DateTimeText() + (zone == -1 ? " (UTC)\r\n" : "\r\n"));
    }
}

TEST(RemoteActionsTest, TheClockItemsShowWhereRemoteClocksCanBeRead)
{
    using P = OSVersionRecord;
    struct Case {
        OSVersionRecord version;
        bool visible;
    };
    const Case cases[] = {
        {{P::WinNT, 4, 0, 1381, "Service Pack 6", {}, {}}, true}, // NT 4
        {{P::WinNT, 5, 1, 2600, "", {}, {}}, true},               // XP
        {{P::Win9x, 4, 10, 2222, " A ", {}, {}}, false},          // 98 SE: no NetRemoteTOD
        {{P::Win9x, 4, 90, 3000, "", {}, {}}, false},             // Me
    };
    for (const Case &c : cases) {
        const SystemSummary os = makeSystemSummary(
            c.version, [] { return false; }, "WS", 0);
        EXPECT_EQ(GetSystemTimeVisible(os), c.visible) << c.version.major << "." << c.version.minor;
    }
    EXPECT_TRUE(GetSystemTimeVisible(systemSummary())); // this machine: Linux
}
