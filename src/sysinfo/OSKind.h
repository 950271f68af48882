#pragma once

#include <QString>
#include <cstdint>
#include <functional>

// The kinds of operating system the program tells apart. The codes are
// kept as the settings and reports of the older Windows program knew them;
// osLinux is ours.
enum TOSKind : std::uint8_t {
    osUnknown = 0,
    osNT3 = 1,
    os95 = 2,
    osNT4 = 3,
    os95OSR1 = 4,
    os95OSR2 = 5,
    os95OSR25 = 6,
    os98 = 7,
    os98SE = 8,
    osME = 9,
    os2000 = 10,
    osXP = 11,
    osLinux = 12,
};

// The version record a system reports about itself. Windows fills the
// first five fields; Linux the platform, the kernel release and the
// distribution's PRETTY_NAME.
struct OSVersionRecord {
    enum Platform {
        Win9x = 1,
        WinNT = 2,
        Linux = 100
    };
    Platform platform = Win9x;
    int major = 0;
    int minor = 0;
    std::uint32_t build = 0;
    QString csdVersion; // the service-pack text
    QString release;
    QString distribution;
};

struct OSKindResult {
    TOSKind kind = osUnknown;
    QString csdVersion;
};

// Classifies a version record. `sp6aHotfixInstalled` is asked only for
// NT 4 with exactly "Service Pack 6", which the hotfix makes "6a".
OSKindResult GetOSKind(const OSVersionRecord &version, const std::function<bool()> &sp6aHotfixInstalled);

// The display name of a kind: the Windows names with the NT kinds followed
// by the service pack (a blank stays when there is none), and for Linux
// "Linux <release>" with the distribution in parentheses when known.
QString osDisplayName(const OSKindResult &kind, const OSVersionRecord &version);

// The distribution's PRETTY_NAME from the text of /etc/os-release, with its
// quoting undone; empty when there is none.
QString prettyNameFromOsRelease(const QByteArray &text);
