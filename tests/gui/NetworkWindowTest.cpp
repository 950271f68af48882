#include "gui/MainWindow.h"
#include "resources/ResourceList.h"
#include "support/FakeWindow.h"

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QMouseEvent>
#include <QTimer>
#include <QTreeWidget>
#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <thread>

namespace {

class NetworkWindow : public ::testing::Test {
protected:
    FakePlatform platform;
    FakeWindowServices ui;
    FakePrompts &prompts = ui.prompts;
    std::shared_ptr<FakeNeighborhood> source = platform.neighborhood;
    std::unique_ptr<Workspace> core;
    std::unique_ptr<TfrmMain> w;
    QTreeWidget *tree = nullptr;

    void SetUp() override
    {
        *source = FakeNeighborhood::office({{"ALPHA", {"S1", "S2"}}, {"BETA", {"S3"}}}, {"public", "print"});
        core = std::make_unique<Workspace>(platform.platform());
        w = std::make_unique<TfrmMain>(*core, ui.services());
        w->show();
        tree = w->findChild<QTreeWidget *>("Tree");
    }
    // Scans as the menu does and waits (bounded) for the scan to end.
    void scan()
    {
        w->findChild<QAction *>("mmScan")->trigger();
        QElapsedTimer t;
        t.start();
        while (core->scanning() && t.elapsed() < 5000)
            QApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
    }

    // Opens ITEM and waits (bounded) until its children have arrived.
    QStringList expand(QTreeWidgetItem *item)
    {
        item->setExpanded(true);
        QElapsedTimer t;
        t.start();
        while (t.elapsed() < 5000 && (item->childCount() == 0 || item->child(0)->text(0) == "Searching...")) {
            QApplication::processEvents();
            if (item->childIndicatorPolicy() == QTreeWidgetItem::DontShowIndicatorWhenChildless
                && item->childCount() == 0)
                break;
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        QStringList out;
        for (int i = 0; i < item->childCount(); ++i)
            out << item->child(i)->text(0);
        return out;
    }
    void rightClick(QTreeWidgetItem *item)
    {
        const QPoint at = tree->visualItemRect(item).center();
        QMouseEvent press(QEvent::MouseButtonPress, at, tree->viewport()->mapToGlobal(at), Qt::RightButton,
                          Qt::RightButton, Qt::NoModifier);
        QApplication::sendEvent(tree->viewport(), &press);
    }
};

} // namespace

TEST_F(NetworkWindow, ScanFillsTheListAndAFailureShowsTheErrorBox)
{
    // The walk runs while the window's own timers still fire.
    source->onRoot = [] { std::this_thread::sleep_for(std::chrono::milliseconds(150)); };
    QString duringWalk;
    QTimer::singleShot(20, w.get(), [&] { duringWalk = w->statusText(TfrmMain::spMessage); });
    scan();
    EXPECT_EQ(duringWalk, "Scanning network...");
    ASSERT_EQ(core->list().count(), 3);
    EXPECT_EQ(core->list().row(2).subItems, QStringList({"S3", "", "BETA", "<not tested>", ""}));
    EXPECT_EQ(w->statusText(TfrmMain::spMessage), "3 resources in list");
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    EXPECT_TRUE(prompts.errors.isEmpty());

    source->noRoot = true;
    scan();
    EXPECT_EQ(prompts.errors, QStringList({"Cannot find network neiborhood."}));
    EXPECT_EQ(core->list().count(), 3);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(NetworkWindow, TheTreeListsEachLevelWhenOpenedAndFeedsTheAddDialog)
{
    source->brokenKey = "pc:S1";
    ASSERT_EQ(tree->topLevelItemCount(), 1);
    QTreeWidgetItem *root = tree->topLevelItem(0);
    EXPECT_EQ(root->text(0), "Entire Network");
    EXPECT_TRUE(source->opened.isEmpty()); // nothing is asked before the user opens a node

    EXPECT_EQ(expand(root), QStringList({"ALPHA", "BETA"}));
    QTreeWidgetItem *alpha = root->child(0);
    EXPECT_EQ(expand(alpha), QStringList({"S1", "S2"}));
    QTreeWidgetItem *s2 = alpha->child(1);
    EXPECT_EQ(expand(s2), QStringList({"public", "print"}));
    EXPECT_EQ(s2->child(0)->childIndicatorPolicy(), QTreeWidgetItem::DontShowIndicator);
    EXPECT_EQ(source->opened, QStringList({"wg:ALPHA", "pc:S2"}));
    // A computer whose shares cannot be listed shows none.
    EXPECT_EQ(expand(alpha->child(0)), QStringList());
    EXPECT_EQ(alpha->child(0)->childIndicatorPolicy(), QTreeWidgetItem::DontShowIndicatorWhenChildless);

    // Closing and opening again asks nothing more.
    s2->setExpanded(false);
    expand(s2);
    EXPECT_EQ(source->opened.size(), 3);

    rightClick(s2);
    EXPECT_EQ(tree->currentItem(), s2);
    w->findChild<QAction *>("mmAdd")->trigger();
    ASSERT_EQ(prompts.addsAsked.size(), 1);
    EXPECT_EQ(prompts.addsAsked[0].workstation, "S2");
}

namespace {

// The texts of ITEM's children.
QStringList childTexts(const QTreeWidgetItem *item)
{
    QStringList out;
    for (int i = 0; i < item->childCount(); ++i)
        out << item->child(i)->text(0);
    return out;
}

// Runs the event loop until DONE holds, for five seconds at most.
bool waitFor(const std::function<bool()> &done)
{
    QElapsedTimer t;
    t.start();
    while (!done() && t.elapsed() < 5000) {
        QApplication::processEvents();
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return done();
}

} // namespace

TEST_F(NetworkWindow, RefreshReadsTheNetworkAnewAndOpensAgainWhatWasOpen)
{
    QTreeWidgetItem *root = tree->topLevelItem(0);
    // A tree never opened has nothing to read again.
    w->findChild<QAction *>("mmRefresh")->trigger();
    QApplication::processEvents();
    EXPECT_FALSE(root->isExpanded());
    EXPECT_EQ(root->childCount(), 0);

    expand(root);
    expand(root->child(0));           // ALPHA
    expand(root->child(0)->child(1)); // S2
    tree->setCurrentItem(root->child(0)->child(1));
    expand(root->child(1)); // BETA, then closed again
    root->child(1)->setExpanded(false);

    // The network has changed: S1 and BETA are gone, S4 and GAMMA are new.
    *source = FakeNeighborhood::office({{"ALPHA", {"S2", "S4"}}, {"GAMMA", {"S5"}}}, {"public"});
    w->findChild<QAction *>("mmRefresh")->trigger();
    ASSERT_TRUE(waitFor([&] {
        return childTexts(root) == QStringList({"ALPHA", "GAMMA"});
    })) << childTexts(root).join(',').toStdString();
    QTreeWidgetItem *alpha = root->child(0);
    ASSERT_TRUE(waitFor([&] { return childTexts(alpha) == QStringList({"S2", "S4"}); }));
    QTreeWidgetItem *s2 = alpha->child(0);
    ASSERT_TRUE(waitFor([&] { return childTexts(s2) == QStringList({"public"}); }));
    EXPECT_TRUE(alpha->isExpanded() && s2->isExpanded());
    EXPECT_FALSE(root->child(1)->isExpanded());
    EXPECT_EQ(tree->currentItem(), s2);
    // Only what was open is read again.
    EXPECT_EQ(source->opened, QStringList({"wg:ALPHA", "pc:S2"}));

    // The selection still feeds the add dialog.
    w->findChild<QAction *>("mmAdd")->trigger();
    ASSERT_EQ(prompts.addsAsked.size(), 1);
    EXPECT_EQ(prompts.addsAsked[0].workstation, "S2");
}

TEST_F(NetworkWindow, WhatTheListingBeforeARefreshDeliversLateIsDropped)
{
    // The first listing of the top is slow, the one after the refresh quick.
    std::atomic<int> roots = 0;
    source->onRoot = [&] {
        if (roots++ == 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
    };
    QTreeWidgetItem *root = tree->topLevelItem(0);
    root->setExpanded(true);
    w->findChild<QAction *>("mmRefresh")->trigger();
    ASSERT_TRUE(waitFor([&] { return childTexts(root) == QStringList({"ALPHA", "BETA"}); }));
    QTreeWidgetItem *alpha = root->child(0);
    EXPECT_EQ(expand(alpha), QStringList({"S1", "S2"}));
    // The slow listing ends now: the tree the user opened stays as it is.
    std::this_thread::sleep_for(std::chrono::milliseconds(350));
    QApplication::processEvents();
    ASSERT_EQ(root->child(0), alpha);
    EXPECT_TRUE(alpha->isExpanded());
    EXPECT_EQ(childTexts(alpha), QStringList({"S1", "S2"}));
    EXPECT_EQ(roots, 2);
}
