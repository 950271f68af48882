#pragma once

#include <QLocale>
#include <QString>
#include <cstdint>

struct SystemSummary;
struct TVersionInfo;
class TCPU;

// The texts of the about box, worked out without a window.
struct AboutTexts {
    QString product;     // the product name
    QString description; // company and description
    QString version;     // version, build and comments
    QString copyright;
    QString notice;
    QString os;
    QString cpu;
    QString memory;
};

// "Korvell Network scanning tool"; the dialog's own "Application
// Description" when the product name and the description are the same.
QString descriptionLine(const TVersionInfo &version);
// "Version 5.0 [Build: 300] - <comments>"; zeros and nothing after the
// dash without a version record.
QString versionLine(const TVersionInfo &version);
// "CPU: <brand string> - 2600 Mhz" (the brand string as the processor
// gives it, blanks and all), or without one the vendor's short name and the
// product name from the code-name tables.
QString cpuLine(const QString &brandString, std::uint32_t vendorIndex, const QString &friendlyName, int frequency);
QString osLine(const QString &osName);
// "Memory: 524,288 KB": whole KB with the locale's thousands separator.
QString memoryLine(qint64 totalPhysMem, const QLocale &locale = QLocale());

AboutTexts aboutTexts(const TVersionInfo &version, const TCPU &cpu, const SystemSummary &summary,
                      const QLocale &locale = QLocale());
