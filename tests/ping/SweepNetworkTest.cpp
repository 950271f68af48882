#include "gui/MainWindow.h"
#include "ping/HostResolver.h"
#include "ping/LinuxEchoChannel.h"
#include "ping/Ping.h"
#include "ping/TestNetwork.h"
#include "ping/WindowOnTestNetwork.h"
#include "resources/ResourceList.h"
#include "support/FakePrompts.h"

#include <QAction>
#include <QElapsedTimer>
#include <QRegularExpression>
#include <QThread>
#include <QTimer>

#include <chrono>
#include <cstdio>
#include <gtest/gtest.h>
#include <map>

using namespace TestNet;

namespace {

class SweepOnTestNetwork : public WindowOnTestNetwork {
protected:
    void add(const QString &name, const QString &address)
    {
        core->list().append(ResourceRow::created(name, address, "LAB"));
    }
    QString cell(int row, int sub) const { return core->list().row(row).subItem(sub); }
};

// What a row ended with, the round-trip time left out.
QString outcome(const ResourceRow &row)
{
    static const QRegularExpression time(QStringLiteral(" in \\d+ ms$"));
    return QStringList({row.subItem(siResource), row.subItem(siAddress),
                        row.subItem(siMessage).replace(time, " in _ ms"), QString::number(row.imageIndex),
                        row.subItem(siLastTest).isEmpty() ? "-" : "tested"})
        .join(" | ");
}

} // namespace

// Live, silent, rejected and unknown hosts mixed: many rows in flight end
// exactly as one row at a time does, in about one timeout instead of one
// per silent host.
TEST_F(SweepOnTestNetwork, EveryKindOfHostEndsTheSameOneAtATimeAndManyAtOnce)
{
    constexpr int kTimeout = 400, kLive = 32, kSilent = kLive / 4;
    setEcho(kTimeout);
    std::map<int, QStringList> ended;
    std::map<int, qint64> took;
    for (const int parallel : {1, EchoSettings{}.parallel}) {
        core->list().clear();
        add("refusing", rejected);
        add("far", noRoute);
        add("off", switchedOff);
        for (int k = 1; k <= kLive; ++k) {
            add(QStringLiteral("host%1").arg(k), k % 3 ? live(k) : QString()); // every third by name
            if (k % 4 == 0)
                add(QStringLiteral("quiet%1").arg(k / 4), silent(k / 4));
        }
        add("no-such-host", "");
        add("everyone", "255.255.255.255");
        add("typed", "10.201.2.05");
        add("skipped", live1);
        core->list().setChecked(core->list().count() - 1, false);
        setEcho(kTimeout, parallel);
        QElapsedTimer t;
        t.start();
        ping();
        took[parallel] = t.elapsed();
        EXPECT_EQ(w->statusText(6), "Done");
        for (const ResourceRow &row : core->list().rows())
            ended[parallel] << outcome(row);
    }
    EXPECT_EQ(ended[EchoSettings{}.parallel], ended[1]);
    const std::pair<QString, int> expected[] = {
        {" | Received 56 bytes in _ ms | 6 | tested", kLive + 1},
        {" | Cannot ping host : Request timed out | 5 | tested", kSilent},
        {"refusing | 10.201.9.2 | Cannot ping host : Destination host unreachable | 5 | tested", 1},
        {"far | 10.201.7.1 | Cannot ping host : Destination network unreachable | 5 | tested", 1},
        {"off | 10.201.1.200 | Cannot ping host : Destination host unreachable | 5 | tested", 1},
        {"no-such-host |  | Unknown host | 5 | -", 1},
        {"everyone | 255.255.255.255 | Cannot ping host : Bad Destination | 5 | tested", 1},
        {"typed | 10.201.2.5 | Received", 1},
        {"skipped | 10.201.2.1 | <not tested> | 0 | -", 1},
    };
    for (const auto &[text, count] : expected)
        EXPECT_EQ(ended[1].filter(text).size(), count) << text.toStdString();
    EXPECT_GE(took[1], kSilent * kTimeout);
    EXPECT_LT(took[EchoSettings{}.parallel], 3 * kTimeout) << "one at a time took " << took[1] << " ms";
}

// The router passes at most 1500 echo requests a second towards the
// limited hosts: paced, every one of 250 answers; unpaced, many of the
// bursts are dropped and live hosts end as "Request timed out".
TEST_F(SweepOnTestNetwork, PacedRequestsGetThroughARoutersEchoRateLimit)
{
    setEcho(500);
    for (int k = 1; k <= 250; ++k)
        add(QStringLiteral("limited%1").arg(k), limited(k));
    auto timedOut = [this] {
        int n = 0;
        for (const ResourceRow &row : core->list().rows())
            n += row.subItem(siMessage) == "Cannot ping host : Request timed out";
        return n;
    };
    ping();
    EXPECT_EQ(timedOut(), 0);
    QThread::msleep(200); // the router's allowance fills up again
    core->sweep().setSendGap(std::chrono::microseconds(0));
    ping();
    const int lost = timedOut();
    EXPECT_GT(lost, 0) << "the limit does not bite: this test shows nothing";
    std::printf("unpaced: %d of 250 live hosts timed out behind the rate limit\n", lost);
}

TEST_F(SweepOnTestNetwork, ClosingTheWindowEndsASweepPromptly)
{
    setEcho(4000);
    for (int i = 0; i < 5; ++i)
        add(QStringLiteral("quiet%1").arg(i), dropped);
    QTimer::singleShot(300, w.get(), [this] { w->close(); });
    QElapsedTimer t;
    t.start();
    ping();
    EXPECT_LT(t.elapsed(), 1500);
    EXPECT_FALSE(core->sweep().running());
    EXPECT_EQ(cell(4, siMessage), "Sending 56 bytes..."); // in flight when the window closed
}

TEST_F(SweepOnTestNetwork, EchoWaitsDoNotSpinTheProcessor)
{
    // Hosts that never answer: the sweep waits on the event loop.
    setEcho(300, 1);
    add("quiet", dropped);
    add("quiet2", dropped);
    const double before = cpuMs();
    QElapsedTimer t;
    t.start();
    ping();
    const double cpu = cpuMs() - before;
    EXPECT_GE(t.elapsed(), 590);
    EXPECT_LT(cpu, 0.5 * double(t.elapsed())) << "processor time " << cpu << " ms over " << t.elapsed() << " ms";
}
