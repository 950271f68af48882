#include "sysinfo/OSKind.h"

#include <QByteArray>
#include <QList>

namespace {

TOSKind ntKind(int major, int minor)
{
    switch (major) {
    case 3:
        return osNT3;
    case 4:
        return osNT4;
    case 5:
        // Only 5.1 is XP; 5.2 and later minors count as 2000.
        return minor == 1 ? osXP : os2000;
    default:
        return osUnknown;
    }
}

TOSKind win9xKind(const OSVersionRecord &v)
{
    if (v.major == 4 && v.minor == 0) {
        const QString letter = v.csdVersion.trimmed();
        if (letter == QLatin1String("A"))
            return os95OSR1;
        if (letter == QLatin1String("B"))
            return os95OSR2;
        if (letter == QLatin1String("C"))
            return os95OSR25;
        return os95;
    }
    if (v.major == 4 && v.minor == 10)
        return (v.build & 0xFFFF) == 2222 ? os98SE : os98;
    if (v.major == 4 && v.minor == 90)
        return osME;
    return osUnknown;
}

// One shell-style value: "quoted", 'quoted' or bare, with backslash escapes
// inside double quotes.
QString unquote(const QByteArray &value)
{
    QByteArray v = value.trimmed();
    if (v.size() >= 2 && v.front() == '\'' && v.back() == '\'')
        return QString::fromUtf8(v.mid(1, v.size() - 2));
    if (v.size() >= 2 && v.front() == '"' && v.back() == '"') {
        QByteArray out;
        for (qsizetype i = 1; i < v.size() - 1; ++i) {
            if (v[i] == '\\' && i + 1 < v.size() - 1)
                ++i;
            out += v[i];
        }
        return QString::fromUtf8(out);
    }
    return QString::fromUtf8(v);
}

} // namespace

OSKindResult GetOSKind(const OSVersionRecord &version, const std::function<bool()> &sp6aHotfixInstalled)
{
    OSKindResult r;
    r.csdVersion = version.csdVersion.left(128);
    switch (version.platform) {
    case OSVersionRecord::WinNT:
        r.kind = ntKind(version.major, version.minor);
        if (r.csdVersion == QLatin1String("Service Pack 6") && sp6aHotfixInstalled && sp6aHotfixInstalled())
            r.csdVersion = QStringLiteral("Service Pack 6a");
        break;
    case OSVersionRecord::Win9x:
        r.kind = win9xKind(version);
        break;
    case OSVersionRecord::Linux:
        r.kind = osLinux;
        break;
    }
    return r;
}

QString osDisplayName(const OSKindResult &kind, const OSVersionRecord &version)
{
    switch (kind.kind) {
    case osUnknown:
        return QString();
    case osNT3:
        return QStringLiteral("Windows NT 3.x ") + kind.csdVersion;
    case os95:
        return QStringLiteral("Windows 95");
    case osNT4:
        return QStringLiteral("Windows NT 4.x ") + kind.csdVersion;
    case os95OSR1:
        return QStringLiteral("Windows 95 OSR 1");
    case os95OSR2:
        return QStringLiteral("Windows 95 OSR 2");
    case os95OSR25:
        return QStringLiteral("Windows 95 OSR 2.5");
    case os98:
        return QStringLiteral("Windows 98");
    case os98SE:
        return QStringLiteral("Windows 98 Second Edition");
    case osME:
        return QStringLiteral("Windows Millenium Edition");
    case os2000:
        return QStringLiteral("Windows 2000 ") + kind.csdVersion;
    case osXP:
        return QStringLiteral("Windows XP ") + kind.csdVersion;
    case osLinux: {
        QString name = QStringLiteral("Linux ") + version.release;
        if (!version.distribution.isEmpty())
            name += QStringLiteral(" (") + version.distribution + QLatin1Char(')');
        return name;
    }
    }
    return QString();
}

QString prettyNameFromOsRelease(const QByteArray &text)
{
    QString pretty;
    for (const QByteArray &line : text.split('\n')) {
        const QByteArray l = line.trimmed();
        if (l.startsWith("PRETTY_NAME="))
            pretty = unquote(l.mid(int(sizeof("PRETTY_NAME=") - 1)));
    }
    return pretty;
}
