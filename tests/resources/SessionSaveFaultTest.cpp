// A session that cannot be saved: the message names the file and the
// system's reason after a comma, and the old file stays. How the file is
// replaced, and under which faults, the base layer's tests cover.

#include "base/Exception.h"
#include "resources/ResourceList.h"
#include "resources/SessionList.h"
#include "support/Permissions.h"
#include "support/TestFiles.h"

#include <QDir>
#include <QFileInfo>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {

class SessionSaveFaults : public TemporaryFiles {};

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

TEST_F(SessionSaveFaults, AFailedSaveSaysWhyAndKeepsTheOldFile)
{
    ResourceList list;
    list.setRows({ResourceRow::created("PC1", "10.1.0.1", "OFFICE")});
    writeBytes(path("readonly.lu"), "0,,old,\r\n");
    ASSERT_EQ(::chmod(QFile::encodeName(path("readonly.lu")).constData(), 0444), 0);
    ASSERT_TRUE(QDir(dir.path()).mkdir("taken.lu"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(path("pipe.lu")).constData(), 0600), 0);
    const struct {
        const char *file;
        const char *cause;
    } cases[] = {
        {"readonly.lu", "permission denied"},
        {"taken.lu", "is a directory"},
        {"pipe.lu", "not a regular file"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.file);
        const QString file = path(c.file);
        // Never read the pipe: that would wait for a writer.
        const auto contents = [&] { return QFileInfo(file).isFile() ? readBytes(file) : QByteArray(); };
        const QByteArray before = contents();
        WithoutPermissionOverride asOwner; // root too is held to the owner's bits
        if (!asOwner.active()) {
            ADD_FAILURE() << "cannot drop the permission override";
            continue;
        }
        EXPECT_EQ(saveError(file, list), "Cannot create file " + file + ", " + c.cause);
        EXPECT_EQ(contents(), before);
    }
    EXPECT_EQ(readBytes(path("readonly.lu")), "0,,old,\r\n");
}
