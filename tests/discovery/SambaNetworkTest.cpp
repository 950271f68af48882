#include "application/LocalSubnets.h"
#include "discovery/NodeStatusSweep.h"
#include "discovery/SmbClient.h"
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
// ALPHA (S1 its master browser), S3 alone in BETA without a master browser;
// and once more in a namespace with no network at all.

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
    std::printf("scan of 10.210.1.0/24 with three Samba servers: %lld ms\n", static_cast<long long>(ms));
    EXPECT_TRUE(prompts.errors.isEmpty()) << prompts.errors.join(' ').toStdString();
    // S3 is in BETA, which has no master browser: only its node status
    // tells of it.
    EXPECT_EQ(rows(), QStringList({"s2|10.210.1.12|HAND", "S1||ALPHA", "S3||BETA"}));
    EXPECT_EQ(w->statusText(TfrmMain::spMessage), "3 resources in list");
    EXPECT_LT(ms, 3000);

    scan();
    EXPECT_EQ(rows().size(), 3);
}

TEST_F(SambaWindow, TheTreeGoesDownToTheSharesOfAComputer)
{
    REQUIRE_NETWORK("lan");
    auto *tree = w->findChild<QTreeWidget *>("Tree");
    QTreeWidgetItem *root = tree->topLevelItem(0);
    ASSERT_EQ(expandNode(root), QStringList({"ALPHA", "BETA"}));
    ASSERT_EQ(expandNode(root->child(0)), QStringList({"S1", "S2"}));
    EXPECT_EQ(expandNode(root->child(1)), QStringList({"S3"}));
    QTreeWidgetItem *s2 = root->child(0)->child(1);
    EXPECT_EQ(expandNode(s2), QStringList({"public"}));
    tree->setCurrentItem(s2);
    w->findChild<QAction *>("mmAdd")->trigger();
    ASSERT_EQ(prompts.addsAsked.size(), 1);
    EXPECT_EQ(prompts.addsAsked[0].workstation, "S2");
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
