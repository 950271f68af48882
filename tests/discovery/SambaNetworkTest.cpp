#include "application/LocalSubnets.h"
#include "discovery/MdnsDiscovery.h"
#include "discovery/NodeStatusSweep.h"
#include "discovery/SmbClient.h"
#include "discovery/WsDiscovery.h"
#include "gui/MainWindow.h"
#include "resources/ResourceList.h"
#include "support/FakeWindow.h"

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QTreeWidget>
#include <gtest/gtest.h>

#include <cstdio>
#include <thread>

// These run inside the Samba network that sambanet.sh builds: S1 and S2 in
// ALPHA (S1 its master browser), S3 alone in BETA without a master browser,
// DESK10 that only wsdd announces (workgroup OFFICE, SMB2 without NetBIOS)
// and penguin that only avahi announces; and once more in a namespace with
// no network at all.

using namespace std::chrono_literals;

namespace {

bool onNetwork(const char *which) { return qgetenv("LUMEO_SAMBANET") == which; }

#define REQUIRE_NETWORK(which)                                                                                         \
    do {                                                                                                               \
        if (!onNetwork(which))                                                                                         \
            GTEST_SKIP() << "runs only in the " which " namespace of tests/discovery/sambanet.sh";                     \
    } while (0)

// The window with the real network behind it; only the user's answers and
// the echo service are fakes.
class SambaWindow : public ::testing::Test {
protected:
    FakePlatform fakes;
    FakeWindowServices ui;
    FakePrompts &prompts = ui.prompts;
    std::unique_ptr<Workspace> core;
    std::unique_ptr<TfrmMain> w;

    void SetUp() override
    {
        core = std::make_unique<Workspace>(Platform{fakes.resolver, fakes.echo, systemNeighborhood(),
                                                    std::make_shared<FakeRemoteTransport>(), localComputerName()});
        w = std::make_unique<TfrmMain>(*core, ui.services());
        w->show();
    }
    // Scans as the menu does, waits for the scan's end and says how long it took.
    qint64 scan()
    {
        QElapsedTimer t;
        t.start();
        w->findChild<QAction *>("mmScan")->trigger();
        while (core->scanning() && t.elapsed() < 15000)
            QApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
        return t.elapsed();
    }
    QStringList rows() const
    {
        QStringList out;
        for (const ResourceRow &r : core->list().rows())
            out << r.subItem(siResource) + "|" + r.subItem(siAddress) + "|" + r.subItem(siWorkgroup);
        return out;
    }
};

} // namespace

TEST_F(SambaWindow, ScanFindsEachMachineOnceWithItsWorkgroupAndNothingTwice)
{
    REQUIRE_NETWORK("lan");
    // S2 was entered by hand in another letter case: it stays as it is.
    core->list().append(ResourceRow::created("s2", "10.210.1.12", "HAND"));
    const qint64 ms = scan();
    std::printf("scan of 10.210.1.0/24 with three Samba servers, a wsdd and an avahi host: %lld ms\n",
                static_cast<long long>(ms));
    EXPECT_TRUE(prompts.errors.isEmpty()) << prompts.errors.join(' ').toStdString();
    // S3 is in BETA, which has no master browser: only its node status
    // tells of it. DESK10 and penguin have no NetBIOS: their rows keep the
    // address they were found at, DESK10's the workgroup wsdd told.
    const QStringList expected = {"s2|10.210.1.12|HAND", "S1||ALPHA", "S3||BETA", "DESK10|10.210.1.21|OFFICE",
                                  "penguin|10.210.1.31|"};
    EXPECT_EQ(rows(), expected);
    EXPECT_EQ(w->statusText(TfrmMain::spMessage), "5 resources in list");
    EXPECT_LT(ms, 3000);

    scan();
    EXPECT_EQ(rows(), expected);
}

TEST_F(SambaWindow, TheTreeGoesDownToTheSharesOfAComputer)
{
    REQUIRE_NETWORK("lan");
    auto *tree = w->findChild<QTreeWidget *>("Tree");
    QTreeWidgetItem *root = tree->topLevelItem(0);
    ASSERT_EQ(expandNode(root), QStringList({"ALPHA", "BETA", "OFFICE", "mDNS"}));
    ASSERT_EQ(expandNode(root->child(0)), QStringList({"S1", "S2"}));
    EXPECT_EQ(expandNode(root->child(1)), QStringList({"S3"}));
    QTreeWidgetItem *s2 = root->child(0)->child(1);
    EXPECT_EQ(expandNode(s2), QStringList({"public"}));
    tree->setCurrentItem(s2);
    w->findChild<QAction *>("mmAdd")->trigger();
    ASSERT_EQ(prompts.addsAsked.size(), 1);
    EXPECT_EQ(prompts.addsAsked[0].workstation, "S2");

    // DESK10 speaks SMB2 and has no NetBIOS: its shares are listed all the same.
    ASSERT_EQ(expandNode(root->child(2)), QStringList({"DESK10"}));
    QTreeWidgetItem *desk10 = root->child(2)->child(0);
    EXPECT_EQ(expandNode(desk10), QStringList({"public"}));
    ASSERT_EQ(expandNode(root->child(3)), QStringList({"penguin"}));
    tree->setCurrentItem(desk10);
    w->findChild<QAction *>("mmAdd")->trigger();
    ASSERT_EQ(prompts.addsAsked.size(), 2);
    EXPECT_EQ(prompts.addsAsked[1].workstation, "DESK10");

    // Refresh reads it all again and opens what was open.
    w->findChild<QAction *>("mmRefresh")->trigger();
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < 15000
           && (root->childCount() < 3 || root->child(2)->childCount() == 0
               || root->child(2)->child(0)->childCount() == 0
               || root->child(2)->child(0)->child(0)->text(0) == "Searching..."))
        QApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
    ASSERT_GE(root->childCount(), 3);
    EXPECT_EQ(root->child(2)->child(0)->text(0), "DESK10");
    EXPECT_EQ(expandNode(root->child(2)->child(0)), QStringList({"public"}));
    EXPECT_EQ(tree->currentItem(), root->child(2)->child(0));
}

TEST(SambaNetwork, WsDiscoveryAndMulticastDnsFindTheHostsWithoutNetBios)
{
    REQUIRE_NETWORK("lan");
    const QList<Ipv4Subnet> subnets = localSubnets();
    QElapsedTimer t;
    t.start();
    const QList<DiscoveredHost> wsd = discoverWsd(subnets, Deadline(5s));
    std::printf("WS-Discovery with its metadata Get: %lld ms\n", static_cast<long long>(t.restart()));
    const QList<DiscoveredHost> mdns = discoverMdns(subnets, Deadline(5s));
    std::printf("multicast DNS: %lld ms\n", static_cast<long long>(t.elapsed()));
    const auto ip = [](const char *dotted) { return *Ipv4Address::fromText(QString::fromLatin1(dotted)); };
    EXPECT_EQ(wsd, QList<DiscoveredHost>({{FoundBy::WsDiscovery, "DESK10", ip("10.210.1.21"), "OFFICE"}}));
    EXPECT_EQ(mdns, QList<DiscoveredHost>({{FoundBy::Mdns, "penguin", ip("10.210.1.31"), ""}}));

    // A stop ends both at once.
    std::stop_source stop;
    stop.request_stop();
    t.restart();
    EXPECT_TRUE(discoverWsd(subnets, Deadline(5s, stop.get_token())).isEmpty());
    EXPECT_TRUE(discoverMdns(subnets, Deadline(5s, stop.get_token())).isEmpty());
    EXPECT_LT(t.elapsed(), 200);
}

TEST(SambaNetwork, TheMasterBrowserListsItsWorkgroupOverSmb1Only)
{
    REQUIRE_NETWORK("lan");
    const NetworkSnapshot browsed = SmbClient::BrowseList().take(Deadline(10s));
    ASSERT_EQ(browsed.size(), 1);
    EXPECT_EQ(browsed[0].name, "ALPHA");
    QStringList servers;
    for (const SnapshotComputer &c : browsed[0].computers)
        servers << c.name;
    servers.sort();
    EXPECT_EQ(servers, QStringList({"S1", "S2"}));
    // S3 speaks SMB2 and newer only: its shares are listed that way.
    EXPECT_EQ(SmbClient::shares("10.210.1.13", Deadline(10s)), QStringList({"public"}));
    EXPECT_EQ(SmbClient::shares("10.210.1.99", Deadline(10s)), QStringList());
}

TEST(SambaNetwork, TheSweepHearsEveryServerOnceWithinASecondAndAHalf)
{
    REQUIRE_NETWORK("lan");
    const QList<Ipv4Address> addresses = sweepAddresses(localSubnets());
    ASSERT_EQ(addresses.size(), 254);
    QElapsedTimer t;
    t.start();
    const auto answers = sweepNodeStatus(addresses);
    const qint64 ms = t.elapsed();
    std::printf("node-status sweep of 254 addresses: %lld ms\n", static_cast<long long>(ms));
    ASSERT_TRUE(answers);
    QStringList heard;
    for (const NodeStatusAnswer &a : *answers)
        heard << a.address.toString() + " " + QString::fromLatin1(a.status.computer()) + " "
                     + QString::fromLatin1(a.status.workgroup());
    EXPECT_EQ(heard, QStringList({"10.210.1.11 S1 ALPHA", "10.210.1.12 S2 ALPHA", "10.210.1.13 S3 BETA"}));
    EXPECT_LT(ms, 1500);

    // The total limit holds whatever is still to send or to hear.
    SweepLimits short_;
    short_.totalMs = 50;
    short_.burst = 1;
    short_.burstIntervalUs = 10000; // one query every 10 ms: .1 to .5 at most
    t.restart();
    const auto cut = sweepNodeStatus(addresses, short_);
    EXPECT_LT(t.elapsed(), 150);
    ASSERT_TRUE(cut);
    EXPECT_TRUE(cut->isEmpty()); // the servers' addresses were never reached
}

TEST_F(SambaWindow, WithoutANetworkTheScanShowsTheErrorBox)
{
    REQUIRE_NETWORK("empty");
    core->list().append(ResourceRow::created("S1", "", "ALPHA"));
    scan();
    EXPECT_EQ(prompts.errors, QStringList({"Cannot find network neiborhood."}));
    EXPECT_EQ(w->statusText(TfrmMain::spMessage), "1 resources in list");
    EXPECT_EQ(rows(), QStringList({"S1||ALPHA"}));
}
