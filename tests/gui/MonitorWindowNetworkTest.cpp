// The window watching real hosts of the test network (tests/ping/testnet.sh),
// its alerts sent to a notification service on a private session bus that
// tests/gui/monitornet.sh starts: one host is switched off and on again
// with nft, another drops every other round, a third always answers.
#include "application/Monitor.h"
#include "gui/EventLog.h"
#include "gui/MainWindow.h"
#include "ping/HostResolver.h"
#include "ping/LinuxEchoChannel.h"
#include "ping/TestNetwork.h"
#include "resources/ResourceList.h"
#include "support/FakeWindow.h"
#include "support/Spin.h"

#include <QAction>
#include <QFile>
#include <QProcess>

#include <gtest/gtest.h>

#include <chrono>
#include <string>

namespace {

using namespace std::chrono_literals;

const char *const kSteady = "10.201.2.1";
const char *const kSwitched = "10.201.2.2";
const char *const kFlaky = "10.201.2.3";

// Runs nft in the hosts' namespace; whether it worked.
bool nft(const QStringList &arguments)
{
    QProcess p;
    p.start(QStringLiteral("ip"),
            QStringList{QStringLiteral("netns"), QStringLiteral("exec"),
                        QString::fromLocal8Bit(qgetenv("LUMEO_TESTNET_HOSTS_NS")), QStringLiteral("nft")}
                + arguments);
    return p.waitForFinished(10000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

QStringList linesOf(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly | QIODevice::Text))
        return {};
    return QString::fromUtf8(f.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

class MonitorWindowNetwork : public ::testing::Test {
protected:
    FakeWindowServices ui;
    SystemResolver resolver;
    LinuxEchoChannelFactory echo;
    std::unique_ptr<Workspace> core;
    std::unique_ptr<TfrmMain> w;
    QString record, busLog;

    void SetUp() override
    {
        REQUIRE_TEST_NETWORK();
        record = QString::fromLocal8Bit(qgetenv("LUMEO_NOTIFICATION_RECORD"));
        busLog = QString::fromLocal8Bit(qgetenv("LUMEO_DBUS_MONITOR_LOG"));
        if (record.isEmpty() || qgetenv("LUMEO_TESTNET_HOSTS_NS").isEmpty())
            GTEST_SKIP() << "runs only under tests/gui/monitornet.sh";
        // The echoes to the hosts switched off are dropped through a set of
        // our own in the test network's table.
        ASSERT_TRUE(nft({"add", "set", "inet", "lumeo_test", "monitor_off", "{ type ipv4_addr; }"}));
        ASSERT_TRUE(nft({"add", "rule", "inet", "lumeo_test", "input", "ip", "daddr", "@monitor_off", "icmp", "type",
                         "echo-request", "drop"}));
        core = std::make_unique<Workspace>(Platform{resolver, echo, std::make_shared<FakeNeighborhood>(),
                                                    std::make_shared<FakeRemoteTransport>(), "LAB"});
        // The window's own notifier: the desktop's service on the session bus.
        w = std::make_unique<TfrmMain>(*core, TfrmMainServices{ui.prompts, ui.remotePrompts, ui.network});
        w->show();
    }
    void switchOff(const char *address, bool off)
    {
        ASSERT_TRUE(nft({off ? "add" : "delete", "element", "inet", "lumeo_test", "monitor_off",
                         QStringLiteral("{ %1 }").arg(QLatin1String(address))}))
            << address;
    }
};

TEST_F(MonitorWindowNetwork, AHostSwitchedOffAndOnGivesOneDownAndOneUpNotification)
{
    const std::pair<const char *, const char *> hosts[] = {
        {"steady", kSteady}, {"switched", kSwitched}, {"flaky", kFlaky}};
    for (const auto &[name, address] : hosts)
        core->list().append(ResourceRow::created(name, address, "LAB"));
    EchoSettings echoSettings = core->echoSettings();
    echoSettings.timeoutMs = 400;
    echoSettings.probePorts.clear(); // a dropped echo is a down host
    echoSettings.monitorIntervalSeconds = 5;
    core->setEchoSettings(echoSettings);

    // Per round, whether each host answers: "switched" is off for five
    // rounds, "flaky" for every other one.
    const std::string switched = "uudddddduuu";
    const std::string flaky = "dudududududu";
    const int rounds = int(switched.size());
    int started = 0, finished = 0;
    bool switchedOff = false, flakyOff = false;
    Monitor &monitor = core->monitor();
    QObject::connect(&monitor, &Monitor::roundStarted, [&] {
        const std::size_t r = std::size_t(std::min(started++, rounds - 1));
        if ((switched[r] == 'd') != switchedOff)
            switchOff(kSwitched, switchedOff = !switchedOff);
        if ((flaky[r] == 'd') != flakyOff)
            switchOff(kFlaky, flakyOff = !flakyOff);
    });
    QObject::connect(&monitor, &Monitor::roundFinished, [&] { ++finished; });

    w->findChild<QAction *>("mmMonitor")->trigger();
    ASSERT_TRUE(monitor.running());
    EXPECT_EQ(monitor.interval(), 5s) << "the interval of the settings";
    // Rounds a second apart keep the test short; the rule is the same.
    monitor.setInterval(1s);
    ASSERT_TRUE(spinUntil([&] { return finished >= rounds; }, 90000)) << finished << " rounds";
    w->findChild<QAction *>("mmMonitor")->trigger();
    EXPECT_FALSE(monitor.running());

    const QStringList events = w->findChild<EventLog *>()->lines();
    ASSERT_EQ(events.size(), 2) << events.join('\n').toStdString();
    EXPECT_TRUE(events[0].endsWith(" switched down after 3 failed rounds")) << events[0].toStdString();
    EXPECT_TRUE(events[1].contains(" switched up, ")) << events[1].toStdString();

    // The service got exactly those two, and the bus carried no other Notify.
    const QStringList expected = {"switched is down\t" + events[0], "switched is up\t" + events[1]};
    spinUntil([&] { return linesOf(record).size() >= 2; }, 10000);
    spinFor(500); // a third, wrong one would come now
    EXPECT_EQ(linesOf(record), expected);
    if (!busLog.isEmpty()) {
        const QStringList seen = linesOf(busLog).filter(QStringLiteral("member=Notify"));
        EXPECT_EQ(seen.size(), 2) << seen.join('\n').toStdString();
    }
    // Each host's history holds every round's outcome.
    EXPECT_GE(statisticsOf(*core->list().row(1).history).lost, 6);
    EXPECT_EQ(statisticsOf(*core->list().row(0).history).lost, 0);
}

} // namespace
