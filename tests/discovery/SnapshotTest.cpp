#include "base/Exception.h"
#include "discovery/NetworkSnapshot.h"
#include "discovery/NodeStatusSweep.h"
#include "discovery/SystemNeighborhood.h"

#include "support/LoopbackResponder.h"
#include "support/NodeStatusReplies.h"

#include <QElapsedTimer>
#include <gtest/gtest.h>

#include <thread>

// A failed comparison of snapshots shows their names, addresses and how
// each was found.
void PrintTo(const SnapshotWorkgroup &w, std::ostream *os)
{
    *os << (w.isWorkgroup ? "" : "*") << w.name.toStdString() << "{";
    for (const SnapshotComputer &c : w.computers)
        *os << " " << c.name.toStdString() << "@" << c.address.toStdString() << "/" << int(c.foundBy);
    *os << " }";
}

namespace {

Ipv4Address ip(const char *dotted) { return *Ipv4Address::fromText(QString::fromLatin1(dotted)); }

NodeStatusAnswer answer(const char *address, const char *computer, const char *workgroup)
{
    NodeStatusAnswer a;
    a.address = ip(address);
    if (*computer)
        a.status.names.append({computer, 0x00, false});
    a.status.names.append({computer, 0x20, false});
    if (*workgroup)
        a.status.names.append({workgroup, 0x00, true});
    return a;
}

} // namespace

TEST(SweepAddressesTest, CoversTheHostsOfEachSubnetWithinTheLimits)
{
    struct Case {
        const char *what;
        QList<Ipv4Subnet> subnets;
        int maxQueries;
        int count;
        const char *first;
        const char *last;
    };
    const Case cases[] = {
        {"a /24 without its network and broadcast", {{ip("10.210.1.2"), 24}}, 4096, 254, "10.210.1.1", "10.210.1.254"},
        {"a /16 only in the /22 around the address",
         {{ip("10.210.7.9"), 16}},
         4096,
         1024,
         "10.210.4.0",
         "10.210.7.255"},
        {"the /22 at the start of a /16 keeps out its network",
         {{ip("10.210.1.9"), 16}},
         4096,
         1023,
         "10.210.0.1",
         "10.210.3.255"},
        {"a /31 has two hosts", {{ip("10.210.9.0"), 31}}, 4096, 2, "10.210.9.0", "10.210.9.1"},
        {"loopback is left out", {{ip("127.0.0.1"), 8}, {ip("10.210.1.2"), 30}}, 4096, 2, "10.210.1.1", "10.210.1.2"},
        {"two interfaces on one subnet ask each address once",
         {{ip("10.210.1.2"), 24}, {ip("10.210.1.3"), 24}},
         4096,
         254,
         "10.210.1.1",
         "10.210.1.254"},
        {"never more than the limit",
         {{ip("10.210.1.2"), 24}, {ip("10.211.1.2"), 24}},
         300,
         300,
         "10.210.1.1",
         "10.211.1.46"},
        {"a prefix that is no prefix", {{ip("10.210.1.2"), 33}}, 4096, 0, nullptr, nullptr},
    };
    for (const Case &c : cases) {
        SweepLimits limits;
        limits.maxQueries = c.maxQueries;
        const QList<Ipv4Address> a = sweepAddresses(c.subnets, limits);
        ASSERT_EQ(a.size(), c.count) << c.what;
        if (c.count == 0)
            continue;
        EXPECT_EQ(a.front(), ip(c.first)) << c.what;
        EXPECT_EQ(a.back(), ip(c.last)) << c.what;
    }
}

TEST(MergeSnapshotTest, EachWorkgroupAndComputerOnceWhateverTheirCase)
{
    const QList<NodeStatusAnswer> answers = {
        answer("10.210.1.13", "S3", "BETA"),  answer("10.210.1.11", "S1", "ALPHA"),
        answer("10.210.1.21", "s1", "alpha"), // a second address of S1
        answer("10.210.1.30", "", "ALPHA"),   // no computer name
        answer("10.210.1.31", "LONER", ""),   // no workgroup
    };
    const NetworkSnapshot browsed = {
        {"Alpha", {{"S2", ""}, {"S1", ""}}},
        {"GAMMA", {}},
        {"", {{"NOWHERE", ""}}},
    };
    const NetworkSnapshot expected = {
        {"ALPHA", {{"S1", "10.210.1.11"}, {"S2", ""}}},
        {"BETA", {{"S3", "10.210.1.13"}}},
        {"GAMMA", {}},
    };
    EXPECT_EQ(mergeSnapshot(answers, browsed), expected);
    EXPECT_EQ(mergeSnapshot({}, {}), NetworkSnapshot());
}

TEST(MergeSnapshotTest, NamesAreComparedAndSortedAsTheyCameAndShownWithoutBlanksAtTheirEnds)
{
    struct Case {
        const char *what;
        QList<NodeStatusAnswer> answers;
        NetworkSnapshot browsed, expected;
    };
    const Case cases[] = {
        {"a leading blank sorts first and is dropped",
         {answer("10.210.1.11", "S1", "ALPHA"), answer("10.210.1.12", " LEAD", "ALPHA")},
         {},
         {{"ALPHA", {{"LEAD", "10.210.1.12"}, {"S1", "10.210.1.11"}}}}},
        {"names that differ only in blanks at their ends stay two, shown alike",
         {answer("10.210.1.11", "S1", "ALPHA"), answer("10.210.1.12", " S1", "ALPHA")},
         {{" ALPHA ", {{"S2 ", ""}}}},
         {{"ALPHA", {{"S2", ""}}}, {"ALPHA", {{"S1", "10.210.1.12"}, {"S1", "10.210.1.11"}}}}},
        {"a browse-list name of blanks only is a name, shown empty", {}, {{"WG", {{"   ", ""}}}}, {{"WG", {{"", ""}}}}},
        {"a zero character is replaced before anything could end the name there",
         {},
         {{"WG", {{QStringLiteral("V") + QChar(0) + QStringLiteral("W "), ""}}}},
         {{"WG", {{"V?W", ""}}}}},
    };
    for (const Case &c : cases)
        EXPECT_EQ(mergeSnapshot(c.answers, c.browsed), c.expected) << c.what;
}

TEST(MergeSnapshotTest, HostsFoundByTheAnnouncingProtocolsJoinWhatNetBiosFoundOnceEach)
{
    using enum FoundBy;
    const auto host = [](FoundBy how, const char *name, const char *address, const char *workgroup = "") {
        return DiscoveredHost{how, QString::fromUtf8(name), ip(address), QString::fromUtf8(workgroup)};
    };
    const QList<NodeStatusAnswer> answers = {answer("10.210.1.11", "S1", "ALPHA")};
    const NetworkSnapshot browsed = {{"ALPHA", {{"S2", ""}}}};
    struct Case {
        const char *what;
        QList<DiscoveredHost> discovered;
        NetworkSnapshot expected;
    };
    const Case cases[] = {
        {"a machine NetBIOS heard is known by its address, whatever name it gives",
         {host(WsDiscovery, "DESKTOP-S1", "10.210.1.11", "HOME"), host(Mdns, "s1-linux", "10.210.1.11")},
         {{"ALPHA", {{"S1", "10.210.1.11"}, {"S2", ""}}}}},
        {"a machine only the browse list named is known by its name, and gets its address",
         {host(Mdns, "s2", "10.210.1.12")},
         {{"ALPHA", {{"S1", "10.210.1.11"}, {"S2", "10.210.1.12"}}}}},
        {"a new machine goes under the workgroup it told, in the case NetBIOS gave it",
         {host(WsDiscovery, "DESK10", "10.210.1.21", "alpha"), host(WsDiscovery, "DESK11", "10.210.1.22", "OFFICE")},
         {{"ALPHA", {{"DESK10", "10.210.1.21", WsDiscovery}, {"S1", "10.210.1.11"}, {"S2", ""}}},
          {"OFFICE", {{"DESK11", "10.210.1.22", WsDiscovery}}}}},
        {"without a workgroup, under the way it was found, after the workgroups",
         {host(Mdns, "penguin", "10.210.1.31"), host(WsDiscovery, "NOWG", "10.210.1.23"),
          host(Mdns, "apple", "10.210.1.32")},
         {{"ALPHA", {{"S1", "10.210.1.11"}, {"S2", ""}}},
          {"WS-Discovery", {{"NOWG", "10.210.1.23", WsDiscovery}}, false},
          {"mDNS", {{"apple", "10.210.1.32", Mdns}, {"penguin", "10.210.1.31", Mdns}}, false}}},
        {"a machine both announce is WS-Discovery's, with its workgroup",
         {host(Mdns, "desk10", "10.210.1.21"), host(WsDiscovery, "DESK10", "10.210.1.21", "OFFICE"),
          host(Mdns, "Desk10", "10.210.1.99")},
         {{"ALPHA", {{"S1", "10.210.1.11"}, {"S2", ""}}}, {"OFFICE", {{"DESK10", "10.210.1.21", WsDiscovery}}}}},
        {"names are cleaned where they enter; no name or no address adds nothing",
         {host(Mdns, " a,b\nc ", "10.210.1.40"), host(WsDiscovery, "W", "10.210.1.41", "G\x01,H"),
          host(Mdns, "", "10.210.1.42"), host(Mdns, "noaddress", "0.0.0.0"), host(NetBios, "odd", "10.210.1.43")},
         {{"ALPHA", {{"S1", "10.210.1.11"}, {"S2", ""}}},
          {"G??H", {{"W", "10.210.1.41", WsDiscovery}}},
          {"mDNS", {{"a?b?c", "10.210.1.40", Mdns}}, false}}},
    };
    for (const Case &c : cases)
        EXPECT_EQ(mergeSnapshot(answers, browsed, c.discovered), c.expected) << c.what;
}

TEST(SnapshotFolderTest, EachWorkgroupOpensAsItsOwnComputersEvenWhereNamesLookAlike)
{
    const NetworkSnapshot snapshot = {
        {"ALPHA", {{"S2", ""}}},
        {"ALPHA", {{"S1", "10.210.1.12"}, {"S3", ""}}},
        {"EMPTY", {}},
    };
    const std::unique_ptr<NeighborhoodFolder> root = snapshotFolder(snapshot);
    const QList<NetworkItem> workgroups = root->items();
    ASSERT_EQ(workgroups.size(), 3);
    EXPECT_EQ(workgroups[0].displayName, "ALPHA");
    EXPECT_EQ(workgroups[1].displayName, "ALPHA");
    EXPECT_EQ(root->open(workgroups[0])->items(), QList<NetworkItem>({{"S2", "S2"}}));
    // A computer the sweep heard from is opened by its address.
    EXPECT_EQ(root->open(workgroups[1])->items(), QList<NetworkItem>({{"S1", "10.210.1.12"}, {"S3", "S3"}}));
    EXPECT_EQ(root->open(workgroups[2])->items(), QList<NetworkItem>());
    for (const QString key : {"3", "-1", "ALPHA", ""})
        EXPECT_THROW(root->open(NetworkItem{"ALPHA", key}), Exception) << key.toStdString();
}

TEST(SystemNeighborhoodTest, WithoutALocalNetworkNeitherTheSnapshotNorTheTreeIsTaken)
{
    // Nothing to sweep: both fail before anything is sent.
    SystemNeighborhood none([] { return QList<Ipv4Subnet>(); });
    EXPECT_THROW(none.snapshot(QStringLiteral("HERE")), Exception);
    EXPECT_THROW(none.rootFolder(QStringLiteral("HERE")), Exception);
    SystemNeighborhood loopbackOnly([] { return QList<Ipv4Subnet>{{ip("127.0.0.1"), 8}}; });
    EXPECT_THROW(loopbackOnly.snapshot(QStringLiteral("HERE")), Exception);
}

namespace {

// A machine at ADDRESS (on loopback) answering node-status requests with TABLE.
LoopbackResponder nodeStatusResponder(Ipv4Address address, QList<netbios::NodeStatusName> table)
{
    return LoopbackResponder(address, netbios::kNameServicePort, [table](const QByteArray &request) {
        const quint16 id = request.size() >= 2 ? quint16((quint8(request[0]) << 8) | quint8(request[1])) : 0;
        return QList<QByteArray>{nodeStatusReply(id, table)};
    });
}

} // namespace

TEST(NodeStatusSweepTest, LongNameTablesArriveWholeAndAStopEndsTheWaitAtOnce)
{
    const Ipv4Address a = ip("127.0.0.2"), b = ip("127.0.0.3"), c = ip("127.0.0.4");
    const LoopbackResponder hundred = nodeStatusResponder(a, nameTable("HUNDRED", "OFFICE", 100));
    const LoopbackResponder most = nodeStatusResponder(b, nameTable("MOST", "OFFICE", 255));
    if (!hundred.bound() || !most.bound())
        GTEST_SKIP() << "port 137 on loopback needs root";
    SweepLimits limits;
    limits.quietMs = 300;
    const auto answers = sweepNodeStatus({a, b, c}, limits);
    ASSERT_TRUE(answers);
    ASSERT_EQ(answers->size(), 2);
    EXPECT_EQ((*answers)[0].status.names.size(), 100);
    EXPECT_EQ((*answers)[0].status.computer(), "HUNDRED");
    EXPECT_EQ((*answers)[1].status.names.size(), 255);

    // Waiting for the silent address ends when the program stops looking.
    limits.quietMs = limits.totalMs = 5000;
    std::stop_source stop;
    std::thread stopper([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        stop.request_stop();
    });
    QElapsedTimer t;
    t.start();
    sweepNodeStatus({c}, limits, stop.get_token());
    EXPECT_LT(t.elapsed(), 400);
    stopper.join();
}
