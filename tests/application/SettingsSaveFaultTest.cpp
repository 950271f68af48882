// Saving the settings under faults that come from outside the program: the
// old file is never lost, and a failure names the file and its cause.

#include "application/SettingsStore.h"
#include "base/Exception.h"
#include "support/Faults.h"
#include "support/Permissions.h"
#include "support/TestFiles.h"

#include <QDir>
#include <cstdio>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {

class SettingsSaveFaults : public TemporaryFiles {
protected:
    const QByteArray oldText = "[4.0]\nPing_Size=100\nLastFile=/srv/office.lu\n";

    QString saveError(const QString &ini, const SettingsStore::Values &values)
    {
        try {
            IniSettingsStore(ini).write(values);
        } catch (const Exception &e) {
            return e.message();
        }
        return QString();
    }
};

} // namespace

// The cases a user meets: a full disk, a folder the user may not write.
TEST_F(SettingsSaveFaults, AFailedSaveKeepsTheOldFileAndSaysWhy)
{
    struct Case {
        const char *what;
        const char *cause;
    };
    const Case cases[] = {{"full", "no space left on device"}, {"read-only folder", "permission denied"}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        const QString folder = path(c.what);
        SmallFileSystem disk(folder, "64k");
        const bool full = QLatin1String(c.what) == QLatin1String("full");
        if (full && !disk.mounted()) {
            std::printf("[  SKIPPED ] cannot mount a tmpfs here (needs root): the full-disk case is not tested\n");
            continue;
        }
        QDir().mkpath(folder);
        const QString ini = folder + "/Lumeo.ini";
        writeBytes(ini, oldText);
        if (full)
            ASSERT_TRUE(disk.fill());
        else
            ASSERT_EQ(::chmod(QFile::encodeName(folder).constData(), 0555), 0);
        WithoutPermissionOverride asOwner; // root too is held to the folder's bits
        if (!full && !asOwner.active()) {
            ADD_FAILURE() << "cannot drop the permission override";
            continue;
        }
        EXPECT_EQ(saveError(ini, {{"Ping_Size", "200"}, {"LastFile", QString(2000, QLatin1Char('x'))}}),
                  "The settings file " + ini + " cannot be saved: " + c.cause);
        EXPECT_EQ(readBytes(ini), oldText);
        const QStringList left = othersIn(folder, "Lumeo.ini");
        EXPECT_EQ(left, full ? QStringList({"filler"}) : QStringList());
        ::chmod(QFile::encodeName(folder).constData(), 0755);
    }
}

// The program killed at any point of a save leaves the old settings or the
// new ones, whole, and the file reads.
TEST_F(SettingsSaveFaults, KilledWhileSavingLeavesAWholeFile)
{
    const QString ini = path("Lumeo.ini");
    SettingsStore::Values values;
    for (int i = 0; i < 2000; ++i)
        values.append({"Value" + QString::number(i), QString(40, QLatin1Char('n'))});
    int caught = 0;
    for (int round = 0; round < 5; ++round) {
        SCOPED_TRACE(round);
        writeBytes(ini, oldText);
        for (const QString &name : othersIn(dir.path(), "Lumeo.ini"))
            QFile::remove(dir.filePath(name));
        const int killed = killDuringSave([&] { IniSettingsStore(ini).write(values); },
                                          [&] { return !othersIn(dir.path(), "Lumeo.ini").isEmpty(); });
        ASSERT_GE(killed, 0) << "cannot start a child process";
        caught += killed;
        const QMap<QString, QString> back = IniSettingsStore(ini).read();
        if (back.contains("LastFile")) {
            EXPECT_EQ(readBytes(ini), oldText);
        } else {
            EXPECT_EQ(back.size(), values.size());
            EXPECT_EQ(back.value("Value1999"), QString(40, QLatin1Char('n')));
        }
    }
    EXPECT_GT(caught, 0) << "no kill came during a save";
}
