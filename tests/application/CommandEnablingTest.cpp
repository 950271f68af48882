#include "application/CommandEnabling.h"
#include "application/Caption.h"

#include <gtest/gtest.h>

TEST(Caption, ShowsTheFileNameWithoutItsDirectory)
{
    EXPECT_EQ(windowCaption(""), "Lumeo");
    EXPECT_EQ(windowCaption("/home/ann/net/office.lu"), "Lumeo - [office.lu]");
    EXPECT_EQ(windowCaption("relative/dir/plain"), "Lumeo - [plain]");
    EXPECT_EQ(windowCaption("", "Monitoring: round running"), "Lumeo - Monitoring: round running");
    EXPECT_EQ(windowCaption("/home/ann/net/office.lu", "Monitoring: next round at 12:04:30"),
              "Lumeo - [office.lu] - Monitoring: next round at 12:04:30");
}

TEST(CommandEnabling, FollowsRowsAndSelection)
{
    EXPECT_EQ(CommandEnabling::compute(false, 0), (CommandEnabling{false, false}));
    EXPECT_EQ(CommandEnabling::compute(false, 3), (CommandEnabling{false, true}));
    EXPECT_EQ(CommandEnabling::compute(true, 3), (CommandEnabling{true, true}));
    // A stale selection in an empty list enables nothing.
    EXPECT_EQ(CommandEnabling::compute(true, 0), (CommandEnabling{false, false}));
}
