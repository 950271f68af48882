#include "app/Caption.h"
#include "app/CommandEnabling.h"
#include "app/CommandRunner.h"
#include "app/Exception.h"
#include "support/FakePrompts.h"

#include <gtest/gtest.h>
#include <stdexcept>

TEST(CommandRunner, FailuresReachTheErrorBoxWithAFullStop)
{
    FakePrompts prompts;
    runCommand(prompts, nullptr, [] { throw Exception("Cannot open file /x/a.lu"); });
    runCommand(prompts, nullptr, [] { throw Exception("Already ends."); });
    runCommand(prompts, nullptr, [] { throw std::runtime_error("plain"); });
    bool ran = false;
    runCommand(prompts, nullptr, [&] { ran = true; });
    EXPECT_TRUE(ran);
    EXPECT_EQ(prompts.errors, QStringList({"Cannot open file /x/a.lu.", "Already ends.", "plain."}));
}

TEST(Caption, ShowsTheFileNameWithoutItsDirectory)
{
    EXPECT_EQ(windowCaption(""), "Lumeo");
    EXPECT_EQ(windowCaption("/home/ann/net/office.lu"), "Lumeo - [office.lu]");
    EXPECT_EQ(windowCaption("relative/dir/plain"), "Lumeo - [plain]");
}

TEST(CommandEnabling, FollowsRowsAndSelection)
{
    EXPECT_EQ(CommandEnabling::compute(false, 0), (CommandEnabling{false, false}));
    EXPECT_EQ(CommandEnabling::compute(false, 3), (CommandEnabling{false, true}));
    EXPECT_EQ(CommandEnabling::compute(true, 3), (CommandEnabling{true, true}));
    // A stale selection in an empty list enables nothing.
    EXPECT_EQ(CommandEnabling::compute(true, 0), (CommandEnabling{false, false}));
}
