#pragma once

#include "gui/Pictures.h"

#include <QMainWindow>
#include <QString>

#include <array>
#include <exception>
#include <memory>

class QAction;
class QComboBox;
class QDockWidget;
class QLabel;
class QMenu;
class QToolBar;
class QToolButton;
class QTreeView;
class QTreeWidget;
class DesktopNotifier;
class EventLog;
class LatencyChart;
class InputBlocker;
class LocalNetworkSource;
class PaintThrottle;
class RemotePrompts;
class SettingsStore;
class TFormStorage;
class TNTRemoteDateTime;
class UserPrompts;
class Workspace;
struct FormSettings;
struct PingResult;
struct ScreenFacts;
struct TimeOfDayAnswer;

// What the window needs besides the core: the user's answers, the local
// machine's description and, optionally, where its settings are kept
// (restored at first show and saved at close; without one nothing is read
// or written).
struct TfrmMainServices {
    UserPrompts &prompts;
    RemotePrompts &remotePrompts;
    const LocalNetworkSource &network;
    SettingsStore *settings = nullptr;
    // Where the monitor's alerts go besides the event log; none: the
    // desktop's notification service (or the tray where there is none).
    DesktopNotifier *notifier = nullptr;
};

// The main window: menus, toolbar, the resource list and the status bar.
// It shows the state of the core it is given and wires commands to it;
// formats and protocols live outside it.
class TfrmMain : public QMainWindow {
    Q_OBJECT
public:
    TfrmMain(Workspace &workspace, const TfrmMainServices &services, QWidget *parent = nullptr);
    ~TfrmMain() override;

    // The status bar's panels, left to right.
    enum StatusPanel {
        spMachineCaption,
        spMachine,
        spAddressCaption,
        spAddress,
        spProtocolCaption,
        spProtocol,
        spMessage, // progress texts and counts of the commands
        spFiller,  // empty, or the monitor's state while it watches
        StatusPanelCount
    };

    // The designed size of the window at its first start.
    static constexpr QSize kDesignedSize{713, 504};

    QTreeView *listView() const { return lv; }
    QString statusText(int panel) const;
    int selectedRow() const;
    void selectRow(int row);
    // A session file named when the program was started: opened when the
    // window is first shown, in place of the last one, and then remembered
    // as the last one. Set before showing.
    void setStartFile(const QString &path) { m_startFile = path; }
    // The clock last read from a workstation.
    TNTRemoteDateTime &remoteDateTime() const { return *m_ntRemoteDateTime; }

    // Commands
    void cmOpen();
    void cmSave();
    // Writes the list with each row's last result as CSV or JSON Lines.
    void cmExport();
    void cmCheckAll();
    void cmUncheckAll();
    void cmInvert();
    // Asks for a workstation and adds it, once its name is looked up when
    // the user wants that.
    void cmAdd();
    void cmRemove();
    void cmClearAll();
    void cmExit();
    void cmAbout();
    void cmProps();
    void cmPing();
    // Remote actions on the selected row. They wait for the network in the
    // background; while one waits, another is refused.
    void cmSend();
    void cmGetDateTime();
    // Appends the machines of the network that the list does not hold yet.
    // The window takes no input until the scan is over.
    void mmScanClick();

    // Watching the network: the sweep every interval of the Settings
    // until turned off; alerts go to the Events dock and the desktop.
    void cmMonitor(bool on);
    // Shows or hides the statistics columns of the list.
    void cmStatistics(bool shown);
    // Where the monitor logs its results, as the Settings dialog set it.
    const QString &monitorLog() const { return m_monitorLog; }

    // The one place that computes command enabling.
    void AppEventsIdle();
    void ListMenuPopup();
    // Reopens the last session file; runs once when the window is first shown.
    void StorageRestorePlacement();

    bool eventFilter(QObject *watched, QEvent *event) override;

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void FormCreate(const LocalNetworkSource &network);
    void wireWorkspace();
    void createActions();
    void createMenus();
    void createToolbar();
    void createAdapterPanel();
    void createTree();
    void createList();
    void createStatusBar();
    void createEventsDock();
    void sizeEventsDock();
    void createChartDock();
    void showChartRow();
    void shareBottomDocks();
    void openResultLog();
    void showMonitorState();
    void showCaption();
    void monitorAlert(const QString &title, const QString &line);
    void fitStatusPanels();
    void shrinkStatusPanelsToWindow();
    QAction *makeAction(const char *name, const QString &text, Pictures::Command picture, void (TfrmMain::*command)());
    void connectCommand(QAction *action, void (TfrmMain::*command)());
    void setStatus(StatusPanel panel, const QString &text);
    void showFailure(std::exception_ptr failure);
    void lvColumnClick(int column);
    void lvEnter();
    void openSession(const QString &path, bool rememberAsLast);
    void openStartFile();
    void showRow(int row);
    void scanStarted();
    void scanFinished(std::exception_ptr failure);
    void sweepFinished();
    void explainPingUnavailable();
    // The selected row for a remote action, or -1 when there is none or
    // another action still waits (which the status bar then says).
    int remoteActionRow();
    void remoteTimeRead(const TimeOfDayAnswer &answer);
    ScreenFacts screenFacts() const;
    FormSettings currentSettings() const;
    bool restoreSettings();
    void saveSettings(bool closing);

    Workspace &m_workspace;
    UserPrompts &m_prompts;
    RemotePrompts &m_remotePrompts;
    std::unique_ptr<TFormStorage> m_storage;
    std::unique_ptr<TNTRemoteDateTime> m_ntRemoteDateTime;
    std::unique_ptr<InputBlocker> m_inputBlocker;
    QList<QIcon> m_commandPictures;
    bool m_shownOnce = false;
    QString m_startFile;
    bool m_idleInstalled = false;
    std::unique_ptr<DesktopNotifier> m_ownNotifier;
    DesktopNotifier *m_notifier = nullptr;
    QString m_monitorLog;
    bool m_monitorRound = false;
    bool m_chartShown = false;
    bool m_eventsShown = false; // the dock has come up once: the user decides from then on

    // Main menu items (shared with the toolbar buttons)
    QAction *mmOpen, *mmSave, *mmExport, *mmRefresh, *mmPing, *mmProps, *mmExit;
    QAction *mmScan, *mmAdd, *mmRemove, *mmClearAll, *mmSend, *mmGetDateTime;
    QAction *mmCheckAll, *mmUncheckAll, *mmInvert, *mmAbout;
    QAction *mmMonitor, *mmStatistics, *mmEvents, *mmChart;
    // Popup items
    QAction *pmRemove, *pmClearAll, *pmCheckAll, *pmUncheckAll, *pmInvert, *pmSend, *pmGetDateTime, *pmPing;

    QToolBar *Toolbar = nullptr;
    QToolButton *sbSend = nullptr;
    QToolBar *Panel1 = nullptr;
    QComboBox *rcAdapter = nullptr;
    QDockWidget *twTree = nullptr;
    QDockWidget *dkEvents = nullptr;
    EventLog *m_events = nullptr;
    QDockWidget *dkChart = nullptr;
    LatencyChart *m_chart = nullptr;
    QTreeWidget *Tree = nullptr;
    QTreeView *lv = nullptr;
    PaintThrottle *m_listPaints = nullptr;
    QMenu *ListMenu = nullptr;
    std::array<QLabel *, StatusPanelCount> m_panels{};
};
