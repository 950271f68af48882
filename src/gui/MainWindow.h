#pragma once

#include "application/NetworkScan.h"
#include "application/PingSweep.h"
#include "application/SessionState.h"
#include "gui/Pictures.h"

#include <QMainWindow>
#include <QString>
#include <array>
#include <cstdint>
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
class EchoChannelFactory;
class HostResolver;
class LocalNetworkSource;
class NeighborhoodSource;
class NetworkTreeLoader;
class PaintThrottle;
class PendingAdd;
class RemoteActions;
class RemotePrompts;
class TNTRemoteDateTime;
struct TimeOfDayAnswer;
class ResourceList;
class SettingsStore;
class TFormStorage;
struct FormSettings;
struct ScreenFacts;
class TPing;
class TWSocket;
class UserPrompts;

// What the window needs from outside: the user's answers, the local
// machine's description, name resolution and the echo service.
struct TfrmMainServices {
    UserPrompts &prompts;
    const LocalNetworkSource &network;
    HostResolver &resolver;
    EchoChannelFactory &echo;
    // The network that the scan and the tree look at; the real one if none.
    std::shared_ptr<NeighborhoodSource> neighborhood = {};
};

// The main window: menus, toolbar, the resource list and the status bar.
// It wires commands; formats and protocols live outside it.
class TfrmMain : public QMainWindow, private SweepView, private ScanView {
    Q_OBJECT
public:
    explicit TfrmMain(const TfrmMainServices &services, QWidget *parent = nullptr);
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
        spFiller,
        StatusPanelCount
    };

    ResourceList &list() const { return *m_list; }
    QTreeView *listView() const { return lv; }
    QString statusText(int panel) const;
    QString fileName() const { return m_session.fileName(); }
    QString lastFile() const { return m_session.lastFile(); }
    void setLastFile(const QString &path) { m_session.setLastFile(path); }
    // The stored value "DNS": look a host name up before adding it. It is
    // kept as the text stored and read as a boolean where it is used, which
    // raises the conversion error for a text that is none.
    bool dns() const;
    void setDns(bool lookUp);
    int selectedRow() const;
    void selectRow(int row);
    // Where the settings are restored from at first show and saved to at
    // close; without one nothing is read or written. Set before showing.
    void setSettingsStore(SettingsStore *store);

    // Commands
    void cmOpen();
    void cmSave();
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

    RemoteActions &remoteActions() const { return *m_remote; }
    TNTRemoteDateTime &remoteDateTime() const { return *m_ntRemoteDateTime; }
    // The remote commands' boxes; tests answer in the user's place.
    void setRemotePrompts(RemotePrompts &prompts) { m_remotePrompts = &prompts; }
    // Appends the machines of the network that the list does not hold yet.
    void mmScanClick();

    TPing &ping() const { return *m_ping; }
    TWSocket &wsocket() const { return *m_wsocket; }
    PingSweep &sweep() const { return *m_sweep; }
    PendingAdd &pendingAdd() const { return *m_pendingAdd; }
    // The socket component's lookup for an add finished.
    void WSocketDnsLookupDone(TWSocket *sender, std::uint16_t error);

    // The one place that computes command enabling.
    void AppEventsIdle();
    void ListMenuPopup();
    // Reopens the last session file; runs once when the window is first shown.
    void StorageRestorePlacement();
    // A session file named when the program was started: opened when the
    // window is first shown, in place of the last one, and then remembered
    // as the last one. Set before showing.
    void setStartFile(const QString &path) { m_startFile = path; }

    bool eventFilter(QObject *watched, QEvent *event) override;

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void FormCreate(const LocalNetworkSource &network);
    void createActions();
    void createMenus();
    void createToolbar();
    void createAdapterPanel();
    void createTree();
    void createList();
    void createStatusBar();
    QAction *makeAction(const char *name, const QString &text, Pictures::Command picture, void (TfrmMain::*command)());
    void connectCommand(QAction *action, void (TfrmMain::*command)());
    void setStatus(StatusPanel panel, const QString &text);
    void lvColumnClick(int column);
    void lvEnter();
    void openSession(const QString &path, bool rememberAsLast);
    void openStartFile();
    void showRow(int row) override;
    void setMessage(const QString &text) override;
    void setBusyCursor(bool busy) override;
    void repaintNow() override;
    std::shared_ptr<NeighborhoodSource> neighborhood();
    void explainPingUnavailable();
    // The selected row for a remote action, or -1 when there is none or
    // another action still waits (which the status bar then says).
    int remoteActionRow();
    void remoteTimeRead(const TimeOfDayAnswer &answer);
    ScreenFacts screenFacts() const;
    FormSettings currentSettings() const;
    bool restoreSettings();
    void saveSettings(bool closing);

    UserPrompts &m_prompts;
    ResourceList *m_list = nullptr;
    QList<QIcon> m_commandPictures;
    std::unique_ptr<TWSocket> m_wsocket;
    std::unique_ptr<TPing> m_ping;
    std::unique_ptr<PingSweep> m_sweep;
    std::unique_ptr<PendingAdd> m_pendingAdd;
    SessionState m_session;
    QString m_dns = QStringLiteral("False");
    bool m_shownOnce = false;
    QString m_startFile;
    bool m_idleInstalled = false;
    std::unique_ptr<TFormStorage> m_storage;
    std::unique_ptr<RemotePrompts> m_dialogRemotePrompts;
    RemotePrompts *m_remotePrompts = nullptr;
    std::unique_ptr<RemoteActions> m_remote;
    std::unique_ptr<TNTRemoteDateTime> m_ntRemoteDateTime;
    std::shared_ptr<NeighborhoodSource> m_neighborhood;
    NetworkTreeLoader *m_treeLoader = nullptr;

    // Main menu items (shared with the toolbar buttons)
    QAction *mmOpen, *mmSave, *mmRefresh, *mmPing, *mmProps, *mmExit;
    QAction *mmScan, *mmAdd, *mmRemove, *mmClearAll, *mmSend, *mmGetDateTime;
    QAction *mmCheckAll, *mmUncheckAll, *mmInvert, *mmAbout;
    // Popup items
    QAction *pmRemove, *pmClearAll, *pmCheckAll, *pmUncheckAll, *pmInvert, *pmSend, *pmGetDateTime, *pmPing;

    QToolBar *Toolbar = nullptr;
    QToolButton *sbSend = nullptr;
    QToolBar *Panel1 = nullptr;
    QComboBox *rcAdapter = nullptr;
    QDockWidget *twTree = nullptr;
    QTreeWidget *Tree = nullptr;
    QTreeView *lv = nullptr;
    PaintThrottle *m_listPaints = nullptr;
    QMenu *ListMenu = nullptr;
    std::array<QLabel *, StatusPanelCount> m_panels{};
};
