#include "application/SettingsStore.h"
#include "base/Exception.h"
#include "support/Permissions.h"
#include "support/TestFiles.h"

#include <QDir>
#include <QFile>
#include <QSettings>

#include <QFileInfo>
#include <QTemporaryDir>
#include <functional>
#include <gtest/gtest.h>
#include <unistd.h>
#include <vector>

namespace {

class IniStore : public TemporaryFiles {
protected:
    QString iniPath() const { return path("Korvell/Lumeo.ini"); }
    void writeIni(const QByteArray &text)
    {
        QDir().mkpath(dir.filePath("Korvell"));
        writeBytes(iniPath(), text);
    }
};

} // namespace

TEST_F(IniStore, NoFileIsNoValuesAndNoFailure)
{
    IniSettingsStore store(iniPath());
    EXPECT_TRUE(store.read().isEmpty());
}

TEST(IniSettingsStorePath, FollowsXdgConfigHome)
{
    const QByteArray old = qgetenv("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", "/tmp/lumeo-config-test");
    EXPECT_EQ(IniSettingsStore::defaultPath(), "/tmp/lumeo-config-test/Korvell/Lumeo.ini");
    qputenv("XDG_CONFIG_HOME", old);
}

// Texts of every kind come back as written, under names with parentheses.
TEST_F(IniStore, WrittenValuesReadBackAsTheSameText)
{
    const SettingsStore::Values values = {
        {"NormPos(1024x768)", "10,20,723,524"},
        {"NormPos", "-5, 7 ,1,2"},
        {"LastFile", "/home/ann/a, b \"quoted\" \\back\\ ünï.lu"},
        {"Ping_Size", "@ByteArray(not a type)"},
        {"DNS", "True"},
        {"Empty", ""},
        {"Lines", "one\ntwo\tthree"},
    };
    IniSettingsStore store(iniPath());
    store.write(values);
    const QMap<QString, QString> back = IniSettingsStore(iniPath()).read();
    ASSERT_EQ(back.size(), values.size());
    for (const auto &[name, text] : values)
        EXPECT_EQ(back.value(name), text) << name.toStdString();
    const QByteArray bytes = readBytes(iniPath());
    EXPECT_TRUE(bytes.startsWith("[4.0]\n")) << bytes.toStdString();
    // Nothing but the settings file is left in its folder.
    EXPECT_EQ(QDir(dir.filePath("Korvell")).entryList(QDir::Files | QDir::Hidden), QStringList({"Lumeo.ini"}));
}

// Values written by hand or by another program.
TEST_F(IniStore, HandWrittenValues)
{
    writeIni("[General]\nDNS=False\n[4.0]\nNormPos=10, 20, 30, 40\nMinMaxPos(800x600)=-1,-1,-1,-1\n"
             "LastFile=\"/srv/a,b.lu\"\ndns=true\nPing_Size= 64 \n");
    const QMap<QString, QString> values = IniSettingsStore(iniPath()).read();
    EXPECT_EQ(values.value("NormPos"), "10,20,30,40");
    EXPECT_EQ(values.value("MinMaxPos(800x600)"), "-1,-1,-1,-1");
    EXPECT_EQ(values.value("LastFile"), "/srv/a,b.lu");
    EXPECT_EQ(values.value("dns"), "true");
    EXPECT_EQ(values.value("Ping_Size"), "64");
    EXPECT_FALSE(values.contains("DNS")); // another group's value is not ours
}

TEST(IniSettingsStoreRead, UnusableFilesRaiseNamingTheFile)
{
    struct Case {
        const char *what;
        std::function<void(const QString &ini)> make;
        const char *reason;
    };
    const std::vector<Case> cases = {
        {"binary", [](const QString &ini) { writeBytes(ini, QByteArray("[4.0]\nDNS=True\n\0\x01\x02", 16)); },
         "binary data"},
        {"not UTF-8", [](const QString &ini) { writeBytes(ini, "[4.0]\nLastFile=\xff\xfe\xfa\n"); }, "not UTF-8"},
        {"too large", [](const QString &ini) { writeBytes(ini, "[4.0]\n" + QByteArray(2 * 1024 * 1024, 'x')); },
         "larger than"},
        {"a folder", [](const QString &ini) { QDir().mkpath(ini); }, "not a regular file"},
        {"dangling link", [](const QString &ini) { QFile::link(ini + ".nowhere", ini); }, "link to nothing"},
    };
    for (const Case &c : cases) {
        QTemporaryDir dir;
        const QString ini = dir.filePath("Lumeo.ini");
        c.make(ini);
        try {
            IniSettingsStore(ini).read();
            ADD_FAILURE() << c.what << ": no failure";
        } catch (const Exception &e) {
            EXPECT_TRUE(e.message().contains(ini)) << c.what << ": " << e.message().toStdString();
            EXPECT_TRUE(e.message().contains(QLatin1String(c.reason))) << c.what << ": " << e.message().toStdString();
        }
    }
}

TEST_F(IniStore, UnreadableFileRaises)
{
    writeIni("[4.0]\nDNS=True\n");
    QFile::setPermissions(iniPath(), QFileDevice::WriteOwner);
    WithoutPermissionOverride asOwner; // root too is held to the owner's bits
    ASSERT_TRUE(::geteuid() != 0 || asOwner.active());
    EXPECT_THROW(IniSettingsStore(iniPath()).read(), Exception);
}
