#pragma once

// The window as the program builds it, on a core with a fake platform,
// with fakes for what it asks of the user and of the machine.

#include "gui/MainWindow.h"
#include "remote/FakeRemotePrompts.h"
#include "support/FakeNotifier.h"
#include "support/FakePlatform.h"
#include "support/FakePrompts.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QStringList>
#include <QTreeWidgetItem>

// What the window asks of the user and of the machine, answered by fakes.
struct FakeWindowServices {
    FakePrompts prompts;
    FakeRemotePrompts remotePrompts;
    FixedNetwork network;
    FakeNotifier notifier;

    TfrmMainServices services(SettingsStore *settings = nullptr)
    {
        return TfrmMainServices{prompts, remotePrompts, network, settings, &notifier};
    }
};

namespace detail {
struct OwnCore {
    Workspace core;
    explicit OwnCore(Platform platform) : core(std::move(platform)) {}
};
} // namespace detail

// A window on a core of its own, as the program starts them: one such
// object is one run of the program.
class StartedWindow : private detail::OwnCore, public TfrmMain {
public:
    StartedWindow(Platform platform, const TfrmMainServices &services)
        : OwnCore(std::move(platform)), TfrmMain(core, services)
    {
    }
    Workspace &workspace() { return core; }
};

// Opens a node of the "Workstations" tree as the user does and waits
// (bounded by MS) until its children have come; returns their texts.
inline QStringList expandNode(QTreeWidgetItem *item, int ms = 15000)
{
    item->setExpanded(true);
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms && item->childCount() > 0 && item->child(0)->text(0) == "Searching...")
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
    QStringList out;
    for (int i = 0; i < item->childCount(); ++i)
        out << item->child(i)->text(0);
    return out;
}
