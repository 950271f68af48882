// Watching the network from the window: the Monitor toggle and what the
// status bar says, the Events dock and the desktop notifications, and the
// statistics columns, against the fake echo service.
#include "application/Monitor.h"
#include "application/StatisticsText.h"
#include "gui/DesktopNotifier.h"
#include "gui/EventLog.h"
#include "gui/LatencyChart.h"
#include "gui/MainWindow.h"
#include "resources/ResourceList.h"
#include "support/FakeWindow.h"
#include "support/Spin.h"
#include "support/TestFiles.h"

#include <QAction>
#include <QDockWidget>
#include <QHeaderView>
#include <QSystemTrayIcon>
#include <QTreeView>

#include <gtest/gtest.h>

#include <chrono>
#include <string>

namespace {

using namespace std::chrono_literals;

class MonitorWindow : public TemporaryFiles {
protected:
    FakePlatform platform;
    FakeWindowServices ui;
    std::unique_ptr<Workspace> core = std::make_unique<Workspace>(platform.platform());
    std::unique_ptr<TfrmMain> w = std::make_unique<TfrmMain>(*core, ui.services());
    int roundsStarted = 0, roundsFinished = 0;

    void SetUp() override
    {
        TemporaryFiles::SetUp();
        QObject::connect(&monitor(), &Monitor::roundStarted, [this] { ++roundsStarted; });
        QObject::connect(&monitor(), &Monitor::roundFinished, [this] { ++roundsFinished; });
    }
    QAction *action(const char *name) { return w->findChild<QAction *>(QString::fromLatin1(name)); }
    Monitor &monitor() { return core->monitor(); }
    FakeEchoChannel &echo() { return *platform.echo.channel; }
    ResourceList &list() { return core->list(); }
    QString monitorStatus() const { return w->statusText(TfrmMain::spFiller); }
    QDockWidget *dock() { return w->findChild<QDockWidget *>("dkEvents"); }
    QStringList eventLines() { return w->findChild<EventLog *>()->lines(); }

    static Ipv4Address address(int k) { return *Ipv4Address::fromText(QStringLiteral("10.0.0.%1").arg(k)); }
    void add(const QString &name, int k) { list().append(ResourceRow::created(name, address(k).toString(), "LAB")); }
    void answers(int k, bool up)
    {
        if (up)
            echo().outcomes.insert(address(k), FakeEchoChannel::reply(address(k), 56, 1));
        else
            echo().outcomes.remove(address(k));
    }
};

TEST_F(MonitorWindow, TheToggleStartsAndStopsTheMonitorAndTheStatusBarSaysWhen)
{
    QAction *toggle = action("mmMonitor");
    ASSERT_NE(toggle, nullptr);
    EXPECT_TRUE(toggle->isCheckable());
    EXPECT_FALSE(toggle->icon().isNull());
    EXPECT_FALSE(toggle->isEnabled()) << "nothing to watch in an empty list";
    EXPECT_TRUE(monitorStatus().isEmpty());

    add("PC1", 1);
    answers(1, true);
    EXPECT_TRUE(toggle->isEnabled());
    toggle->trigger();
    EXPECT_TRUE(monitor().running());
    EXPECT_TRUE(toggle->isChecked());
    EXPECT_EQ(monitor().interval(), 30s) << "the interval of the settings";
    EXPECT_EQ(monitorStatus(), "Monitoring: round running");

    ASSERT_TRUE(spinUntil([&] { return roundsFinished == 1; }, 5000));
    const QDateTime next = monitor().nextRound();
    ASSERT_TRUE(next.isValid());
    EXPECT_NEAR(double(QDateTime::currentDateTimeUtc().secsTo(next)), 30.0, 2.0);
    EXPECT_EQ(monitorStatus(), "Monitoring: next round at " + next.toLocalTime().toString("HH:mm:ss"));
    EXPECT_EQ(w->windowTitle(), "Lumeo - " + monitorStatus()) << "the caption says it where the status bar has no room";
    EXPECT_EQ(list().row(0).result->outcome, PingOutcome::Reply);

    // A new interval applies at once.
    EchoSettings shorter = core->echoSettings();
    shorter.monitorIntervalSeconds = 5;
    core->setEchoSettings(shorter);
    EXPECT_LE(QDateTime::currentDateTimeUtc().msecsTo(monitor().nextRound()), 5000);

    // Off: the monitor stops, and the status bar is as it was.
    toggle->trigger();
    EXPECT_FALSE(monitor().running());
    EXPECT_FALSE(toggle->isChecked());
    EXPECT_TRUE(monitorStatus().isEmpty());
    EXPECT_EQ(w->windowTitle(), "Lumeo");
}

TEST_F(MonitorWindow, OffEndsTheRoundInFlightAndTheListStaysTheUsers)
{
    add("PC1", 1);
    add("PC2", 2);
    echo().manual = true; // the round stays in flight
    action("mmMonitor")->trigger();
    ASSERT_TRUE(core->sweep().running());

    // Meanwhile the user ticks, sorts, adds, removes and saves.
    list().setChecked(0, false);
    EXPECT_FALSE(list().row(0).checked);
    w->listView()->header()->sectionClicked(ResourceList::colResource);
    EXPECT_EQ(list().sortColumn(), ResourceList::colResource);
    add("PC3", 3);
    w->selectRow(2);
    ASSERT_TRUE(action("mmRemove")->isEnabled());
    action("mmRemove")->trigger();
    EXPECT_EQ(list().count(), 2);
    ui.prompts.saveName = path("watched.lu");
    ASSERT_TRUE(action("mmSave")->isEnabled());
    action("mmSave")->trigger();
    EXPECT_TRUE(QFile::exists(ui.prompts.saveName));
    // A running monitor can be turned off even when the list was emptied.
    action("mmClearAll")->trigger();
    EXPECT_EQ(list().count(), 0);
    EXPECT_TRUE(action("mmMonitor")->isEnabled());

    action("mmMonitor")->trigger();
    EXPECT_FALSE(monitor().running());
    EXPECT_FALSE(core->sweep().running()) << "the round in flight ends as Abort ends it";
    EXPECT_TRUE(echo().inFlight.isEmpty());
    EXPECT_FALSE(action("mmMonitor")->isEnabled());
    spinFor(50);
    EXPECT_EQ(roundsStarted, 1);
}

TEST_F(MonitorWindow, EachAlertIsOneEventLineAndOneNotification)
{
    // Per round, whether each host answers: "flaky" loses every other
    // round and must never alert; "PC7" is off for four rounds.
    const std::string steady = "uuuuuuuuu";
    const std::string flaky = "dudududud";
    const std::string pc7 = "uudddduuu";
    add("steady", 1);
    add("flaky", 2);
    add("PC7", 3);
    const int rounds = int(pc7.size());
    const auto script = QObject::connect(&monitor(), &Monitor::roundStarted, [&] {
        const int r = std::min(roundsStarted, rounds) - 1;
        answers(1, steady[std::size_t(r)] == 'u');
        answers(2, flaky[std::size_t(r)] == 'u');
        answers(3, pc7[std::size_t(r)] == 'u');
    });
    w->show(); // the dock's menu item follows what is on the screen
    EXPECT_FALSE(dock()->isVisible()) << "hidden until the first alert";
    EXPECT_FALSE(action("mmEvents")->isChecked());
    action("mmMonitor")->trigger();
    monitor().setInterval(5ms);
    ASSERT_TRUE(spinUntil([&] { return roundsFinished >= rounds; }, 10000)) << roundsFinished;
    action("mmMonitor")->trigger();

    const QStringList lines = eventLines();
    ASSERT_EQ(lines.size(), 2) << lines.join('\n').toStdString();
    EXPECT_TRUE(lines[0].endsWith(" PC7 down after 3 failed rounds")) << lines[0].toStdString();
    EXPECT_TRUE(lines[1].contains(" PC7 up, ")) << lines[1].toStdString();
    EXPECT_EQ(ui.notifier.shown, QStringList({"PC7 is down|" + lines[0], "PC7 is up|" + lines[1]}));
    EXPECT_TRUE(dock()->isVisible()) << "the first alert brings the log up";
    EXPECT_TRUE(action("mmEvents")->isChecked());

    // Closed by the user, it stays closed; the lines still come, and so do
    // the notifications.
    action("mmEvents")->trigger();
    EXPECT_FALSE(dock()->isVisible());
    QObject::disconnect(script);
    answers(2, true);
    answers(3, false);
    action("mmMonitor")->trigger();
    monitor().setInterval(5ms);
    ASSERT_TRUE(spinUntil([&] { return eventLines().size() == 3; }, 10000));
    action("mmMonitor")->trigger();
    EXPECT_TRUE(eventLines().last().endsWith(" PC7 down after 3 failed rounds"));
    EXPECT_EQ(ui.notifier.shown.size(), 3);
    EXPECT_FALSE(dock()->isVisible());
    // The user opens it again from the menu.
    action("mmEvents")->trigger();
    EXPECT_TRUE(dock()->isVisible());
}

TEST(DesktopNotifier, WithoutASessionBusTheTrayTellsIt)
{
    // A bus nobody listens on: the notification cannot go to the service.
    qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/lumeo-test-bus");
    FreedesktopNotifier notifier;
    EXPECT_EQ(notifier.findChild<QSystemTrayIcon *>(), nullptr);
    notifier.notify("PC7 is down", "12:01:03 PC7 down after 3 failed rounds");
    const auto *tray = notifier.findChild<QSystemTrayIcon *>();
    ASSERT_NE(tray, nullptr);
    EXPECT_FALSE(tray->icon().isNull()) << "a tray icon without a picture is never shown";
}

TEST(EventLog, KeepsTheNewestLinesOnly)
{
    EventLog log;
    EXPECT_TRUE(log.lines().isEmpty());
    for (int i = 1; i <= EventLog::kMaxLines + 5; ++i)
        log.addLine(QStringLiteral("line %1").arg(i));
    const QStringList lines = log.lines();
    ASSERT_EQ(lines.size(), EventLog::kMaxLines);
    EXPECT_EQ(lines.first(), "line 6");
    EXPECT_EQ(lines.last(), QStringLiteral("line %1").arg(EventLog::kMaxLines + 5));
}

TEST_F(MonitorWindow, StatisticsColumnsAreOffUntilAskedAndTheSessionFileStaysTheSame)
{
    add("PC1", 1);
    add("PC2", 2);
    answers(1, true);
    for (int round = 0; round < 3; ++round) {
        answers(2, round == 1);
        ASSERT_TRUE(runSweep(core->sweep()));
    }
    QAbstractItemModel *model = w->listView()->model();
    ASSERT_EQ(model->columnCount(), ResourceList::ColumnCount) << "the design's columns only";
    EXPECT_FALSE(action("mmStatistics")->isChecked());
    // The tooltip shows the statistics whether or not the columns do.
    const QString tip = model->data(model->index(1, ResourceList::colResource), Qt::ToolTipRole).toString();
    EXPECT_TRUE(tip.startsWith("3 tests, 2 lost (66.7 %)")) << tip.toStdString();
    ui.prompts.saveName = path("list.lu");
    action("mmSave")->trigger();
    const QByteArray without = readBytes(path("list.lu"));
    ASSERT_FALSE(without.isEmpty());

    // The header's menu holds the same toggle as the Resources menu.
    EXPECT_TRUE(w->listView()->header()->actions().contains(action("mmStatistics")));
    action("mmStatistics")->trigger();
    ASSERT_EQ(model->columnCount(), int(ResourceList::ColumnCount) + int(StatisticsColumnCount));
    QStringList titles;
    for (int c = ResourceList::ColumnCount; c < model->columnCount(); ++c)
        titles << model->headerData(c, Qt::Horizontal).toString();
    EXPECT_EQ(titles, QStringList({"Loss %", "Average", "Minimum", "Maximum", "Jitter"}));
    const auto cell = [&](int row, int column) {
        return model->data(model->index(row, ResourceList::ColumnCount + column)).toString();
    };
    // Replies of 1 ms and a quarter, three of three for PC1, one of three for PC2.
    EXPECT_EQ(cell(0, stLoss), "0");
    EXPECT_EQ(cell(0, stAverage), "1.25 ms");
    EXPECT_EQ(cell(0, stJitter), "0.00 ms");
    EXPECT_EQ(cell(1, stLoss), "66.7");
    EXPECT_EQ(cell(1, stMinimum), "1.25 ms");
    EXPECT_EQ(cell(1, stJitter), "") << "no jitter from a single reply";
    // A row not tested yet shows nothing.
    add("PC3", 3);
    EXPECT_EQ(cell(2, stLoss), "");
    EXPECT_TRUE(model->data(model->index(2, 0), Qt::ToolTipRole).toString().isEmpty());
    // A click on a statistics column's header does not sort the list.
    const int sorted = list().sortColumn();
    w->listView()->header()->sectionClicked(int(ResourceList::ColumnCount) + int(stLoss));
    EXPECT_EQ(list().sortColumn(), sorted);

    // The session file is written the same way with the columns shown.
    list().removeAt(2);
    ASSERT_TRUE(QFile::remove(path("list.lu")));
    action("mmSave")->trigger();
    EXPECT_EQ(readBytes(path("list.lu")), without);

    action("mmStatistics")->trigger();
    EXPECT_EQ(model->columnCount(), ResourceList::ColumnCount);
}

// The chart shows the selected row: nothing selected, a row not tested yet,
// then its round trips once a sweep has given it a history.
TEST_F(MonitorWindow, TheChartFollowsTheSelectedRow)
{
    add("PC1", 1);
    add("PC2", 2);
    answers(1, true);
    w->show();
    auto *chartDock = w->findChild<QDockWidget *>("dkChart");
    ASSERT_NE(chartDock, nullptr);
    EXPECT_FALSE(chartDock->isVisible()) << "closed until asked for";
    action("mmChart")->trigger();
    ASSERT_TRUE(chartDock->isVisible());
    auto *chart = w->findChild<LatencyChart *>();
    EXPECT_EQ(chart->placeholderText(), "Select a row to see its round-trip times");

    w->selectRow(0);
    EXPECT_EQ(chart->placeholderText(), "No results yet");
    // A Ping moves the selection from row to row as it goes (a monitor's
    // round does not): the chart follows it.
    action("mmPing")->trigger();
    ASSERT_TRUE(spinUntil([&] { return !core->sweep().running(); }, 5000));
    EXPECT_TRUE(chart->placeholderText().isEmpty()) << "a result gives the chart a history";
    EXPECT_TRUE(chart->accessibleName().endsWith("of " + list().row(w->selectedRow()).subItem(siResource)));

    w->selectRow(0);
    EXPECT_TRUE(chart->placeholderText().isEmpty());
    EXPECT_EQ(chart->accessibleName(), "Round-trip times of PC1");
}

// A round that cannot ping would fail the same way every interval: the
// watch ends with the first failure, told once.
TEST_F(MonitorWindow, ARoundThatFailsEndsTheWatchWithOneBox)
{
    platform.resolver.refuseStart = true;
    list().append(ResourceRow::created("byname", QString(), "LAB"));
    action("mmMonitor")->trigger();
    ASSERT_TRUE(spinUntil([&] { return !monitor().running(); }, 5000));
    EXPECT_FALSE(action("mmMonitor")->isChecked());
    EXPECT_EQ(ui.prompts.errors.size(), 1);
    EXPECT_TRUE(monitorStatus().isEmpty());
}

} // namespace
