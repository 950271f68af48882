#include "gui/MainWindow.h"

#include "application/Caption.h"
#include "application/CommandEnabling.h"
#include "application/FormStorage.h"
#include "application/Monitor.h"
#include "application/NetworkTreeLoader.h"
#include "application/PendingAdd.h"
#include "application/PingSweep.h"
#include "application/RemoteActions.h"
#include "application/RemoteCommands.h"
#include "application/ResultWriter.h"
#include "application/StatisticsText.h"
#include "application/Workspace.h"
#include "base/AtomicFile.h"
#include "base/Exception.h"
#include "gui/AboutDialog.h"
#include "gui/CommandRunner.h"
#include "gui/DesktopNotifier.h"
#include "gui/EventLog.h"
#include "gui/InputBlocker.h"
#include "gui/LatencyChart.h"
#include "gui/NetworkTree.h"
#include "gui/PaintThrottle.h"
#include "gui/Pictures.h"
#include "gui/PropsDialog.h"
#include "gui/RemotePrompts.h"
#include "gui/StatusPanels.h"
#include "gui/UserPrompts.h"
#include "ping/Ping.h"
#include "remote/NTRemoteDateTime.h"
#include "resources/ListColours.h"
#include "resources/ResourceList.h"
#include "sysinfo/Common.h"
#include "sysinfo/LocalNetwork.h"
#include "sysinfo/SystemSummary.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QDateTime>
#include <QDockWidget>
#include <QEvent>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLayout>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QScreen>
#include <QStatusBar>
#include <QStyle>
#include <QTextDocument>
#include <QTime>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QTreeView>
#include <QTreeWidget>

#include <algorithm>

using namespace Pictures;

TfrmMain::TfrmMain(Workspace &workspace, const TfrmMainServices &services, QWidget *parent)
    : QMainWindow(parent), m_workspace(workspace), m_prompts(services.prompts), m_remotePrompts(services.remotePrompts),
      m_storage(services.settings ? std::make_unique<TFormStorage>(*services.settings) : nullptr),
      m_ntRemoteDateTime(std::make_unique<TNTRemoteDateTime>())
{
    if (services.notifier) {
        m_notifier = services.notifier;
    } else {
        auto own = std::make_unique<FreedesktopNotifier>();
        m_notifier = own.get();
        m_ownNotifier = std::move(own);
    }
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(windowCaption(QString()));
    m_commandPictures = Pictures::commandPictures();
    m_workspace.list().setStatusImages(Pictures::statusPictures());

    createActions();
    createEventsDock();
    createChartDock();
    createMenus();
    createToolbar();
    createAdapterPanel();
    createTree();
    createList();
    createStatusBar();
    wireWorkspace();
    FormCreate(services.network);

    resize(kDesignedSize);
    if (const QScreen *screen = this->screen())
        move(screen->availableGeometry().center() - rect().center());
}

TfrmMain::~TfrmMain()
{
    // The program ends without the close having been confirmed: save now.
    if (m_storage)
        runCommand(m_prompts, this, [this] { saveSettings(false); });
}

void TfrmMain::wireWorkspace()
{
    PingSweep &sweep = m_workspace.sweep();
    connect(&sweep, &PingSweep::rowVisited, this, &TfrmMain::showRow);
    connect(&sweep, &PingSweep::message, this, [this](const QString &text) { setStatus(spMessage, text); });
    connect(&sweep, &PingSweep::failed, this, &TfrmMain::showFailure);
    connect(&sweep, &PingSweep::finished, this, &TfrmMain::sweepFinished);
    connect(&m_workspace, &Workspace::message, this, [this](const QString &text) { setStatus(spMessage, text); });
    connect(&m_workspace, &Workspace::scanStarted, this, &TfrmMain::scanStarted);
    connect(&m_workspace, &Workspace::scanFinished, this, &TfrmMain::scanFinished);
    connect(&m_workspace, &Workspace::resultLogFailed, this, [this](const QString &why) {
        const QString line = QStringLiteral("%1 Results are no longer logged: %2")
                                 .arg(QTime::currentTime().toString(QStringLiteral("HH:mm:ss")), why);
        m_events->addLine(line);
        setStatus(spMessage, line);
    });
    // The chart follows the selected row; its first result gives it a history.
    connect(&sweep, &PingSweep::rowFinished, this, [this](int row, const PingResult &) {
        if (row == selectedRow() && dkChart->isVisible())
            showChartRow();
    });

    Monitor &monitor = m_workspace.monitor();
    auto roundRunning = [this](bool running) {
        return [this, running] {
            m_monitorRound = running;
            showMonitorState();
        };
    };
    connect(&monitor, &Monitor::started, this, &TfrmMain::showMonitorState);
    // A round repaints the list as a Ping does, some twenty-five times a
    // second at most; sweepFinished() ends that.
    connect(&monitor, &Monitor::roundStarted, this, [this] { m_listPaints->setActive(true); });
    connect(&monitor, &Monitor::roundStarted, this, roundRunning(true));
    connect(&monitor, &Monitor::roundFinished, this, roundRunning(false));
    connect(&monitor, &Monitor::stopped, this, roundRunning(false));
    connect(&monitor, &Monitor::hostWentDown, this, [this](const QString &name, const QString &line) {
        monitorAlert(QStringLiteral("%1 is down").arg(name), line);
    });
    connect(&monitor, &Monitor::hostCameUp, this, [this](const QString &name, const QString &line) {
        monitorAlert(QStringLiteral("%1 is up").arg(name), line);
    });
    // The statistics show in the row's tooltip whether or not their columns do.
    m_workspace.list().setRowToolTip(&rowStatisticsToolTip);
}

void TfrmMain::showFailure(std::exception_ptr failure)
{
    if (!failure)
        return;
    // A round that cannot ping would fail the same way every interval, each
    // time with a box: the watch ends with the first.
    if (m_workspace.monitor().running()) {
        m_workspace.monitor().stop();
        showMonitorState();
    }
    runCommand(m_prompts, this, [failure] { std::rethrow_exception(failure); });
}

void TfrmMain::FormCreate(const LocalNetworkSource &network)
{
    // A step of the system description that fails is reported in a box
    // and the description goes on without it.
    setGuardedMessageSink([](const QString &text) {
        QMessageBox::critical(QApplication::activeWindow(), QStringLiteral("Error"), text);
    });
    const LocalNetwork net = network.read();
    rcAdapter->addItems(net.adapters);
    rcAdapter->setCurrentIndex(net.cardAdapterIndex);
    setStatus(spMachine, net.machineName);
    setStatus(spAddress, net.firstAddress());
    setStatus(spProtocol, net.socketText());
    fitStatusPanels();
    const bool clocks = GetSystemTimeVisible(systemSummary());
    mmGetDateTime->setVisible(clocks);
    pmGetDateTime->setVisible(clocks);
    // The idle rule runs whenever what it looks at changes.
    auto idle = [this] {
        if (m_idleInstalled)
            AppEventsIdle();
    };
    ResourceList *list = &m_workspace.list();
    connect(list, &QAbstractItemModel::rowsInserted, this, idle);
    connect(list, &QAbstractItemModel::rowsRemoved, this, idle);
    connect(list, &QAbstractItemModel::modelReset, this, idle);
    connect(list, &QAbstractItemModel::layoutChanged, this, idle);
    connect(lv->selectionModel(), &QItemSelectionModel::selectionChanged, this, idle);
    connect(lv->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] {
        if (dkChart->isVisible())
            showChartRow();
    });
    connect(dkChart, &QDockWidget::visibilityChanged, this, [this](bool visible) {
        if (!visible)
            return;
        showChartRow();
        // The first time it comes up it takes the room its chart wants;
        // after that it keeps what the user gives it.
        if (!m_chartShown && !dkChart->isFloating())
            resizeDocks({dkChart}, {m_chart->sizeHint().height()}, Qt::Vertical);
        m_chartShown = true;
        shareBottomDocks();
    });
    m_idleInstalled = true;
    AppEventsIdle();
}

QAction *TfrmMain::makeAction(const char *name, const QString &text, Pictures::Command picture,
                              void (TfrmMain::*command)())
{
    auto *a = new QAction(text, this);
    a->setObjectName(QString::fromLatin1(name));
    if (picture >= 0)
        a->setIcon(m_commandPictures.value(picture));
    if (command)
        connectCommand(a, command);
    return a;
}

void TfrmMain::connectCommand(QAction *action, void (TfrmMain::*command)())
{
    connect(action, &QAction::triggered, this,
            [this, command] { runCommand(m_prompts, this, [this, command] { (this->*command)(); }); });
}

void TfrmMain::createActions()
{
    mmOpen = makeAction("mmOpen", QStringLiteral("Open..."), picOpen, &TfrmMain::cmOpen);
    mmSave = makeAction("mmSave", QStringLiteral("Save"), picSave, &TfrmMain::cmSave);
    mmExport = makeAction("mmExport", QStringLiteral("Export..."), picNone, &TfrmMain::cmExport);
    mmRefresh = makeAction("mmRefresh", QStringLiteral("Refresh"), picRefresh, nullptr);
    mmPing = makeAction("mmPing", QStringLiteral("Ping"), picPing, &TfrmMain::cmPing);
    mmProps = makeAction("mmProps", QStringLiteral("Settings..."), picSettings, &TfrmMain::cmProps);
    mmExit = makeAction("mmExit", QStringLiteral("Exit"), picExit, &TfrmMain::cmExit);
    mmScan = makeAction("mmScan", QStringLiteral("Scan network"), picNone, &TfrmMain::mmScanClick);
    mmAdd = makeAction("mmAdd", QStringLiteral("Add"), picAdd, &TfrmMain::cmAdd);
    mmRemove = makeAction("mmRemove", QStringLiteral("Remove"), picRemove, &TfrmMain::cmRemove);
    mmClearAll = makeAction("mmClearAll", QStringLiteral("Clear All"), picClearAll, &TfrmMain::cmClearAll);
    mmSend = makeAction("mmSend", QStringLiteral("Send message..."), picSend, &TfrmMain::cmSend);
    mmGetDateTime = makeAction("mmGetDateTime", QStringLiteral("Get system time"), picTime, &TfrmMain::cmGetDateTime);
    mmCheckAll = makeAction("mmCheckAll", QStringLiteral("Select All"), picCheckAll, &TfrmMain::cmCheckAll);
    mmUncheckAll = makeAction("mmUncheckAll", QStringLiteral("Deselect All"), picUncheckAll, &TfrmMain::cmUncheckAll);
    mmInvert = makeAction("mmInvert", QStringLiteral("Invert selection"), picNone, &TfrmMain::cmInvert);
    mmAbout = makeAction("mmAbout", QStringLiteral("About..."), picAbout, &TfrmMain::cmAbout);
    mmMonitor = makeAction("mmMonitor", QStringLiteral("&Monitor"), picMonitor, nullptr);
    mmMonitor->setCheckable(true);
    mmMonitor->setToolTip(QStringLiteral("Monitor workstations"));
    // Triggered, not toggled: showMonitorState() checks and unchecks it as
    // the monitor starts and stops, which must not start or stop it again.
    connect(mmMonitor, &QAction::triggered, this,
            [this](bool on) { runCommand(m_prompts, this, [this, on] { cmMonitor(on); }); });
    mmStatistics = makeAction("mmStatistics", QStringLiteral("Statistics columns"), picNone, nullptr);
    mmStatistics->setCheckable(true);
    connect(mmStatistics, &QAction::toggled, this, &TfrmMain::cmStatistics);

    mmOpen->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_O));
    mmSave->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
    mmRefresh->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_R));
    mmPing->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_G));
    mmProps->setShortcuts({QKeySequence(Qt::ALT | Qt::Key_Return), QKeySequence(Qt::ALT | Qt::Key_Enter)});
    mmExit->setShortcut(QKeySequence(Qt::ALT | Qt::Key_X));
    mmAdd->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Insert));
    mmRemove->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Delete));

    // Toolbar hints.
    mmOpen->setToolTip(QStringLiteral("Open resource list..."));
    mmSave->setToolTip(QStringLiteral("Save resource list"));
    mmAdd->setToolTip(QStringLiteral("Add resource"));
    mmRemove->setToolTip(QStringLiteral("Remove resource"));
    mmClearAll->setToolTip(QStringLiteral("Clear list"));
    mmCheckAll->setToolTip(QStringLiteral("Check All"));
    mmUncheckAll->setToolTip(QStringLiteral("Uncheck All"));
    mmSend->setToolTip(QStringLiteral("Send message"));
    mmPing->setToolTip(QStringLiteral("Ping workstations"));
    mmProps->setToolTip(QStringLiteral("Settings"));
    mmAbout->setToolTip(QStringLiteral("About..."));
    mmExit->setToolTip(QStringLiteral("Exit"));

    // The popup has items of its own (no shortcuts) running the same commands.
    pmRemove = makeAction("pmRemove", mmRemove->text(), picRemove, &TfrmMain::cmRemove);
    pmClearAll = makeAction("pmClearAll", mmClearAll->text(), picClearAll, &TfrmMain::cmClearAll);
    pmCheckAll = makeAction("pmCheckAll", mmCheckAll->text(), picCheckAll, &TfrmMain::cmCheckAll);
    pmUncheckAll = makeAction("pmUncheckAll", mmUncheckAll->text(), picUncheckAll, &TfrmMain::cmUncheckAll);
    pmInvert = makeAction("pmInvert", mmInvert->text(), picNone, &TfrmMain::cmInvert);
    pmSend = makeAction("pmSend", mmSend->text(), picSend, &TfrmMain::cmSend);
    pmGetDateTime = makeAction("pmGetDateTime", mmGetDateTime->text(), picTime, &TfrmMain::cmGetDateTime);
    pmPing = makeAction("pmPing", mmPing->text(), picPing, &TfrmMain::cmPing);
}

void TfrmMain::createMenus()
{
    QMenu *session = menuBar()->addMenu(QStringLiteral("Session"));
    session->addActions({mmOpen, mmSave, mmExport});
    session->addSeparator();
    session->addActions({mmRefresh, mmPing});
    session->addSeparator();
    session->addAction(mmProps);
    session->addSeparator();
    session->addAction(mmExit);

    QMenu *resources = menuBar()->addMenu(QStringLiteral("Resources"));
    resources->addAction(mmScan);
    resources->addSeparator();
    resources->addActions({mmAdd, mmRemove, mmClearAll});
    resources->addSeparator();
    resources->addActions({mmSend, mmGetDateTime});
    resources->addSeparator();
    resources->addActions({mmCheckAll, mmUncheckAll, mmInvert});
    resources->addSeparator();
    resources->addActions({mmMonitor, mmEvents, mmChart, mmStatistics});

    QMenu *help = menuBar()->addMenu(QStringLiteral("Help"));
    help->addAction(mmAbout);

    ListMenu = new QMenu(this);
    ListMenu->setObjectName(QStringLiteral("ListMenu"));
    ListMenu->addActions({pmRemove, pmClearAll});
    ListMenu->addSeparator();
    ListMenu->addActions({pmCheckAll, pmUncheckAll, pmInvert});
    ListMenu->addSeparator();
    ListMenu->addActions({pmSend, pmGetDateTime});
    ListMenu->addSeparator();
    ListMenu->addAction(pmPing);
    connect(ListMenu, &QMenu::aboutToShow, this, &TfrmMain::ListMenuPopup);
}

void TfrmMain::createToolbar()
{
    Toolbar = addToolBar(QStringLiteral("Toolbar"));
    Toolbar->setObjectName(QStringLiteral("Toolbar"));
    Toolbar->setIconSize(QSize(16, 16));
    Toolbar->setMovable(true);
    Toolbar->setFloatable(true);
    const QList<QAction *> buttons = {mmOpen,    mmSave,     nullptr,      mmAdd,   mmRemove, mmClearAll,
                                      nullptr,   mmCheckAll, mmUncheckAll, nullptr, mmSend,   mmPing,
                                      mmMonitor, nullptr,    mmProps,      mmAbout, mmExit};
    for (QAction *a : buttons) {
        if (!a) {
            Toolbar->addSeparator();
            continue;
        }
        Toolbar->addAction(a);
        QWidget *button = Toolbar->widgetForAction(a);
        button->setObjectName(QStringLiteral("sb") + a->objectName().mid(2));
        if (a == mmSend) {
            // The send button shows neither hint nor hand cursor.
            sbSend = qobject_cast<QToolButton *>(button);
            button->installEventFilter(this);
        } else {
            button->setCursor(Qt::PointingHandCursor);
        }
    }
}

void TfrmMain::createAdapterPanel()
{
    addToolBarBreak();
    Panel1 = new QToolBar(QStringLiteral("Adapters"), this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setMovable(false);
    Panel1->setFloatable(false);
    Panel1->setFixedHeight(27);
    auto *caption = new QLabel(QStringLiteral("  Adapters"), Panel1);
    // The drop-down starts 57 pixels in, or after the caption if the font is wider.
    caption->setFixedWidth(std::max(57, caption->sizeHint().width() + 4));
    rcAdapter = new QComboBox(Panel1);
    rcAdapter->setObjectName(QStringLiteral("rcAdapter"));
    rcAdapter->setEditable(false);
    rcAdapter->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    Panel1->addWidget(caption);
    Panel1->addWidget(rcAdapter);
    addToolBar(Qt::TopToolBarArea, Panel1);
}

void TfrmMain::createTree()
{
    twTree = new QDockWidget(QStringLiteral("Workstations"), this);
    twTree->setObjectName(QStringLiteral("twTree"));
    twTree->setFeatures(QDockWidget::DockWidgetMovable | QDockWidget::DockWidgetFloatable);
    auto *tree = new NetworkTree(&m_workspace.treeLoader(), twTree);
    Tree = tree;
    // Refresh reads the Workstations tree anew, keeping what was opened.
    connect(mmRefresh, &QAction::triggered, tree, &NetworkTree::refresh);
    twTree->setWidget(Tree);
    addDockWidget(Qt::LeftDockWidgetArea, twTree);
    resizeDocks({twTree}, {185}, Qt::Horizontal);
}

// The monitor's alerts, below the list: hidden until the first alert comes
// or the user opens it.
void TfrmMain::createEventsDock()
{
    dkEvents = new QDockWidget(QStringLiteral("Events"), this);
    dkEvents->setObjectName(QStringLiteral("dkEvents"));
    dkEvents->setFeatures(QDockWidget::DockWidgetClosable | QDockWidget::DockWidgetFloatable
                          | QDockWidget::DockWidgetMovable);
    m_events = new EventLog(dkEvents);
    dkEvents->setWidget(m_events);
    addDockWidget(Qt::BottomDockWidgetArea, dkEvents);
    dkEvents->hide();
    mmEvents = dkEvents->toggleViewAction();
    mmEvents->setObjectName(QStringLiteral("mmEvents"));
    connect(mmEvents, &QAction::triggered, this, [this](bool shown) {
        if (shown)
            sizeEventsDock();
        m_eventsShown = true;
    });
}

// The selected row's round trips over time, beside the list; closed until
// the user opens it from the Resources menu.
void TfrmMain::createChartDock()
{
    dkChart = new QDockWidget(QStringLiteral("Round trips"), this);
    dkChart->setObjectName(QStringLiteral("dkChart"));
    dkChart->setFeatures(QDockWidget::DockWidgetClosable | QDockWidget::DockWidgetFloatable
                         | QDockWidget::DockWidgetMovable);
    m_chart = new LatencyChart(dkChart);
    dkChart->setWidget(m_chart);
    addDockWidget(Qt::BottomDockWidgetArea, dkChart);
    dkChart->hide();
    mmChart = dkChart->toggleViewAction();
    mmChart->setObjectName(QStringLiteral("mmChart"));
    mmChart->setText(QStringLiteral("Round-trip chart"));
}

// The event log and the chart share the bottom: the log's lines are short,
// the chart wants the width.
void TfrmMain::shareBottomDocks()
{
    if (dkEvents->isVisible() && dkChart->isVisible() && !dkEvents->isFloating() && !dkChart->isFloating())
        resizeDocks({dkEvents, dkChart}, {width() * 2 / 5, width() * 3 / 5}, Qt::Horizontal);
}

void TfrmMain::showChartRow()
{
    const int row = selectedRow();
    if (row < 0) {
        m_chart->setHistory(QString(), nullptr);
        return;
    }
    const ResourceRow &r = m_workspace.list().row(row);
    m_chart->setHistory(r.subItem(siResource), r.history);
}

// The result log follows the Settings dialog's "Log results to"; a file
// that cannot be opened is told, and nothing is logged until it is set anew.
void TfrmMain::openResultLog()
{
    if (const auto failure = m_workspace.setResultLog(m_monitorLog))
        m_prompts.showWarning(this, *failure);
}

// The first time the log comes up it takes a few lines, not half the list's
// room; after that it keeps the height the user gives it.
void TfrmMain::sizeEventsDock()
{
    if (m_eventsShown)
        return;
    constexpr int kFirstLines = 5;
    const int height = m_events->fontMetrics().lineSpacing() * kFirstLines + 2 * m_events->frameWidth()
                       + int(m_events->document()->documentMargin() * 2);
    resizeDocks({dkEvents}, {height}, Qt::Vertical);
    shareBottomDocks();
}

void TfrmMain::createList()
{
    lv = new QTreeView(this);
    lv->setObjectName(QStringLiteral("lv"));
    lv->setModel(&m_workspace.list());
    lv->setRootIsDecorated(false);
    lv->setItemsExpandable(false);
    lv->setUniformRowHeights(true);
    lv->setAllColumnsShowFocus(true);
    lv->setSelectionBehavior(QAbstractItemView::SelectRows);
    lv->setSelectionMode(QAbstractItemView::SingleSelection);
    lv->setEditTriggers(QAbstractItemView::NoEditTriggers);
    lv->setSortingEnabled(false); // the list sorts only on header clicks
    lv->setFrameShape(QFrame::StyledPanel);
    lv->setFrameShadow(QFrame::Sunken);
    // The selection stays visible when the list loses the focus.
    QPalette pal = lv->palette();
    pal.setColor(QPalette::Inactive, QPalette::Highlight, pal.color(QPalette::Active, QPalette::Highlight));
    pal.setColor(QPalette::Inactive, QPalette::HighlightedText, pal.color(QPalette::Active, QPalette::HighlightedText));
    lv->setPalette(pal);
    static const int widths[ResourceList::ColumnCount] = {65, 125, 125, 100, 200, 120};
    for (int c = 0; c < ResourceList::ColumnCount; ++c)
        lv->setColumnWidth(c, widths[c]);
    lv->header()->setSectionsClickable(true);
    lv->header()->setSortIndicatorShown(false);
    lv->header()->setStretchLastSection(false);
    connect(lv->header(), &QHeaderView::sectionClicked, this, &TfrmMain::lvColumnClick);
    lv->header()->setContextMenuPolicy(Qt::ActionsContextMenu);
    lv->header()->addAction(mmStatistics);
    lv->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(lv, &QWidget::customContextMenuRequested, this,
            [this](const QPoint &pos) { ListMenu->popup(lv->viewport()->mapToGlobal(pos)); });
    lv->installEventFilter(this);
    m_listPaints = new PaintThrottle(lv->viewport(), 40);
    setCentralWidget(lv);
    m_workspace.list().setSortTint(readableSortTint(lv->palette()));
}

void TfrmMain::createStatusBar()
{
    QStatusBar *bar = statusBar();
    bar->setObjectName(QStringLiteral("sb"));
    bar->setSizeGripEnabled(false);
    for (int i = 0; i < StatusPanelCount; ++i) {
        auto *panel = new StatusBarPanel(bar);
        const bool caption = i == spMachineCaption || i == spAddressCaption || i == spProtocolCaption;
        if (caption) {
            panel->setAlignment(Qt::AlignCenter);
        } else {
            panel->setFrameShape(QFrame::Panel);
            panel->setFrameShadow(QFrame::Sunken);
            panel->setIndent(2);
        }
        m_panels[std::size_t(i)] = panel;
        bar->addWidget(panel, i == spFiller ? 1 : 0);
    }
    setStatus(spMachineCaption, QStringLiteral("Machine"));
    setStatus(spAddressCaption, QStringLiteral("IP Address"));
    setStatus(spProtocolCaption, QStringLiteral("Protocol"));
    m_panels[spMessage]->setFixedWidth(200);
    m_panels[spFiller]->setMinimumWidth(50);
}

void TfrmMain::setStatus(StatusPanel panel, const QString &text) { m_panels[std::size_t(panel)]->setText(text); }

// The panels before the message panel are just as wide as their texts.
void TfrmMain::fitStatusPanels()
{
    for (int i = spMachineCaption; i < spMessage; ++i) {
        QLabel *panel = m_panels[std::size_t(i)];
        panel->setFixedWidth(panel->fontMetrics().horizontalAdvance(panel->text()) + 10);
    }
}

// Where the texts need more than the window's width, the socket layer's
// description gives up room first, then the address and the machine's name,
// each down to a few characters; what a panel shortens its tooltip shows
// whole. Captions stay as they are.
void TfrmMain::shrinkStatusPanelsToWindow()
{
    const int excess = statusBar()->sizeHint().width() - width();
    if (excess <= 0)
        return;
    QList<int> widths;
    for (const QLabel *panel : m_panels)
        widths << panel->width();
    const int least = fontMetrics().horizontalAdvance(QStringLiteral("MMMM")) + 10;
    widths = shrinkPanels(widths, {spProtocol, spAddress, spMachine}, excess, least);
    for (const int i : {spProtocol, spAddress, spMachine})
        m_panels[std::size_t(i)]->setFixedWidth(widths[i]);
}

QString TfrmMain::statusText(int panel) const
{
    return panel >= 0 && panel < StatusPanelCount ? m_panels[std::size_t(panel)]->text() : QString();
}

int TfrmMain::selectedRow() const
{
    const QModelIndexList rows = lv->selectionModel()->selectedRows();
    return rows.isEmpty() ? -1 : rows.first().row();
}

void TfrmMain::selectRow(int row)
{
    const QModelIndex idx = m_workspace.list().index(row, 0);
    lv->selectionModel()->setCurrentIndex(idx, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

void TfrmMain::AppEventsIdle()
{
    const CommandEnabling e = CommandEnabling::compute(selectedRow() >= 0, m_workspace.list().count());
    for (QAction *a : {mmRemove, mmSend})
        a->setEnabled(e.selectionCommands);
    for (QAction *a : {mmClearAll, mmCheckAll, mmUncheckAll, mmInvert, mmPing, mmSave, mmExport, mmGetDateTime})
        a->setEnabled(e.listCommands);
    // Like Ping; but a monitor that runs can always be turned off.
    mmMonitor->setEnabled(e.listCommands || m_workspace.monitor().running());
}

void TfrmMain::ListMenuPopup()
{
    const CommandEnabling e = CommandEnabling::compute(selectedRow() >= 0, m_workspace.list().count());
    for (QAction *a : {pmRemove, pmSend})
        a->setEnabled(e.selectionCommands);
    for (QAction *a : {pmClearAll, pmCheckAll, pmUncheckAll, pmInvert, pmGetDateTime, pmPing})
        a->setEnabled(e.listCommands);
}

bool TfrmMain::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == sbSend && event->type() == QEvent::ToolTip)
        return true;
    if (watched == lv && event->type() == QEvent::FocusIn)
        lvEnter();
    // The desktop's theme changed: the sorted column's tint follows the
    // list's own new colours (the window hears of them before the list has them).
    if (watched == lv && event->type() == QEvent::PaletteChange)
        m_workspace.list().setSortTint(readableSortTint(lv->palette()));
    return QMainWindow::eventFilter(watched, event);
}

void TfrmMain::lvEnter()
{
    setStatus(spMessage, QString::number(m_workspace.list().count()) + QStringLiteral(" resources in list"));
}

void TfrmMain::lvColumnClick(int column) { m_workspace.list().columnClicked(column); }

void TfrmMain::showEvent(QShowEvent *event)
{
    QMainWindow::showEvent(event);
    if (!m_shownOnce) {
        m_shownOnce = true;
        shrinkStatusPanelsToWindow();
        bool reopen = true;
        runCommand(m_prompts, this, [this, &reopen] { reopen = restoreSettings(); });
        if (!m_startFile.isEmpty())
            runCommand(m_prompts, this, [this] { openStartFile(); });
        else if (reopen)
            runCommand(m_prompts, this, [this] { StorageRestorePlacement(); });
        // Once the window is on the screen, not before.
        QTimer::singleShot(0, this, &TfrmMain::explainPingUnavailable);
    }
}

void TfrmMain::closeEvent(QCloseEvent *event)
{
    if (m_storage)
        runCommand(m_prompts, this, [this] { saveSettings(true); });
    m_idleInstalled = false; // no enabling runs while the window goes away
    // The monitor stops, and a sweep in progress ends at once; the rows keep
    // what they have.
    m_workspace.monitor().stop();
    m_workspace.sweep().abort();
    QMainWindow::closeEvent(event);
}

// --- Session file commands ---

void TfrmMain::openSession(const QString &path, bool rememberAsLast)
{
    const QString notReadCompletely = m_workspace.openSession(path, rememberAsLast);
    showCaption();
    cmCheckAll();
    if (!notReadCompletely.isEmpty())
        m_prompts.showWarning(this, notReadCompletely);
}

void TfrmMain::cmOpen()
{
    const QString path = m_prompts.openSessionName(this);
    if (!path.isEmpty())
        openSession(path, true);
}

void TfrmMain::StorageRestorePlacement()
{
    const QString last = m_workspace.session().fileToRestore();
    if (!last.isEmpty())
        openSession(last, false);
}

// Unlike the Open dialog's choice, a name from the command line may be
// mistyped: a file that is not there is an error, not a new empty session.
void TfrmMain::openStartFile()
{
    if (!QFileInfo::exists(m_startFile))
        throw Exception(QStringLiteral("Cannot open file %1, no such file or directory").arg(m_startFile));
    openSession(m_startFile, true);
}

void TfrmMain::cmSave()
{
    SessionState &session = m_workspace.session();
    QString newName;
    if (session.needsName()) {
        // A file read only in part is not replaced by that part unless the
        // user picks it again (the dialog then asks before replacing it).
        if (!session.complete())
            setStatus(spMessage, QStringLiteral("File not read completely"));
        newName = m_prompts.saveSessionName(this, session.fileName());
        if (newName.isEmpty())
            return;
    }
    session.save(m_workspace.list(), newName);
    showCaption();
}

void TfrmMain::cmExport()
{
    const std::optional<UserPrompts::ExportTarget> target = m_prompts.exportTarget(this);
    if (!target)
        return;
    const ResourceList &list = m_workspace.list();
    if (const auto failure = replaceFileAtomically(target->path, writeResults(target->format, list.rows())))
        throw Exception(QStringLiteral("Cannot create file %1, %2").arg(target->path, failure->cause()));
    setStatus(spMessage, QString::number(list.count()) + QStringLiteral(" resources exported"));
}

// --- List commands ---

void TfrmMain::cmCheckAll() { m_workspace.list().checkAll(); }
void TfrmMain::cmUncheckAll() { m_workspace.list().uncheckAll(); }
void TfrmMain::cmInvert() { m_workspace.list().invertChecks(); }

void TfrmMain::cmAdd()
{
    QString workstation;
    if (const QList<QTreeWidgetItem *> nodes = Tree->selectedItems(); !nodes.isEmpty())
        workstation = nodes.first()->text(0);
    // The box starts from the stored value; the user's choice here is not kept.
    const std::optional<AddEntry> entry = m_prompts.addWorkstation(this, workstation, m_workspace.dns());
    if (entry)
        m_workspace.pendingAdd().start(*entry);
}

void TfrmMain::cmRemove()
{
    const int row = selectedRow();
    if (row < 0)
        return;
    ResourceList &list = m_workspace.list();
    if (m_prompts.confirm(this, QStringLiteral("Remove ") + list.row(row).subItem(siResource) + QLatin1Char('?')))
        list.removeAt(row);
}

void TfrmMain::cmClearAll()
{
    ResourceList &list = m_workspace.list();
    if (list.count() == 0)
        return;
    if (m_prompts.confirm(this, QStringLiteral("Clear list?")))
        list.clear();
}

void TfrmMain::cmExit() { close(); }

void TfrmMain::cmAbout() { ShowAbout(this); }

// --- Settings ---

void TfrmMain::cmProps()
{
    TformProps dialog(m_prompts, this);
    dialog.load(PropsValues{m_workspace.echoSettings(), m_workspace.dns(), m_monitorLog});
    if (dialog.exec() != QDialog::Accepted)
        return;
    // The dialog accepts only values the echo service works with; they apply
    // from the next echo request and are stored when the window closes.
    const PropsValues v = dialog.values();
    // A new interval applies to a running monitor at once.
    m_workspace.setEchoSettings(v.echo);
    m_workspace.setDns(v.dns);
    if (v.monitorLog != m_monitorLog || m_workspace.resultLogPath().isEmpty()) {
        m_monitorLog = v.monitorLog;
        openResultLog();
    }
    showMonitorState();
}

ScreenFacts TfrmMain::screenFacts() const
{
    ScreenFacts facts;
    if (const QScreen *primary = QGuiApplication::primaryScreen())
        facts.resolution = primary->size();
    if (const QScreen *own = screen())
        facts.pixelsPerInch = qRound(own->logicalDotsPerInch());
    for (const QScreen *s : QGuiApplication::screens())
        facts.screens << s->geometry();
    // Wayland places windows itself; only their size can come back.
    facts.canPlace = !QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
    return facts;
}

FormSettings TfrmMain::currentSettings() const
{
    FormSettings s;
    // The position is the frame's top-left corner, the size the window's own,
    // as move() and resize() take them back.
    QRect normal(pos(), size());
    if (isMaximized() || isMinimized()) {
        const QRect n = normalGeometry();
        if (n.isValid())
            normal = QRect(n.topLeft() - (geometry().topLeft() - pos()), n.size());
    }
    s.placement.normal = normal;
    s.placement.showCmd = isMinimized() ? 2 : isMaximized() ? 3 : 1;
    s.echo = m_workspace.echoSettings();
    s.treeWidth = twTree->width();
    s.dns = m_workspace.dnsText();
    s.lastFile = m_workspace.session().lastFile();
    s.monitorLog = m_monitorLog;
    s.statisticsColumns = mmStatistics->isChecked();
    return s;
}

bool TfrmMain::restoreSettings()
{
    if (!m_storage)
        return true;
    FormSettings s = currentSettings();
    s.treeWidth = 185; // the dock is not laid out yet: its designed width
    const RestoreResult r = m_storage->restore(s, screenFacts());
    if (!r.unreadable.isEmpty()) {
        m_prompts.showWarning(this, r.unreadable);
        return false;
    }
    // Minimised and maximised states are not restored: the normal rectangle is.
    if (r.normal) {
        resize(r.normal->size());
        if (r.movePosition)
            move(r.normal->topLeft());
    }
    m_workspace.setEchoSettings(s.echo);
    resizeDocks({twTree}, {s.treeWidth}, Qt::Horizontal);
    m_workspace.session().setLastFile(s.lastFile);
    m_monitorLog = s.monitorLog;
    openResultLog();
    mmStatistics->setChecked(s.statisticsColumns);
    if (!r.refused.isEmpty())
        m_prompts.showWarning(this, QStringLiteral("Some stored settings were not used:\n")
                                        + r.refused.join(QLatin1Char('\n')));
    // "DNS" stays as stored: a text that is no boolean fails where it is
    // read (adding, the Settings dialog), and is stored back unchanged.
    m_workspace.setDnsText(s.dns);
    return r.runRestoreEvent;
}

void TfrmMain::saveSettings(bool closing)
{
    if (m_storage && m_storage->restored() && !m_storage->saved())
        m_storage->save(currentSettings(), screenFacts(), closing);
}

// --- Ping sweep ---

void TfrmMain::cmPing()
{
    // A running sweep already covers the list.
    if (m_workspace.sweep().running())
        return;
    // The list shows the sweep's progress some twenty-five times a second.
    m_listPaints->setActive(true);
    m_workspace.sweep().start();
}

void TfrmMain::sweepFinished() { m_listPaints->setActive(false); }

// --- Watching the network ---

void TfrmMain::cmMonitor(bool on)
{
    Monitor &monitor = m_workspace.monitor();
    if (on)
        monitor.start(std::chrono::seconds(m_workspace.echoSettings().monitorIntervalSeconds));
    else
        monitor.stop();
    showMonitorState();
    AppEventsIdle();
}

void TfrmMain::showCaption() { setWindowTitle(windowCaption(m_workspace.session().fileName(), statusText(spFiller))); }

void TfrmMain::showMonitorState()
{
    const Monitor &monitor = m_workspace.monitor();
    mmMonitor->setChecked(monitor.running());
    QString text;
    if (monitor.running()) {
        const QDateTime next = monitor.nextRound();
        text = next.isValid() && !m_monitorRound ? QStringLiteral("Monitoring: next round at %1")
                                                       .arg(next.toLocalTime().toString(QStringLiteral("HH:mm:ss")))
                                                 : QStringLiteral("Monitoring: round running");
    }
    setStatus(spFiller, text);
    showCaption();
    if (m_idleInstalled)
        AppEventsIdle();
}

void TfrmMain::monitorAlert(const QString &title, const QString &line)
{
    m_events->addLine(line);
    // The first alert brings the log up; after that it stays where the user put it.
    if (!m_eventsShown) {
        dkEvents->show();
        sizeEventsDock();
        m_eventsShown = true;
    }
    m_notifier->notify(title, line);
}

void TfrmMain::cmStatistics(bool shown)
{
    ResourceList &list = m_workspace.list();
    if (shown == (list.extraColumnCount() > 0))
        return;
    list.setExtraColumns(shown ? statisticsColumns() : ResourceList::ExtraColumns{});
    constexpr int kStatisticsWidth = 75;
    for (int c = ResourceList::ColumnCount; c < list.columnCount(); ++c)
        lv->setColumnWidth(c, kStatisticsWidth);
}

void TfrmMain::showRow(int row)
{
    selectRow(row);
    lv->scrollTo(m_workspace.list().index(row, 0), QAbstractItemView::EnsureVisible);
}

void TfrmMain::explainPingUnavailable()
{
    const TPing &ping = m_workspace.ping();
    if (!ping.available())
        m_prompts.showWarning(this, EchoUnavailableText(ping, QCoreApplication::applicationFilePath()));
}

// --- Remote actions ---

int TfrmMain::remoteActionRow()
{
    const int row = selectedRow();
    if (row < 0)
        return -1;
    const RemoteActions &remote = m_workspace.remote();
    if (remote.busy()) {
        setStatus(spMessage, RemoteBusyText(remote.waitingFor()));
        return -1;
    }
    return row;
}

void TfrmMain::cmSend()
{
    const int row = remoteActionRow();
    if (row < 0)
        return;
    const std::optional<QString> text = m_remotePrompts.messageText(this);
    if (!text)
        return;
    // Whether it went out is not told: the messenger gives no answer.
    const ResourceRow &r = m_workspace.list().row(row);
    m_workspace.remote().sendMessage(r.subItem(siResource), r.subItem(siAddress), *text);
}

void TfrmMain::cmGetDateTime()
{
    const int row = remoteActionRow();
    if (row < 0)
        return;
    const ResourceRow &r = m_workspace.list().row(row);
    m_ntRemoteDateTime->setServer(r.subItem(siResource));
    setCursor(Qt::BusyCursor);
    m_workspace.remote().readTime(m_ntRemoteDateTime->Server(), r.subItem(siAddress),
                                  [this](const TimeOfDayAnswer &answer) {
                                      unsetCursor();
                                      runCommand(m_prompts, this, [this, &answer] { remoteTimeRead(answer); });
                                  });
}

void TfrmMain::remoteTimeRead(const TimeOfDayAnswer &answer)
{
    if (m_ntRemoteDateTime->GetRemoteTime(m_ntRemoteDateTime->Server(), answer.status, answer.info) != NERR_Success) {
        m_remotePrompts.showTimeError(this, kCannotObtainDateTime);
        return;
    }
    m_remotePrompts.showSystemTime(this, SystemTimeText(*m_ntRemoteDateTime));
}

// --- Network scan ---

void TfrmMain::mmScanClick() { m_workspace.startScan(); }

// The window keeps painting while the scan runs but takes no input until
// it ends.
void TfrmMain::scanStarted()
{
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    m_inputBlocker = std::make_unique<InputBlocker>();
    repaint();
}

void TfrmMain::scanFinished(std::exception_ptr failure)
{
    m_inputBlocker.reset();
    QGuiApplication::restoreOverrideCursor();
    showFailure(failure);
}
