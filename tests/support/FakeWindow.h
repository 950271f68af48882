#pragma once

// The window as the program builds it, on a core with a fake platform,
// with fakes for what it asks of the user and of the machine.

#include "gui/MainWindow.h"
#include "remote/FakeRemotePrompts.h"
#include "support/FakePlatform.h"
#include "support/FakePrompts.h"

// What the window asks of the user and of the machine, answered by fakes.
struct FakeWindowServices {
    FakePrompts prompts;
    FakeRemotePrompts remotePrompts;
    FixedNetwork network;

    TfrmMainServices services(SettingsStore *settings = nullptr)
    {
        return TfrmMainServices{prompts, remotePrompts, network, settings};
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
