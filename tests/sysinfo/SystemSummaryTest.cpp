#include "sysinfo/SystemSummary.h"
#include "base/Exception.h"
#include "sysinfo/Common.h"

#include <gtest/gtest.h>
#include <stdexcept>

namespace {

using Platform = OSVersionRecord::Platform;

OSVersionRecord windows(Platform platform, int major, int minor, std::uint32_t build, const char *csd)
{
    OSVersionRecord v;
    v.platform = platform;
    v.major = major;
    v.minor = minor;
    v.build = build;
    v.csdVersion = QString::fromLatin1(csd);
    return v;
}

OSVersionRecord linuxVersion(const char *release, const char *distribution)
{
    OSVersionRecord v;
    v.platform = OSVersionRecord::Linux;
    v.release = QString::fromLatin1(release);
    v.distribution = QString::fromUtf8(distribution);
    return v;
}

struct KindCase {
    const char *what;
    OSVersionRecord version;
    bool hotfix;
    TOSKind kind;
    const char *osName;
    bool isNT;
};

} // namespace

TEST(SystemSummary, KindsNamesAndPredicates)
{
    const KindCase cases[] = {
        {"NT 4 SP6 with the hotfix", windows(Platform::WinNT, 4, 0, 1381, "Service Pack 6"), true, osNT4,
         "Windows NT 4.x Service Pack 6a", true},
        {"NT 4 SP6 without it", windows(Platform::WinNT, 4, 0, 1381, "Service Pack 6"), false, osNT4,
         "Windows NT 4.x Service Pack 6", true},
        {"NT 4 SP5: the hotfix is not asked", windows(Platform::WinNT, 4, 0, 1381, "Service Pack 5"), true, osNT4,
         "Windows NT 4.x Service Pack 5", true},
        {"NT 3.51", windows(Platform::WinNT, 3, 51, 1057, "Service Pack 5"), false, osNT3,
         "Windows NT 3.x Service Pack 5", true},
        {"2000 without a service pack", windows(Platform::WinNT, 5, 0, 2195, ""), false, os2000, "Windows 2000 ", true},
        {"XP SP2", windows(Platform::WinNT, 5, 1, 2600, "Service Pack 2"), false, osXP, "Windows XP Service Pack 2",
         true},
        {"5.2 counts as 2000", windows(Platform::WinNT, 5, 2, 3790, ""), false, os2000, "Windows 2000 ", true},
        {"NT 6 is unknown", windows(Platform::WinNT, 6, 0, 6000, ""), false, osUnknown, "", false},
        {"95", windows(Platform::Win9x, 4, 0, 950, ""), false, os95, "Windows 95", false},
        {"95 A", windows(Platform::Win9x, 4, 0, 950, "A"), false, os95OSR1, "Windows 95 OSR 1", false},
        {"95 B", windows(Platform::Win9x, 4, 0, 1111, " B"), false, os95OSR2, "Windows 95 OSR 2", false},
        {"95 C", windows(Platform::Win9x, 4, 0, 1212, " C"), false, os95OSR25, "Windows 95 OSR 2.5", false},
        {"98", windows(Platform::Win9x, 4, 10, 0x040A07CE, " A "), false, os98, "Windows 98", false},
        {"98 SE: the build's low word", windows(Platform::Win9x, 4, 10, 0x040A08AE, " A "), false, os98SE,
         "Windows 98 Second Edition", false},
        {"ME", windows(Platform::Win9x, 4, 90, 3000, " "), false, osME, "Windows Millenium Edition", false},
        {"9x 4.3", windows(Platform::Win9x, 4, 3, 0, ""), false, osUnknown, "", false},
        {"Linux", linuxVersion("6.1.0-18-amd64", "Debian GNU/Linux 12 (bookworm)"), false, osLinux,
         "Linux 6.1.0-18-amd64 (Debian GNU/Linux 12 (bookworm))", false},
        {"Linux without os-release", linuxVersion("6.18.2", ""), false, osLinux, "Linux 6.18.2", false},
    };
    for (const KindCase &c : cases) {
        SCOPED_TRACE(c.what);
        int asked = 0;
        const SystemSummary s = makeSystemSummary(
            c.version,
            [&] {
                ++asked;
                return c.hotfix;
            },
            "ws7", 0);
        EXPECT_EQ(s.OSKind, c.kind);
        EXPECT_EQ(s.OSName, QString::fromUtf8(c.osName));
        EXPECT_EQ(s.IsNT, c.isNT);
        EXPECT_EQ(s.ClassRoot.endsWith(QLatin1String("Control\\Class")), c.isNT);
        EXPECT_EQ(asked, c.version.csdVersion == QLatin1String("Service Pack 6") ? 1 : 0);
        // Each predicate is true for exactly its own kinds.
        EXPECT_EQ(s.IsNT4, c.kind == osNT4);
        EXPECT_EQ(s.IsNT5, c.kind == os2000 || c.kind == osXP);
        EXPECT_EQ(s.Is2000, c.kind == os2000);
        EXPECT_EQ(s.IsXP, c.kind == osXP);
        EXPECT_EQ(s.Is95, c.kind == os95);
        EXPECT_EQ(s.IsOSR2, c.kind == os95OSR2);
        EXPECT_EQ(s.Is98, c.kind == os98);
        EXPECT_EQ(s.Is98SE, c.kind == os98SE);
        EXPECT_EQ(s.IsME, c.kind == osME);
    }
    EXPECT_EQ(int(osLinux), 12);
}

TEST(SystemSummary, MachineNameAndMemory)
{
    EXPECT_EQ(GetMachineName("ws7.office.example"), "ws7");
    EXPECT_EQ(GetMachineName("Workhorse"), "Workhorse");
    const qint64 sixGiB = qint64(6) << 30;
    const SystemSummary s =
        makeSystemSummary(linuxVersion("6.1", ""), nullptr, GetMachineName("ws7.office.example"), sixGiB);
    EXPECT_EQ(s.MachineName, "WS7");
    EXPECT_EQ(s.TotalPhysMem, sixGiB);
    // The running system: a name without a dot, in upper case, and memory.
    EXPECT_FALSE(systemSummary().MachineName.contains(QLatin1Char('.')));
    EXPECT_EQ(systemSummary().MachineName, systemSummary().MachineName.toUpper());
    EXPECT_TRUE(systemSummary().OSName.startsWith(QLatin1String("Linux ")));
    EXPECT_GT(systemSummary().TotalPhysMem, qint64(64) << 20);
}

TEST(SystemSummary, PrettyNameFromOsRelease)
{
    const std::pair<const char *, const char *> cases[] = {
        {"NAME=\"Debian GNU/Linux\"\nPRETTY_NAME=\"Debian GNU/Linux 12 (bookworm)\"\nID=debian\n",
         "Debian GNU/Linux 12 (bookworm)"},
        {"PRETTY_NAME='Fedora Linux 40 (Workstation Edition)'", "Fedora Linux 40 (Workstation Edition)"},
        {"PRETTY_NAME=Alpine", "Alpine"},
        {"PRETTY_NAME=\"Say \\\"hi\\\" \\\\ \\$HOME\"\n", "Say \"hi\" \\ $HOME"},
        {"# PRETTY_NAME=\"commented\"\nNAME=Arch\n", ""},
        {"", ""},
    };
    for (const auto &[text, expected] : cases)
        EXPECT_EQ(prettyNameFromOsRelease(text), QString::fromUtf8(expected)) << text;
}

TEST(SystemSummary, GuardedStepsRaiseReportOrStaySilent)
{
    QStringList shown;
    setGuardedMessageSink([&](const QString &text) { shown << text; });
    auto fails = [] { throw Exception(QStringLiteral("no sockets")); };
    auto failsInTheLibrary = [] { throw std::runtime_error("bad data"); };

    try {
        CallGuarded("TWinsock.GetInfo", emRaise, fails);
        ADD_FAILURE() << "emRaise let the step's failure pass";
    } catch (const Exception &e) {
        EXPECT_EQ(e.message(), "TWinsock.GetInfo: no sockets");
    }
    CallGuarded("TCPUCache.GetInfo", emMessage, failsInTheLibrary);
    CallGuarded("TDevices.GetInfo", emSilent, fails);
    bool ran = false;
    CallGuarded("TTCPIP.GetInfo", emMessage, [&] { ran = true; });
    EXPECT_TRUE(ran);
    EXPECT_EQ(shown, QStringList{"TCPUCache.GetInfo: bad data"});
    setGuardedMessageSink(nullptr);
}
