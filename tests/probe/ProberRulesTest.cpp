// The prober's own rules, with fake parts: which answer counts, when a
// probe ends, and what cancelling or dropping it leaves behind.
#include "probe/LinuxHostProber.h"
#include "probe/ProbeFakes.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>

#include <cerrno>
#include <linux/neighbour.h>
#include <thread>
#include <variant>

namespace {

using namespace std::chrono_literals;
using Kind = ProbeProof::Kind;

Ipv4Address ip(const char *dotted) { return *Ipv4Address::fromText(QString::fromLatin1(dotted)); }

const Ipv4Address kTarget = ip("10.213.1.10");
const Ipv4Address kRouter = ip("10.213.1.1");
const QByteArray kMac = QByteArray::fromHex("02005e10000a");

NeighbourEntry neighbour(Ipv4Address address, quint16 state, const QByteArray &mac)
{
    NeighbourEntry e;
    e.address = address;
    e.interfaceIndex = 2;
    e.state = state;
    e.linkAddress = mac;
    return e;
}

// What a probe's DONE saw.
struct Outcome {
    int calls = 0;
    std::optional<ProbeProof> proof;
    qint64 atMs = -1; // when it came, from the test's start
    // What was still open or watched when it came: a probe closes what it
    // opened before its answer is reported.
    qsizetype openAtReport = -1;
    int watchedAtReport = -1;
};

class ProberRules : public ::testing::Test {
protected:
    std::shared_ptr<FakeParts> parts = std::make_shared<FakeParts>();
    std::unique_ptr<LinuxHostProber> prober = std::make_unique<LinuxHostProber>(
        std::make_unique<FakeConnects>(parts), std::make_unique<FakeNeighbours>(parts));
    QElapsedTimer clock;

    void SetUp() override { clock.start(); }

    int start(Outcome &outcome, QList<quint16> ports, bool withNeighbour, std::chrono::milliseconds budget = 1000ms,
              Ipv4Address target = kTarget)
    {
        ProbeRequest r;
        r.target = target;
        r.ports = std::move(ports);
        r.neighbour = withNeighbour;
        r.budget = budget;
        return prober->probe(r, [this, &outcome](const std::optional<ProbeProof> &proof) {
            ++outcome.calls;
            outcome.proof = proof;
            outcome.atMs = clock.elapsed();
            outcome.openAtReport = parts->open.size();
            outcome.watchedAtReport = watchedNow();
        });
    }
    int watchedNow() const
    {
        int n = 0;
        for (const int count : parts->watched)
            n += count;
        return n;
    }
};

} // namespace

TEST_F(ProberRules, WhichAnswerTheProbeReports)
{
    // One step: a port's connect ends, or the neighbour table shows an entry.
    using Step = std::variant<std::pair<quint16, ConnectEnd>, NeighbourEntry>;
    struct Case {
        const char *name;
        std::vector<Step> steps;
        Kind kind;
        quint16 port;
        QByteArray mac;
    };
    const ConnectEnd routerSaysNo{EHOSTUNREACH, kRouter};
    const Case cases[] = {
        {"a port takes the connection", {std::pair{quint16(445), ConnectEnd{0, {}}}}, Kind::TcpConnected, 445, {}},
        {"a reset after a router's report",
         {std::pair{quint16(139), routerSaysNo}, std::pair{quint16(22), ConnectEnd{ECONNREFUSED, {}}}},
         Kind::TcpRefused,
         22,
         {}},
        {"the earlier of two answers",
         {std::pair{quint16(22), ConnectEnd{ECONNREFUSED, {}}}, std::pair{quint16(445), ConnectEnd{0, {}}}},
         Kind::TcpRefused,
         22,
         {}},
        {"a port that answers soon after the entry says more than the entry",
         {std::pair{quint16(445), routerSaysNo}, neighbour(kTarget, NUD_INCOMPLETE, {}),
          neighbour(kTarget, NUD_REACHABLE, kMac), std::pair{quint16(139), ConnectEnd{0, {}}}},
         Kind::TcpConnected,
         139,
         {}},
        {"an entry once it is resolved, when the ports stay silent",
         {std::pair{quint16(445), routerSaysNo}, neighbour(kTarget, NUD_INCOMPLETE, {}),
          neighbour(kTarget, NUD_REACHABLE, kMac)},
         Kind::Neighbour,
         0,
         kMac},
        {"an entry, and then every port says no",
         {neighbour(kTarget, NUD_REACHABLE, kMac), std::pair{quint16(445), routerSaysNo},
          std::pair{quint16(139), routerSaysNo}, std::pair{quint16(22), routerSaysNo}},
         Kind::Neighbour,
         0,
         kMac},
        {"another address's entry counts for nothing",
         {neighbour(ip("10.213.1.11"), NUD_REACHABLE, kMac), std::pair{quint16(139), ConnectEnd{0, {}}}},
         Kind::TcpConnected,
         139,
         {}},
        {"a refusal relayed by a router counts for nothing",
         {std::pair{quint16(445), ConnectEnd{ECONNREFUSED, kRouter}}, neighbour(kTarget, NUD_STALE, kMac)},
         Kind::Neighbour,
         0,
         kMac},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        parts->closed.clear();
        Outcome outcome;
        clock.restart();
        start(outcome, {445, 139, 22}, true);
        ASSERT_EQ(parts->open.size(), 3);
        ASSERT_EQ(watchedNow(), 1);
        for (const Step &step : c.steps) {
            if (const auto *connect = std::get_if<std::pair<quint16, ConnectEnd>>(&step))
                parts->endConnect(connect->first, connect->second); // false once the probe closed it
            else
                parts->see(std::get<NeighbourEntry>(step));
        }
        EXPECT_EQ(outcome.calls, 0) << "reported inside the part's report";
        ASSERT_TRUE(spinUntil([&] { return outcome.calls > 0; }, 500));
        spinFor(20);
        EXPECT_EQ(outcome.calls, 1);
        // Well before the budget: an entry waits for the ports only briefly.
        EXPECT_LE(outcome.atMs, LinuxHostProber::kPortGrace.count() + 100);
        EXPECT_EQ(outcome.openAtReport, 0);
        EXPECT_EQ(outcome.watchedAtReport, 0);
        ASSERT_TRUE(outcome.proof);
        EXPECT_EQ(outcome.proof->kind, c.kind);
        EXPECT_EQ(outcome.proof->port, c.port);
        EXPECT_EQ(outcome.proof->mac, c.mac);
        EXPECT_GE(outcome.proof->microseconds, 0);
        EXPECT_LE(outcome.proof->microseconds, 1000 * 1000);
        EXPECT_EQ(prober->inFlight(), 0);
    }
}

TEST_F(ProberRules, EndsWithNothingAtItsBudgetOrSoonerWhenNothingIsLeftToAsk)
{
    struct Case {
        const char *name;
        QList<quint16> ports;
        bool neighbour;
        QSet<quint16> noSocket;
        std::vector<std::pair<quint16, ConnectEnd>> ends;
        std::chrono::milliseconds budget;
        qint64 earliestMs, latestMs;
    };
    const ConnectEnd no{EHOSTUNREACH, kRouter};
    const Case cases[] = {
        {"silent ports", {445, 22}, false, {}, {}, 150ms, 150, 250},
        {"silent neighbour", {}, true, {}, {}, 150ms, 150, 250},
        {"every port said no, the neighbour may still answer",
         {445, 22},
         true,
         {},
         {{445, no}, {22, no}},
         150ms,
         150,
         250},
        {"every port said no", {445, 22}, false, {}, {{445, no}, {22, no}}, 5000ms, 0, 100},
        {"nothing asked", {}, false, {}, {}, 5000ms, 0, 100},
        {"no socket for any port", {445, 22}, false, {445, 22}, {}, 5000ms, 0, 100},
        {"no socket for one port, the other said no", {445, 22}, false, {22}, {{445, no}}, 5000ms, 0, 100},
        {"no budget", {445}, true, {}, {}, 0ms, 0, 100},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        parts->noSocketFor = c.noSocket;
        Outcome outcome;
        clock.restart();
        start(outcome, c.ports, c.neighbour, c.budget);
        for (const auto &[port, end] : c.ends)
            ASSERT_TRUE(parts->endConnect(port, end));
        EXPECT_EQ(outcome.calls, 0) << "reported inside probe()";
        ASSERT_TRUE(spinUntil([&] { return outcome.calls > 0; }, 2000));
        EXPECT_EQ(outcome.calls, 1);
        EXPECT_FALSE(outcome.proof);
        EXPECT_GE(outcome.atMs, c.earliestMs);
        EXPECT_LE(outcome.atMs, c.latestMs);
        EXPECT_TRUE(parts->open.isEmpty());
        EXPECT_EQ(watchedNow(), 0);
    }
}

TEST_F(ProberRules, AnAnswerReadAfterTheBudgetCountsForNothing)
{
    Outcome outcome;
    start(outcome, {445}, true, 50ms);
    // The event loop was busy past the deadline; answers were waiting.
    std::this_thread::sleep_for(80ms);
    parts->see(neighbour(kTarget, NUD_REACHABLE, kMac));
    parts->endConnect(445, ConnectEnd{0, {}});
    ASSERT_TRUE(spinUntil([&] { return outcome.calls > 0; }, 1000));
    EXPECT_FALSE(outcome.proof);
}

TEST_F(ProberRules, ProbesEndInTheOrderOfTheirDeadlines)
{
    const std::chrono::milliseconds budgets[] = {300ms, 100ms, 200ms, 100ms};
    Outcome outcomes[4];
    for (int i = 0; i < 4; ++i)
        start(outcomes[i], {445}, false, budgets[i], Ipv4Address::fromHostOrder(0x0AD50100 + quint32(i)));
    ASSERT_TRUE(spinUntil([&] { return outcomes[0].calls > 0; }, 1000));
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(outcomes[i].calls, 1) << i;
        EXPECT_GE(outcomes[i].atMs, budgets[i].count()) << i;
        EXPECT_LE(outcomes[i].atMs, budgets[i].count() + 60) << i;
    }
}

TEST_F(ProberRules, AProofEndsEveryProbeOfThatTargetAndNoOther)
{
    Outcome first, second, other;
    start(first, {445}, true);
    start(second, {}, true);
    start(other, {445}, true, 1000ms, ip("10.213.1.11"));
    parts->see(neighbour(kTarget, NUD_DELAY, kMac));
    ASSERT_TRUE(spinUntil([&] { return first.calls && second.calls; }, 500));
    EXPECT_EQ(first.proof->kind, Kind::Neighbour);
    EXPECT_EQ(second.proof->mac, kMac);
    EXPECT_EQ(other.calls, 0);
    EXPECT_EQ(prober->inFlight(), 1);
    EXPECT_EQ(parts->watched.value(ip("10.213.1.11")), 1);
    EXPECT_EQ(parts->open.size(), 1);
}

// A cancel, or the prober's end, closes what a probe opened at once and
// reports nothing, wherever the probe stood.
TEST_F(ProberRules, CancelOrTheProbersEndClosesEverythingAndReportsNothing)
{
    struct Case {
        const char *name;
        std::function<void(FakeParts &)> before; // between the start and the end
        bool destroy;
    };
    const auto waiting = [](FakeParts &) {};
    const auto onePortSaidNo = [](FakeParts &p) { p.endConnect(445, ConnectEnd{EHOSTUNREACH, kRouter}); };
    const auto answered = [](FakeParts &p) { p.endConnect(22, ConnectEnd{0, {}}); };
    const auto neighbourAnswered = [](FakeParts &p) { p.see(neighbour(kTarget, NUD_REACHABLE, kMac)); };
    const Case cases[] = {
        {"cancelled while waiting", waiting, false},
        {"cancelled after one port said no", onePortSaidNo, false},
        {"cancelled after the answer, before its report", answered, false},
        {"cancelled after the neighbour answered, before its report", neighbourAnswered, false},
        {"the prober went while waiting", waiting, true},
        {"the prober went after the answer, before its report", answered, true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        if (!prober)
            prober = std::make_unique<LinuxHostProber>(std::make_unique<FakeConnects>(parts),
                                                       std::make_unique<FakeNeighbours>(parts));
        Outcome outcome, other;
        const int ticket = start(outcome, {445, 22}, true, 100ms);
        start(other, {80}, false, 100ms, ip("10.213.1.11"));
        c.before(*parts);
        if (c.destroy) {
            prober.reset();
            EXPECT_TRUE(parts->connectsGone && parts->neighboursGone);
        } else {
            prober->cancel(ticket);
            EXPECT_EQ(parts->open.size(), 1); // the other probe's
            EXPECT_EQ(watchedNow(), 0);
            prober->cancel(ticket); // a second time: nothing happens
        }
        spinFor(200); // past the budget
        EXPECT_EQ(outcome.calls, 0);
        EXPECT_EQ(other.calls, c.destroy ? 0 : 1);
    }
}

TEST_F(ProberRules, ADoneMayCancelOrStartOthersOrEndTheProber)
{
    // Two probes answered together: the first one's DONE acts on the second.
    struct Case {
        const char *name;
        bool cancelsSecond, startsAnother, endsProber;
        int secondCalls;
    };
    const Case cases[] = {
        {"cancels the other", true, false, false, 0},
        {"starts another", false, true, false, 1},
        {"ends the prober", false, false, true, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        if (!prober)
            prober = std::make_unique<LinuxHostProber>(std::make_unique<FakeConnects>(parts),
                                                       std::make_unique<FakeNeighbours>(parts));
        Outcome second, third;
        int secondTicket = 0;
        int firstCalls = 0;
        ProbeRequest r;
        r.target = kTarget;
        r.ports = {445};
        prober->probe(r, [&](const std::optional<ProbeProof> &) {
            ++firstCalls;
            if (c.cancelsSecond)
                prober->cancel(secondTicket);
            if (c.startsAnother)
                start(third, {}, false); // ends at once, reported after this DONE returns
            if (c.endsProber)
                prober.reset();
        });
        secondTicket = start(second, {}, true, 1000ms, ip("10.213.1.12"));
        parts->endConnect(445, ConnectEnd{0, {}});
        parts->see(neighbour(ip("10.213.1.12"), NUD_REACHABLE, kMac));
        spinFor(50);
        EXPECT_EQ(firstCalls, 1);
        EXPECT_EQ(second.calls, c.secondCalls);
        EXPECT_EQ(third.calls, c.startsAnother ? 1 : 0);
    }
}
