#pragma once

#include "gui/MainWindow.h"
#include "ping/HostResolver.h"
#include "ping/LinuxEchoChannel.h"
#include "ping/TestNetwork.h"
#include "support/FakeWindow.h"

#include <gtest/gtest.h>
#include <memory>

// The main window, shown, with the real echo service and the system
// resolver (which reads the test network's hosts file); only the user's
// answers are fakes.
class WindowOnTestNetwork : public ::testing::Test {
protected:
    FakeWindowServices ui;
    FakePrompts &prompts = ui.prompts;
    SystemResolver resolver;
    LinuxEchoChannelFactory echo;
    std::unique_ptr<Workspace> core;
    std::unique_ptr<TfrmMain> w;

    void SetUp() override
    {
        REQUIRE_TEST_NETWORK();
        core = std::make_unique<Workspace>(Platform{resolver, echo, std::make_shared<FakeNeighborhood>(),
                                                    std::make_shared<FakeRemoteTransport>(), "LAB"});
        w = std::make_unique<TfrmMain>(*core, ui.services());
        w->show();
    }
    // The echo settings as the Settings dialog sets them.
    void setEcho(int timeoutMs, std::optional<int> parallel = std::nullopt)
    {
        EchoSettings s = core->echoSettings();
        s.timeoutMs = timeoutMs;
        s.parallel = parallel.value_or(s.parallel);
        core->setEchoSettings(s);
    }
    // Pings as the menu does and waits for the sweep to end.
    void ping()
    {
        w->findChild<QAction *>("mmPing")->trigger();
        waitForSweep(core->sweep(), 60000);
    }
};
