// The fake prober keeps the contract the sweep's tests rely on: answers
// come from the event loop, never inside probe(), and a cancel stops them.
#include "support/FakeHostProber.h"
#include "probe/ProbeFakes.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>

using namespace std::chrono_literals;

TEST(FakeHostProber, AnswersFromItsTableThroughTheEventLoop)
{
    const Ipv4Address proved = Ipv4Address::fromHostOrder(0x0AD5010A);
    const Ipv4Address silent = Ipv4Address::fromHostOrder(0x0AD5010B);
    const Ipv4Address never = Ipv4Address::fromHostOrder(0x0AD5010C);
    const Ipv4Address unknown = Ipv4Address::fromHostOrder(0x0AD5010D);
    FakeHostProber prober;
    prober.answers.insert(proved, {FakeHostProber::connected(445), 30ms, false});
    prober.answers.insert(silent, {std::nullopt, 10ms, false});
    prober.answers.insert(never, {std::nullopt, 0ms, true});
    struct Case {
        Ipv4Address target;
        bool answers;
        std::optional<ProbeProof> proof;
        qint64 earliestMs;
    };
    const Case cases[] = {
        {proved, true, FakeHostProber::connected(445), 30},
        {silent, true, std::nullopt, 10},
        {never, false, std::nullopt, 0},
        {unknown, true, std::nullopt, 80}, // silent for the whole budget
    };
    QElapsedTimer clock;
    clock.start();
    int calls[4] = {};
    std::optional<ProbeProof> proofs[4];
    qint64 at[4] = {};
    for (int i = 0; i < 4; ++i)
        prober.probe(ProbeRequest{cases[i].target, {445}, false, 80ms}, [&, i](const std::optional<ProbeProof> &p) {
            ++calls[i];
            proofs[i] = p;
            at[i] = clock.elapsed();
        });
    EXPECT_EQ(calls[0] + calls[1] + calls[2] + calls[3], 0) << "answered inside probe()";
    spinFor(150);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(calls[i], cases[i].answers ? 1 : 0) << i;
        EXPECT_EQ(proofs[i], cases[i].proof) << i;
        if (cases[i].answers) {
            EXPECT_GE(at[i], cases[i].earliestMs) << i;
        }
    }
    const int waiting = prober.ticketTo(never);
    ASSERT_NE(waiting, 0);
    prober.cancel(waiting);
    prober.cancel(1); // answered already
    EXPECT_EQ(prober.cancelled, QList<int>{waiting});
    EXPECT_EQ(prober.cancelledUnknown, QList<int>{1});
    EXPECT_EQ(prober.requests.size(), 4u);

    // Cancelled before its answer: it never comes.
    const int ticket =
        prober.probe(ProbeRequest{proved, {445}, false, 80ms}, [&](const std::optional<ProbeProof> &) { ++calls[0]; });
    prober.cancel(ticket);
    spinFor(60);
    EXPECT_EQ(calls[0], 1);
}
