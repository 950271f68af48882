#include "ping/Ping.h"
#include "application/PingSweep.h"
#include "resources/ListCompare.h"
#include "resources/ResourceList.h"
#include "support/FakePing.h"
#include "support/LocaleFixtures.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <time.h>
#include <gtest/gtest.h>

namespace {

std::uint32_t ip(const char *dotted) { return InetAddr(QString::fromLatin1(dotted)); }

class RecordingView : public SweepView {
public:
    QList<int> shown;
    QStringList messages;
    std::function<void(int)> onShow;
    void showRow(int row) override
    {
        shown << row;
        if (onShow)
            onShow(row);
    }
    void setMessage(const QString &text) override { messages << text; }
};

class Sweep : public ::testing::Test {
protected:
    FakeResolver resolver;
    FakeEchoFactory factory;
    ResourceList list;
    RecordingView view;
    std::unique_ptr<TPing> ping;
    std::unique_ptr<PingSweep> sweep;

    void SetUp() override { build(); }
    void build()
    {
        sweep.reset();
        ping = std::make_unique<TPing>(factory, resolver);
        ping->setSize(56);
        sweep = std::make_unique<PingSweep>(list, *ping, view);
        sweep->now = [] { return QDateTime(QDate(2026, 12, 8), QTime(14, 3, 12)); };
        list.setLocaleFormats(us());
    }
    FakeEchoChannel &echo() { return *factory.channel; }
    int add(const QString &name, const QString &address = QString())
    {
        return list.append(ResourceRow::created(name, address, "OFFICE"));
    }
    QString message(int row) const { return list.row(row).subItem(siMessage); }
};

} // namespace

TEST_F(Sweep, EmptyListOnlyReportsStartAndEnd)
{
    sweep->run();
    EXPECT_EQ(view.messages, QStringList({"Pinging resources...", "Done"}));
    EXPECT_TRUE(view.shown.isEmpty());
}

TEST_F(Sweep, UntickedRowsAreVisitedButKeepTheirCells)
{
    add("a", "10.0.0.1");
    add("b", "10.0.0.2");
    list.uncheckAll();
    const auto before = list.rows();
    sweep->run();
    EXPECT_EQ(view.shown, QList<int>({0, 1}));
    for (int i = 0; i < 2; ++i)
        EXPECT_EQ(list.row(i).subItems, before[std::size_t(i)].subItems);
    EXPECT_TRUE(echo().requests.empty());
}

TEST_F(Sweep, WritesEachOutcomeIntoItsRow)
{
    resolver.table["alpha"] = LookupResult{RESOLVE_OK, {ip("10.0.0.10"), ip("10.0.0.11")}};
    echo().outcomes[ip("10.0.0.10")] = FakeEchoChannel::reply(ip("10.0.0.10"), 56, 3);
    echo().outcomes[ip("10.0.0.1")] = FakeEchoChannel::reply(ip("10.0.0.1"), 56, 0);
    echo().outcomes[ip("10.0.0.3")] = FakeEchoChannel::failure(IP_DEST_HOST_UNREACHABLE);
    add("alpha");                     // name only: gains its address
    add("typed", "10.1");             // rewritten in canonical form
    add("ghost");                     // unknown name
    add("quiet", "10.0.0.2");         // times out
    add("refused", "10.0.0.3");       // unreachable
    add("multi", "10.0.0.4,10.0.0.5"); // the whole text is one name
    add("skipped", "10.0.0.1");
    list.setChecked(6, false);
    list.setSubItem(2, siLastTest, "old");

    sweep->run();

    EXPECT_EQ(list.row(0).subItem(siAddress), "10.0.0.10");
    EXPECT_EQ(message(0), "Received 56 bytes in 3 ms");
    EXPECT_EQ(list.row(0).imageIndex, imgReply);
    EXPECT_EQ(list.row(0).subItem(siLastTest), "12/8/2026 2:03:12 PM");
    EXPECT_EQ(list.row(1).subItem(siAddress), "10.0.0.1");
    EXPECT_EQ(message(1), "Received 56 bytes in 0 ms");
    EXPECT_EQ(message(2), "Unknown host");
    EXPECT_EQ(list.row(2).imageIndex, imgFailure);
    EXPECT_EQ(list.row(2).subItem(siLastTest), "old"); // a failed lookup keeps Last Test
    EXPECT_EQ(message(3), "Cannot ping host : Request timed out");
    EXPECT_EQ(list.row(3).subItem(siLastTest), "12/8/2026 2:03:12 PM");
    EXPECT_EQ(message(4), "Cannot ping host : Destination host unreachable");
    EXPECT_EQ(message(5), "Unknown host");
    EXPECT_EQ(resolver.asked, QStringList({"alpha", "ghost", "10.0.0.4,10.0.0.5"}));
    EXPECT_EQ(message(6), "<not tested>");
    EXPECT_EQ(view.messages.last(), "Done");
    EXPECT_EQ(view.shown.last(), 6);
}

TEST_F(Sweep, ShowsProgressInTheRowWhileItWorks)
{
    add("host", "10.0.0.1");
    QStringList seen;
    echo().duringWait = [&] { seen << message(0); };
    resolver.manual = true;
    list.setSubItem(0, siAddress, "");
    list.setSubItem(0, siResource, "host");
    resolver.table["host"] = LookupResult{RESOLVE_OK, {ip("10.0.0.1")}};
    QTimer::singleShot(0, [&] {
        seen << message(0);
        resolver.complete(resolver.pending.firstKey());
    });
    sweep->run();
    EXPECT_EQ(seen, QStringList({"Resolving hostname...", "Sending 56 bytes..."}));
}

TEST_F(Sweep, BroadcastRowEndsAsRefusedAndTheSweepGoesOn)
{
    add("bcast", "255.255.255.255");
    add("next", "10.0.0.9");
    echo().outcomes[ip("10.0.0.9")] = FakeEchoChannel::reply(ip("10.0.0.9"), 56, 1);
    sweep->run();
    EXPECT_EQ(message(0), "Cannot ping host : Bad Destination");
    EXPECT_EQ(list.row(0).imageIndex, imgFailure);
    EXPECT_EQ(message(1), "Received 56 bytes in 1 ms");
}

TEST_F(Sweep, WithoutAnEchoServiceEveryTickedRowSaysSo)
{
    factory.failWith = EchoFailure::NotPermitted;
    build();
    add("a", "10.0.0.1");
    add("b", "10.0.0.2");
    sweep->run();
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(message(i), "Cannot ping host : Echo service not available");
        EXPECT_EQ(list.row(i).imageIndex, imgFailure);
    }
    EXPECT_EQ(view.messages.last(), "Done");
}

TEST_F(Sweep, RemovingTheRowUnderTestNeverWritesIntoAnotherRow)
{
    resolver.manual = true;
    add("first");
    add("second");
    add("third", "10.0.0.3");
    resolver.table["first"] = LookupResult{RESOLVE_OK, {ip("10.0.0.1")}};
    resolver.table["second"] = LookupResult{RESOLVE_OK, {ip("10.0.0.2")}};
    echo().outcomes[ip("10.0.0.1")] = FakeEchoChannel::reply(ip("10.0.0.1"), 56, 1);
    echo().outcomes[ip("10.0.0.2")] = FakeEchoChannel::reply(ip("10.0.0.2"), 56, 2);
    echo().outcomes[ip("10.0.0.3")] = FakeEchoChannel::reply(ip("10.0.0.3"), 56, 3);
    // While "first" is looked up, the user removes it, then the answer comes.
    view.onShow = [&](int row) {
        if (list.row(row).subItem(0) != "first")
            return;
        QTimer::singleShot(0, [&] {
            list.removeAt(0);
            resolver.complete(resolver.pending.firstKey());
        });
    };
    QTimer::singleShot(5, [&] {
        // "second" is now row 0; answer its lookup.
        resolver.complete(resolver.pending.firstKey());
    });
    sweep->run();
    ASSERT_EQ(list.count(), 2);
    EXPECT_EQ(list.row(0).subItem(0), "second");
    EXPECT_EQ(message(0), "Received 56 bytes in 2 ms");
    EXPECT_EQ(list.row(0).subItem(siAddress), "10.0.0.2");
    EXPECT_EQ(message(1), "Received 56 bytes in 3 ms");
}

TEST_F(Sweep, SortingDuringTheEchoWaitKeepsOutcomesWithTheirHosts)
{
    list.setLocaleFormats(us());
    add("zulu", "10.0.0.26");
    add("alpha", "10.0.0.1");
    echo().outcomes[ip("10.0.0.26")] = FakeEchoChannel::reply(ip("10.0.0.26"), 56, 26);
    echo().outcomes[ip("10.0.0.1")] = FakeEchoChannel::reply(ip("10.0.0.1"), 56, 1);
    bool sorted = false;
    echo().duringWait = [&] {
        if (!sorted) {
            sorted = true;
            list.columnClicked(ResourceList::colResource); // zulu moves to row 1
        }
    };
    sweep->run();
    EXPECT_EQ(list.row(0).subItem(0), "alpha");
    EXPECT_EQ(message(0), "Received 56 bytes in 1 ms");
    EXPECT_EQ(list.row(1).subItem(0), "zulu");
    EXPECT_EQ(message(1), "Received 56 bytes in 26 ms");
    EXPECT_EQ(echo().requests.size(), 2u); // each host tested once
}

TEST_F(Sweep, ReplacingTheListDuringAWaitEndsTheSweepQuietly)
{
    add("a", "10.0.0.1");
    add("b", "10.0.0.2");
    echo().duringWait = [&] {
        std::vector<ResourceRow> fresh{ResourceRow::created("other", "10.0.0.9", "")};
        list.setRows(fresh);
    };
    sweep->run();
    ASSERT_EQ(list.count(), 1);
    EXPECT_EQ(message(0), "<not tested>");
    EXPECT_EQ(echo().requests.size(), 1u);
    EXPECT_EQ(view.messages.last(), "Done");
}

TEST_F(Sweep, ASecondPingWhileOneRunsIsIgnored)
{
    add("a", "10.0.0.1");
    add("b", "10.0.0.2");
    echo().duringWait = [&] { sweep->run(); };
    sweep->run();
    EXPECT_EQ(echo().requests.size(), 2u);
    EXPECT_EQ(view.messages, QStringList({"Pinging resources...", "Done"}));
}

TEST_F(Sweep, AbortEndsTheSweepAtOnceAndWritesNothingMore)
{
    resolver.manual = true;
    add("slow");
    add("never", "10.0.0.2");
    QTimer::singleShot(0, [&] { sweep->abort(); });
    QElapsedTimer t;
    t.start();
    sweep->run();
    EXPECT_LT(t.elapsed(), 1000);
    EXPECT_FALSE(sweep->running());
    EXPECT_EQ(message(0), "Resolving hostname...");
    EXPECT_EQ(message(1), "<not tested>");
    EXPECT_EQ(view.messages, QStringList({"Pinging resources..."}));
    EXPECT_TRUE(resolver.pending.isEmpty());
}

TEST_F(Sweep, ALookupThatCannotStartLeavesTheSweepWithAnError)
{
    resolver.refuseStart = true;
    add("name");
    add("next", "10.0.0.2");
    EXPECT_THROW(sweep->run(), Exception);
    EXPECT_FALSE(sweep->running());
    EXPECT_EQ(message(0), "Resolving hostname...");
    EXPECT_EQ(message(1), "<not tested>");
    EXPECT_EQ(view.messages.last(), "Pinging resources...");
}

TEST_F(Sweep, WaitingForALookupLeavesTheProcessorIdle)
{
    resolver.manual = true;
    add("slow");
    QTimer::singleShot(400, [&] { resolver.complete(resolver.pending.firstKey()); });
    timespec a{}, b{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &a);
    QElapsedTimer t;
    t.start();
    sweep->run();
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &b);
    const double cpuMs = double(b.tv_sec - a.tv_sec) * 1000.0 + double(b.tv_nsec - a.tv_nsec) / 1e6;
    EXPECT_GE(t.elapsed(), 390);
    EXPECT_LT(cpuMs, 100.0);
    EXPECT_EQ(message(0), "Unknown host");
}

