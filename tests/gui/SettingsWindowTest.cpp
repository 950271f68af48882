#include "application/Monitor.h"
#include "application/SettingsStore.h"
#include "gui/MainWindow.h"
#include "gui/PropsDialog.h"
#include "gui/SpinEdit.h"
#include "ping/Ping.h"
#include "resources/ResourceList.h"
#include "support/FakeWindow.h"
#include "support/Spin.h"
#include "support/TestFiles.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QDockWidget>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QTimer>

#include <algorithm>
#include <climits>
#include <functional>
#include <gtest/gtest.h>
#include <vector>

namespace {

// Runs `act` on the Settings dialog once it is open and modal. A dialog left
// open is closed after a few seconds, so that a failing test ends.
void whenPropsOpen(const std::function<void(TformProps &)> &act)
{
    QTimer::singleShot(0, [act] {
        auto *dialog = qobject_cast<TformProps *>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr) << "the Settings dialog is not open";
        act(*dialog);
    });
    QTimer::singleShot(5000, [] {
        if (QWidget *open = QApplication::activeModalWidget()) {
            ADD_FAILURE() << "the dialog was left open";
            open->close();
        }
    });
}

void press(QWidget *target, int key, const QString &text = QString())
{
    QKeyEvent down(QEvent::KeyPress, key, Qt::NoModifier, text);
    QApplication::sendEvent(target, &down);
    QKeyEvent up(QEvent::KeyRelease, key, Qt::NoModifier, text);
    QApplication::sendEvent(target, &up);
}

class SettingsWindow : public TemporaryFiles {
protected:
    FakePlatform platform;
    FakeWindowServices ui;
    FakePrompts &prompts = ui.prompts;

    QString iniPath() const { return path("Korvell/Lumeo.ini"); }
    std::unique_ptr<IniSettingsStore> store = std::make_unique<IniSettingsStore>(iniPath());

    // One run of the program, with the settings file.
    std::unique_ptr<StartedWindow> window()
    {
        return std::make_unique<StartedWindow>(platform.platform(), ui.services(store.get()));
    }
    QMap<QString, QString> stored() { return IniSettingsStore(iniPath()).read(); }
    void storeValues(const SettingsStore::Values &values) { IniSettingsStore(iniPath()).write(values); }
    static TSpinEdit *edit(TformProps &d, const char *name)
    {
        return d.findChild<TSpinEdit *>(QString::fromLatin1(name));
    }
};

} // namespace

TEST_F(SettingsWindow, FirstRunOpensWithTheDefaultsAndClosingStoresEveryValue)
{
    auto w = window();
    w->show();
    EXPECT_EQ(std::tuple(w->workspace().ping().Size(), w->workspace().ping().Timeout(), w->workspace().ping().TTL(),
                         w->workspace().dns()),
              std::tuple(56, 4000u, 64, false));
    EXPECT_EQ(w->workspace().sweep().parallel(), EchoSettings{}.parallel);
    EXPECT_GE(w->width(), 713);
    EXPECT_EQ(w->height(), 504);
    EXPECT_TRUE(w->workspace().session().fileName().isEmpty());
    EXPECT_FALSE(QFile::exists(iniPath()));
    const QRect at(w->pos(), w->size());
    w->close();

    const QMap<QString, QString> values = stored();
    const QString res = QStringLiteral("(%1x%2)").arg(w->screen()->size().width()).arg(w->screen()->size().height());
    for (const QString name :
         {"FormVersion", "Flags", "ShowCmd", "PixelsPerInch", "MinMaxPos", "NormPos", "Visible", "Ping_Timeout",
          "Ping_Size", "Ping_TTL", "Ping_Parallel", "Probe_Ports", "Monitor_Interval", "twTree_Width", "DNS",
          "LastFile", "Monitor_Log", "Statistics_Columns"})
        EXPECT_TRUE(values.contains(name)) << name.toStdString();
    EXPECT_EQ(values.size(), 20);
    const QString norm = QStringLiteral("%1,%2,%3,%4")
                             .arg(at.left())
                             .arg(at.top())
                             .arg(at.left() + at.width())
                             .arg(at.top() + at.height());
    EXPECT_EQ(values.value("NormPos"), norm);
    EXPECT_EQ(values.value("NormPos" + res), norm);
    EXPECT_EQ(values.value("Visible"), "0");
    EXPECT_EQ(values.value("Ping_Size"), "56");
    EXPECT_EQ(values.value("Ping_Parallel"), "1024");
    EXPECT_EQ(values.value("Probe_Ports"), "445,139,3389,22,80,443");
    EXPECT_EQ(values.value("DNS"), "False");
    EXPECT_EQ(values.value("LastFile"), "");
    EXPECT_TRUE(prompts.warnings.isEmpty() && prompts.errors.isEmpty());
}

TEST_F(SettingsWindow, StoredSettingsComeBackAtFirstShow)
{
    const QString last = path("office.lu");
    writeBytes(last, "0,,A,1.1.1.1,W,<not tested>,,\r\n");
    storeValues({{"NormPos", "20,30,770,570"},
                 {"Ping_Size", "1472"},
                 {"Ping_Timeout", "250"},
                 {"Ping_TTL", "8"},
                 {"Ping_Parallel", "5"},
                 {"twTree_Width", "240"},
                 {"DNS", "True"},
                 {"LastFile", last}});
    auto w = window();
    w->show();
    EXPECT_EQ(w->pos(), QPoint(20, 30));
    EXPECT_EQ(w->size(), QSize(750, 540));
    EXPECT_EQ(std::tuple(w->workspace().ping().Size(), w->workspace().ping().Timeout(), w->workspace().ping().TTL(),
                         w->workspace().dns()),
              std::tuple(1472, 250u, 8, true));
    EXPECT_EQ(w->workspace().sweep().parallel(), 5);
    QApplication::processEvents();
    EXPECT_EQ(w->findChild<QDockWidget *>("twTree")->width(), 240);
    EXPECT_EQ(w->workspace().session().fileName(), last);
    EXPECT_EQ(w->workspace().list().count(), 1);
    EXPECT_TRUE(prompts.warnings.isEmpty() && prompts.errors.isEmpty());

    // What was restored is what is saved again.
    w->close();
    const QMap<QString, QString> values = stored();
    EXPECT_EQ(values.value("NormPos"), "20,30,770,570");
    EXPECT_EQ(values.value("Ping_Size"), "1472");
    EXPECT_EQ(values.value("Ping_Parallel"), "5");
    EXPECT_EQ(values.value("twTree_Width"), "240");
    EXPECT_EQ(values.value("DNS"), "True");
    EXPECT_EQ(values.value("LastFile"), last);
}

TEST_F(SettingsWindow, SavedOnceAtCloseOrElseWhenDestroyed)
{
    {
        auto w = window();
        w->show();
        w->close();
        EXPECT_EQ(stored().value("Visible"), "0");
        storeValues({{"Visible", "untouched"}});
    } // destroyed after the close: no second save
    EXPECT_EQ(stored().value("Visible"), "untouched");
    {
        auto w = window();
        w->show();
    } // destroyed without a close
    EXPECT_EQ(stored().value("Visible"), "1");
    QFile::remove(iniPath());
    {
        auto w = window();
    } // never shown, nothing restored: nothing saved
    EXPECT_FALSE(QFile::exists(iniPath()));
}

TEST_F(SettingsWindow, DamagedSettingsFileWarnsOnceAndIsLeftAlone)
{
    QDir().mkpath(path("Korvell"));
    const QByteArray damaged("[4.0]\nPing_Size=8\n\0\0\0garbage", 29);
    writeBytes(iniPath(), damaged);
    auto w = window();
    w->show();
    ASSERT_EQ(prompts.warnings.size(), 1);
    EXPECT_TRUE(prompts.warnings[0].contains(iniPath())) << prompts.warnings[0].toStdString();
    EXPECT_EQ(w->workspace().ping().Size(), 56);
    w->close();
    EXPECT_EQ(readBytes(iniPath()), damaged);
    EXPECT_EQ(prompts.warnings.size(), 1);
}

TEST_F(SettingsWindow, OutOfRangeStoredValuesKeepTheDefaultsAndAreReported)
{
    storeValues({{"Ping_Size", "70000"}, {"Ping_TTL", "-3"}, {"Ping_Timeout", "-1"}, {"Ping_Parallel", "4097"}});
    auto w = window();
    w->show();
    EXPECT_EQ(std::tuple(w->workspace().ping().Size(), w->workspace().ping().Timeout(), w->workspace().ping().TTL(),
                         w->workspace().sweep().parallel()),
              std::tuple(56, 4000u, 64, EchoSettings{}.parallel));
    ASSERT_EQ(prompts.warnings.size(), 1);
    EXPECT_TRUE(prompts.warnings[0].contains("The data size must be between 0 and 65535, not 70000"))
        << prompts.warnings[0].toStdString();
    EXPECT_TRUE(prompts.warnings[0].contains("The time to live must be between 0 and 255, not -3"));
    EXPECT_TRUE(prompts.warnings[0].contains("The timeout must be between 0 and 2147483647, not -1"));
    EXPECT_TRUE(prompts.warnings[0].contains("The number of simultaneous pings must be between 1 and 4096, not 4097"));
}

TEST_F(SettingsWindow, DnsThatIsNoBooleanFailsWithTheConversionError)
{
    const QString last = path("office.lu");
    writeBytes(last, "0,,A,\r\n");
    storeValues({{"DNS", "maybe"}, {"LastFile", last}});
    auto w = window();
    w->show();
    EXPECT_TRUE(prompts.errors.isEmpty()); // read where it is used, not at start
    EXPECT_EQ(w->workspace().session().fileName(), last);
    const QString error = "Could not convert variant of type (String) into type (Boolean).";
    w->findChild<QAction *>("mmAdd")->trigger();
    EXPECT_TRUE(prompts.addsAsked.isEmpty());
    w->findChild<QAction *>("mmProps")->trigger();
    EXPECT_EQ(prompts.errors, QStringList({error, error}));
    w->close();
    EXPECT_EQ(stored().value("DNS"), "maybe"); // stored back as it was
}

TEST_F(SettingsWindow, ResolutionNameAndPixelsPerInch)
{
    const QSize res = QApplication::primaryScreen()->size();
    const QString own = QStringLiteral("NormPos(%1x%2)").arg(res.width()).arg(res.height());
    const int ppi = qRound(QApplication::primaryScreen()->logicalDotsPerInch());
    struct Case {
        const char *what;
        SettingsStore::Values values;
        std::optional<QPoint> at;
    };
    const std::vector<Case> cases = {
        {"own resolution", {{own, "40,50,790,590"}, {"NormPos", "10,10,760,550"}}, QPoint(40, 50)},
        {"plain name", {{"NormPos(1x1)", "40,50,790,590"}, {"NormPos", "10,10,760,550"}}, QPoint(10, 10)},
        {"other pixels per inch",
         {{"NormPos", "10,10,760,550"}, {"PixelsPerInch", QString::number(ppi + 24)}, {"Ping_Size", "9"}},
         std::nullopt},
        {"off every screen", {{"NormPos", "-5000,-5000,-4000,-4000"}}, std::nullopt},
    };
    for (const Case &c : cases) {
        QFile::remove(iniPath());
        storeValues(c.values);
        StartedWindow plain(platform.platform(), ui.services()); // where a window without settings opens
        plain.show();
        const QPoint centred = plain.pos();
        plain.close();
        auto w = window();
        w->show();
        EXPECT_EQ(w->pos(), c.at.value_or(centred)) << c.what;
        if (!c.at) {
            EXPECT_EQ(w->height(), 504) << c.what;
        }
        EXPECT_EQ(w->workspace().ping().Size(), c.values.size() == 3 ? 9 : 56) << c.what;
    }
}

// --- The Settings command and its dialog ---

TEST_F(SettingsWindow, OkAppliesTheDialogsValuesAndCancelChangesNothing)
{
    auto w = window();
    for (const bool ok : {false, true}) {
        whenPropsOpen([ok](TformProps &d) {
            EXPECT_EQ(edit(d, "seSize")->value(), 56);
            EXPECT_EQ(edit(d, "seTimeout")->value(), 4000);
            EXPECT_EQ(edit(d, "seTTL")->value(), 64);
            EXPECT_EQ(edit(d, "seParallel")->value(), EchoSettings{}.parallel);
            EXPECT_FALSE(d.findChild<QCheckBox *>("cbxDNS")->isChecked());
            edit(d, "seSize")->setValue(1000);
            edit(d, "seTimeout")->setValue(500);
            edit(d, "seTTL")->setValue(3);
            edit(d, "seParallel")->setValue(1);
            d.findChild<QCheckBox *>("cbxDNS")->setChecked(true);
            d.findChild<QPushButton *>(ok ? "btnOK" : "btnCancel")->click();
        });
        w->cmProps();
        if (!ok) {
            EXPECT_EQ(std::tuple(w->workspace().ping().Size(), w->workspace().ping().Timeout(),
                                 w->workspace().ping().TTL(), w->workspace().dns(), w->workspace().sweep().parallel()),
                      std::tuple(56, 4000u, 64, false, EchoSettings{}.parallel));
        }
    }
    EXPECT_EQ(std::tuple(w->workspace().ping().Size(), w->workspace().ping().Timeout(), w->workspace().ping().TTL(),
                         w->workspace().dns(), w->workspace().sweep().parallel()),
              std::tuple(1000, 500u, 3, true, 1));
    EXPECT_FALSE(QFile::exists(iniPath())); // stored only when the window closes
}

TEST_F(SettingsWindow, OutOfRangeValuesAreRefusedAndTheDialogStaysOpen)
{
    auto w = window();
    struct Case {
        const char *edit;
        const char *typed;
        const char *message;
    };
    const std::vector<Case> cases = {
        {"seSize", "65536", "The data size must be between 0 and 65535, not 65536."},
        {"seSize", "-1", "The data size must be between 0 and 65535, not -1."},
        {"seTimeout", "-1000", "The timeout must be between 0 and 2147483647, not -1000."},
        // Too long for an integer is out of range too, never a silent 0.
        {"seTimeout", "99999999999", "The timeout must be between 0 and 2147483647, not 99999999999."},
        {"seTTL", "256", "The time to live must be between 0 and 255, not 256."},
        {"seTTL", "-1", "The time to live must be between 0 and 255, not -1."},
        {"seParallel", "0", "The number of simultaneous pings must be between 1 and 4096, not 0."},
        {"seParallel", "4097", "The number of simultaneous pings must be between 1 and 4096, not 4097."},
        {"seMonitor", "4", "The monitor's interval must be between 5 and 3600 seconds, not 4."},
        {"seMonitor", "3601", "The monitor's interval must be between 5 and 3600 seconds, not 3601."},
    };
    for (const Case &c : cases) {
        prompts.errors.clear();
        whenPropsOpen([&c, this](TformProps &d) {
            edit(d, c.edit)->findChild<QLineEdit *>()->setText(QString::fromLatin1(c.typed));
            d.findChild<QPushButton *>("btnOK")->click();
            EXPECT_TRUE(d.isVisible()) << c.edit;
            EXPECT_EQ(prompts.errors, QStringList({c.message}));
            EXPECT_TRUE(edit(d, c.edit)->hasFocus() || QApplication::focusWidget() == nullptr);
            d.reject();
        });
        w->cmProps();
        EXPECT_EQ(std::tuple(w->workspace().ping().Size(), w->workspace().ping().Timeout(), w->workspace().ping().TTL(),
                             w->workspace().sweep().parallel()),
                  std::tuple(56, 4000u, 64, EchoSettings{}.parallel))
            << c.edit;
    }
}

TEST_F(SettingsWindow, EnterAndEscInASpinEditActOnOkAndCancel)
{
    auto w = window();
    for (const int key : {Qt::Key_Escape, Qt::Key_Return}) {
        whenPropsOpen([key](TformProps &d) {
            edit(d, "seTTL")->setValue(32);
            press(edit(d, "seTTL"), key);
        });
        w->cmProps();
        EXPECT_EQ(w->workspace().ping().TTL(), key == Qt::Key_Return ? 32 : 64);
    }
}

TEST_F(SettingsWindow, MenuItemAndShortcutOpenTheDialog)
{
    auto w = window();
    QAction *props = w->findChild<QAction *>("mmProps");
    ASSERT_NE(props, nullptr);
    EXPECT_TRUE(props->shortcuts().contains(QKeySequence(Qt::ALT | Qt::Key_Return)));
    bool opened = false;
    whenPropsOpen([&opened](TformProps &d) {
        opened = true;
        EXPECT_EQ(d.windowTitle(), "Settings");
        d.reject();
    });
    props->trigger();
    EXPECT_TRUE(opened);
}

TEST(PropsDialog, Layout)
{
    FakePrompts prompts;
    TformProps d(prompts);
    EXPECT_GE(d.width(), 269);
    EXPECT_GE(d.height(), 243);
    const std::vector<std::tuple<const char *, const char *, const char *, int>> edits = {
        {"seSize", "Data size", "Data size in bytes", 8},
        {"seTimeout", "Timeout", "Timeout in miliseconds", 1000},
        {"seTTL", "Time to Live", "Time to live for send", 1},
        {"seParallel", "Simultaneous pings", "How many workstations a sweep pings at the same time", 1},
        {"seMonitor", "Monitor every", "Seconds between the monitor's rounds", 5}};
    for (const auto &[name, label, hint, step] : edits) {
        const auto *e = d.findChild<TSpinEdit *>(name);
        ASSERT_NE(e, nullptr) << name;
        const QList<QLabel *> labels = d.findChildren<QLabel *>();
        EXPECT_TRUE(std::any_of(labels.cbegin(), labels.cend(), [&](const QLabel *l) {
            return l->buddy() == e && l->text() == label;
        })) << name;
        EXPECT_EQ(e->toolTip(), hint);
        EXPECT_EQ(e->increment(), step);
        EXPECT_EQ(e->width(), 73);
        EXPECT_TRUE(e->alignment() & Qt::AlignRight);
    }
    EXPECT_EQ(d.findChild<QCheckBox *>("cbxDNS")->text(), "Lookup for host name before adding");
    EXPECT_EQ(d.findChild<QPushButton *>("btnBrowseLog")->text(), "Browse...");
    EXPECT_FALSE(d.findChild<QPushButton *>("btnBrowseLog")->autoDefault()) << "Enter still means OK";
    EXPECT_TRUE(d.findChild<QPushButton *>("btnOK")->isDefault());
    EXPECT_EQ(d.findChild<QPushButton *>("btnCancel")->text(), "Cancel");
}

TEST(SpinEdit, TypingAcceptsSignsDigitsAndControlKeysOnly)
{
    TSpinEdit e;
    e.findChild<QLineEdit *>()->clear();
    struct Key {
        int key;
        const char *text;
        const char *after;
    };
    const std::vector<Key> keys = {
        {Qt::Key_1, "1", "1"},       {Qt::Key_A, "a", "1"},
        {Qt::Key_2, "2", "12"},      {Qt::Key_Period, ".", "12"},
        {Qt::Key_Space, " ", "12"},  {Qt::Key_Minus, "-", "12-"},
        {Qt::Key_Plus, "+", "12-+"}, {Qt::Key_Backspace, "\b", "12-"},
        {Qt::Key_E, "e", "12-"},
    };
    for (const Key &k : keys) {
        press(&e, k.key, QString::fromLatin1(k.text));
        EXPECT_EQ(e.findChild<QLineEdit *>()->text(), k.after) << "after " << k.text;
    }
    EXPECT_EQ(e.value(), 0); // "12-" is no integer
    e.findChild<QLineEdit *>()->setText("+17");
    EXPECT_EQ(e.value(), 17);
}

TEST(SpinEdit, StepsHaveNoBounds)
{
    struct Case {
        int start, step, steps, expected;
    };
    const std::vector<Case> cases = {
        {56, 8, 1, 64},
        {56, 8, -1, 48},
        {0, 8, -1, -8},
        {4000, 1000, 3, 7000},
        {INT_MAX - 5, 8, 1, INT_MAX},
        {INT_MIN + 5, 8, -1, INT_MIN},
    };
    for (const Case &c : cases) {
        TSpinEdit e;
        e.setIncrement(c.step);
        e.setValue(c.start);
        e.stepBy(c.steps);
        EXPECT_EQ(e.value(), c.expected) << c.start << " " << c.step << " " << c.steps;
    }
    TSpinEdit keys;
    keys.setIncrement(1000);
    keys.setValue(4000);
    press(&keys, Qt::Key_Up);
    press(&keys, Qt::Key_Up);
    press(&keys, Qt::Key_Down);
    EXPECT_EQ(keys.value(), 5000);
}

TEST_F(SettingsWindow, TheProbePortsAreTakenAsAListOrRefusedWithTheFormTheyMustHave)
{
    const struct {
        const char *typed;
        std::optional<QList<quint16>> taken; // nothing: refused, the dialog stays open
    } cases[] = {
        {"22, 3389", QList<quint16>{22, 3389}},
        {"", QList<quint16>{}}, // probing off
        {"22,ssh", std::nullopt},
        {"0", std::nullopt},
        {"22,22", std::nullopt},
    };
    auto w = window();
    for (const auto &c : cases) {
        SCOPED_TRACE(c.typed);
        const QList<quint16> before = w->workspace().echoSettings().probePorts;
        prompts.errors.clear();
        whenPropsOpen([&c, this](TformProps &d) {
            auto *ports = d.findChild<QLineEdit *>("eProbePorts");
            ASSERT_NE(ports, nullptr);
            ports->setText(QString::fromLatin1(c.typed));
            d.findChild<QPushButton *>("btnOK")->click();
            if (!c.taken) {
                EXPECT_TRUE(d.isVisible());
                ASSERT_EQ(prompts.errors.size(), 1);
                EXPECT_TRUE(prompts.errors[0].startsWith(
                    "The probe ports must be a list of port numbers from 1 to 65535 separated by commas"))
                    << prompts.errors[0].toStdString();
                d.reject();
            }
        });
        w->cmProps();
        EXPECT_EQ(w->workspace().echoSettings().probePorts, c.taken.value_or(before));
    }
    // What the dialog took is what the settings file keeps.
    w->close();
    EXPECT_EQ(stored().value("Probe_Ports"), "");
}

TEST_F(SettingsWindow, TheMonitorsSettingsComeBackAndApplyAtOnce)
{
    QDir().mkpath(path("logs"));
    const QString log = path("logs/results.jsonl");
    {
        auto w = window();
        w->show();
        w->workspace().list().append(ResourceRow::created("PC1", "10.0.0.1", "LAB"));
        w->findChild<QAction *>("mmMonitor")->trigger();
        Monitor &monitor = w->workspace().monitor();
        ASSERT_TRUE(
            spinUntil([&] { return monitor.nextRound().isValid() && !w->workspace().sweep().running(); }, 5000));
        EXPECT_GT(QDateTime::currentDateTimeUtc().msecsTo(monitor.nextRound()), 20000);

        prompts.logName = log;
        whenPropsOpen([this, log](TformProps &d) {
            EXPECT_EQ(edit(d, "seMonitor")->value(), 30);
            auto *logEdit = d.findChild<QLineEdit *>("eMonitorLog");
            EXPECT_TRUE(logEdit->text().isEmpty());
            d.findChild<QPushButton *>("btnBrowseLog")->click();
            EXPECT_EQ(logEdit->text(), log);
            edit(d, "seMonitor")->setValue(5);
            d.findChild<QPushButton *>("btnOK")->click();
        });
        w->cmProps();
        EXPECT_EQ(prompts.logNamesAsked, QStringList({""}));
        EXPECT_EQ(w->monitorLog(), log);
        EXPECT_EQ(w->workspace().resultLogPath(), log) << "results are logged from now on";
        // The running monitor keeps to the new interval at once, and the
        // status bar says when its next round comes.
        EXPECT_EQ(monitor.interval(), std::chrono::seconds(5));
        EXPECT_LE(QDateTime::currentDateTimeUtc().msecsTo(monitor.nextRound()), 5000);
        EXPECT_EQ(w->statusText(TfrmMain::spFiller),
                  "Monitoring: next round at " + monitor.nextRound().toLocalTime().toString("HH:mm:ss"));
        w->findChild<QAction *>("mmStatistics")->trigger();
        w->close();
    }
    const QMap<QString, QString> values = stored();
    EXPECT_EQ(values.value("Monitor_Interval"), "5");
    EXPECT_EQ(values.value("Monitor_Log"), log);
    EXPECT_EQ(values.value("Statistics_Columns"), "True");

    auto again = window();
    again->show();
    EXPECT_EQ(again->workspace().echoSettings().monitorIntervalSeconds, 5);
    EXPECT_EQ(again->monitorLog(), log);
    EXPECT_EQ(again->workspace().resultLogPath(), log) << "the stored log is opened at start";
    EXPECT_TRUE(again->findChild<QAction *>("mmStatistics")->isChecked());
    EXPECT_EQ(again->workspace().list().columnCount(), ResourceList::ColumnCount + 5);
    EXPECT_FALSE(again->workspace().monitor().running()) << "watching starts only when the user asks";
    whenPropsOpen([log](TformProps &d) {
        EXPECT_EQ(edit(d, "seMonitor")->value(), 5);
        EXPECT_EQ(d.findChild<QLineEdit *>("eMonitorLog")->text(), log);
        // An emptied path is no log.
        d.findChild<QLineEdit *>("eMonitorLog")->setText("  ");
        d.findChild<QPushButton *>("btnOK")->click();
    });
    again->cmProps();
    EXPECT_TRUE(again->monitorLog().isEmpty());
    EXPECT_TRUE(again->workspace().resultLogPath().isEmpty());

    // A log that cannot be opened is told, and nothing is logged.
    const QString folder = dir.path();
    whenPropsOpen([folder](TformProps &d) {
        d.findChild<QLineEdit *>("eMonitorLog")->setText(folder);
        d.findChild<QPushButton *>("btnOK")->click();
    });
    prompts.warnings.clear();
    again->cmProps();
    ASSERT_EQ(prompts.warnings.size(), 1);
    EXPECT_TRUE(prompts.warnings[0].contains(folder)) << prompts.warnings[0].toStdString();
    EXPECT_TRUE(again->workspace().resultLogPath().isEmpty());
}
