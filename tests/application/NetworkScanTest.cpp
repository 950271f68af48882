#include "application/NetworkScan.h"
#include "application/BusyWait.h"
#include "application/LocalSubnets.h"
#include "base/NetworkText.h"
#include "discovery/NetworkNeighborhood.h"
#include "discovery/NetworkSnapshot.h"
#include "remote/MachineFinder.h"
#include "resources/ResourceList.h"
#include "resources/SessionFile.h"
#include "support/FakeNeighborhood.h"
#include "support/NodeStatusReplies.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QTimer>
#include <gtest/gtest.h>

#include <thread>

namespace {

class RecordingView : public ScanView {
public:
    QStringList log;
    void setMessage(const QString &text) override { log << text; }
    void setBusyCursor(bool busy) override { log << (busy ? "busy" : "idle"); }
    void repaintNow() override { log << "paint"; }
};

NeighborhoodWalk walkOf(FakeNeighborhood &source)
{
    return [&source] { return source.snapshot(QStringLiteral("HERE")); };
}

NeighborhoodWalk walkOf(const NetworkSnapshot &snapshot)
{
    return [snapshot] { return snapshot; };
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
    };
    for (const Case &c : cases) {
        ResourceList list;
        for (const ResourceRow &r : c.before)
            list.append(r);
        RecordingView view;
        scanNetwork(list, view, walkOf(c.network));
        EXPECT_EQ(rows(list), c.after) << c.what;
        EXPECT_EQ(view.log.last(), "idle") << c.what;
        EXPECT_EQ(view.log[view.log.size() - 2], QString::number(c.after.size()) + " resources in list") << c.what;

        // The same network again adds nothing.
        scanNetwork(list, view, walkOf(c.network));
        EXPECT_EQ(rows(list), c.after) << c.what;
    }

    // A source's own snapshot is what the scan reads.
    ResourceList list;
    RecordingView view;
    FakeNeighborhood source = FakeNeighborhood::office({{"ALPHA", {"S1"}}, {"BETA", {"S2", "s1"}}});
    scanNetwork(list, view, walkOf(source));
    EXPECT_EQ(rows(list), QStringList({"S1||ALPHA|<not tested>|", "S2||BETA|<not tested>|"}));
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
        answers.append(NodeStatusAnswer{0x0A540000u + id++, *status});
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
    RecordingView view;
    scanNetwork(list, view, walkOf(mergeSnapshot(answers, browsed)));
    ASSERT_EQ(list.count(), 15 + 11);
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
    // browse list gives it, and each name is where it was sorted as it came.
    EXPECT_EQ(scanned,
              QStringList({"V?W|SPACED", "PC1|A??B?C", "LEAD|OFFICE", "?0??X?10.84.0.7|OFFICE", "?????Z|OFFICE",
                           "A?B|OFFICE", "PC2|OFFICE", "BÜRO|OFFICE?", "U|WG??X", "S?9|WG??X", "T?|WG??X"}));
}

TEST(NetworkScanTest, AFailedWalkShowsTheCountFirstAndAddsNothing)
{
    struct Case {
        const char *what;
        std::function<NetworkSnapshot(FakeNeighborhood &)> walk;
    };
    const auto broken = [](std::function<void(FakeNeighborhood &)> breakIt) {
        return [breakIt](FakeNeighborhood &source) {
            breakIt(source);
            return source.snapshot(QStringLiteral("HERE"));
        };
    };
    const Case cases[] = {
        {"no network", broken([](FakeNeighborhood &s) { s.noRoot = true; })},
        {"a null root", broken([](FakeNeighborhood &s) { s.nullRoot = true; })},
        {"the last workgroup cannot be opened", broken([](FakeNeighborhood &s) { s.brokenKey = "wg:BETA"; })},
        {"a workgroup opens as nothing", broken([](FakeNeighborhood &s) { s.nullKey = "wg:ALPHA"; })},
        {"a workgroup unknown to the source", broken([](FakeNeighborhood &s) { s.folders.remove("wg:ALPHA"); })},
        {"the walk's own message is not the scan's",
         [](FakeNeighborhood &) -> NetworkSnapshot { throw ECannotFindNetwork(QStringLiteral("elsewhere")); }},
        {"a failure of no exception class", [](FakeNeighborhood &) -> NetworkSnapshot { throw 42; }},
    };
    for (const Case &c : cases) {
        ResourceList list;
        list.append(ResourceRow::created("S1", "", "ALPHA"));
        FakeNeighborhood source = FakeNeighborhood::office({{"ALPHA", {"S2"}}, {"BETA", {"S3"}}});
        RecordingView view;
        try {
            scanNetwork(list, view, [&] { return c.walk(source); });
            ADD_FAILURE() << c.what << ": no failure";
        } catch (const ECannotFindNetwork &e) {
            EXPECT_EQ(e.message(), "Cannot find network neiborhood") << c.what;
            // By the time the failure arrives, the panel and cursor are back.
            EXPECT_EQ(view.log, QStringList({"busy", "Scanning network...", "paint", "1 resources in list", "idle"}))
                << c.what;
        }
        EXPECT_EQ(list.count(), 1) << c.what;
    }
}

TEST(BusyWaitTest, TheEventLoopRunsButInputIsDropped)
{
    // A receiver that counts what reaches it while the work runs.
    class Counter : public QObject {
    public:
        int keys = 0, closes = 0;
        bool event(QEvent *e) override
        {
            keys += e->type() == QEvent::KeyPress;
            closes += e->type() == QEvent::Close;
            return QObject::event(e);
        }
    } counter;
    bool timerFired = false;
    QTimer::singleShot(10, [&] {
        timerFired = true;
        QCoreApplication::postEvent(&counter, new QKeyEvent(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier));
        QCoreApplication::postEvent(&counter, new QEvent(QEvent::Close));
    });
    runWhileRepainting([] { std::this_thread::sleep_for(std::chrono::milliseconds(200)); });
    EXPECT_TRUE(timerFired);
    EXPECT_EQ(counter.keys, 0);
    EXPECT_EQ(counter.closes, 0);

    // Afterwards input arrives again, and a failure of the work is raised.
    QCoreApplication::postEvent(&counter, new QKeyEvent(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier));
    QCoreApplication::processEvents();
    EXPECT_EQ(counter.keys, 1);
    EXPECT_THROW(runWhileRepainting([] { throw ECannotFindNetwork(QStringLiteral("x")); }), ECannotFindNetwork);
}

TEST(LocalSubnetsTest, EachSubnetWithRoomForOneHasOneBroadcastAddress)
{
    const QList<Ipv4Subnet> subnets = {
        {0x0A010203, 24}, // 10.1.2.3/24
        {0x0A0102FE, 24}, // the same subnet again
        {0xC0A80111, 22}, // 192.168.1.17/22
        {0x0A630001, 31}, // a point-to-point pair: no broadcast
        {0x0A630101, 32}, {0x0A000001, 8},
    };
    EXPECT_EQ((LocalNetbios{"HERE", subnets}.broadcasts()), (QList<quint32>{0x0A0102FF, 0xC0A803FF, 0x0AFFFFFF}));
}
