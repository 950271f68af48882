// Settings that cannot be saved: the message names the file and the
// system's reason after a colon, and the old settings stay. How the file is
// replaced, and under which faults, the base layer's tests cover.

#include "application/SettingsStore.h"
#include "base/Exception.h"
#include "support/Permissions.h"
#include "support/TestFiles.h"

#include <QDir>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {

class SettingsSaveFaults : public TemporaryFiles {
protected:
    QString saveError(const QString &ini)
    {
        try {
            IniSettingsStore(ini).write({{"Ping_Size", "200"}});
        } catch (const Exception &e) {
            return e.message();
        }
        return QString();
    }
};

} // namespace

TEST_F(SettingsSaveFaults, AFailedSaveSaysWhyAndKeepsTheOldFile)
{
    const QByteArray oldText = "[4.0]\nPing_Size=100\n";
    ASSERT_TRUE(QDir().mkpath(path("locked")));
    writeBytes(path("locked/Lumeo.ini"), oldText);
    ASSERT_EQ(::chmod(QFile::encodeName(path("locked")).constData(), 0555), 0);
    ASSERT_TRUE(QDir().mkpath(path("taken/Lumeo.ini/inner")));
    const struct {
        const char *ini;
        const char *cause;
    } cases[] = {
        {"locked/Lumeo.ini", "permission denied"},
        {"taken/Lumeo.ini", "is a directory"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.ini);
        const QString ini = path(c.ini);
        WithoutPermissionOverride asOwner; // root too is held to the folder's bits
        if (!asOwner.active()) {
            ADD_FAILURE() << "cannot drop the permission override";
            continue;
        }
        EXPECT_EQ(saveError(ini), "The settings file " + ini + " cannot be saved: " + c.cause);
    }
    EXPECT_EQ(readBytes(path("locked/Lumeo.ini")), oldText);
    EXPECT_EQ(QDir(path("locked")).entryList(QDir::Files | QDir::Hidden), QStringList({"Lumeo.ini"}));
    ::chmod(QFile::encodeName(path("locked")).constData(), 0755);
}
