#include "application/NetworkScan.h"
#include "application/LocalSubnets.h"
#include "base/NetworkText.h"
#include "discovery/NetworkNeighborhood.h"
#include "discovery/NetworkSnapshot.h"
#include "remote/MachineFinder.h"
#include "resources/ResourceList.h"
#include "resources/SessionFile.h"
#include "support/FakeNeighborhood.h"
#include "support/FakePlatform.h"
#include "support/NodeStatusReplies.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>
#include <gtest/gtest.h>

#include <thread>

namespace {

// What the core tells about a scan, in order.
class ScanLog : public QObject {
public:
    QStringList log;
    std::exception_ptr failure;
    explicit ScanLog(Workspace &core)
    {
        connect(&core, &Workspace::message, this, [this](const QString &text) { log << text; });
        connect(&core, &Workspace::scanStarted, this, [this] { log << "started"; });
        connect(&core, &Workspace::scanFinished, this, [this](std::exception_ptr e) {
            log << "finished";
            failure = e;
        });
    }
};

// Scans with the core and waits (bounded) for the scan's end.
void scan(Workspace &core)
{
    ASSERT_TRUE(core.startScan());
    QEventLoop loop;
    QObject::connect(&core, &Workspace::scanFinished, &loop, &QEventLoop::quit);
    QTimer::singleShot(5000, &loop, &QEventLoop::quit);
    if (core.scanning())
        loop.exec();
    ASSERT_FALSE(core.scanning());
}

QStringList rows(const ResourceList &list)
{
    QStringList out;
    for (const ResourceRow &r : list.rows())
        out << r.subItems.join(QLatin1Char('|')) + (r.checked ? "" : " (unticked)") + (r.imageIndex ? " (image)" : "");
    return out;
}

} // namespace

TEST(NetworkScanTest, AppendsEachNewMachineOnceUnderItsFirstWorkgroup)
{
    struct Case {
        const char *what;
        NetworkSnapshot network;
        QList<ResourceRow> before;
        QStringList after;
    };
    ResourceRow typed = ResourceRow::created("s2", "10.0.0.9", "HAND");
    typed.checked = false;
    typed.imageIndex = 6;
    const Case cases[] = {
        {"an empty list gets every machine",
         {{"ALPHA", {{"S1", ""}, {"S2", ""}}}, {"BETA", {{"S3", ""}}}},
         {},
         {"S1||ALPHA|<not tested>|", "S2||ALPHA|<not tested>|", "S3||BETA|<not tested>|"}},
        {"a row in another letter case is kept as it is",
         {{"ALPHA", {{"S1", ""}, {"S2", ""}}}},
         {typed},
         {"s2|10.0.0.9|HAND|<not tested>| (unticked) (image)", "S1||ALPHA|<not tested>|"}},
        {"names that differ in case only, and a machine in two workgroups, give one row",
         {{"ALPHA", {{"pc", ""}, {"PC", ""}}}, {"BETA", {{"Pc", ""}, {"S3", ""}}}},
         {},
         {"pc||ALPHA|<not tested>|", "S3||BETA|<not tested>|"}},
        {"an empty name is a name, added once",
         {{"ALPHA", {{"", ""}, {"S1", ""}}}, {"BETA", {{"", ""}}}},
         {},
         {"||ALPHA|<not tested>|", "S1||ALPHA|<not tested>|"}},
        {"empty workgroups add nothing", {{"ALPHA", {}}, {"BETA", {}}}, {}, {}},
        {"the addresses the sweep heard from are not copied: a row is pinged by its name",
         {{"ALPHA", {{"S1", "10.0.0.1"}}}},
         {},
         {"S1||ALPHA|<not tested>|"}},
        {"a machine another protocol found keeps its address, and the workgroup it told",
         {{"OFFICE", {{"DESK10", "10.210.1.21", FoundBy::WsDiscovery}, {"S4", "10.210.1.24"}}},
          {"mDNS", {{"penguin", "10.210.1.31", FoundBy::Mdns}}, false}},
         {},
         {"DESK10|10.210.1.21|OFFICE|<not tested>|", "S4||OFFICE|<not tested>|", "penguin|10.210.1.31||<not tested>|"}},
        {"a row with that address is that machine, whatever its name",
         {{"mDNS", {{"penguin", "10.210.1.31", FoundBy::Mdns}, {"tux", "10.210.1.32", FoundBy::Mdns}}, false}},
         {ResourceRow::created("linux-pc", "10.210.1.31", "")},
         {"linux-pc|10.210.1.31||<not tested>|", "tux|10.210.1.32||<not tested>|"}},
    };
    for (const Case &c : cases) {
        ResourceList list;
        for (const ResourceRow &r : c.before)
            list.append(r);
        EXPECT_EQ(addNeighborhood(list, c.network), c.after.size() - c.before.size()) << c.what;
        EXPECT_EQ(rows(list), c.after) << c.what;

        // The same network again adds nothing.
        EXPECT_EQ(addNeighborhood(list, c.network), 0) << c.what;
        EXPECT_EQ(rows(list), c.after) << c.what;
    }
}

TEST(NetworkScanTest, TheCoreScansTheSourcesOwnSnapshotInTheBackground)
{
    FakePlatform platform;
    *platform.neighborhood = FakeNeighborhood::office({{"ALPHA", {"S1"}}, {"BETA", {"S2", "s1"}}});
    Workspace core(platform.platform());
    core.list().append(ResourceRow::created("S9", "", "HAND"));
    // The walk runs off the core's thread: the core's own timers go on.
    platform.neighborhood->onRoot = [] { std::this_thread::sleep_for(std::chrono::milliseconds(100)); };
    bool timerFired = false;
    QTimer::singleShot(10, &core, [&] { timerFired = true; });
    ScanLog log(core);
    scan(core);
    EXPECT_TRUE(timerFired);
    EXPECT_EQ(rows(core.list()),
              QStringList({"S9||HAND|<not tested>|", "S1||ALPHA|<not tested>|", "S2||BETA|<not tested>|"}));
    EXPECT_EQ(log.log, QStringList({"Scanning network...", "started", "3 resources in list", "finished"}));
    EXPECT_FALSE(log.failure);
    EXPECT_FALSE(core.startScan() && core.startScan()) << "a second scan while one runs starts nothing";
}

TEST(NetworkScanTest, NamesFromTheNetworkNeverReshapeTheSessionFile)
{
    // What hostile or broken machines answered a scan with: node-status
    // names and workgroups (bytes) and browse-list names.
    const struct {
        QByteArray computer, workgroup;
    } tables[] = {
        {"A,B", "OFFICE"},
        {"\n0,,X,10.84.0.7", "OFFICE"},
        {"PC1", "A\r\nB,C"},
        {"\x01\x07\x08\x1b\tZ", "OFFICE"},
        {"B\x9aRO", "OFFICE\xc2\x85"},
        {"PC2", "OFFICE"},
        {" LEAD", "OFFICE"},
    };
    QList<NodeStatusAnswer> answers;
    quint16 id = 1;
    for (const auto &t : tables) {
        const auto status = netbios::parseNodeStatusReply(nodeStatusReply(id, nameTable(t.computer, t.workgroup)), id);
        ASSERT_TRUE(status) << t.computer.toHex().constData();
        answers.append(NodeStatusAnswer{Ipv4Address::fromHostOrder(0x0A540000u + id++), *status});
    }
    const NetworkSnapshot browsed = {
        {"WG\r\nX", {{"S,9", ""}, {QStringLiteral("T") + QChar(0x2028), ""}, {"  U  ", ""}}},
        {" SPACED ", {{QStringLiteral("V") + QChar(0) + QStringLiteral("W"), ""}}},
    };

    // A list of the user's own rows, then the scan of the snapshot the
    // system's source takes of such a network.
    ResourceList list;
    for (int i = 0; i < 15; ++i)
        list.append(ResourceRow::created(QStringLiteral("WS%1").arg(i), QStringLiteral("10.0.0.%1").arg(i), "HOME"));
    // And what WS-Discovery's metadata and multicast DNS's labels told.
    const QList<DiscoveredHost> discovered = {
        {FoundBy::WsDiscovery, "DESK,1\r\n", Ipv4Address::fromHostOrder(0x0A540101u),
         QStringLiteral("WORK\u0085GROUP,")},
        {FoundBy::Mdns, "pen\x01guin,x", Ipv4Address::fromHostOrder(0x0A540102u), QString()},
        {FoundBy::Mdns, "\n0,,X,10.84.0.9", Ipv4Address::fromHostOrder(0x0A540103u), QString()},
    };
    addNeighborhood(list, mergeSnapshot(answers, browsed, discovered));
    ASSERT_EQ(list.count(), 15 + 11 + 3);
    for (const ResourceRow &r : list.rows())
        for (const QString &cell : r.subItems)
            EXPECT_TRUE(isCleanNetworkText(cell)) << cell.toStdString();

    // Saved and read back in every encoding a file may have: every row
    // comes back as it was, and no other row.
    for (const TextEncoding encoding : {TextEncoding::Utf8, TextEncoding::Windows1252, TextEncoding::Utf16Le}) {
        const SessionFile::Loaded loaded = SessionFile::fromBytes(SessionFile::toBytes(list.rows(), encoding));
        EXPECT_TRUE(loaded.complete()) << loaded.error.toStdString();
        ASSERT_EQ(loaded.rows.size(), list.rows().size());
        for (std::size_t i = 0; i < loaded.rows.size(); ++i)
            EXPECT_EQ(loaded.rows[i].subItems, list.rows()[i].subItems);
    }
    QStringList scanned;
    for (int i = 15; i < list.count(); ++i)
        scanned << list.row(i).subItem(siResource) + "|" + list.row(i).subItem(siWorkgroup);
    // Blanks at the ends are gone, a zero character is replaced as the
    // browse list gives it, and each name is where it was sorted as it came;
    // what the announcing protocols found follows, in a workgroup of its own
    // and under the way it was found.
    EXPECT_EQ(scanned, QStringList({"V?W|SPACED", "PC1|A??B?C", "LEAD|OFFICE", "?0??X?10.84.0.7|OFFICE",
                                    "?????Z|OFFICE", "A?B|OFFICE", "PC2|OFFICE", "BÜRO|OFFICE?", "U|WG??X", "S?9|WG??X",
                                    "T?|WG??X", "DESK?1??|WORK?GROUP?", "?0??X?10.84.0.9|", "pen?guin?x|"}));
}

TEST(NetworkScanTest, AFailedWalkShowsTheCountFirstAndAddsNothing)
{
    struct Case {
        const char *what;
        std::function<void(FakeNeighborhood &)> breakIt;
    };
    const Case cases[] = {
        {"no network", [](FakeNeighborhood &s) { s.noRoot = true; }},
        {"a null root", [](FakeNeighborhood &s) { s.nullRoot = true; }},
        {"the last workgroup cannot be opened", [](FakeNeighborhood &s) { s.brokenKey = "wg:BETA"; }},
        {"a workgroup opens as nothing", [](FakeNeighborhood &s) { s.nullKey = "wg:ALPHA"; }},
        {"a workgroup unknown to the source", [](FakeNeighborhood &s) { s.folders.remove("wg:ALPHA"); }},
        {"the walk's own message is not the scan's",
         [](FakeNeighborhood &s) { s.onRoot = [] { throw ECannotFindNetwork(QStringLiteral("elsewhere")); }; }},
        {"a failure of no exception class", [](FakeNeighborhood &s) { s.onRoot = [] { throw 42; }; }},
    };
    for (const Case &c : cases) {
        FakePlatform platform;
        *platform.neighborhood = FakeNeighborhood::office({{"ALPHA", {"S2"}}, {"BETA", {"S3"}}});
        c.breakIt(*platform.neighborhood);
        Workspace core(platform.platform());
        core.list().append(ResourceRow::created("S1", "", "ALPHA"));
        ScanLog log(core);
        scan(core);
        ASSERT_TRUE(log.failure) << c.what;
        try {
            std::rethrow_exception(log.failure);
        } catch (const ECannotFindNetwork &e) {
            EXPECT_EQ(e.message(), "Cannot find network neiborhood") << c.what;
        } catch (...) {
            ADD_FAILURE() << c.what << ": another failure";
        }
        // By the time the failure arrives, the count is shown.
        EXPECT_EQ(log.log, QStringList({"Scanning network...", "started", "1 resources in list", "finished"}))
            << c.what;
        EXPECT_EQ(core.list().count(), 1) << c.what;
    }
}

TEST(LocalSubnetsTest, EachSubnetWithRoomForOneHasOneBroadcastAddress)
{
    const auto ip = [](quint32 hostOrder) { return Ipv4Address::fromHostOrder(hostOrder); };
    const QList<Ipv4Subnet> subnets = {
        {ip(0x0A010203), 24}, // 10.1.2.3/24
        {ip(0x0A0102FE), 24}, // the same subnet again
        {ip(0xC0A80111), 22}, // 192.168.1.17/22
        {ip(0x0A630001), 31}, // a point-to-point pair: no broadcast
        {ip(0x0A630101), 32}, {ip(0x0A000001), 8},
    };
    EXPECT_EQ((LocalNetbios{"HERE", subnets}.broadcasts()),
              (QList<Ipv4Address>{ip(0x0A0102FF), ip(0xC0A803FF), ip(0x0AFFFFFF)}));
}
