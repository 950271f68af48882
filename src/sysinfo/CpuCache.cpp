#include "sysinfo/CpuCache.h"

#include <cstring>

namespace {

struct Descriptor {
    std::uint8_t code;
    int level2;        // 0: says nothing of the L2 size
    int l1Instruction; // KB added
    int l1Data;
    const char *text; // null: no description
};

// Intel's cache and TLB descriptor bytes (CPUID function 2).
const Descriptor kDescriptors[] = {
    {0x01, 0, 0, 0, "Instruction TLB, 4K pages, 4-way set associative, 32 entries"},
    {0x02, 0, 0, 0, "Instruction TLB, 4M pages, fully associative, 2 entries"},
    {0x03, 0, 0, 0, "Data TLB, 4K pages, 4-way set associative, 64 entries"},
    {0x04, 0, 0, 0, "Data TLB, 4M pages, 4-way set associative, 8 entries"},
    {0x06, 0, 12, 0, "Instruction cache, 32 byte cache line, 4-way set associative, 8K"},
    {0x08, 0, 16, 0, "Instruction cache, 32 byte cache line, 4-way set associative, 16K"},
    {0x0A, 0, 0, 8, "Data cache, 32 byte cache line, 2-way set associative, 8K"},
    {0x0C, 0, 0, 16, "Data cache, 32 byte cache line, 4-way set associative, 16K"},
    {0x22, 512, 0, 0, nullptr},
    {0x23, 1024, 0, 0, nullptr},
    {0x25, 2048, 0, 0, nullptr},
    {0x29, 4096, 0, 0, nullptr},
    {0x40, 0, 0, 0, "No L2 cache, or no L3 cache when there is an L2 cache"},
    {0x41, 128, 0, 0, "Unified cache, 32 byte cache line, 4-way set associative, 128K"},
    {0x42, 256, 0, 0, "Unified cache, 32 byte cache line, 4-way set associative, 256K"},
    {0x43, 512, 0, 0, "Unified cache, 32 byte cache line, 4-way set associative, 512K"},
    {0x44, 1024, 0, 0, "Unified cache, 32 byte cache line, 4-way set associative, 1M"},
    {0x45, 2048, 0, 0, "Unified cache, 32 byte cache line, 4-way set associative, 2M"},
    {0x50, 0, 0, 0, "Instruction TLB, 4K and 2M or 4M pages, 64 entries"},
    {0x51, 0, 0, 0, "Instruction TLB, 4K and 2M or 4M pages, 128 entries"},
    {0x52, 0, 0, 0, "Instruction TLB, 4K and 2M or 4M pages, 256 entries"},
    {0x5B, 0, 0, 0, "Data TLB, 4K and 4M pages, 64 entries"},
    {0x5C, 0, 0, 0, "Data TLB, 4K and 4M pages, 128 entries"},
    {0x5D, 0, 0, 0, "Data TLB, 4K and 4M pages, 256 entries"},
    {0x66, 0, 0, 8, "Data cache, sectored, 64 byte cache line, 4 way set associative, 8K"},
    {0x67, 0, 0, 16, "Data cache, sectored, 64 byte cache line, 4 way set associative, 16K"},
    {0x68, 0, 0, 32, "Data cache, sectored, 64 byte cache line, 4 way set associative, 32K"},
    {0x70, 0, 12, 0, "Instruction Trace cache, 8 way set associative, 12K uOps"},
    {0x71, 0, 16, 0, "Instruction Trace cache, 8 way set associative, 16K uOps"},
    {0x72, 0, 32, 0, "Instruction Trace cache, 8 way set associative, 32K uOps"},
    {0x79, 128, 0, 0, "Unified cache, sectored, 64 byte cache line, 8 way set associative, 128K"},
    {0x7A, 256, 0, 0, "Unified cache, sectored, 64 byte cache line, 8 way set associative, 256K"},
    {0x7B, 512, 0, 0, "Unified cache, sectored, 64 byte cache line, 8 way set associative, 512K"},
    {0x7C, 1024, 0, 0, "Unified cache, sectored, 64 byte cache line, 8 way set associative, 1M"},
    {0x82, 256, 0, 0, "Unified cache, 32 byte cache line, 8 way set associative, 256K"},
    {0x83, 512, 0, 0, nullptr},
    {0x84, 1024, 0, 0, "Unified cache, 32 byte cache line, 8 way set associative, 1M"},
    {0x85, 2048, 0, 0, "Unified cache, 32 byte cache line, 8 way set associative, 2M"},
};

const Descriptor *descriptor(std::uint8_t code)
{
    for (const Descriptor &d : kDescriptors)
        if (d.code == code)
            return &d;
    return nullptr;
}

// The associativity codes of AMD's extended cache functions.
QString associativity(std::uint32_t code)
{
    switch (code) {
    case 0:
        return QStringLiteral("Off");
    case 1:
        return QStringLiteral("Direct mapped");
    case 2:
        return QStringLiteral("2-way associative");
    case 4:
        return QStringLiteral("4-way associative");
    case 6:
        return QStringLiteral("8-way associative");
    case 8:
        return QStringLiteral("16-way associative");
    default:
        return QStringLiteral("fully associative");
    }
}

std::uint32_t bits(std::uint32_t value, int low, int count) { return (value >> low) & ((1u << count) - 1); }

QString tlbLine(const char *what, std::uint32_t assoc, std::uint32_t entries)
{
    return QStringLiteral("%1, %2, %3 entries").arg(QLatin1String(what), associativity(assoc)).arg(entries);
}

// A cache of 0x80000005: size, associativity, lines per tag, line size.
QString l1CacheLine(const char *what, std::uint32_t reg)
{
    return QStringLiteral("%1 %2K, %3, %4 byte line size, %5 line per tag")
        .arg(QLatin1String(what))
        .arg(bits(reg, 24, 8))
        .arg(associativity(bits(reg, 16, 8)))
        .arg(bits(reg, 0, 8))
        .arg(bits(reg, 8, 8));
}

} // namespace

QString cpuBrandString(CpuidSource &cpuid)
{
    char text[49] = {};
    for (std::uint32_t i = 0; i < 3; ++i) {
        const CpuRegisters r = cpuid.cpuid(0x80000002u + i);
        const std::uint32_t words[4] = {r.eax, r.ebx, r.ecx, r.edx};
        std::memcpy(text + 16 * i, words, sizeof words);
    }
    return QString::fromLatin1(text); // up to the first zero byte
}

void TCPUCache::GetInfo(CpuidSource &cpuid, std::uint32_t vendorIndex)
{
    const std::uint32_t signature = cpuid.cpuid(1).eax;
    m_family = bits(signature, 8, 4);
    m_model = bits(signature, 4, 4);
    m_stepping = bits(signature, 0, 4);
    m_brandString = cpuBrandString(cpuid);
    m_descriptions.clear();
    m_l1Data = m_l1Instruction = m_level1 = m_level2 = m_level3 = 0;
    switch (vendorIndex) {
    case vendorIntel:
        intelDescriptors(cpuid);
        break;
    case vendorAMD:
        amdCaches(cpuid);
        break;
    case vendorCyrix:
        cyrixCaches(cpuid);
        break;
    default:
        break;
    }
}

void TCPUCache::intelDescriptors(CpuidSource &cpuid)
{
    // The low byte of the first answer says how many calls the full list
    // takes; the last answer is the one read.
    CpuRegisters r = cpuid.cpuid(2);
    const int calls = int(r.eax & 0xFF);
    for (int i = 1; i < calls; ++i)
        r = cpuid.cpuid(2);
    const std::uint32_t regs[4] = {r.eax, r.ebx, r.ecx, r.edx};
    for (int i = 0; i < 16; ++i)
        m_descriptors[std::size_t(i)] = std::uint8_t(regs[i / 4] >> (8 * (i % 4)));
    for (std::uint8_t code : m_descriptors) {
        const Descriptor *d = descriptor(code);
        if (!d)
            continue;
        if (d->level2)
            m_level2 = d->level2;
        m_l1Instruction += d->l1Instruction;
        m_l1Data += d->l1Data;
        if (d->text)
            m_descriptions << QString::fromLatin1(d->text);
    }
    m_level1 = m_l1Data + m_l1Instruction;
}

void TCPUCache::amdCaches(CpuidSource &cpuid)
{
    const CpuRegisters l1 = cpuid.cpuid(0x80000005u);
    const CpuRegisters l2 = cpuid.cpuid(0x80000006u);
    m_amdWords = {l1.eax, l1.ebx, l1.ecx, l1.edx, l2.eax, l2.ebx, l2.ecx};
    m_l1Data = int(bits(l1.ecx, 24, 8));
    m_l1Instruction = int(bits(l1.edx, 24, 8));
    m_level1 = m_l1Data + m_l1Instruction;
    // Only the Athlon and Duron of family 6, models 6 and 7, are sized here.
    if (m_family == 6 && (m_model == 6 || m_model == 7) && bits(l2.ecx, 24, 8) != 0)
        m_level2 = m_brandString.contains(QLatin1String("Duron")) ? 64 : 256;

    m_descriptions << tlbLine("Instruction TLB, 2M/4M pages", bits(l1.eax, 8, 8), bits(l1.eax, 0, 8))
                   << tlbLine("Instruction TLB, 4K pages", bits(l1.ebx, 8, 8), bits(l1.ebx, 0, 8))
                   << l1CacheLine("Instruction cache", l1.edx)
                   << tlbLine("Data TLB, 2M/4M pages", bits(l1.eax, 24, 8), bits(l1.eax, 16, 8))
                   << tlbLine("Data TLB, 4K pages", bits(l1.ebx, 24, 8), bits(l1.ebx, 16, 8))
                   << l1CacheLine("Data cache", l1.ecx)
                   << tlbLine("L2 Instruction TLB, 2M/4M pages", bits(l2.eax, 12, 4), bits(l2.eax, 0, 12))
                   << tlbLine("L2 Instruction TLB, 4K pages", bits(l2.ebx, 12, 4), bits(l2.ebx, 0, 12))
                   << tlbLine("L2 Data TLB, 2M/4M pages", bits(l2.eax, 28, 4), bits(l2.eax, 16, 12))
                   << tlbLine("L2 Data TLB, 4K pages", bits(l2.ebx, 28, 4), bits(l2.ebx, 16, 12));
    if (m_level2 != 0)
        m_descriptions << QStringLiteral("Unified cache %1K, 16-way associative, %2 byte line size, %3 line per tag")
                              .arg(m_level2)
                              .arg(bits(l2.ecx, 0, 8))
                              .arg(bits(l2.ecx, 8, 4));
}

void TCPUCache::cyrixCaches(CpuidSource &cpuid)
{
    m_cyrix = cpuid.cpuid(0x80000005u);
    for (int i = 0; i < 4; ++i)
        if (bits(m_cyrix.ecx, 8 * i, 8) == 0x80)
            m_level1 = 16;
}
