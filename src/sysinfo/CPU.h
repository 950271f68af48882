#pragma once

#include "sysinfo/Common.h"
#include "sysinfo/CpuCache.h"
#include "sysinfo/CpuId.h"

#include <QMap>
#include <QString>
#include <cstdint>
#include <memory>

class CpuClock;

enum TCPUType {
    ctOriginal,
    ctOverDrive,
    ctDualProcessor,
    ctUnknown
};
enum TCPUFamily {
    cfUnknown,
    cf8086,
    cf286,
    cf386,
    cf486,
    cfPentium,
    cfP6,
    cfPentium4
};
enum TCPUBrand {
    brUnsupported,
    brCeleron,
    brP3,
    brP3Xeon,
    brP4
};

// The vendor table, by vendor index 1 to 8 (0: not recognised).
struct CpuVendor {
    const char *vendorId; // what CPUID function 0 answers
    const char *name;
    const char *shortName;
};
const CpuVendor *cpuVendor(std::uint32_t vendorIndex);

// The feature flags of CPUID function 1 and the extended function 0x80000001.
class TCPUFeatures {
public:
    void GetInfo(CpuidSource &cpuid);

    bool _3DNOW() const { return bit(m_extended.edx, 31); }
    bool EX_3DNOW() const { return bit(m_extended.edx, 30); }
    bool EX_MMX() const { return bit(m_extended.edx, 22) || bit(m_extended.edx, 24); }
    bool TM() const { return bit(m_standard.edx, 29); }
    bool HTT() const { return bit(m_standard.edx, 28); }
    bool SS() const { return bit(m_standard.edx, 27); }
    bool SSE2() const { return bit(m_standard.edx, 26); }
    bool SSE() const { return bit(m_standard.edx, 25); }
    bool FXSR() const { return bit(m_standard.edx, 24); }
    bool MMX() const { return bit(m_standard.edx, 23); }
    bool ACPI() const { return bit(m_standard.edx, 22); }
    bool DS() const { return bit(m_standard.edx, 21); }
    bool CLFSH() const { return bit(m_standard.edx, 19); }
    bool PSN() const { return bit(m_standard.edx, 18); }
    bool PSE36() const { return bit(m_standard.edx, 17); }
    bool PAT() const { return bit(m_standard.edx, 16); }
    bool CMOV() const { return bit(m_standard.edx, 15); }
    bool MCA() const { return bit(m_standard.edx, 14); }
    bool PGE() const { return bit(m_standard.edx, 13); }
    bool MTRR() const { return bit(m_standard.edx, 12); }
    bool SEP() const { return bit(m_standard.edx, 11); }
    bool APIC() const { return bit(m_standard.edx, 9); }
    bool CX8() const { return bit(m_standard.edx, 8); }
    bool MCE() const { return bit(m_standard.edx, 7); }
    bool PAE() const { return bit(m_standard.edx, 6); }
    bool MSR() const { return bit(m_standard.edx, 5); }
    bool TSC() const { return bit(m_standard.edx, 4); }
    bool PSE() const { return bit(m_standard.edx, 3); }
    bool DE() const { return bit(m_standard.edx, 2); }
    bool VME() const { return bit(m_standard.edx, 1); }
    bool FPU() const { return bit(m_standard.edx, 0); }

private:
    static bool bit(std::uint32_t value, int n) { return (value >> n) & 1u; }
    CpuRegisters m_standard;
    CpuRegisters m_extended;
};

// The first processor: vendor, family, model, product and code name,
// features, caches and its clock measured against the performance counter.
// Where there is no CPUID (ARM), what /proc/cpuinfo says.
class TCPU {
public:
    // The running processor.
    TCPU();
    // Another one: `cpuid` null for a processor without CPUID, `clock` null
    // for one whose clock cannot be measured.
    TCPU(CpuidSource *cpuid, CpuClock *clock, QString cpuinfoPath, int processorCount);
    ~TCPU();

    void GetInfo();

    TExceptionMode ExceptionMode() const { return m_exceptionMode; }
    void setExceptionMode(TExceptionMode mode) { m_exceptionMode = mode; }
    int Count() const { return m_count; }
    const QString &Vendor() const { return m_vendor; }
    const QString &FriendlyName() const { return m_friendlyName; }
    const QString &CodeName() const { return m_codeName; }
    int Frequency() const { return m_frequency; }
    int Family() const { return m_family; }
    int Model() const { return m_model; }
    int Stepping() const { return m_stepping; }
    const TCPUFeatures &Features() const { return m_features; }
    const TCPUCache &Cache() const { return m_cache; }
    const QString &SerialNumber() const { return m_serialNumber; }
    bool FDIVBug() const { return m_fdivBug; }
    TCPUType CPUType() const { return m_cpuType; }
    TCPUFamily FamilyType() const { return m_familyType; }
    TCPUBrand BrandType() const { return m_brandType; }
    // What the about box reads besides the published values.
    const QString &BrandString() const { return m_brandString; }
    std::uint32_t VendorIndex() const { return m_vendorIndex; }

private:
    void readCpuinfo();
    void identifyWithoutCpuid();
    void identify();

    std::unique_ptr<CpuidSource> m_ownCpuid;
    std::unique_ptr<CpuClock> m_ownClock;
    CpuidSource *m_cpuid;
    CpuClock *m_clock;
    QString m_cpuinfoPath;
    int m_processorCount;
    QMap<QString, QString> m_cpuinfo;

    int m_frequency = 0;
    TCPUFeatures m_features;
    QString m_vendorIdentifier, m_identifier;
    int m_count = 0;
    int m_family = 0, m_stepping = 0, m_model = 0;
    QString m_friendlyName;
    std::uint32_t m_signatureType = 0;
    std::uint32_t m_stdLevel = 0;
    TCPUCache m_cache;
    QString m_serialNumber;
    bool m_fdivBug = false;
    QString m_vendorID;
    QString m_brandString;
    std::uint32_t m_brandID = 0;
    std::uint32_t m_vendorIndex = 0;
    QString m_codeName;
    QString m_vendor;
    TExceptionMode m_exceptionMode = emMessage;
    CpuRegisters m_standard;
    std::uint32_t m_extModel = 0, m_extFamily = 0;
    TCPUBrand m_brandType = brUnsupported;
    TCPUFamily m_familyType = cfUnknown;
    TCPUType m_cpuType = ctOriginal;
    std::uint32_t m_extStepping = 0;
    CpuRegisters m_extended;
    std::uint32_t m_extLevel = 0;
    QString m_processorNameString;
    int m_registryMHz = 0;
};
