#include "discovery/NetworkSnapshot.h"
#include "discovery/NodeStatusSweep.h"

#include <QHostAddress>
#include <gtest/gtest.h>

namespace {

quint32 ip(const char *dotted) { return QHostAddress(QString::fromLatin1(dotted)).toIPv4Address(); }

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
        const QList<quint32> a = sweepAddresses(c.subnets, limits);
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
