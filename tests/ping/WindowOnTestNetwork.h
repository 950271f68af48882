#pragma once

#include "gui/MainWindow.h"
#include "ping/HostResolver.h"
#include "ping/LinuxEchoChannel.h"
#include "ping/TestNetwork.h"
#include "support/FakePrompts.h"

#include <gtest/gtest.h>
#include <memory>

// The main window, shown, with the real echo service and the system
// resolver (which reads the test network's hosts file); only the user's
// answers are fakes.
class WindowOnTestNetwork : public ::testing::Test {
protected:
    FakePrompts prompts;
    FixedNetwork network;
    SystemResolver resolver;
    LinuxEchoChannelFactory echo;
    std::unique_ptr<TfrmMain> w;

    void SetUp() override
    {
        REQUIRE_TEST_NETWORK();
        w = std::make_unique<TfrmMain>(TfrmMainServices{prompts, network, resolver, echo});
        w->show();
    }
};
