#include "gui/MainWindow.h"
#include "resources/ListColours.h"
#include "resources/ResourceList.h"
#include "support/FakeWindow.h"
#include "support/TestFiles.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QHelpEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QTreeView>
#include <QTreeWidget>
#include <gtest/gtest.h>

namespace {

class MainWindow : public TemporaryFiles {
protected:
    FakePlatform platform;
    FakeWindowServices ui;
    FakePrompts &prompts = ui.prompts;
    FixedNetwork &network = ui.network;
    FakeResolver &resolver = platform.resolver;
    FakeEchoFactory &echo = platform.echo;
    std::unique_ptr<Workspace> core = std::make_unique<Workspace>(platform.platform());
    std::unique_ptr<TfrmMain> w = std::make_unique<TfrmMain>(*core, ui.services());

    QAction *action(const char *name) { return w->findChild<QAction *>(QString::fromLatin1(name)); }
    QString file(const char *name, const QByteArray &bytes)
    {
        writeBytes(path(name), bytes);
        return path(name);
    }
    void addRows(int n)
    {
        for (int i = 0; i < n; ++i)
            core->list().append(
                ResourceRow::created(QStringLiteral("PC%1").arg(i), QStringLiteral("10.0.0.%1").arg(i), "OFFICE"));
    }
    std::map<QString, bool> enabled(const QStringList &names)
    {
        std::map<QString, bool> out;
        for (const QString &n : names)
            out[n] = action(n.toLatin1().constData())->isEnabled();
        return out;
    }
};

const QStringList kSelectionItems = {"mmRemove", "mmSend"};
const QStringList kListItems = {"mmClearAll", "mmCheckAll", "mmUncheckAll", "mmInvert",
                                "mmPing",     "mmSave",     "mmExport",     "mmGetDateTime"};
const QStringList kAlwaysItems = {"mmOpen", "mmRefresh", "mmProps", "mmExit", "mmScan", "mmAdd", "mmAbout"};

} // namespace

TEST_F(MainWindow, EnablingFollowsRowsAndSelection)
{
    for (const QString &n : kSelectionItems + kListItems)
        EXPECT_FALSE(action(n.toLatin1())->isEnabled()) << n.toStdString();
    for (const QString &n : kAlwaysItems)
        EXPECT_TRUE(action(n.toLatin1())->isEnabled()) << n.toStdString();

    addRows(2);
    for (const QString &n : kListItems)
        EXPECT_TRUE(action(n.toLatin1())->isEnabled()) << n.toStdString();
    for (const QString &n : kSelectionItems)
        EXPECT_FALSE(action(n.toLatin1())->isEnabled()) << n.toStdString();

    w->selectRow(1);
    for (const QString &n : kSelectionItems)
        EXPECT_TRUE(action(n.toLatin1())->isEnabled()) << n.toStdString();

    core->list().clear();
    for (const QString &n : kSelectionItems + kListItems)
        EXPECT_FALSE(action(n.toLatin1())->isEnabled()) << n.toStdString();
}

TEST_F(MainWindow, PopupEnablingIsComputedBeforeItOpens)
{
    addRows(1);
    w->ListMenuPopup();
    EXPECT_FALSE(action("pmRemove")->isEnabled());
    EXPECT_FALSE(action("pmSend")->isEnabled());
    EXPECT_TRUE(action("pmPing")->isEnabled());
    EXPECT_TRUE(action("pmGetDateTime")->isEnabled());
    w->selectRow(0);
    w->ListMenuPopup();
    EXPECT_TRUE(action("pmRemove")->isEnabled());
    EXPECT_TRUE(action("pmRemove")->shortcut().isEmpty());
    const QMenu *popup = w->findChild<QMenu *>("ListMenu");
    QStringList captions;
    for (const QAction *a : popup->actions())
        captions << (a->isSeparator() ? QStringLiteral("-") : a->text());
    EXPECT_EQ(captions, QStringList({"Remove", "Clear All", "-", "Select All", "Deselect All", "Invert selection", "-",
                                     "Send message...", "Get system time", "-", "Ping"}));
}

TEST_F(MainWindow, MenusAndShortcuts)
{
    QStringList layout;
    for (const QAction *menu : w->menuBar()->actions()) {
        layout << menu->text();
        for (const QAction *a : menu->menu()->actions())
            layout << (a->isSeparator() ? QStringLiteral("-")
                                        : a->text() + QLatin1Char('|') + a->shortcut().toString());
    }
    EXPECT_EQ(layout, QStringList({"Session",
                                   "Open...|Ctrl+O",
                                   "Save|Ctrl+S",
                                   "Export...|",
                                   "-",
                                   "Refresh|Ctrl+R",
                                   "Ping|Ctrl+G",
                                   "-",
                                   "Settings...|Alt+Return",
                                   "-",
                                   "Exit|Alt+X",
                                   "Resources",
                                   "Scan network|",
                                   "-",
                                   "Add|Ctrl+Ins",
                                   "Remove|Ctrl+Del",
                                   "Clear All|",
                                   "-",
                                   "Send message...|",
                                   "Get system time|",
                                   "-",
                                   "Select All|",
                                   "Deselect All|",
                                   "Invert selection|",
                                   "-",
                                   "&Monitor|",
                                   "Events|",
                                   "Round-trip chart|",
                                   "Statistics columns|",
                                   "Help",
                                   "About...|"}));
    EXPECT_TRUE(action("mmScan")->icon().isNull());
    EXPECT_TRUE(action("mmInvert")->icon().isNull());
    EXPECT_FALSE(action("mmGetDateTime")->icon().isNull());
}

TEST_F(MainWindow, ToolbarButtonsHintsAndCursors)
{
    const QToolBar *bar = w->findChild<QToolBar *>("Toolbar");
    QStringList hints;
    for (QAction *a : bar->actions())
        hints << (a->isSeparator() ? QStringLiteral("|") : a->toolTip());
    EXPECT_EQ(hints, QStringList({"Open resource list...", "Save resource list", "|", "Add resource", "Remove resource",
                                  "Clear list", "|", "Check All", "Uncheck All", "|", "Send message",
                                  "Ping workstations", "Monitor workstations", "|", "Settings", "About...", "Exit"}));
    const auto *open = w->findChild<QToolButton *>("sbOpen");
    const auto *send = w->findChild<QToolButton *>("sbSend");
    ASSERT_TRUE(open && send);
    EXPECT_EQ(open->cursor().shape(), Qt::PointingHandCursor);
    EXPECT_NE(send->cursor().shape(), Qt::PointingHandCursor);
    // The send button swallows its tooltip event; others let it through.
    QHelpEvent tip(QEvent::ToolTip, QPoint(1, 1), QPoint(1, 1));
    EXPECT_TRUE(w->eventFilter(const_cast<QToolButton *>(send), &tip));
}

TEST_F(MainWindow, StatusBarShowsTheMachineEachPanelJustWideEnough)
{
    EXPECT_EQ(w->statusText(0), "Machine");
    EXPECT_EQ(w->statusText(1), "WORKHORSE");
    EXPECT_EQ(w->statusText(2), "IP Address");
    EXPECT_EQ(w->statusText(3), "192.0.2.10");
    EXPECT_EQ(w->statusText(4), "Protocol");
    EXPECT_EQ(w->statusText(5), "Linux sockets 6.1 (Running)");
    const QList<QLabel *> panels = w->statusBar()->findChildren<QLabel *>(QString(), Qt::FindDirectChildrenOnly);
    ASSERT_EQ(panels.size(), 8);
    const QFontMetrics fm(w->font());
    EXPECT_EQ(panels[1]->width(), fm.horizontalAdvance("WORKHORSE") + 10);
    EXPECT_EQ(panels[6]->width(), 200);
    EXPECT_TRUE(panels[7]->text().isEmpty());
    EXPECT_EQ(w->windowTitle(), "Lumeo");
    // At the designed size every panel is whole and apart, however long the
    // socket layer's description: a text too long for its panel is shortened
    // and shown whole as the panel's tooltip, captions never.
    const QString longText = "Linux sockets 6.18.44-some-long-kernel-build, glibc 2.36 (Running)";
    network.value.socketDescription = "Linux sockets 6.18.44-some-long-kernel-build, glibc 2.36";
    Workspace wideCore(platform.platform());
    TfrmMain wide(wideCore, ui.services());
    wide.show();
    QApplication::processEvents();
    EXPECT_EQ(wide.size(), TfrmMain::kDesignedSize);
    EXPECT_LE(wide.statusBar()->sizeHint().width(), TfrmMain::kDesignedSize.width());
    const QList<QLabel *> shown = wide.statusBar()->findChildren<QLabel *>(QString(), Qt::FindDirectChildrenOnly);
    for (int i = 1; i < 8; ++i)
        EXPECT_GE(shown[i]->x(), shown[i - 1]->x() + shown[i - 1]->width())
            << "panel " << i << " overlaps its neighbour";
    EXPECT_LE(shown[7]->x() + shown[7]->width(), wide.statusBar()->width());
    for (const int caption : {0, 2, 4})
        EXPECT_EQ(shown[caption]->width(),
                  shown[caption]->fontMetrics().horizontalAdvance(shown[caption]->text()) + 10);
    EXPECT_EQ(shown[1]->width(), fm.horizontalAdvance("WORKHORSE") + 10); // short texts stay whole
    EXPECT_LT(shown[5]->width(), shown[5]->fontMetrics().horizontalAdvance(longText));
    EXPECT_EQ(wide.statusText(5), longText);
    EXPECT_EQ(shown[5]->toolTip(), longText);
    EXPECT_TRUE(shown[1]->toolTip().isEmpty());
    EXPECT_EQ(shown[6]->width(), 200);
    EXPECT_GE(shown[7]->width(), 50);
}

TEST_F(MainWindow, OpenLoadsTicksCountsAndNamesTheWindow)
{
    prompts.openName = file("office.lu", "0,,A,1.1.1.1,W,<not tested>,,\r\n6,,B,,W,x,,\r\n");
    action("mmUncheckAll")->trigger();
    action("mmOpen")->trigger();
    EXPECT_TRUE(prompts.errors.isEmpty());
    EXPECT_EQ(core->list().count(), 2);
    EXPECT_TRUE(core->list().row(0).checked && core->list().row(1).checked);
    EXPECT_EQ(w->statusText(6), "2 resources loaded");
    EXPECT_EQ(w->windowTitle(), "Lumeo - [office.lu]");
    EXPECT_EQ(core->session().lastFile(), prompts.openName);
    prompts.openName.clear(); // cancel changes nothing
    action("mmOpen")->trigger();
    EXPECT_EQ(core->list().count(), 2);
}

TEST_F(MainWindow, OpenOfABadFileShowsTheErrorAndKeepsWhatItRead)
{
    prompts.openName = file("bad.lu", "0,,A,\r\nzz,,B,\r\n0,,C,\r\n");
    action("mmOpen")->trigger();
    EXPECT_EQ(prompts.errors, QStringList({"'zz' is not a valid integer value."}));
    EXPECT_EQ(core->list().count(), 2);
    EXPECT_EQ(w->windowTitle(), "Lumeo");
    EXPECT_TRUE(core->session().lastFile().isEmpty());
    EXPECT_EQ(core->session().fileName(), prompts.openName);
    EXPECT_TRUE(w->statusText(6).isEmpty());
}

TEST_F(MainWindow, SaveAfterAnOpenThatStoppedEarlyGoesToTheSaveDialog)
{
    const QByteArray damaged[] = {
        "0,,A,\r\n9999999999999999999999,,B,\r\n0,,C,\r\n0,,D,\r\n",
        QByteArray("0,,A,\r\n0,,B,", 12) + QByteArray(1, '\0') + "\r\n0,,C,\r\n0,,D,\r\n",
    };
    for (const QByteArray &bytes : damaged) {
        prompts.openName = file("office.lu", bytes);
        prompts.saveName.clear();
        prompts.saveDialogs = 0;
        action("mmOpen")->trigger();
        EXPECT_EQ(prompts.errors.size() + prompts.warnings.size(), 1); // told once, error or warning
        prompts.errors.clear();
        prompts.warnings.clear();
        action("mmSave")->trigger(); // Ctrl+S: the dialog, at the file, and the user cancels
        EXPECT_EQ(prompts.saveDialogs, 1);
        EXPECT_EQ(prompts.saveStartPath, prompts.openName);
        EXPECT_EQ(readBytes(prompts.openName), bytes);
        prompts.saveName = dir.filePath("rescued.lu");
        action("mmSave")->trigger();
        EXPECT_EQ(core->session().fileName(), prompts.saveName);
        EXPECT_EQ(readBytes(prompts.openName), bytes);
        action("mmSave")->trigger(); // a whole session again: saves in place
        EXPECT_EQ(prompts.saveDialogs, 2);
        EXPECT_TRUE(prompts.errors.isEmpty());
    }
}

TEST_F(MainWindow, SaveAsksOnceThenOverwrites)
{
    addRows(1);
    prompts.saveName.clear();
    action("mmSave")->trigger(); // cancelled
    EXPECT_TRUE(core->session().fileName().isEmpty());
    prompts.saveName = dir.filePath("saved");
    action("mmSave")->trigger();
    EXPECT_EQ(readBytes(prompts.saveName), "0,,PC0,10.0.0.0,OFFICE,<not tested>,,\r\n");
    EXPECT_EQ(w->windowTitle(), "Lumeo - [saved]");
    addRows(1);
    action("mmSave")->trigger();
    EXPECT_EQ(prompts.saveDialogs, 2);
    EXPECT_EQ(readBytes(prompts.saveName).count("\r\n"), 2);
}

TEST_F(MainWindow, SavingAnEmptyListWritesNothingButNamesTheFile)
{
    prompts.saveName = dir.filePath("empty.lu");
    core->list().append(ResourceRow::created("x", "", ""));
    core->list().clear();
    w->cmSave(); // the menu item is disabled now; the command itself still names the file
    EXPECT_FALSE(QFile::exists(prompts.saveName));
    EXPECT_EQ(core->session().lastFile(), prompts.saveName);
    EXPECT_EQ(w->windowTitle(), "Lumeo - [empty.lu]");
}

TEST_F(MainWindow, SaveFailureIsReportedAndKeepsTheCaption)
{
    addRows(1);
    prompts.saveName = dir.filePath("no/such/dir.lu");
    action("mmSave")->trigger();
    EXPECT_EQ(prompts.errors, QStringList({"Cannot create file " + prompts.saveName + ", no such file or directory."}));
    EXPECT_EQ(w->windowTitle(), "Lumeo");
    EXPECT_EQ(core->session().lastFile(), prompts.saveName);
}

TEST_F(MainWindow, RemoveAndClearAskFirst)
{
    action("mmClearAll")->trigger();
    w->cmRemove();
    w->cmClearAll();
    EXPECT_TRUE(prompts.questions.isEmpty());
    addRows(3);
    w->cmRemove(); // nothing selected
    EXPECT_TRUE(prompts.questions.isEmpty());
    w->selectRow(1);
    prompts.answer = false;
    w->cmRemove();
    EXPECT_EQ(core->list().count(), 3);
    prompts.answer = true;
    w->cmRemove();
    EXPECT_EQ(core->list().count(), 2);
    EXPECT_EQ(core->list().row(1).subItem(0), "PC2");
    w->cmClearAll();
    EXPECT_EQ(prompts.questions, QStringList({"Remove PC1?", "Remove PC1?", "Clear list?"}));
    EXPECT_EQ(core->list().count(), 0);
}

TEST_F(MainWindow, TheSortedColumnStaysReadableWhenTheThemeTurnsDark)
{
    addRows(2);
    w->listView()->header()->sectionClicked(ResourceList::colAddress);
    const QPalette light = QApplication::palette();
    QPalette dark = light;
    dark.setColor(QPalette::Base, QColor(0x2b, 0x2b, 0x2b));
    dark.setColor(QPalette::Text, QColor(0xe0, 0xe0, 0xe0));
    dark.setColor(QPalette::ToolTipBase, QColor(0xff, 0xff, 0xdc));
    dark.setColor(QPalette::Highlight, QColor(0x2a, 0x82, 0xda));
    QApplication::setPalette(dark);
    QCoreApplication::processEvents();
    const QColor tint =
        core->list().data(core->list().index(0, ResourceList::colAddress), Qt::BackgroundRole).value<QColor>();
    QApplication::setPalette(light);
    EXPECT_GE(contrastRatio(tint, dark.color(QPalette::Text)), 4.5) << tint.name().toStdString();
    EXPECT_NE(tint, dark.color(QPalette::Base));
    // Unsorted cells keep the theme's own background.
    EXPECT_FALSE(core->list().data(core->list().index(0, ResourceList::colResource), Qt::BackgroundRole).isValid());
}

TEST_F(MainWindow, HeaderClicksSortAndTheCountShowsOnFocus)
{
    addRows(3);
    core->list().setSubItem(0, siResource, "zeta");
    w->listView()->header()->sectionClicked(ResourceList::colResource);
    EXPECT_EQ(core->list().row(0).subItem(0), "PC1");
    EXPECT_EQ(core->list().row(2).subItem(0), "zeta");
    w->listView()->header()->sectionClicked(ResourceList::colResource);
    EXPECT_EQ(core->list().row(0).subItem(0), "zeta");
    QFocusEvent focus(QEvent::FocusIn);
    QApplication::sendEvent(w->listView(), &focus);
    EXPECT_EQ(w->statusText(6), "3 resources in list");
    core->list().append(ResourceRow::created("late", "", ""));
    EXPECT_EQ(w->statusText(6), "3 resources in list"); // only focus refreshes the count
}

TEST_F(MainWindow, TheLastFileReopensWhenTheWindowIsFirstShown)
{
    const QString path = file("last.lu", "0,,A,\r\n0,,B,\r\n");
    core->session().setLastFile(path);
    w->show();
    EXPECT_EQ(core->list().count(), 2);
    EXPECT_EQ(w->windowTitle(), "Lumeo - [last.lu]");
    EXPECT_EQ(w->statusText(6), "2 resources loaded");

    Workspace otherCore(platform.platform());
    TfrmMain other(otherCore, ui.services());
    otherCore.session().setLastFile(dir.filePath("gone.lu"));
    other.show();
    EXPECT_EQ(otherCore.list().count(), 0);
    EXPECT_EQ(other.windowTitle(), "Lumeo");
    EXPECT_TRUE(otherCore.session().fileName().isEmpty());
}

TEST_F(MainWindow, PingRunsTheSweepFromMenuPopupAndToolbar)
{
    core->list().append(ResourceRow::created("host", "10.0.0.1", "LAB"));
    const Ipv4Address target = *Ipv4Address::fromText(u"10.0.0.1");
    echo.channel->outcomes[target] = FakeEchoChannel::reply(target, 56, 2);
    action("mmPing")->trigger();
    ASSERT_TRUE(waitForSweep(core->sweep()));
    EXPECT_EQ(core->list().row(0).subItem(siMessage), "Received 56 bytes in 2 ms");
    EXPECT_EQ(w->statusText(6), "Done");
    core->list().setSubItem(0, siMessage, "");
    action("pmPing")->trigger();
    ASSERT_TRUE(waitForSweep(core->sweep()));
    EXPECT_EQ(core->list().row(0).subItem(siMessage), "Received 56 bytes in 2 ms");
    EXPECT_EQ(w->selectedRow(), 0);
    EXPECT_EQ(echo.channel->requests.size(), 2u);
    EXPECT_TRUE(prompts.warnings.isEmpty());
}

TEST_F(MainWindow, ClosingDuringASweepEndsItAndTheRowsKeepWhatTheyHave)
{
    resolver.manual = true;
    // One row at a time, so that the second row is still waiting its turn
    // when the window closes.
    core->sweep().setParallel(1);
    core->list().append(ResourceRow::created("slow", "", "LAB"));
    core->list().append(ResourceRow::created("later", "10.0.0.2", "LAB"));
    w->show();
    QTimer::singleShot(50, w.get(), [this] { w->close(); });
    action("mmPing")->trigger();
    EXPECT_TRUE(core->sweep().running());
    ASSERT_TRUE(waitForSweep(core->sweep(), 2000));
    EXPECT_EQ(core->list().row(1).subItem(siMessage), "<not tested>");
    EXPECT_TRUE(echo.channel->requests.empty());
}

TEST(MainWindowWithoutEcho, ExplainsOnceWhyPingingIsUnavailableAndKeepsWorking)
{
    FakePlatform platform;
    FakeWindowServices ui;
    FakePrompts &prompts = ui.prompts;
    platform.echo.failWith = EchoFailure::NotPermitted;
    Workspace core(platform.platform());
    TfrmMain w(core, ui.services());
    w.show();
    QCoreApplication::processEvents();
    w.hide();
    w.show();
    QCoreApplication::processEvents();
    ASSERT_EQ(prompts.warnings.size(), 1);
    EXPECT_TRUE(prompts.warnings[0].contains("Pinging is not available"));
    EXPECT_TRUE(prompts.warnings[0].contains("setcap cap_net_raw+ep"));
    EXPECT_TRUE(prompts.warnings[0].contains("net.ipv4.ping_group_range"));
    core.list().append(ResourceRow::created("host", "10.0.0.1", "LAB"));
    w.cmPing();
    ASSERT_TRUE(waitForSweep(core.sweep()));
    EXPECT_EQ(core.list().row(0).subItem(siMessage), "Cannot ping host : Echo service not available");
    EXPECT_EQ(w.statusText(6), "Done");
}

namespace {

// Knows a few names and the names of a few addresses; counts reverse lookups.
class AddResolver : public FakeResolver {
public:
    QStringList reversed;
    AddResolver()
    {
        const auto ip = [](const char *dotted) { return *Ipv4Address::fromText(QString::fromLatin1(dotted)); };
        table["alpha"] = LookupResult{RESOLVE_OK, {ip("10.0.0.1")}};
        table["multi"] = LookupResult{RESOLVE_OK, {ip("10.0.0.3"), ip("10.0.0.4")}};
        names[ip("10.0.0.3")] = "multi";
        names[ip("10.0.0.7")] = "seven.lab"; // a name the forward lookup does not know
    }
    std::optional<QString> reverse(Ipv4Address address) override
    {
        reversed << address.toString();
        return FakeResolver::reverse(address);
    }
};

class AddCommand : public ::testing::Test {
protected:
    FakeWindowServices ui;
    FakePrompts &prompts = ui.prompts;
    AddResolver resolver;
    FakeEchoFactory echo;
    std::unique_ptr<Workspace> core = std::make_unique<Workspace>(Platform{
        resolver, echo, std::make_shared<FakeNeighborhood>(), std::make_shared<FakeRemoteTransport>(), "HERE"});
    std::unique_ptr<TfrmMain> w = std::make_unique<TfrmMain>(*core, ui.services());

    // Runs Add as the menu does, the dialog answered with `entry`, and lets
    // the lookup complete.
    void addThroughMenu(std::optional<AddEntry> entry)
    {
        prompts.addAnswer = std::move(entry);
        w->findChild<QAction *>("mmAdd")->trigger();
        QCoreApplication::processEvents();
    }
    QStringList row(int i) const { return core->list().row(i).subItems; }
};

} // namespace

TEST_F(AddCommand, TheLookupsDecideTheRow)
{
    const struct {
        const char *what;
        AddEntry entry;
        QStringList row; // empty: nothing added
        QStringList forward;
    } cases[] = {
        {"name, lookups off", {"alpha", "", "LAB", false}, {"alpha", "", "LAB"}, {}},
        {"name kept as typed", {" pc 1 ", "", " LAB ", false}, {" pc 1 ", "", " LAB "}, {}},
        {"empty workgroup", {"alpha", "", "", false}, {"alpha", "", ""}, {}},
        {"name, lookups on", {"alpha", "", "LAB", true}, {"alpha", "10.0.0.1", "LAB"}, {"alpha"}},
        {"every address", {"multi", "", "LAB", true}, {"multi", "10.0.0.3,10.0.0.4", "LAB"}, {"multi"}},
        {"address alone", {"", "10.0.0.3", "LAB", true}, {"multi", "10.0.0.3,10.0.0.4", "LAB"}, {"multi"}},
        {"the address's name wins",
         {"alpha", "10.0.0.3", "LAB", true},
         {"multi", "10.0.0.3,10.0.0.4", "LAB"},
         {"multi"}},
        {"address without a name", {"alpha", "10.0.0.9", "LAB", true}, {"alpha", "10.0.0.1", "LAB"}, {"alpha"}},
        {"neither name", {"", "10.0.0.9", "LAB", true}, {}, {}},
        {"name is a dotted address", {"10.0.0.1", "", "LAB", true}, {"10.0.0.1", "", "LAB"}, {}},
        {"unknown name", {"no-such-host", "", "LAB", true}, {}, {"no-such-host"}},
        {"reverse name unknown forward", {"", "10.0.0.7", "LAB", true}, {}, {"seven.lab"}},
        {"disabled address still read", {"alpha", "10.0.0.3", "LAB", false}, {"multi", "", "LAB"}, {}},
        {"address text that is not one", {"alpha", "alpha", "LAB", true}, {"alpha", "10.0.0.1", "LAB"}, {"alpha"}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        core->list().clear();
        resolver.asked.clear();
        addThroughMenu(c.entry);
        EXPECT_TRUE(prompts.errors.isEmpty()) << prompts.errors.join('\n').toStdString();
        EXPECT_EQ(resolver.asked, c.forward);
        if (c.row.isEmpty()) {
            EXPECT_EQ(core->list().count(), 0);
            continue;
        }
        ASSERT_EQ(core->list().count(), 1);
        const ResourceRow &r = core->list().row(0);
        EXPECT_EQ(r.subItems, c.row + QStringList({"<not tested>", ""}));
        EXPECT_TRUE(r.caption.isEmpty());
        EXPECT_TRUE(r.checked);
        EXPECT_EQ(r.imageIndex, imgNotTested);
    }
}

TEST_F(AddCommand, UnusableAddressesAndLookupsThatCannotStartShowTheirError)
{
    const QString overlong(257, QLatin1Char('1'));
    addThroughMenu(AddEntry{"alpha", overlong, "LAB", true});
    EXPECT_EQ(prompts.errors, QStringList({"WSocketGetHostByAddr: Invalid address."}));
    EXPECT_TRUE(resolver.reversed.isEmpty());
    EXPECT_TRUE(resolver.asked.isEmpty());
    EXPECT_EQ(core->list().count(), 0);

    // 256 characters are still an address text: it has no name, the typed one is used.
    prompts.errors.clear();
    addThroughMenu(AddEntry{"alpha", QString(256, QLatin1Char('1')), "LAB", true});
    EXPECT_TRUE(prompts.errors.isEmpty());
    EXPECT_EQ(resolver.reversed, QStringList({"255.255.255.255"}));
    EXPECT_EQ(core->list().count(), 1);

    resolver.refuseStart = true;
    addThroughMenu(AddEntry{"multi", "", "LAB", true});
    EXPECT_EQ(prompts.errors, QStringList({"multi: can't start DNS lookup, error #11002."}));
    EXPECT_EQ(core->list().count(), 1);
}

TEST_F(AddCommand, CancelAsksNothingOfTheResolver)
{
    core->setDns(true);
    addThroughMenu(std::nullopt);
    ASSERT_EQ(prompts.addsAsked.size(), 1);
    EXPECT_TRUE(resolver.asked.isEmpty());
    EXPECT_TRUE(resolver.reversed.isEmpty());
    EXPECT_EQ(core->list().count(), 0);
    EXPECT_FALSE(core->pendingAdd().pending());
}

TEST_F(AddCommand, TheDialogStartsFromTheTreeAndTheStoredLookupValue)
{
    auto *tree = w->findChild<QTreeWidget *>("Tree");
    auto *office = new QTreeWidgetItem(tree, QStringList({"OFFICE"}));
    auto *server = new QTreeWidgetItem(office, QStringList({"SERVER1"}));
    core->setDns(true);
    addThroughMenu(std::nullopt);
    server->setSelected(true);
    core->setDns(false);
    addThroughMenu(AddEntry{"SERVER1", "", "", true}); // ticked in the dialog...
    ASSERT_EQ(prompts.addsAsked.size(), 2);
    EXPECT_EQ(prompts.addsAsked[0].workstation, "");
    EXPECT_TRUE(prompts.addsAsked[0].lookUp);
    EXPECT_EQ(prompts.addsAsked[1].workstation, "SERVER1");
    EXPECT_FALSE(prompts.addsAsked[1].lookUp);
    EXPECT_FALSE(core->dns()); // ...but the stored value stays
}

TEST_F(AddCommand, TheNewRowGoesLastEvenInASortedList)
{
    core->list().append(ResourceRow::created("charlie", "", "LAB"));
    core->list().append(ResourceRow::created("bravo", "", "LAB"));
    core->list().setChecked(0, false);
    w->listView()->header()->sectionClicked(ResourceList::colResource);
    ASSERT_EQ(core->list().row(0).subItem(siResource), "bravo");
    addThroughMenu(AddEntry{"alpha", "", "LAB", true});
    ASSERT_EQ(core->list().count(), 3);
    EXPECT_EQ(core->list().row(2).subItem(siResource), "alpha");
    EXPECT_EQ(core->list().row(2).subItem(siAddress), "10.0.0.1");
    EXPECT_TRUE(core->list().row(2).checked);
    EXPECT_FALSE(core->list().row(1).checked); // the others keep their ticks
    EXPECT_EQ(core->list().sortColumn(), ResourceList::colResource);
}

TEST_F(MainWindow, ExportWritesTheListWithItsResultsThroughTheCommandLinesWriter)
{
    core->list().append(ResourceRow::created("host", "10.0.0.1", "LAB"));
    core->list().append(ResourceRow::created("never", "10.0.0.2", "LAB"));
    core->list().setChecked(1, false);
    const Ipv4Address target = *Ipv4Address::fromText(u"10.0.0.1");
    echo.channel->outcomes[target] = FakeEchoChannel::reply(target, 56, 2);
    action("mmPing")->trigger();
    ASSERT_TRUE(waitForSweep(core->sweep()));
    for (const ResultFormat format : {ResultFormat::Csv, ResultFormat::JsonLines}) {
        const QString target = path(format == ResultFormat::Csv ? "list.csv" : "list.jsonl");
        prompts.exportAnswer = UserPrompts::ExportTarget{target, format};
        action("mmExport")->trigger();
        EXPECT_TRUE(prompts.errors.isEmpty());
        QFile f(target);
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        EXPECT_EQ(f.readAll(), writeResults(format, core->list().rows()));
        EXPECT_EQ(w->statusText(6), "2 resources exported");
    }
    // Cancelled, nothing is written; a place that cannot take the file is
    // reported with the system's reason.
    prompts.exportAnswer.reset();
    action("mmExport")->trigger();
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files).size(), 2);
    prompts.exportAnswer = UserPrompts::ExportTarget{dir.path(), ResultFormat::Csv};
    action("mmExport")->trigger();
    EXPECT_EQ(prompts.errors, QStringList({"Cannot create file " + dir.path() + ", is a directory."}));
}
