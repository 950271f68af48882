// Replacing a file under faults that come from outside the program: the old
// file is never lost, and nothing is left beside it.

#include "base/AtomicFile.h"
#include "support/Faults.h"
#include "support/TestFiles.h"

#include <QFile>
#include <gtest/gtest.h>

namespace {

class AtomicFileFaults : public TemporaryFiles {};

QByteArray textOf(const char *word, qsizetype size)
{
    QByteArray text;
    while (text.size() < size)
        text += word;
    return text;
}

} // namespace

// A disk with no block left refuses even the smallest text; one with room
// for a part of it refuses half-way. Either way the old file stays as it was
// and only the disk's filler is beside it.
TEST_F(AtomicFileFaults, AFullDiskKeepsTheOldFile)
{
    const struct {
        const char *what;
        bool fill;
        qsizetype bytes;
    } cases[] = {
        {"no block left", true, 10},
        {"room for a part", false, 200 * 1024},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        const QString folder = path(c.what);
        SmallFileSystem disk(folder, "64k");
        if (!disk.mounted())
            GTEST_SKIP() << "cannot mount a tmpfs here (needs root): the full-disk cases are not tested";
        const QString file = folder + "/office.txt";
        writeBytes(file, "old\r\n");
        if (c.fill) {
            ASSERT_TRUE(disk.fill());
        }
        const std::optional<FileReplaceFailure> failure = replaceFileAtomically(file, textOf("new ", c.bytes));
        ASSERT_TRUE(failure);
        EXPECT_EQ(failure->error, ENOSPC);
        EXPECT_EQ(failure->cause(), "no space left on device");
        EXPECT_EQ(readBytes(file), "old\r\n");
        EXPECT_EQ(othersIn(folder, "office.txt"), c.fill ? QStringList({"filler"}) : QStringList());
    }
}

// The program killed at any point of a replace leaves either the old file or
// the new one, each whole, never a mix or a part.
TEST_F(AtomicFileFaults, KilledWhileReplacingLeavesAWholeFile)
{
    const QString file = path("office.txt");
    const QByteArray oldBytes = textOf("old ", 300);
    const QByteArray newBytes = textOf("new ", 4 * 1024 * 1024); // the write takes a while
    int caught = 0;
    for (int round = 0; round < 5; ++round) {
        SCOPED_TRACE(round);
        writeBytes(file, oldBytes);
        for (const QString &name : othersIn(dir.path(), "office.txt"))
            QFile::remove(dir.filePath(name));
        // Half-way: the new text is being written beside the old file.
        const int killed = killDuringSave([&] { (void)replaceFileAtomically(file, newBytes); },
                                          [&] { return !othersIn(dir.path(), "office.txt").isEmpty(); });
        ASSERT_GE(killed, 0) << "cannot start a child process";
        caught += killed;
        const QByteArray after = readBytes(file);
        EXPECT_TRUE(after == oldBytes || after == newBytes) << "a file of " << after.size() << " bytes";
    }
    EXPECT_GT(caught, 0) << "no kill came during a replace";
    // A later replace goes as usual.
    EXPECT_FALSE(replaceFileAtomically(file, oldBytes));
    EXPECT_EQ(readBytes(file), oldBytes);
}
