#include "app/MainWindow.h"
#include "ping/HostResolver.h"
#include "ping/LinuxEchoChannel.h"
#include "ping/Ping.h"
#include "ping/TestNetwork.h"
#include "ping/WindowOnTestNetwork.h"
#include "resources/ResourceList.h"
#include "support/FakePrompts.h"

#include <QAction>
#include <QElapsedTimer>
#include <QTimer>
#include <gtest/gtest.h>

using namespace TestNet;

namespace {

class SweepOnTestNetwork : public WindowOnTestNetwork {
protected:
    void add(const QString &name, const QString &address) { w->list().append(ResourceRow::created(name, address, "LAB")); }
    QString cell(int row, int sub) const { return w->list().row(row).subItem(sub); }
    void ping() { w->findChild<QAction *>("mmPing")->trigger(); }
};

} // namespace

TEST_F(SweepOnTestNetwork, EveryKindOfHostThroughTheMainWindow)
{
    w->ping().setTimeout(400);
    add("alpha", "");
    add("typed", "10.201.2.05");
    add("quiet", dropped);
    add("refusing", rejected);
    add("no-such-host", "");
    add("everyone", "255.255.255.255");
    add("skipped", live1);
    add("far", noRoute);
    w->list().setChecked(6, false);

    QElapsedTimer t;
    t.start();
    ping();
    EXPECT_TRUE(prompts.errors.isEmpty()) << prompts.errors.join('\n').toStdString();

    EXPECT_EQ(cell(0, siAddress), live1);
    EXPECT_TRUE(cell(0, siMessage).startsWith("Received 56 bytes in ")) << cell(0, siMessage).toStdString();
    EXPECT_EQ(w->list().row(0).imageIndex, imgReply);
    EXPECT_FALSE(cell(0, siLastTest).isEmpty());
    EXPECT_EQ(cell(1, siAddress), "10.201.2.5");
    EXPECT_EQ(w->list().row(1).imageIndex, imgReply);
    EXPECT_EQ(cell(2, siMessage), "Cannot ping host : Request timed out");
    EXPECT_EQ(cell(3, siMessage), "Cannot ping host : Destination host unreachable");
    EXPECT_EQ(cell(4, siMessage), "Unknown host");
    EXPECT_TRUE(cell(4, siLastTest).isEmpty());
    EXPECT_EQ(cell(5, siMessage), "Cannot ping host : Bad Destination");
    EXPECT_EQ(cell(6, siMessage), "<not tested>");
    EXPECT_EQ(cell(7, siMessage), "Cannot ping host : Destination network unreachable");
    EXPECT_EQ(w->statusText(6), "Done");
    EXPECT_LT(t.elapsed(), 5000);
}

TEST_F(SweepOnTestNetwork, ClosingTheWindowEndsASweepPromptly)
{
    w->ping().setTimeout(4000);
    for (int i = 0; i < 5; ++i)
        add(QStringLiteral("quiet%1").arg(i), dropped);
    QTimer::singleShot(300, w.get(), [this] { w->close(); });
    QElapsedTimer t;
    t.start();
    ping();
    EXPECT_LT(t.elapsed(), 1500);
    EXPECT_FALSE(w->sweep().running());
    EXPECT_EQ(cell(1, siMessage), "<not tested>");
}

TEST_F(SweepOnTestNetwork, EchoWaitsDoNotSpinTheProcessor)
{
    // Hosts that never answer: the sweep waits on the event loop.
    w->ping().setTimeout(300);
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
