#include "application/PendingAdd.h"
#include "gui/MainWindow.h"
#include "ping/HostResolver.h"
#include "ping/LinuxEchoChannel.h"
#include "ping/Ping.h"
#include "ping/TestNetwork.h"
#include "ping/WindowOnTestNetwork.h"
#include "resources/ResourceList.h"
#include "support/FakePrompts.h"

#include <QAction>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <gtest/gtest.h>

using namespace TestNet;

namespace {

// Adds through the window's menu item against the system resolver, which
// reads the test network's hosts file.
class AddOnTestNetwork : public WindowOnTestNetwork {
protected:
    // Runs Add and waits, at most three seconds, for the lookup to end.
    void add(const AddEntry &entry)
    {
        prompts.addAnswer = entry;
        w->findChild<QAction *>("mmAdd")->trigger();
        QElapsedTimer t;
        t.start();
        while (core->pendingAdd().pending() && t.elapsed() < 3000)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
        EXPECT_FALSE(core->pendingAdd().pending()) << "no answer within three seconds";
    }
    QStringList row(int i) const { return core->list().row(i).subItems.mid(0, 3); }
};

} // namespace

TEST_F(AddOnTestNetwork, ByNameAndByAddressFromTheHostsFile)
{
    const struct {
        const char *what;
        AddEntry entry;
        QStringList row; // empty: nothing added
    } cases[] = {
        {"name", {"alpha", "", "LAB", true}, {"alpha", live1, "LAB"}},
        {"name with two addresses", {"multi", "", "LAB", true}, {"multi", "10.201.2.3,10.201.2.4", "LAB"}},
        {"address", {"", "10.201.2.3", "LAB", true}, {"multi", "10.201.2.3,10.201.2.4", "LAB"}},
        {"address without a name", {"bravo", dropped, "LAB", true}, {"bravo", "10.201.2.2", "LAB"}},
        {"unknown name", {"no-such-host", "", "LAB", true}, {}},
        {"lookups off", {"", live1, "LAB", false}, {"alpha", "", "LAB"}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        core->list().clear();
        add(c.entry);
        EXPECT_TRUE(prompts.errors.isEmpty()) << prompts.errors.join('\n').toStdString();
        if (c.row.isEmpty()) {
            EXPECT_EQ(core->list().count(), 0);
            continue;
        }
        ASSERT_EQ(core->list().count(), 1);
        EXPECT_EQ(row(0), c.row);
    }
}

TEST_F(AddOnTestNetwork, TheAddedRowPingsLikeAnyOther)
{
    setEcho(400);
    add(AddEntry{"", "10.201.2.2", "LAB", true});
    ASSERT_EQ(core->list().count(), 1);
    EXPECT_EQ(row(0), QStringList({"bravo", "10.201.2.2", "LAB"}));
    ping();
    EXPECT_TRUE(core->list().row(0).subItem(siMessage).startsWith("Received 56 bytes in "))
        << core->list().row(0).subItem(siMessage).toStdString();
}
