#include "application/SessionState.h"
#include "base/Exception.h"
#include "resources/ResourceList.h"
#include "support/TestFiles.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

// A file that was read only in part must never be replaced by that part
// without the user choosing it again; a whole file saves in place as before.
TEST(SessionState, AFileReadOnlyInPartIsNeverSavedOverSilently)
{
    const QByteArray manyFields = "0,," + QByteArray(5000, ',') + "\r\n";
    const struct {
        const char *name;
        QByteArray bytes;
        bool raises;
        bool tells;
        bool complete;
        int rows;
    } cases[] = {
        {"whole file", "0,,A,\r\n0,,B,\r\n", false, false, true, 2},
        {"bad index", "0,,A,\r\n9999999999999999999999,,B,\r\n0,,C,\r\n0,,D,\r\n", true, false, false, 2},
        {"NUL byte", QByteArray("0,,A,\r\n0,,B", 11) + QByteArray(1, '\0') + "C,\r\n0,,D,\r\n", false, true, false, 2},
        {"too many fields", "0,,A,\r\n" + manyFields + "0,,C,\r\n", true, false, false, 1},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir dir;
        const QString path = dir.filePath("office %1 %2.lu"); // placeholders in a name stay text
        writeBytes(path, c.bytes);
        ResourceList list;
        SessionState session;
        QString told;
        bool raised = false;
        try {
            told = session.open(path, list, true);
        } catch (const Exception &) {
            raised = true;
        }
        EXPECT_EQ(raised, c.raises);
        EXPECT_EQ(!told.isEmpty(), c.tells);
        if (c.tells) {
            EXPECT_TRUE(told.startsWith("office %1 %2.lu was not read completely. ")) << told.toStdString();
        }
        EXPECT_EQ(session.complete(), c.complete);
        EXPECT_EQ(session.needsName(), !c.complete);
        EXPECT_EQ(session.fileName(), path);
        EXPECT_GE(list.count(), c.rows);
        if (c.complete)
            continue;
        // Saved elsewhere, the session is whole again and the damaged file untouched.
        const QString other = dir.filePath("rescued.lu");
        session.save(list, other);
        EXPECT_EQ(readBytes(path), c.bytes);
        EXPECT_TRUE(QFile::exists(other));
        EXPECT_TRUE(session.complete());
        EXPECT_FALSE(session.needsName());
        EXPECT_EQ(session.lastFile(), other);
    }
}

TEST(SessionState, SavingAPartlyReadFileElsewhereKeepsItsEncoding)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("old.lu");
    writeBytes(path, "0,,Caf\xE9,\r\nzz,,B,\r\n"); // Windows-1252, stopped at its second line
    ResourceList list;
    SessionState session;
    EXPECT_THROW(session.open(path, list, false), Exception);
    const QString other = dir.filePath("new.lu");
    list.removeAt(1); // the empty row made for the bad line
    session.save(list, other);
    EXPECT_EQ(readBytes(other), "0,,Caf\xE9,\r\n");
}
