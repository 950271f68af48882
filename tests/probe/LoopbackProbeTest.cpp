// The real prober on loopback: a listening port connects, a port nobody
// listens on refuses, and a port whose queue is full stays silent.
#include "probe/LinuxHostProber.h"
#include "probe/ProbeFakes.h"
#include "probe/ProbeSockets.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>

#include <sys/resource.h>

namespace {

using namespace std::chrono_literals;
using Kind = ProbeProof::Kind;
using ProbeSockets::LoopbackPort;
using ProbeSockets::openDescriptors;

const Ipv4Address kLoopback = Ipv4Address::fromHostOrder(0x7F000001);

struct Outcome {
    int calls = 0;
    std::optional<ProbeProof> proof;
    qint64 atMs = -1;
};

int start(HostProber &prober, Outcome &outcome, const QList<quint16> &ports, bool neighbour,
          std::chrono::milliseconds budget, const QElapsedTimer &clock)
{
    ProbeRequest r;
    r.target = kLoopback;
    r.ports = ports;
    r.neighbour = neighbour;
    r.budget = budget;
    return prober.probe(r, [&outcome, &clock](const std::optional<ProbeProof> &proof) {
        ++outcome.calls;
        outcome.proof = proof;
        outcome.atMs = clock.elapsed();
    });
}

} // namespace

TEST(LoopbackProbe, ListeningConnectsClosedRefusesFullIsSilent)
{
    LoopbackPort listening(16), closed(-1), full(0);
    ASSERT_TRUE(listening.port() && closed.port() && full.port());
    ASSERT_TRUE(full.fill());
    struct Case {
        const char *name;
        QList<quint16> ports;
        std::optional<Kind> kind;
        quint16 port;
    };
    const Case cases[] = {
        {"a listening port", {listening.port()}, Kind::TcpConnected, listening.port()},
        {"a port nobody listens on", {closed.port()}, Kind::TcpRefused, closed.port()},
        {"a silent port beside a listening one", {full.port(), listening.port()}, Kind::TcpConnected, listening.port()},
        {"a silent port beside a closed one", {closed.port(), full.port()}, Kind::TcpRefused, closed.port()},
        {"a silent port", {full.port()}, std::nullopt, 0},
    };
    LinuxHostProber prober;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const int before = openDescriptors();
        QElapsedTimer clock;
        clock.start();
        Outcome outcome;
        start(prober, outcome, c.ports, false, 300ms, clock);
        EXPECT_EQ(outcome.calls, 0) << "reported inside probe()";
        ASSERT_TRUE(spinUntil([&] { return outcome.calls > 0; }, 2000));
        spinFor(10);
        EXPECT_EQ(outcome.calls, 1);
        EXPECT_EQ(outcome.proof.has_value(), c.kind.has_value());
        if (outcome.proof && c.kind) {
            EXPECT_EQ(outcome.proof->kind, *c.kind);
            EXPECT_EQ(outcome.proof->port, c.port);
            EXPECT_TRUE(outcome.proof->mac.isEmpty());
            EXPECT_LE(outcome.proof->microseconds, 300 * 1000);
            EXPECT_LT(outcome.atMs, 300);
        } else {
            EXPECT_GE(outcome.atMs, 300);
            EXPECT_LE(outcome.atMs, 400);
        }
        EXPECT_EQ(openDescriptors(), before) << "a socket was left open";
    }
}

TEST(LoopbackProbe, CancelAndTheProbersEndCloseEverythingAtOnce)
{
    LoopbackPort full(0);
    ASSERT_TRUE(full.fill());
    struct Case {
        const char *name;
        bool destroy;
    };
    for (const Case c : {Case{"cancel", false}, Case{"the prober goes away", true}}) {
        SCOPED_TRACE(c.name);
        const int before = openDescriptors();
        auto prober = std::make_unique<LinuxHostProber>();
        QElapsedTimer clock;
        clock.start();
        Outcome outcomes[3];
        int tickets[3];
        for (int i = 0; i < 3; ++i)
            tickets[i] = start(*prober, outcomes[i], {full.port(), quint16(full.port())}, true, 200ms, clock);
        spinFor(20);
        EXPECT_GT(openDescriptors(), before);
        if (c.destroy) {
            prober.reset();
        } else {
            for (const int ticket : tickets)
                prober->cancel(ticket);
        }
        const int after = openDescriptors();
        spinFor(300);
        for (const Outcome &o : outcomes)
            EXPECT_EQ(o.calls, 0);
        // The netlink socket and the epoll set stay with a prober that stays.
        EXPECT_EQ(after, before + (c.destroy ? 0 : 2));
    }
}

// A sweep of a large subnet needs more descriptors than the usual soft
// limit: the prober takes what the hard limit allows.
TEST(LoopbackProbe, RaisesTheSoftDescriptorLimitWhenItRunsOut)
{
    rlimit original{};
    ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &original), 0);
    LoopbackPort full(0), closed(-1);
    ASSERT_TRUE(full.fill());
    const int open = openDescriptors();
    if (rlim_t(open + 64) > original.rlim_max)
        GTEST_SKIP() << "the hard limit leaves no room";
    LinuxHostProber prober;
    rlimit low = original;
    low.rlim_cur = rlim_t(open + 8);
    ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &low), 0);
    // Seventeen sockets at once, more than the lowered limit leaves.
    QList<quint16> ports;
    ports << full.port();
    for (quint16 i = 1; i < 16; ++i)
        ports << quint16(closed.port() - 20 + i);
    ports << closed.port();
    QElapsedTimer clock;
    clock.start();
    Outcome outcome;
    start(prober, outcome, ports, false, 300ms, clock);
    rlimit now{};
    getrlimit(RLIMIT_NOFILE, &now);
    const bool gotProof = spinUntil([&] { return outcome.calls > 0; }, 2000) && outcome.proof;
    setrlimit(RLIMIT_NOFILE, &original);
    EXPECT_EQ(now.rlim_cur, original.rlim_max);
    EXPECT_TRUE(gotProof);
}
