#include "sysinfo/CPU.h"
#include "sysinfo/CpuClock.h"
#include "sysinfo/CpuCodeNames.h"
#include "sysinfo/SysinfoFixtures.h"

#include <gtest/gtest.h>
#include <vector>

namespace {

// A made-up clock: the counter advances one tick per read at 10 MHz, the
// time-stamp counter at a set rate in MHz, which each sample may change.
class FakeClock : public CpuClock {
public:
    std::vector<std::uint64_t> mhzBySample; // the last one repeats
    std::int64_t frequency = 10'000'000;
    bool priorityReadable = true;
    int raised = 0, restored = 0;

    explicit FakeClock(std::vector<std::uint64_t> mhz) : mhzBySample(std::move(mhz)) {}
    std::int64_t counterFrequency() override { return frequency; }
    std::int64_t counter() override { return ++m_ticks; }
    std::uint64_t timestamp() override
    {
        const std::uint64_t mhz = mhzBySample[std::min<std::size_t>(std::size_t(m_sample), mhzBySample.size() - 1)];
        return m_base + std::uint64_t(m_ticks - m_sampleStart) * mhz / 10; // ten ticks a microsecond
    }
    bool raisePriority() override
    {
        // Each sample raises once: the rate of the next sample starts here.
        if (raised > 0) {
            m_base = timestamp();
            m_sampleStart = m_ticks;
            ++m_sample;
        }
        ++raised;
        return priorityReadable;
    }
    void restorePriority() override { ++restored; }

private:
    std::int64_t m_ticks = 1000;
    std::int64_t m_sampleStart = 1000;
    std::uint64_t m_base = 0;
    int m_sample = 0;
};

// Processors as their CPUID answers them.
ReplayCpuid pentium3Coppermine()
{
    ReplayCpuid p;
    p.vendor("GenuineIntel");
    // Brand index 2, and the serial number feature (bit 18) among the usual ones.
    p.signature(6, 8, 3, 2, 0x0387FBFF);
    p.leaves[3] = {0, 0, 0x89ABCDEF, 0x01234567};
    p.leaf2 = {{0x03020101, 0, 0, 0x0C040882}};
    return p;
}

ReplayCpuid amd(int family, int model, const char *brand)
{
    ReplayCpuid p;
    p.vendor("AuthenticAMD");
    p.signature(family, model, 2);
    p.brand(brand);
    // L1: 64K data and 64K instructions, 2-way, 64 byte lines.
    p.leaves[0x80000005u] = {0xFF08FF08, 0xFF20FF10, 0x40020140, 0x40020140};
    // L2: 256K, 16-way (code 8), 64 byte lines.
    p.leaves[0x80000006u] = {0, 0x41004100, 0x01008140, 0};
    return p;
}

} // namespace

TEST(Cpu, IntelWithoutBrandStringIsNamedFromTheTables)
{
    ReplayCpuid cpuid = pentium3Coppermine();
    FakeClock clock({733});
    TCPU cpu(&cpuid, &clock, sample("no-such-file"), 2);
    cpu.GetInfo();
    EXPECT_EQ(cpu.VendorIndex(), 1u);
    EXPECT_EQ(cpu.Vendor(), "Intel Corporation");
    EXPECT_TRUE(cpu.BrandString().isEmpty());
    EXPECT_EQ(cpu.FriendlyName(), "Pentium III");
    EXPECT_EQ(cpu.CodeName(), QString::fromUtf8("Coppermine (0.18 µm)"));
    EXPECT_EQ(cpu.Frequency(), 733);
    EXPECT_EQ(cpu.Count(), 2);
    EXPECT_EQ(std::make_tuple(cpu.Family(), cpu.Model(), cpu.Stepping()), std::make_tuple(6, 8, 3));
    EXPECT_EQ(std::make_tuple(cpu.BrandType(), cpu.FamilyType()), std::make_tuple(brP3, cfP6));
    EXPECT_TRUE(cpu.Features().PSN() && cpu.Features().SSE() && !cpu.Features().SSE2());
    EXPECT_EQ(cpu.SerialNumber(), "0000-0683-0123-4567-89AB-CDEF");
    EXPECT_FALSE(cpu.FDIVBug());
    // Descriptors 0x82 (256K L2), 0x08 (16K instructions), 0x0C (16K data);
    // the count byte 0x01 is read as a descriptor too.
    EXPECT_EQ(cpu.Cache().Level2(), 256);
    EXPECT_EQ(cpu.Cache().L1Instruction(), 16);
    EXPECT_EQ(cpu.Cache().L1Data(), 16);
    EXPECT_EQ(cpu.Cache().Level1(), 32);
    EXPECT_EQ(cpu.Cache().Descriptions().size(), 8);
    EXPECT_EQ(cpu.Cache().Descriptions().count("Instruction TLB, 4K pages, 4-way set associative, 32 entries"), 2);
}

TEST(Cpu, IntelDescriptorLists)
{
    struct Case {
        const char *what;
        std::vector<CpuRegisters> answers;
        int level2, level1, calls;
    };
    const Case cases[] = {
        {"the later L2 byte wins", {{0x29004301, 0, 0, 0}}, 4096, 0, 1},
        {"trace cache and sectored data cache", {{0x00706601, 0, 0, 0x7B}}, 512, 12 + 8, 1},
        {"two calls: the second answer counts", {{0x00004502, 0, 0, 0}, {0x00004102, 0x68, 0, 0}}, 128, 32, 2},
        {"a zero count reads the first answer", {{0x00004400, 0, 0, 0}}, 1024, 0, 1},
        {"bytes outside the table change nothing", {{0xFFF0B101, 0x80000000, 0, 0}}, 0, 0, 1},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        ReplayCpuid cpuid;
        cpuid.vendor("GenuineIntel");
        cpuid.signature(15, 2, 7);
        cpuid.leaf2 = c.answers;
        TCPUCache cache;
        cache.GetInfo(cpuid, vendorIntel);
        EXPECT_EQ(cache.Level2(), c.level2);
        EXPECT_EQ(cache.Level1(), c.level1);
        EXPECT_EQ(cpuid.leaf2Calls, c.calls);
        EXPECT_EQ(cache.Level3(), 0);
    }
}

TEST(Cpu, AmdAndCyrixCaches)
{
    struct Case {
        const char *brand;
        int family, model;
        int level2;
        const char *friendlyName;
        const char *codeName;
    };
    const Case cases[] = {
        {"AMD Athlon(tm) MP 1800+", 6, 6, 256, "Athlon MP", "Palomino"},
        {"AMD Athlon(tm) XP 2000+", 6, 6, 256, "Athlon XP", "Palomino"},
        {"AMD Duron(tm) Processor", 6, 7, 64, "Duron", "Morgan"},
        // Later families are not sized here and keep their brand string.
        {"AMD EPYC 7B13", 15, 1, 0, "AMD EPYC 7B13", ""},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.brand);
        ReplayCpuid cpuid = amd(c.family, c.model, c.brand);
        TCPU cpu(&cpuid, nullptr, sample("no-such-file"), 1);
        cpu.GetInfo();
        EXPECT_EQ(cpu.VendorIndex(), 2u);
        EXPECT_EQ(cpu.BrandString(), c.brand);
        EXPECT_EQ(cpu.FriendlyName(), c.friendlyName);
        EXPECT_EQ(cpu.CodeName(), c.codeName);
        EXPECT_EQ(cpu.Cache().Level1(), 128);
        EXPECT_EQ(cpu.Cache().Level2(), c.level2);
        EXPECT_EQ(cpu.Frequency(), 0); // no clock to measure against
        const QStringList lines = cpu.Cache().Descriptions();
        EXPECT_TRUE(lines.contains("Data cache 64K, 2-way associative, 64 byte line size, 1 line per tag"));
        EXPECT_TRUE(lines.contains("Data TLB, 4K pages, fully associative, 32 entries"));
        EXPECT_TRUE(lines.contains("L2 Data TLB, 4K pages, 4-way associative, 256 entries"));
        EXPECT_EQ(
            lines.contains(QStringLiteral("Unified cache %1K, 16-way associative, 64 byte line size, 1 line per tag")
                               .arg(c.level2)),
            c.level2 != 0);
    }

    ReplayCpuid cyrix;
    cyrix.vendor("CyrixInstead");
    cyrix.signature(6, 0, 1);
    cyrix.leaves[0x80000005u] = {0, 0, 0x00800000, 0};
    FakeClock clock({200});
    TCPU cpu(&cyrix, &clock, sample("no-such-file"), 1);
    cpu.GetInfo();
    EXPECT_EQ(cpu.Vendor(), "Cyrix Corporation");
    EXPECT_EQ(cpu.Cache().Level1(), 16);
    EXPECT_EQ(cpu.FriendlyName(), "6x86MX (PR166-266)");
}

TEST(Cpu, VendorStrings)
{
    const std::pair<const char *, std::uint32_t> cases[] = {
        {"CentaurHauls", 4},
        {"UMC UMC UMC ", 6},
        {"HygonGenuine", 0},
        {"genuineintel", 0},
    };
    for (const auto &[id, index] : cases) {
        ReplayCpuid cpuid;
        cpuid.vendor(id);
        cpuid.signature(6, 1, 0);
        cpuid.brand("  Some Processor 3185  ");
        TCPU cpu(&cpuid, nullptr, sample("no-such-file"), 1);
        cpu.GetInfo();
        EXPECT_EQ(cpu.VendorIndex(), index) << id;
        if (index == 0) {
            EXPECT_TRUE(cpu.Vendor().isEmpty());
            EXPECT_TRUE(cpu.CodeName().isEmpty());
            EXPECT_EQ(cpu.FriendlyName(), "  Some Processor 3185  ");
        }
    }
}

TEST(Cpu, CodeNameRows)
{
    struct Case {
        CpuModelKey key;
        const char *friendlyName;
        const char *codeName;
    };
    // The brand string and code name before the look-up.
    const char *const brand = "Brand";
    const Case cases[] = {
        {{vendorIntel, 6, 5, 0, 0, 0, 0}, "Celeron", "Covington (0,25µm)"}, // no L2 descriptor
        {{vendorIntel, 6, 5, 0, 0, 512, 0}, "Pentium II", "Deschutes (0,25µm)"},
        {{vendorIntel, 6, 5, 0, 0, 1024, 0}, "Pentium II Xeon", "Deschutes (0.25 µm)"},
        {{vendorIntel, 6, 3, 0, 0, 333, 0}, "Pentium II", "P6T (0.25 µm)"},
        {{vendorIntel, 6, 8, 0, 5, 256, 0}, brand, "Old"}, // a brand index without a row
        {{vendorIntel, 5, 5, 0, 0, 0, 0}, "DX4", ""},
        {{vendorIntel, 15, 2, 0, 8, 512, 0}, "Pentium 4", "Northwood"},
        {{vendorIntel, 15, 1, 0, 8, 256, 0}, "Pentium 4", "Willamette"},
        {{vendorIntel, 15, 4, 0, 9, 512, 0}, brand, "Northwood"},
        {{vendorCyrix, 4, 0, 0, 0, 0, 66}, "Cx486SLC/DLC", "M0.5"},
        {{vendorCyrix, 4, 0, 0, 0, 0, 100}, "Cx486DX/DX2/DX4", "M0.7"},
        {{vendorCyrix, 4, 0, 0, 0, 0, 40}, brand, "Old"},
        {{vendorCyrix, 6, 0, 0, 0, 0, 225}, "M-II (PR300-433)", "M2 (0.35-0.25 µm)"},
        {{vendorIDT, 6, 7, 7, 0, 0, 0}, "VIA C3", "Samuel 2 (0.13µm)"},
        {{vendorIDT, 6, 7, 8, 0, 0, 0}, "VIA C3", "Ezra (0.13µm)"},
        {{vendorUMC, 4, 3, 0, 0, 0, 0}, "U486DX2", ""},
        {{vendorUnknown, 6, 8, 0, 2, 256, 733}, brand, "Old"},
    };
    for (const Case &c : cases) {
        QString friendlyName = QString::fromLatin1(brand), codeName = QStringLiteral("Old");
        lookUpCodeName(c.key, friendlyName, codeName);
        const QString row =
            QStringLiteral("vendor %1 family %2 model %3").arg(c.key.vendorIndex).arg(c.key.family).arg(c.key.model);
        EXPECT_EQ(friendlyName, QString::fromUtf8(c.friendlyName)) << row.toStdString();
        EXPECT_EQ(codeName, QString::fromUtf8(c.codeName)) << row.toStdString();
    }
}

TEST(Cpu, WithoutCpuidTheKernelsDescription)
{
    struct Case {
        const char *file;
        const char *brand;
        const char *vendor;
        int frequency, family, model;
    };
    const Case cases[] = {
        {"arm64-cpuinfo", "ARM processor, part 0xd0c", "ARM", 0, 8, 0xd0c},
        {"armv7-cpuinfo", "ARMv7 Processor rev 5 (v7l)", "ARM", 912, 7, 0xc07},
        {"no-such-file", "", "", 0, 0, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.file);
        FakeClock clock({1000});
        TCPU cpu(nullptr, &clock, sample(c.file), 4);
        cpu.GetInfo();
        EXPECT_EQ(cpu.BrandString(), c.brand);
        EXPECT_EQ(cpu.FriendlyName(), c.brand);
        EXPECT_EQ(cpu.Vendor(), c.vendor);
        EXPECT_EQ(cpu.VendorIndex(), 0u);
        EXPECT_EQ(cpu.Frequency(), c.frequency);
        EXPECT_EQ(cpu.Family(), c.family);
        EXPECT_EQ(cpu.Model(), c.model);
        EXPECT_EQ(cpu.Count(), 4);
        EXPECT_EQ(clock.raised, 0); // nothing to measure with
    }
}

TEST(CpuClock, SamplesUntilTheLastThreeAgree)
{
    struct Case {
        const char *what;
        std::vector<std::uint64_t> mhz; // by sample
        int samples;
        std::uint32_t normalised;
    };
    std::vector<std::uint64_t> alternating;
    for (int i = 0; i < 25; ++i)
        alternating.push_back(i % 2 ? 2500 : 2600);
    const Case cases[] = {
        {"steady", {2600}, 3, 2600},
        {"settles after a slow start", {2000, 2100, 2600}, 5, 2380},
        {"never steady", alternating, 20, 2550},
        {"close enough: a sample within 1 MHz of the mean", {2600, 2601, 2599}, 3, 2600},
        {"not close enough: 2 MHz off", {2600, 2602, 2598}, 5, 2600},
        {"a customary clock", {733}, 3, 733},
        {"snapped", {498}, 3, 500},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        FakeClock clock(c.mhz);
        const ClockMeasurement m = measureClock(clock);
        EXPECT_EQ(m.samples, c.samples);
        EXPECT_EQ(m.normalised, c.normalised);
        // 1000 ticks of a 10 MHz counter are 100 µs a sample.
        EXPECT_EQ(m.microseconds, std::uint32_t(100 * c.samples));
        EXPECT_EQ(clock.raised, c.samples);
        EXPECT_EQ(clock.restored, c.samples);
    }

    FakeClock unreadable({2600});
    unreadable.priorityReadable = false;
    EXPECT_EQ(measureClock(unreadable).normalised, 2600u);
    EXPECT_EQ(unreadable.restored, 0);

    FakeClock noCounter({2600});
    noCounter.frequency = 0;
    const ClockMeasurement none = measureClock(noCounter);
    EXPECT_EQ(std::make_tuple(none.raw, none.normalised, none.cycles, none.microseconds, none.samples),
              std::make_tuple(0u, 0u, 0u, 0u, 0));
}

TEST(CpuClock, RoundingAndSnapping)
{
    const std::pair<std::uint32_t, std::uint32_t> snaps[] = {
        {1799, 1800}, {2010, 2020}, {1233, 1233}, {999, 1000}, {732, 733},   {498, 500},   {710, 720},
        {2596, 2600}, {2594, 2590}, {64, 66},     {0, 0},      {3391, 3390}, {1941, 1933}, {1942, 1950},
    };
    for (const auto &[mhz, snapped] : snaps)
        EXPECT_EQ(snapClock(mhz), snapped) << mhz;

    struct Rounding {
        std::uint32_t cycles, microseconds, raw;
    };
    const Rounding roundings[] = {
        {219900, 300, 733},
        {1465, 2, 732} /* 732.5: a tie to even */,
        {1467, 2, 734},
        {1000, 0, 0},
    };
    for (const Rounding &r : roundings) {
        const ClockRounding got = roundClock(r.cycles, r.microseconds);
        EXPECT_EQ(got.raw, r.raw) << r.cycles << "/" << r.microseconds;
        EXPECT_EQ(got.normalised, r.raw) << r.cycles << "/" << r.microseconds;
    }
}
