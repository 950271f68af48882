#include "sysinfo/SystemSummary.h"

#include <QFile>
#include <sys/utsname.h>
#include <unistd.h>

SystemSummary makeSystemSummary(const OSVersionRecord &version, const std::function<bool()> &sp6aHotfixInstalled,
                                const QString &machineName, qint64 totalPhysMem)
{
    SystemSummary s;
    const OSKindResult kind = GetOSKind(version, sp6aHotfixInstalled);
    s.OSKind = kind.kind;
    s.CSDVersion = kind.csdVersion;
    s.IsNT = kind.kind == osNT3 || kind.kind == osNT4 || kind.kind == os2000 || kind.kind == osXP;
    s.IsNT4 = kind.kind == osNT4;
    s.IsNT5 = kind.kind == os2000 || kind.kind == osXP;
    s.Is2000 = kind.kind == os2000;
    s.IsXP = kind.kind == osXP;
    s.Is95 = kind.kind == os95;
    s.IsOSR2 = kind.kind == os95OSR2;
    s.Is98 = kind.kind == os98;
    s.Is98SE = kind.kind == os98SE;
    s.IsME = kind.kind == osME;
    s.MachineName = machineName.toUpper();
    s.OSName = osDisplayName(kind, version);
    s.ClassRoot = s.IsNT ? QStringLiteral("SYSTEM\\CurrentControlSet\\Control\\Class")
                         : QStringLiteral("SYSTEM\\CurrentControlSet\\Services\\Class");
    s.TotalPhysMem = totalPhysMem;
    return s;
}

QString GetMachineName(const QString &hostName) { return hostName.section(QLatin1Char('.'), 0, 0); }

namespace {

QByteArray readSmallFile(const char *path)
{
    QFile f(QString::fromLatin1(path));
    return f.open(QIODevice::ReadOnly) ? f.read(64 * 1024) : QByteArray();
}

OSVersionRecord runningVersion()
{
    OSVersionRecord v;
    v.platform = OSVersionRecord::Linux;
    utsname u{};
    if (uname(&u) == 0)
        v.release = QString::fromLocal8Bit(u.release);
    // os-release(5): the file in /etc, or the vendor's copy when it is absent.
    QByteArray osRelease = readSmallFile("/etc/os-release");
    if (osRelease.isEmpty())
        osRelease = readSmallFile("/usr/lib/os-release");
    v.distribution = prettyNameFromOsRelease(osRelease);
    return v;
}

QString runningHostName()
{
    char name[256] = {};
    if (gethostname(name, sizeof name - 1) != 0)
        return QString();
    return QString::fromLocal8Bit(name);
}

qint64 physicalMemory()
{
    const long pages = sysconf(_SC_PHYS_PAGES);
    const long pageSize = sysconf(_SC_PAGESIZE);
    return pages > 0 && pageSize > 0 ? qint64(pages) * qint64(pageSize) : 0;
}

} // namespace

const SystemSummary &systemSummary()
{
    static const SystemSummary summary =
        makeSystemSummary(runningVersion(), nullptr, GetMachineName(runningHostName()), physicalMemory());
    return summary;
}
