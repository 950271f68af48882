#pragma once

#include "sysinfo/CpuId.h"

#include <QString>
#include <QStringList>
#include <array>
#include <cstdint>

// The vendors the identification knows, by their number in the vendor table.
enum CpuVendorIndex : std::uint32_t {
    vendorUnknown = 0,
    vendorIntel,
    vendorAMD,
    vendorCyrix,
    vendorIDT,
    vendorNexGen,
    vendorUMC,
    vendorRise,
    vendorTransmeta
};

// The processor's caches as CPUID describes them, in KB: Intel through
// its descriptor bytes, AMD through its extended functions, Cyrix through
// one flag byte.
class TCPUCache {
public:
    void GetInfo(CpuidSource &cpuid, std::uint32_t vendorIndex);

    int Level1() const { return m_level1; }
    int Level2() const { return m_level2; }
    int Level3() const { return m_level3; }
    int L1Data() const { return m_l1Data; }
    int L1Instruction() const { return m_l1Instruction; }
    // One line of text for each thing the processor told of its caches.
    const QStringList &Descriptions() const { return m_descriptions; }

private:
    void intelDescriptors(CpuidSource &cpuid);
    void amdCaches(CpuidSource &cpuid);
    void cyrixCaches(CpuidSource &cpuid);

    std::uint32_t m_family = 0, m_stepping = 0, m_model = 0;
    QString m_brandString;
    int m_level2 = 0, m_level1 = 0, m_l1Data = 0, m_l1Instruction = 0;
    QStringList m_descriptions;
    int m_level3 = 0;
    std::array<std::uint8_t, 16> m_descriptors{};
    std::array<std::uint32_t, 7> m_amdWords{};
    CpuRegisters m_cyrix;
};

// The brand string of the extended functions 0x80000002 to 0x80000004, up
// to its first zero byte, blanks kept.
QString cpuBrandString(CpuidSource &cpuid);
