#include "ping/LinuxEchoChannel.h"
#include "ping/TestNetwork.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QThread>
#include <QTimer>
#include <grp.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <tuple>
#include <unistd.h>
#include <vector>

using namespace TestNet;
using Kind = LinuxEchoChannel::Kind;
using Preference = LinuxEchoChannel::Preference;

class EchoOnTestNetwork : public ::testing::TestWithParam<Preference> {
protected:
    std::unique_ptr<LinuxEchoChannel> channel;

    void SetUp() override
    {
        REQUIRE_TEST_NETWORK();
        channel = LinuxEchoChannel::open(GetParam());
        ASSERT_EQ(channel->kind(), GetParam() == Preference::RawOnly ? Kind::Raw : Kind::Datagram);
    }
    EchoOutcome send(const char *target, int size = 56, int ttl = 64, int flags = 0, std::uint32_t timeout = 1000)
    {
        EchoRequest r;
        r.target = ip(target);
        r.data = QByteArray(size, 'x');
        r.ttl = ttl;
        r.flags = flags;
        r.timeoutMs = timeout;
        // The blocking wait, as the one blocking echo waits.
        std::optional<EchoOutcome> outcome;
        channel->send(r, [&outcome](const EchoOutcome &o) { outcome = o; });
        const auto giveUp = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout + 1000);
        while (!outcome && std::chrono::steady_clock::now() < giveUp)
            channel->wait(std::chrono::milliseconds(50));
        return outcome.value_or(EchoOutcome{});
    }
    // The way the program waits: on the event loop, which runs meanwhile.
    EchoOutcome sendOnEventLoop(const char *target, std::uint32_t timeout)
    {
        EchoRequest r;
        r.target = ip(target);
        r.data = QByteArray(56, 'x');
        r.timeoutMs = timeout;
        std::optional<EchoOutcome> outcome;
        QEventLoop loop;
        channel->send(r, [&](const EchoOutcome &o) {
            outcome = o;
            loop.quit();
        });
        QTimer::singleShot(int(timeout) + 1000, &loop, &QEventLoop::quit);
        if (!outcome)
            loop.exec();
        return outcome.value_or(EchoOutcome{});
    }
};

TEST_P(EchoOnTestNetwork, LiveHostsAnswerWithTheirDataAndOptions)
{
    for (int size : {56, 0, 1, 1372, 4000}) {
        const EchoOutcome o = send(live5, size);
        ASSERT_EQ(o.replies, 1) << size;
        EXPECT_EQ(o.reply.Status, 0u);
        EXPECT_EQ(o.reply.Address, ip(live5).networkOrder());
        EXPECT_EQ(o.reply.DataSize, size);
        EXPECT_LT(o.reply.RoundTripTime, 1000u);
        EXPECT_EQ(o.reply.Options.Ttl, 63); // one router on the way back
    }
    // Many in a row on one channel: each reply is matched to its request.
    for (int i = 0; i < 50; ++i)
        ASSERT_EQ(send(live1).replies, 1) << i;
}

TEST_P(EchoOnTestNetwork, FailuresMapToTheirStatus)
{
    struct Case {
        const char *target;
        int ttl;
        std::uint32_t status;
        const char *from;
    };
    const Case cases[] = {
        {rejected, 64, IP_DEST_HOST_UNREACHABLE, rejected},
        {noRoute, 64, IP_DEST_NET_UNREACHABLE, router},
        {live5, 1, IP_TTL_EXPIRED_TRANSIT, router},
        {prohibited, 64, IP_BAD_DESTINATION, prohibited},
        {unreachable, 64, IP_DEST_HOST_UNREACHABLE, unreachable},
    };
    for (const Case &c : cases) {
        const EchoOutcome o = send(c.target, 56, c.ttl);
        EXPECT_EQ(o.replies, 0) << c.target;
        EXPECT_EQ(o.reply.Status, c.status) << c.target << " ttl " << c.ttl;
        if (o.reply.Status == IP_TTL_EXPIRED_TRANSIT || o.reply.Status == IP_DEST_NET_UNREACHABLE) {
            EXPECT_EQ(o.reply.Address, ip(c.from).networkOrder()) << c.target;
        }
    }
    // After all those errors the channel still works.
    EXPECT_EQ(send(live1).replies, 1);
}

TEST_P(EchoOnTestNetwork, DontFragmentIsHonouredAndFragmentationOtherwise)
{
    // The router's link towards the hosts carries 1400 bytes.
    const EchoOutcome df = send(live5, 1450, 64, IP_FLAG_DF);
    EXPECT_EQ(df.replies, 0);
    EXPECT_EQ(df.reply.Status, IP_PACKET_TOO_BIG);
    const EchoOutcome fragmented = send(live5, 1450, 64, 0);
    EXPECT_EQ(fragmented.replies, 1);
    EXPECT_EQ(send(live5, 70000 & 0xFFFF).replies, 1);
    EXPECT_EQ(send(live5, 65535).reply.Status, IP_PACKET_TOO_BIG); // larger than an IPv4 datagram holds
}

TEST_P(EchoOnTestNetwork, TimeToLiveZeroMeansTheSystemDefault)
{
    const EchoOutcome o = send(live5, 56, 0);
    EXPECT_EQ(o.replies, 1);
    EXPECT_EQ(send(live5, 56, 255).replies, 1);
}

TEST_P(EchoOnTestNetwork, ATimeoutKeepsTheEventLoopRunningWithoutSpinning)
{
    int ticks = 0;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&] { ++ticks; });
    timer.start(50);
    QElapsedTimer wall;
    wall.start();
    const double cpuBefore = cpuMs();
    const EchoOutcome o = sendOnEventLoop(dropped, 600);
    const double cpu = cpuMs() - cpuBefore;
    EXPECT_EQ(o.replies, 0);
    EXPECT_EQ(o.reply.Status, IP_REQ_TIMED_OUT);
    EXPECT_GE(wall.elapsed(), 590);
    EXPECT_LT(wall.elapsed(), 1500);
    EXPECT_GE(ticks, 8); // the window would have repainted and scrolled meanwhile
    EXPECT_LT(cpu, 100.0) << "processor time spent waiting";
}

TEST_P(EchoOnTestNetwork, AbortEndsTheWaitAtOnce)
{
    QTimer::singleShot(50, [this] { channel->abort(); });
    QElapsedTimer wall;
    wall.start();
    const EchoOutcome o = sendOnEventLoop(dropped, 5000);
    EXPECT_EQ(o.replies, 0);
    EXPECT_LT(wall.elapsed(), 1000);
}

// Many requests at once on the one socket, answered, refused and left
// unanswered in whatever order the network takes: each outcome reaches the
// request it belongs to, and the silent ones all end after one timeout.
TEST_P(EchoOnTestNetwork, ManyRequestsInFlightEachGetTheirOwnOutcome)
{
    struct Case {
        QString target;
        int ttl;
        int replies;
        std::uint32_t status;
        QString from;
    };
    std::vector<Case> failures = {{rejected, 64, 0, IP_DEST_HOST_UNREACHABLE, rejected},
                                  {noRoute, 64, 0, IP_DEST_NET_UNREACHABLE, router},
                                  {live(99), 1, 0, IP_TTL_EXPIRED_TRANSIT, router},
                                  {prohibited, 64, 0, IP_BAD_DESTINATION, prohibited},
                                  {unreachable, 64, 0, IP_DEST_HOST_UNREACHABLE, unreachable}};
    for (int k = 1; k <= 8; ++k)
        failures.push_back({silent(k), 64, 0, IP_REQ_TIMED_OUT, QString()});
    // Every third request fails: errors and replies come back interleaved.
    std::vector<Case> cases;
    for (std::size_t k = 1; k <= 3 * failures.size(); ++k) {
        cases.push_back({live(int(k)), 64, 1, IP_SUCCESS, live(int(k))});
        if (k % 3 == 0)
            cases.push_back(failures[k / 3 - 1]);
    }
    std::vector<EchoOutcome> outcomes(cases.size());
    std::size_t ended = 0;
    QEventLoop loop;
    QElapsedTimer wall;
    wall.start();
    for (std::size_t i = 0; i < cases.size(); ++i) {
        EchoRequest r;
        r.target = ip(cases[i].target.toLatin1().constData());
        r.data = QByteArray(56, 'x');
        r.ttl = cases[i].ttl;
        r.timeoutMs = 700;
        channel->send(r, [&, i](const EchoOutcome &o) {
            outcomes[i] = o;
            if (++ended == cases.size())
                loop.quit();
        });
    }
    if (ended < cases.size())
        loop.exec();
    EXPECT_LT(wall.elapsed(), 1400); // one timeout, not one per silent host
    for (std::size_t i = 0; i < cases.size(); ++i) {
        const Case &c = cases[i];
        const EchoOutcome &o = outcomes[i];
        EXPECT_EQ(std::tuple(o.replies, o.reply.Status, o.reply.DataSize),
                  std::tuple(c.replies, c.status, std::uint16_t(56 * c.replies)))
            << c.target.toStdString();
        EXPECT_EQ(o.reply.Address, c.from.isEmpty() ? 0 : ip(c.from.toLatin1().constData()).networkOrder())
            << c.target.toStdString();
    }
}

// An error report that arrives while nothing reads the socket also leaves
// a pending socket error; the next send, for another host, must not take
// it for its own.
TEST_P(EchoOnTestNetwork, AnErrorReportLeftUnreadNeverFailsTheNextSend)
{
    std::vector<EchoOutcome> outcomes;
    EchoRequest r;
    r.data = QByteArray(56, 'x');
    r.timeoutMs = 1000;
    r.target = ip(switchedOff);
    channel->send(r, [&](const EchoOutcome &o) { outcomes.push_back(o); });
    QThread::msleep(400); // the router's report comes meanwhile
    r.target = ip(live1);
    channel->send(r, [&](const EchoOutcome &o) { outcomes.push_back(o); });
    QElapsedTimer wall;
    wall.start();
    while (outcomes.size() < 2 && wall.elapsed() < 1500)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    ASSERT_EQ(outcomes.size(), 2u);
    EXPECT_EQ(std::pair(outcomes[0].replies, outcomes[0].reply.Status),
              std::pair(0, std::uint32_t(IP_DEST_HOST_UNREACHABLE)));
    EXPECT_EQ(std::pair(outcomes[1].replies, outcomes[1].reply.Address), std::pair(1, ip(live1).networkOrder()));
}

INSTANTIATE_TEST_SUITE_P(Sockets, EchoOnTestNetwork, ::testing::Values(Preference::DatagramOnly, Preference::RawOnly),
                         [](const auto &info) { return info.param == Preference::RawOnly ? "Raw" : "Datagram"; });

// A normal user where unprivileged ICMP is not allowed: opening fails with
// the message that the window then explains.
TEST(EchoPermissions, AnUnprivilegedUserGetsTheServiceMessage)
{
    REQUIRE_TEST_NETWORK();
    const char *range = "/proc/sys/net/ipv4/ping_group_range";
    QFile file(QString::fromLatin1(range));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray saved = file.readAll();
    file.close();
    auto writeRange = [&](const QByteArray &value) {
        QFile f(QString::fromLatin1(range));
        return f.open(QIODevice::WriteOnly) && f.write(value) == value.size();
    };
    ASSERT_TRUE(writeRange("1 0")); // this namespace only

    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    const pid_t child = fork();
    if (child == 0) {
        close(fds[0]);
        char verdict = '?';
        if (setgroups(0, nullptr) == 0 && setgid(65534) == 0 && setuid(65534) == 0) {
            try {
                LinuxEchoChannel::open();
                verdict = 'o';
            } catch (const EchoChannelError &e) {
                verdict = e.failure() == EchoFailure::NotPermitted
                                  && std::string(e.what()) == "Unable to register icmp.dll"
                                  && e.detail().contains("CAP_NET_RAW")
                              ? 'r'
                              : 'x';
            }
        }
        (void)!write(fds[1], &verdict, 1);
        _exit(0);
    }
    close(fds[1]);
    char verdict = 0;
    (void)!read(fds[0], &verdict, 1);
    close(fds[0]);
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_TRUE(writeRange(saved.trimmed()));
    EXPECT_EQ(verdict, 'r');
}
