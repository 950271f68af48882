#include "sysinfo/CPU.h"

#include "sysinfo/CpuClock.h"
#include "sysinfo/CpuCodeNames.h"
#include "sysinfo/CpuInfoFile.h"

#include <QFile>
#include <cmath>
#include <cstring>
#include <unistd.h>

namespace {

const CpuVendor kVendors[] = {
    {"GenuineIntel", "Intel Corporation", "Intel"}, {"AuthenticAMD", "Advanced Micro Devices", "AMD"},
    {"CyrixInstead", "Cyrix Corporation", "Cyrix"}, {"CentaurHauls", "IDT/Centaur/VIA", "IDT"},
    {"NexGenDriven", "NexGen Inc.", "NexGen"},      {"UMC UMC UMC ", "United Microelectronics Corp", "UMC"},
    {"RiseRiseRise", "Rise Technology", "Rise"},    {"GenuineTMx86", "Transmeta", "Transmeta"},
};

std::uint32_t bits(std::uint32_t value, int low, int count) { return (value >> low) & ((1u << count) - 1); }

QString vendorIdOf(const CpuRegisters &r)
{
    char text[12];
    std::memcpy(text, &r.ebx, 4);
    std::memcpy(text + 4, &r.edx, 4);
    std::memcpy(text + 8, &r.ecx, 4);
    return QString::fromLatin1(text, 12);
}

QString hex4(std::uint32_t value)
{
    return QStringLiteral("%1").arg(value & 0xFFFF, 4, 16, QLatin1Char('0')).toUpper();
}

// The published test of the Pentium's division fault, run on this
// processor's floating-point unit (volatile, so that the compiler does not
// work it out itself).
bool hasFdivBug()
{
    volatile double x = 4195835.0, y = 3145727.0;
    const double rest = (x / y) * y - x;
    return rest != 0.0;
}

} // namespace

const CpuVendor *cpuVendor(std::uint32_t vendorIndex)
{
    return vendorIndex >= 1 && vendorIndex <= std::size(kVendors) ? &kVendors[vendorIndex - 1] : nullptr;
}

void TCPUFeatures::GetInfo(CpuidSource &cpuid)
{
    m_standard = cpuid.cpuid(1);
    m_extended = cpuid.cpuid(0x80000001u);
}

TCPU::TCPU()
    : m_ownCpuid(processorCpuid()), m_ownClock(std::make_unique<SystemCpuClock>()), m_cpuid(m_ownCpuid.get()),
      m_clock(m_ownClock.get()), m_cpuinfoPath(QStringLiteral("/proc/cpuinfo")),
      m_processorCount(int(sysconf(_SC_NPROCESSORS_ONLN)))
{
}

TCPU::TCPU(CpuidSource *cpuid, CpuClock *clock, QString cpuinfoPath, int processorCount)
    : m_cpuid(cpuid), m_clock(clock), m_cpuinfoPath(std::move(cpuinfoPath)), m_processorCount(processorCount)
{
}

TCPU::~TCPU() = default;

void TCPU::readCpuinfo()
{
    QFile f(m_cpuinfoPath);
    m_cpuinfo = f.open(QIODevice::ReadOnly) ? firstProcessorInfo(f.read(1024 * 1024)) : QMap<QString, QString>();
    m_vendorIdentifier = m_cpuinfo.value(QStringLiteral("vendor_id"));
    if (m_cpuinfo.contains(QStringLiteral("cpu family")))
        m_identifier = QStringLiteral("x86 Family %1 Model %2 Stepping %3")
                           .arg(m_cpuinfo.value(QStringLiteral("cpu family")), m_cpuinfo.value(QStringLiteral("model")),
                                m_cpuinfo.value(QStringLiteral("stepping")));
    m_processorNameString = m_cpuinfo.value(QStringLiteral("model name"));
    m_registryMHz = int(std::lround(m_cpuinfo.value(QStringLiteral("cpu MHz")).toDouble()));
}

void TCPU::GetInfo()
{
    m_count = m_processorCount;
    readCpuinfo();
    if (m_cpuid)
        identify();
    else
        identifyWithoutCpuid();
}

void TCPU::identifyWithoutCpuid()
{
    // ARM and others: the kernel's description is all there is.
    const QString implementer = m_cpuinfo.value(QStringLiteral("CPU implementer"));
    m_vendor = armImplementerName(implementer);
    m_brandString = m_processorNameString;
    if (m_brandString.isEmpty() && !implementer.isEmpty()) {
        const QString part = m_cpuinfo.value(QStringLiteral("CPU part"));
        m_brandString = (m_vendor.isEmpty() ? QStringLiteral("Implementer ") + implementer : m_vendor)
                        + QStringLiteral(" processor, part ") + part;
    }
    m_family = m_cpuinfo.value(QStringLiteral("CPU architecture")).toInt();
    m_model = m_cpuinfo.value(QStringLiteral("CPU part")).toInt(nullptr, 0);
    m_stepping = m_cpuinfo.value(QStringLiteral("CPU revision")).toInt();
    m_friendlyName = m_brandString;
    m_frequency = m_registryMHz;
}

void TCPU::identify()
{
    CpuidSource &cpuid = *m_cpuid;
    m_extLevel = cpuid.cpuid(0x80000000u).eax;
    const CpuRegisters function0 = cpuid.cpuid(0);
    m_stdLevel = function0.eax;

    m_standard = cpuid.cpuid(1);
    m_signatureType = bits(m_standard.eax, 12, 2);
    m_family = int(bits(m_standard.eax, 8, 4));
    m_model = int(bits(m_standard.eax, 4, 4));
    m_stepping = int(bits(m_standard.eax, 0, 4));
    m_brandID = bits(m_standard.ebx, 0, 8);

    m_extended = cpuid.cpuid(0x80000001u);
    m_extFamily = bits(m_extended.eax, 8, 4);
    m_extModel = bits(m_extended.eax, 4, 4);
    m_extStepping = bits(m_extended.eax, 0, 4);

    m_brandType = brUnsupported;
    if (m_family > 6 || (m_family == 6 && m_model > 7)) {
        switch (m_brandID) {
        case 1:
            m_brandType = brCeleron;
            break;
        case 2:
            m_brandType = brP3;
            break;
        case 3:
            m_brandType = brP3Xeon;
            break;
        case 8:
            m_brandType = brP4;
            break;
        default:
            break;
        }
    }
    static const TCPUType types[] = {ctOriginal, ctOverDrive, ctDualProcessor, ctUnknown};
    m_cpuType = types[m_signatureType];
    switch (m_family) {
    case 0:
        m_familyType = cf8086;
        break;
    case 2:
        m_familyType = cf286;
        break;
    case 3:
        m_familyType = cf386;
        break;
    case 4:
        m_familyType = cf486;
        break;
    case 5:
        m_familyType = cfPentium;
        break;
    case 6:
        m_familyType = cfP6;
        break;
    case 15:
        m_familyType = m_extFamily == 0 ? cfPentium4 : cfUnknown;
        break;
    default:
        m_familyType = cfUnknown;
        break;
    }

    m_vendorID = vendorIdOf(function0);
    m_vendorIndex = 0;
    m_vendor.clear();
    for (std::uint32_t i = 1; const CpuVendor *v = cpuVendor(i); ++i) {
        if (m_vendorID == QLatin1String(v->vendorId)) {
            m_vendorIndex = i;
            m_vendor = QString::fromLatin1(v->name);
            break;
        }
    }

    CallGuarded(QStringLiteral("TCPUFeatures.GetInfo"), m_exceptionMode, [&] { m_features.GetInfo(cpuid); });
    m_frequency = m_clock ? int(measureClock(*m_clock).normalised) : 0;

    m_serialNumber.clear();
    if (m_features.PSN()) {
        // The first 32 bits are the signature; the other 64 come from
        // function 3, where the processors that have a serial number keep it.
        const CpuRegisters serial = cpuid.cpuid(3);
        m_serialNumber = QStringList{hex4(m_standard.eax >> 16), hex4(m_standard.eax),   hex4(serial.edx >> 16),
                                     hex4(serial.edx),           hex4(serial.ecx >> 16), hex4(serial.ecx)}
                             .join(QLatin1Char('-'));
    }
    m_brandString = cpuBrandString(cpuid);
    m_fdivBug = hasFdivBug();
    CallGuarded(QStringLiteral("TCPUCache.GetInfo"), m_exceptionMode, [&] { m_cache.GetInfo(cpuid, m_vendorIndex); });

    m_friendlyName = m_brandString;
    m_codeName.clear();
    lookUpCodeName({m_vendorIndex, m_family, m_model, m_stepping, m_brandID, m_cache.Level2(), m_frequency},
                   m_friendlyName, m_codeName);
}
