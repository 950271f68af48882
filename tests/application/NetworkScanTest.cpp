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
    return [&source] { return std::make_unique<TNetworkNeighborhood>(source, QStringLiteral("HERE")); };
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
        QList<std::pair<QString, QStringList>> network;
        QList<ResourceRow> before;
        QStringList after;
    };
    ResourceRow typed = ResourceRow::created("s2", "10.0.0.9", "HAND");
    typed.checked = false;
    typed.imageIndex = 6;
    const Case cases[] = {
        {"an empty list gets every machine",
         {{"ALPHA", {"S1", "S2"}}, {"BETA", {"S3"}}},
         {},
         {"S1||ALPHA|<not tested>|", "S2||ALPHA|<not tested>|", "S3||BETA|<not tested>|"}},
        {"a row in another letter case is kept as it is",
         {{"ALPHA", {"S1", "S2"}}},
         {typed},
         {"s2|10.0.0.9|HAND|<not tested>| (unticked) (image)", "S1||ALPHA|<not tested>|"}},
        {"names that differ in case only, and a machine in two workgroups, give one row",
         {{"ALPHA", {"pc", "PC"}}, {"BETA", {"Pc", "S3"}}},
         {},
         {"pc||ALPHA|<not tested>|", "S3||BETA|<not tested>|"}},
        {"an empty name is a name, added once",
         {{"ALPHA", {"", "S1"}}, {"BETA", {""}}},
         {},
         {"||ALPHA|<not tested>|", "S1||ALPHA|<not tested>|"}},
        {"empty workgroups add nothing", {{"ALPHA", {}}, {"BETA", {}}}, {}, {}},
    };
    for (const Case &c : cases) {
        ResourceList list;
        for (const ResourceRow &r : c.before)
            list.append(r);
        FakeNeighborhood source = FakeNeighborhood::office(c.network);
        RecordingView view;
        scanNetwork(list, view, walkOf(source));
        EXPECT_EQ(rows(list), c.after) << c.what;
        EXPECT_EQ(view.log.last(), "idle") << c.what;
        EXPECT_EQ(view.log[view.log.size() - 2], QString::number(c.after.size()) + " resources in list") << c.what;

        // The same network again adds nothing.
        scanNetwork(list, view, walkOf(source));
        EXPECT_EQ(rows(list), c.after) << c.what;
    }
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
    };
    QList<NodeStatusAnswer> answers;
    quint16 id = 1;
    for (const auto &t : tables) {
        const auto status = netbios::parseNodeStatusReply(nodeStatusReply(id, nameTable(t.computer, t.workgroup)), id);
        ASSERT_TRUE(status) << t.computer.toHex().constData();
        answers.append(NodeStatusAnswer{Ipv4Address::fromHostOrder(0x0A540000u + id++), *status});
    }
    const NetworkSnapshot browsed = {{"WG\r\nX", {{"S,9", ""}, {QStringLiteral("T") + QChar(0x2028), ""}}}};
    FakeNeighborhood source;
    source.folders[QString()] = {};
    for (const SnapshotWorkgroup &w : mergeSnapshot(answers, browsed)) {
        source.folders[QString()].append(NetworkItem{w.name, "wg:" + w.name});
        for (const SnapshotComputer &c : w.computers)
            source.folders["wg:" + w.name].append(NetworkItem{c.name, "pc:" + c.name});
    }

    // A list of the user's own rows, then the scan.
    ResourceList list;
    for (int i = 0; i < 15; ++i)
        list.append(ResourceRow::created(QStringLiteral("WS%1").arg(i), QStringLiteral("10.0.0.%1").arg(i), "HOME"));
    RecordingView view;
    scanNetwork(list, view, walkOf(source));
    ASSERT_EQ(list.count(), 15 + 8);
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
    EXPECT_EQ(scanned, QStringList({"PC1|A??B?C", "?0??X?10.84.0.7|OFFICE", "?????Z|OFFICE", "A?B|OFFICE", "PC2|OFFICE",
                                    "BÜRO|OFFICE?", "S?9|WG??X", "T?|WG??X"}));
}

TEST(NetworkScanTest, AFailedWalkShowsTheCountFirstAndAddsNothing)
{
    ResourceList list;
    list.append(ResourceRow::created("S1", "", "ALPHA"));
    FakeNeighborhood source = FakeNeighborhood::office({{"ALPHA", {"S2"}}, {"BETA", {"S3"}}});
    source.brokenKey = "wg:BETA"; // the last workgroup cannot be opened
    RecordingView view;
    try {
        scanNetwork(list, view, walkOf(source));
        ADD_FAILURE() << "no failure";
    } catch (const ECannotFindNetwork &e) {
        EXPECT_EQ(e.message(), "Cannot find network neiborhood");
        // By the time the failure arrives, the panel and cursor are back.
        EXPECT_EQ(view.log, QStringList({"busy", "Scanning network...", "paint", "1 resources in list", "idle"}));
    }
    EXPECT_EQ(list.count(), 1);
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
