#include "base/SystemError.h"

#include <cerrno>
#include <gtest/gtest.h>

// The texts users read in messages, as the C library writes them (the
// tests run in the C locale), first letter as written or lower-case.
TEST(SystemErrorTest, AnErrorNumberBecomesTheSystemsText)
{
    const struct {
        int error;
        const char *asWritten;
        const char *lowerFirst;
    } cases[] = {
        {ENOSPC, "No space left on device", "no space left on device"},
        {EACCES, "Permission denied", "permission denied"},
        {EISDIR, "Is a directory", "is a directory"},
        {EAFNOSUPPORT, "Address family not supported by protocol", "address family not supported by protocol"},
        {98765, "Unknown error 98765", "unknown error 98765"},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(systemErrorText(c.error), c.asWritten) << c.error;
        EXPECT_EQ(systemErrorText(c.error, SystemTextCase::LowerFirst), c.lowerFirst) << c.error;
    }
}
