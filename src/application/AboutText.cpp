#include "application/AboutText.h"

#include "sysinfo/CPU.h"
#include "sysinfo/SystemSummary.h"
#include "sysinfo/VersionInfo.h"

#include <cmath>

QString descriptionLine(const TVersionInfo &version)
{
    if (version.ProductName.compare(version.FileDescription, Qt::CaseInsensitive) == 0)
        return QStringLiteral("Application Description");
    return version.CompanyName + QLatin1Char(' ') + version.FileDescription;
}

QString versionLine(const TVersionInfo &version)
{
    return QStringLiteral("Version %1.%2 [Build: %3] - %4")
        .arg(version.Major)
        .arg(version.Minor)
        .arg(version.Build)
        .arg(version.Comments);
}

QString cpuLine(const QString &brandString, std::uint32_t vendorIndex, const QString &friendlyName, int frequency)
{
    if (!brandString.trimmed().isEmpty())
        return QStringLiteral("CPU: %1 - %2 Mhz").arg(brandString).arg(frequency);
    if (const CpuVendor *vendor = cpuVendor(vendorIndex))
        return QStringLiteral("CPU: %1 %2 - %3 Mhz").arg(QLatin1String(vendor->shortName), friendlyName).arg(frequency);
    // Neither a brand nor a vendor the tables know: say so rather than
    // leave a gap.
    const QString name = friendlyName.trimmed().isEmpty() ? QStringLiteral("Unknown processor") : friendlyName;
    return QStringLiteral("CPU: %1 - %2 Mhz").arg(name).arg(frequency);
}

QString osLine(const QString &osName) { return QStringLiteral("OS: ") + osName; }

QString memoryLine(qint64 totalPhysMem, const QLocale &locale)
{
    const qint64 kb = std::llround(double(totalPhysMem) / 1024.0);
    QLocale grouped = locale;
    grouped.setNumberOptions(locale.numberOptions() & ~QLocale::OmitGroupSeparator);
    return QStringLiteral("Memory: ") + grouped.toString(kb) + QStringLiteral(" KB");
}

AboutTexts aboutTexts(const TVersionInfo &version, const TCPU &cpu, const SystemSummary &summary, const QLocale &locale)
{
    AboutTexts t;
    t.product = version.ProductName;
    t.description = descriptionLine(version);
    t.version = versionLine(version);
    t.copyright = version.LegalCopyright;
    t.notice = QStringLiteral("This program is provided as it is, without warranty of any kind.");
    t.os = osLine(summary.OSName);
    t.cpu = cpuLine(cpu.BrandString(), cpu.VendorIndex(), cpu.FriendlyName(), cpu.Frequency());
    t.memory = memoryLine(summary.TotalPhysMem, locale);
    return t;
}
