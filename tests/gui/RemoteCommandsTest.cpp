#include "application/RemoteActions.h"
#include "gui/MainWindow.h"
#include "gui/RemotePrompts.h"
#include "remote/FakeRemotePrompts.h"
#include "remote/FakeRemoteTransport.h"
#include "remote/NTRemoteDateTime.h"
#include "resources/ResourceList.h"
#include "support/FakeWindow.h"

#include <QAction>
#include <QLineEdit>
#include <gtest/gtest.h>

namespace {

class RemoteCommands : public ::testing::Test {
protected:
    FakePlatform platform;
    FakeWindowServices ui;
    FakePrompts &prompts = ui.prompts;
    FakeRemotePrompts &boxes = ui.remotePrompts;
    std::shared_ptr<FakeRemoteTransport> transport = platform.remote;
    std::unique_ptr<Workspace> core = std::make_unique<Workspace>(platform.platform());
    std::unique_ptr<TfrmMain> w = std::make_unique<TfrmMain>(*core, ui.services());

    void SetUp() override
    {
        core->list().append(ResourceRow::created("ws-07", "10.0.0.7", "OFFICE"));
        core->list().append(ResourceRow::created("10.0.0.8", "", "OFFICE"));
    }
    void trigger(const char *name) { w->findChild<QAction *>(QString::fromLatin1(name))->trigger(); }
    bool settled()
    {
        return processEventsUntil([&] { return !core->remote().busy(); });
    }
};

} // namespace

TEST_F(RemoteCommands, SendAsksOnlyForASelectedRowAndTellsNothing)
{
    boxes.text = QStringLiteral("Grüße");
    w->cmSend(); // no row selected (the items are disabled then, too)
    w->cmGetDateTime();
    EXPECT_EQ(boxes.asked, 0);
    EXPECT_FALSE(core->remote().busy());

    transport->sent = false; // not told either way
    w->selectRow(1);
    for (const bool cancel : {true, false}) {
        if (cancel)
            boxes.text.reset();
        else
            boxes.text = QStringLiteral("Grüße");
        trigger("pmSend");
        ASSERT_TRUE(settled());
    }
    const auto calls = transport->calls();
    ASSERT_EQ(calls.size(), 1);
    EXPECT_EQ(calls[0].machine, "10.0.0.8");
    EXPECT_EQ(calls[0].text, QStringLiteral("Grüße"));
    EXPECT_TRUE(boxes.times.isEmpty() && boxes.errors.isEmpty() && prompts.errors.isEmpty());
}

TEST_F(RemoteCommands, TheClockIsShownOrTheFailureTold)
{
    const TIME_OF_DAY_INFO good{0, 0, 23, 30, 5, 0, -60, 0, 31, 1, 2024, 3};
    const struct {
        quint32 status;
        TIME_OF_DAY_INFO info;
        int times;
        QStringList errors, generalErrors;
    } cases[] = {
        {NERR_Success, good, 1, {}, {}},
        {ERROR_BAD_NETPATH, good, 0, {"Cannot obtain datetime info."}, {}},
        {NERR_Success,
         TIME_OF_DAY_INFO{0, 0, 12, 0, 0, 0, -1, 0, 31, 2, 2024, 3},
         0,
         {},
         {"Invalid argument to date encode."}},
    };
    w->selectRow(0);
    for (const auto &c : cases) {
        boxes.times.clear();
        boxes.errors.clear();
        prompts.errors.clear();
        transport->status = c.status;
        transport->info = c.info;
        trigger("mmGetDateTime");
        ASSERT_TRUE(settled());
        EXPECT_EQ(w->remoteDateTime().Server(), "ws-07");
        EXPECT_EQ(boxes.times.size(), c.times);
        EXPECT_EQ(boxes.errors, c.errors);
        EXPECT_EQ(prompts.errors, c.generalErrors);
    }
    EXPECT_EQ(transport->calls().last().hints, QList<Ipv4Address>{Ipv4Address::fromHostOrder(0x0A000007)});
}

TEST_F(RemoteCommands, TheWindowStaysLiveAndASecondCommandIsRefusedWhileOneWaits)
{
    transport->hold = true;
    transport->info = TIME_OF_DAY_INFO{0, 0, 8, 0, 0, 0, -1, 0, 1, 6, 2024, 6};
    boxes.text = "hi";
    w->selectRow(0);
    trigger("mmGetDateTime"); // returns while the network is asked
    EXPECT_TRUE(core->remote().busy());
    w->selectRow(1);
    trigger("mmSend");
    trigger("pmGetDateTime");
    EXPECT_EQ(boxes.asked, 0);
    EXPECT_EQ(w->statusText(TfrmMain::spMessage), "Waiting for ws-07...");
    transport->release();
    ASSERT_TRUE(settled());
    ASSERT_EQ(boxes.times.size(), 1);
    EXPECT_TRUE(boxes.times[0].startsWith("System time on ws-07 is ")) << boxes.times[0].toStdString();
    EXPECT_EQ(transport->calls().size(), 1);
    EXPECT_TRUE(w->findChild<QAction *>("pmGetDateTime")->isVisible()); // on Linux

    SendMessageDialog box;
    box.findChild<QLineEdit *>("eText")->insert(QString(300, 'x'));
    EXPECT_EQ(box.text().size(), 255);
}
