// Watching the network: the rule that keeps alerts from flapping, what a
// row's history says about its link, and the monitor's rounds (never
// doubled, stopped as Abort stops a sweep) against the fake echo service.
#include "application/Monitor.h"
#include "application/HostWatch.h"
#include "application/PingSweep.h"
#include "ping/Ping.h"
#include "resources/ResourceList.h"
#include "resources/ResultHistory.h"
#include "support/FakePing.h"
#include "support/Spin.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>

namespace {

using namespace std::chrono_literals;

TEST(HostWatch, DownAfterKFailedRoundsInARowUpAfterOneAnswered)
{
    // Each round's outcome ('u' up, 'd' failed) and what each round changes:
    // '.' nothing, 'D' went down, 'U' came up.
    struct Case {
        const char *name;
        int k;
        std::string rounds;
        std::string changes;
    };
    const Case cases[] = {
        {"up all along says nothing", 3, "uuuu", "...."},
        {"down from the start, once", 3, "dddddd", "..D..."},
        {"two lost rounds are not down", 3, "uudduudd", "........"},
        {"every other round lost never alerts", 3, "dudududududu", "............"},
        {"down, then one answered round is up", 3, "udddu", "...DU"},
        {"down and up twice", 3, "dddudddu", "..DU..DU"},
        {"the count starts again after an answer", 3, "dduddud", "......."},
        {"K of one alerts at the first loss", 1, "udud", ".DUD"},
        {"K below one is taken as one", 0, "du", "DU"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        HostWatch watch(c.k);
        std::string changes;
        for (const char r : c.rounds) {
            switch (watch.round(r == 'u')) {
            case HostWatch::Change::None:
                changes += '.';
                break;
            case HostWatch::Change::WentDown:
                changes += 'D';
                break;
            case HostWatch::Change::CameUp:
                changes += 'U';
                break;
            }
        }
        EXPECT_EQ(changes, c.changes);
    }
}

PingResult resultAt(qint64 atMs, PingOutcome outcome, std::optional<qint64> rttMicroseconds = std::nullopt)
{
    PingResult r;
    r.when = QDateTime::fromMSecsSinceEpoch(atMs, Qt::UTC);
    r.outcome = outcome;
    r.roundTripMicroseconds = rttMicroseconds;
    return r;
}

TEST(ResultHistory, StatisticsOfAHistory)
{
    // Round trips in microseconds; -1 is a test without an echo reply.
    struct Case {
        const char *name;
        std::vector<qint64> rtts;
        HistoryStats expected;
    };
    const auto stats = [](int tests, int lost, double loss, std::optional<qint64> min, std::optional<qint64> avg,
                          std::optional<qint64> max, std::optional<qint64> jitter) {
        return HistoryStats{tests, lost, loss, min, avg, max, jitter};
    };
    const Case cases[] = {
        {"nothing yet", {}, stats(0, 0, 0, {}, {}, {}, {})},
        {"everything lost", {-1, -1}, stats(2, 2, 100, {}, {}, {}, {})},
        {"one reply: no jitter yet", {400}, stats(1, 0, 0, 400, 400, 400, {})},
        {"steady link", {500, 500, 500}, stats(3, 0, 0, 500, 500, 500, 0)},
        // Jitter: |300-100| and |200-300| over two steps = 150.
        {"varying link", {100, 300, 200}, stats(3, 0, 0, 100, 200, 300, 150)},
        // Losses do not break the chain of replies: |900-100| once.
        {"losses between replies", {100, -1, -1, 900}, stats(4, 2, 50, 100, 500, 900, 800)},
        // The average rounds to the nearest microsecond.
        {"rounded average", {1, 2}, stats(2, 0, 0, 1, 2, 2, 1)},
        {"one in three lost", {1000, -1, 2000}, stats(3, 1, 100.0 / 3, 1000, 1500, 2000, 1000)},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        ResultHistory h;
        qint64 at = 1'800'000'000'000;
        for (const qint64 rtt : c.rtts)
            h.add(rtt < 0 ? resultAt(at += 1000, PingOutcome::Failed) : resultAt(at += 1000, PingOutcome::Reply, rtt));
        const HistoryStats s = statisticsOf(h);
        EXPECT_EQ(s.tests, c.expected.tests);
        EXPECT_EQ(s.lost, c.expected.lost);
        EXPECT_DOUBLE_EQ(s.lossPercent, c.expected.lossPercent);
        EXPECT_EQ(s.minimum, c.expected.minimum);
        EXPECT_EQ(s.average, c.expected.average);
        EXPECT_EQ(s.maximum, c.expected.maximum);
        EXPECT_EQ(s.jitter, c.expected.jitter);
    }
}

TEST(ResultHistory, KeepsWhatIsRecentAndNeverMoreThanItsBound)
{
    const qint64 start = 1'800'000'000'000;
    ResultHistory h;
    // Not outcomes: a test the user stopped, and one without a time.
    h.add(resultAt(start, PingOutcome::Aborted));
    h.add(PingResult{});
    EXPECT_TRUE(h.samples().empty());

    // A proof without echo is up, with no round trip, and not a loss.
    h.add(resultAt(start, PingOutcome::UpWithoutEcho));
    ASSERT_EQ(h.samples().size(), 1u);
    EXPECT_TRUE(h.samples().front().up());
    EXPECT_EQ(h.samples().front().roundTripMicroseconds, -1);

    // Many rounds a second apart: never more than the bound, the newest kept.
    const std::size_t many = ResultHistory::kMaxSamples * 3 + 7;
    for (std::size_t i = 1; i <= many; ++i)
        h.add(resultAt(start + qint64(i) * 1000, PingOutcome::Reply, qint64(i)));
    ASSERT_EQ(h.samples().size(), ResultHistory::kMaxSamples);
    EXPECT_EQ(h.samples().back().roundTripMicroseconds, qint32(many));
    EXPECT_EQ(h.samples().front().roundTripMicroseconds, qint32(many - ResultHistory::kMaxSamples + 1));

    // A result a day later lets go of everything older than a day.
    const qint64 last = start + qint64(many) * 1000;
    h.add(resultAt(last + ResultHistory::kMaxAgeMs - 500, PingOutcome::Failed));
    for (const ResultHistory::Sample &s : h.samples())
        EXPECT_GE(s.atMs, last + ResultHistory::kMaxAgeMs - 500 - ResultHistory::kMaxAgeMs);
    EXPECT_LT(h.samples().size(), 10u);
    h.forgetBefore(QDateTime::fromMSecsSinceEpoch(last + 3 * ResultHistory::kMaxAgeMs, Qt::UTC));
    EXPECT_TRUE(h.samples().empty());

    // A round trip too large for a sample is clamped, not wrapped.
    h.add(resultAt(start, PingOutcome::Reply, qint64(1) << 40));
    EXPECT_GT(h.samples().back().roundTripMicroseconds, 0);
}

TEST(MonitorTexts, TheEventLogsLines)
{
    const QDateTime at(QDate(2026, 12, 8), QTime(12, 1, 3));
    EXPECT_EQ(Monitor::downText(at, "PC7", 3), "12:01:03 PC7 down after 3 failed rounds");
    PingResult echo = resultAt(0, PingOutcome::Reply, 412);
    EXPECT_EQ(Monitor::upText(at.addSecs(210), "PC7", echo), "12:04:33 PC7 up, 0.4 ms");
    echo.roundTripMicroseconds = 12'340;
    EXPECT_EQ(Monitor::upText(at, "PC7", echo), "12:01:03 PC7 up, 12.3 ms");
    echo.roundTripMicroseconds = 42;
    EXPECT_EQ(Monitor::upText(at, "PC7", echo), "12:01:03 PC7 up, 0.04 ms");
    PingResult probed = resultAt(0, PingOutcome::UpWithoutEcho);
    probed.detail = "No echo reply; TCP 445 answered in 3 ms";
    EXPECT_EQ(Monitor::upText(at, "PC7", probed), "12:01:03 PC7 up (No echo reply; TCP 445 answered in 3 ms)");
}

// A list of rows by address, the sweep over the fake echo service and the
// monitor over the sweep; what the monitor says, recorded.
class MonitorRounds : public ::testing::Test {
protected:
    FakeResolver resolver;
    FakeEchoFactory factory;
    ResourceList list;
    std::unique_ptr<TPing> ping;
    std::unique_ptr<PingSweep> sweep;
    std::unique_ptr<Monitor> monitor;
    int roundsStarted = 0, roundsFinished = 0, stops = 0;
    QStringList alerts;

    void SetUp() override
    {
        ping = std::make_unique<TPing>(factory, resolver);
        sweep = std::make_unique<PingSweep>(list, *ping);
        sweep->setParallel(16);
        monitor = std::make_unique<Monitor>(*sweep, list);
        QObject::connect(monitor.get(), &Monitor::roundStarted, [this] { ++roundsStarted; });
        QObject::connect(monitor.get(), &Monitor::roundFinished, [this] { ++roundsFinished; });
        QObject::connect(monitor.get(), &Monitor::stopped, [this] { ++stops; });
        QObject::connect(monitor.get(), &Monitor::hostWentDown,
                         [this](const QString &name, const QString &) { alerts << name + " down"; });
        QObject::connect(monitor.get(), &Monitor::hostCameUp,
                         [this](const QString &name, const QString &) { alerts << name + " up"; });
    }
    void add(const QString &name, int k)
    {
        const int row = list.append(ResourceRow::created(name, address(k).toString(), "LAB"));
        list.setChecked(row, true);
    }
    static Ipv4Address address(int k) { return *Ipv4Address::fromText(QStringLiteral("10.0.0.%1").arg(k)); }
    FakeEchoChannel &echo() { return *factory.channel; }
    // Answers the round's requests once all ROWS are in flight (requests
    // leave a millisecond apart).
    void answerAll(int rows)
    {
        ASSERT_TRUE(spinUntil([&] { return echo().inFlight.size() == rows; }, 1000)) << echo().inFlight.size();
        for (const int ticket : echo().inFlight.keys())
            echo().answer(ticket);
    }
    void answers(int k, bool up)
    {
        if (up)
            echo().outcomes.insert(address(k), FakeEchoChannel::reply(address(k), 56, 1));
        else
            echo().outcomes.remove(address(k));
    }
};

TEST_F(MonitorRounds, AlertsFollowTheRoundsOfEachHostAndNoOther)
{
    // Per round: whether each of three hosts answers. "steady" always does;
    // "flaky" loses every other round; "pc7" goes off for four rounds.
    const std::string steady = "uuuuuuuuu";
    const std::string flaky = "dudududud";
    const std::string pc7 = "uuddddduu";
    add("steady", 1);
    add("flaky", 2);
    add("pc7", 3);
    add("unticked", 4);
    list.setChecked(3, false);
    const int rounds = int(pc7.size());
    QObject::connect(monitor.get(), &Monitor::roundStarted, [&] {
        const int r = std::min(roundsStarted, rounds) - 1; // a round past the script repeats its last
        answers(1, steady[r] == 'u');
        answers(2, flaky[r] != 'd');
        answers(3, pc7[r] == 'u');
    });
    monitor->start(10ms);
    ASSERT_TRUE(spinUntil([&] { return roundsFinished >= rounds; }, 5000)) << roundsFinished << " rounds";
    monitor->stop();
    EXPECT_EQ(alerts, QStringList({"pc7 down", "pc7 up"}));
    // The unticked row was never asked.
    for (const EchoRequest &r : echo().requests)
        EXPECT_NE(r.target, address(4));
    // Each round's outcomes are kept: pc7 lost five of its rounds.
    const HistoryStats pc7Stats = statisticsOf(*list.row(2).history);
    EXPECT_GE(pc7Stats.tests, rounds);
    EXPECT_GE(pc7Stats.lost, 5);
}

TEST_F(MonitorRounds, ARoundIsNeverDoubledAndStoppingEndsItAsAbortDoes)
{
    add("slow", 1);
    add("fast", 2);
    echo().manual = true; // nothing answers until the test says so
    monitor->start(10ms);
    ASSERT_TRUE(sweep->running());
    // Ten intervals pass with the round still in flight: no second round.
    spinFor(100);
    EXPECT_EQ(roundsStarted, 1);
    // The round ends: the next starts at once, since it is overdue.
    answerAll(2);
    ASSERT_TRUE(spinUntil([&] { return roundsStarted == 2; }, 1000));
    EXPECT_EQ(roundsFinished, 1);

    // Stop while that round is in flight: the sweep ends at once with
    // nothing left asking, and no round follows.
    ASSERT_TRUE(sweep->running());
    ASSERT_TRUE(spinUntil([&] { return echo().inFlight.size() == 2; }, 1000));
    monitor->stop();
    EXPECT_FALSE(monitor->running());
    EXPECT_FALSE(sweep->running());
    EXPECT_TRUE(echo().inFlight.isEmpty());
    EXPECT_EQ(stops, 1);
    EXPECT_FALSE(monitor->nextRound().isValid());
    spinFor(60);
    EXPECT_EQ(roundsStarted, 2);
    // The stopped round is no outcome: each row's history holds round one only.
    EXPECT_EQ(list.row(0).history->samples().size(), 1u);
}

TEST_F(MonitorRounds, ARoundDueDuringTheUsersOwnSweepWaitsForIt)
{
    add("one", 1);
    monitor->start(50ms);
    ASSERT_TRUE(spinUntil([&] { return roundsFinished == 1; }, 1000));
    EXPECT_TRUE(monitor->nextRound().isValid());
    echo().manual = true;
    ASSERT_TRUE(sweep->start()); // the user's Ping, before the next round is due
    spinFor(150);
    EXPECT_EQ(roundsStarted, 1) << "a round started beside the user's sweep";
    answerAll(1);
    ASSERT_TRUE(spinUntil([&] { return roundsStarted == 2; }, 1000));
    spinFor(20);
    EXPECT_EQ(roundsStarted, 2) << "the overdue round ran twice";
    monitor->stop();
}

TEST_F(MonitorRounds, StopAfterRoundLetsTheRoundInFlightFinish)
{
    add("one", 1);
    add("two", 2);
    answers(1, true);
    echo().manual = true;
    monitor->start(10ms);
    monitor->stopAfterRound();
    EXPECT_TRUE(monitor->running());
    EXPECT_EQ(stops, 0);
    answerAll(2);
    ASSERT_TRUE(spinUntil([&] { return stops == 1; }, 1000));
    EXPECT_FALSE(monitor->running());
    EXPECT_EQ(roundsFinished, 1);
    // Both rows got the round's outcome, not an abort's.
    EXPECT_EQ(list.row(0).result->outcome, PingOutcome::Reply);
    EXPECT_EQ(list.row(1).result->outcome, PingOutcome::TimedOut);
    spinFor(50);
    EXPECT_EQ(roundsStarted, 1);

    // With no round in flight it stops at once.
    echo().manual = false;
    monitor->start(1h);
    ASSERT_TRUE(spinUntil([&] { return roundsFinished == 2; }, 1000));
    EXPECT_TRUE(monitor->nextRound().isValid());
    monitor->stopAfterRound();
    EXPECT_FALSE(monitor->running());
    EXPECT_EQ(stops, 2);
}

TEST_F(MonitorRounds, AShorterIntervalAppliesAtOnceAlsoDuringARound)
{
    add("one", 1);
    echo().manual = true;
    monitor->start(1h);
    // Set while the first round is in flight: its end must not wait an hour.
    monitor->setInterval(20ms);
    answerAll(1);
    ASSERT_TRUE(spinUntil([&] { return roundsStarted == 2; }, 2000)) << "the next round kept the old interval";
    monitor->stop();
}

} // namespace
