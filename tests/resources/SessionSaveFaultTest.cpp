// Saving a session under faults that come from outside the program: the old
// file is never lost, and a failure names the file and its cause.

#include "base/Exception.h"
#include "resources/ResourceList.h"
#include "resources/SessionFile.h"
#include "resources/SessionList.h"
#include "support/Faults.h"
#include "support/TestFiles.h"

#include <QFileInfo>
#include <gtest/gtest.h>

namespace {

class SessionSaveFaults : public TemporaryFiles {};

std::vector<ResourceRow> rowsNamed(const QString &prefix, int count)
{
    std::vector<ResourceRow> rows;
    for (int i = 0; i < count; ++i)
        rows.push_back(
            ResourceRow::created(prefix + QString::number(i), "10.1.0." + QString::number(i % 256), "OFFICE"));
    return rows;
}

QString saveError(const QString &file, const ResourceList &list)
{
    try {
        SaveToSessionFile(file, list, TextEncoding::Utf8);
    } catch (const Exception &e) {
        return e.message();
    }
    return QString();
}

} // namespace

// A disk with no block left refuses even the smallest list; the old file
// stays as it was and nothing else is left beside it.
TEST_F(SessionSaveFaults, ADiskWithNoRoomLeftKeepsTheOldFile)
{
    SmallFileSystem disk(path("small"), "64k");
    if (!disk.mounted())
        GTEST_SKIP() << "cannot mount a tmpfs here (needs root): the full-disk case is not tested";
    const QString file = path("small/office.lu");
    writeBytes(file, "0,,old,\r\n");
    ASSERT_TRUE(disk.fill());
    ResourceList list;
    list.setRows(rowsNamed("PC", 1));
    EXPECT_EQ(saveError(file, list), "Cannot create file " + file + ", no space left on device");
    EXPECT_EQ(readBytes(file), "0,,old,\r\n");
    EXPECT_EQ(othersIn(path("small"), "office.lu"), QStringList({"filler"}));
}

// The program killed at any point of a save leaves either the old file or
// the new one, each whole, never a mix or a part; and it still reads to its
// end.
TEST_F(SessionSaveFaults, KilledWhileSavingLeavesAWholeFile)
{
    const QString file = path("office.lu");
    const std::vector<ResourceRow> oldRows = rowsNamed("OLD", 3);
    const std::vector<ResourceRow> newRows = rowsNamed("NEW", 60000); // a few megabytes: the write takes a while
    const QByteArray oldBytes = SessionFile::toBytes(oldRows, TextEncoding::Utf8);
    const QByteArray newBytes = SessionFile::toBytes(newRows, TextEncoding::Utf8);
    ResourceList list;
    list.setRows(newRows);

    int caught = 0;
    for (int round = 0; round < 5; ++round) {
        SCOPED_TRACE(round);
        writeBytes(file, oldBytes);
        for (const QString &name : othersIn(dir.path(), "office.lu"))
            QFile::remove(dir.filePath(name));
        // Half-way: the new text is being written beside the old file.
        const int killed = killDuringSave([&] { SaveToSessionFile(file, list, TextEncoding::Utf8); },
                                          [&] { return !othersIn(dir.path(), "office.lu").isEmpty(); });
        ASSERT_GE(killed, 0) << "cannot start a child process";
        caught += killed;
        const QByteArray after = readBytes(file);
        EXPECT_TRUE(after == oldBytes || after == newBytes) << "a file of " << after.size() << " bytes";
        ResourceList back;
        const SessionLoad load = LoadFromSessionFile(file, back);
        EXPECT_TRUE(load.complete) << load.error.toStdString();
        EXPECT_TRUE(back.count() == int(oldRows.size()) || back.count() == int(newRows.size())) << back.count();
    }
    EXPECT_GT(caught, 0) << "no kill came during a save";
    // A later save replaces the file as usual.
    list.setRows(oldRows);
    SaveToSessionFile(file, list, TextEncoding::Utf8);
    EXPECT_EQ(readBytes(file), oldBytes);
}
