#include "application/AboutText.h"
#include "sysinfo/CPU.h"
#include "sysinfo/SystemSummary.h"
#include "sysinfo/VersionInfo.h"

#include <gtest/gtest.h>

TEST(AboutText, ProcessorLine)
{
    struct Case {
        const char *brand;
        std::uint32_t vendor;
        const char *friendlyName;
        int mhz;
        const char *line;
    };
    const Case cases[] = {
        {"AMD EPYC", 2, "AMD EPYC", 2600, "CPU: AMD EPYC - 2600 Mhz"},
        // The brand string as the processor gives it, leading blanks too.
        {"      Intel(R) Pentium(R) 4 CPU 2.40GHz", 1, "Pentium 4", 2400,
         "CPU:       Intel(R) Pentium(R) 4 CPU 2.40GHz - 2400 Mhz"},
        {"", 1, "Pentium III", 733, "CPU: Intel Pentium III - 733 Mhz"},
        {"   ", 8, "Crusoe TM5x00", 600, "CPU: Transmeta Crusoe TM5x00 - 600 Mhz"},
        {"", 3, "6x86MX (PR166-266)", 0, "CPU: Cyrix 6x86MX (PR166-266) - 0 Mhz"},
        {"", 0, "", 0, "CPU: Unknown processor - 0 Mhz"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(cpuLine(c.brand, c.vendor, c.friendlyName, c.mhz), c.line) << c.brand << "/" << c.vendor;
}

TEST(AboutText, MemoryInWholeKilobytesWithTheLocalesSeparator)
{
    struct Case {
        const char *locale;
        qint64 bytes;
        const char *line;
    };
    const qint64 MiB = qint64(1) << 20;
    const Case cases[] = {
        {"en_US", 512 * MiB, "Memory: 524,288 KB"},
        {"de_DE", 512 * MiB, "Memory: 524.288 KB"},
        {"en_US", 24 * 1024 * MiB, "Memory: 25,165,824 KB"}, // more than 32 bits of bytes
        {"en_US", 1535, "Memory: 1 KB"},
        {"en_US", 1536, "Memory: 2 KB"},
        {"C", 512 * MiB, "Memory: 524,288 KB"}, // the C locale leaves the separator out unless asked
        {"fr_FR", 512 * MiB, "Memory: 524\u202F288 KB"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(memoryLine(c.bytes, QLocale(QString::fromLatin1(c.locale))), QString::fromUtf8(c.line)) << c.locale;
}

TEST(AboutText, VersionAndDescriptionLines)
{
    TVersionInfo v;
    EXPECT_EQ(versionLine(v), "Version 0.0 [Build: 0] - ");
    EXPECT_EQ(descriptionLine(v), "Application Description"); // both empty: the same
    v.Major = 5;
    v.Build = 300;
    v.Comments = "Win 9x, Me, NT4, 2K, XP compatible";
    v.ProductName = "Lumeo";
    v.CompanyName = "Korvell";
    v.FileDescription = "Network scanning tool";
    EXPECT_EQ(versionLine(v), "Version 5.0 [Build: 300] - Win 9x, Me, NT4, 2K, XP compatible");
    EXPECT_EQ(descriptionLine(v), "Korvell Network scanning tool");
    v.FileDescription = "LUMEO";
    EXPECT_EQ(descriptionLine(v), "Application Description");
}

TEST(AboutText, AllLinesOfOneMachine)
{
    TVersionInfo v;
    v.ProductName = "Lumeo";
    v.LegalCopyright = "Copyright 2025 Korvell";
    OSVersionRecord os;
    os.platform = OSVersionRecord::Linux;
    os.release = "6.1.0-18-arm64";
    os.distribution = "Debian GNU/Linux 12 (bookworm)";
    const SystemSummary summary = makeSystemSummary(os, nullptr, "pi", qint64(8) << 30);
    // A processor without CPUID, described by its kernel.
    TCPU cpu(nullptr, nullptr, QStringLiteral(LUMEO_SYSINFO_SAMPLES "/armv7-cpuinfo"), 4);
    cpu.GetInfo();
    const AboutTexts t = aboutTexts(v, cpu, summary, QLocale(QLocale::English, QLocale::UnitedStates));
    EXPECT_EQ(t.product, "Lumeo");
    EXPECT_EQ(t.copyright, "Copyright 2025 Korvell");
    EXPECT_EQ(t.version, "Version 0.0 [Build: 0] - ");
    EXPECT_EQ(t.os, "OS: Linux 6.1.0-18-arm64 (Debian GNU/Linux 12 (bookworm))");
    EXPECT_EQ(t.cpu, "CPU: ARMv7 Processor rev 5 (v7l) - 912 Mhz");
    EXPECT_EQ(t.memory, "Memory: 8,388,608 KB");
    EXPECT_FALSE(t.notice.isEmpty());
}
