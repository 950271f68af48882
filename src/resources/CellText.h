#pragma once

#include <QDateTime>
#include <QLocale>
#include <QString>

// Reading and writing list cells in the user's locale: numbers, dates and
// times, and the "Last Test" text the sweep writes.

// What the cell readers need of the user's locale, read once so that a sort
// does not consult QLocale for every cell.
struct LocaleFormats {
    enum class DateOrder {
        DMY,
        MDY,
        YMD
    };

    QString dateSeparator = QStringLiteral("/");
    QString timeSeparator = QStringLiteral(":");
    DateOrder dateOrder = DateOrder::MDY;
    QString thousandsSeparator = QStringLiteral(",");
    QString decimalSeparator = QStringLiteral(".");
    QLocale locale;
    // How the list writes a date and a time: the locale's own numeric short
    // date (four-digit year) and long time where they read back, otherwise
    // numbers in the locale's order with its separators; ASCII digits.
    QString dateWriteFormat = QStringLiteral("M/d/yyyy");
    QString timeWriteFormat = QStringLiteral("h:mm:ss AP");

    static LocaleFormats fromLocale(const QLocale &locale);
};

// Reads Text as a number: the part before the first blank, with the C
// grammar first and the locale's separators second. Dotted IPv4 addresses
// are never numbers, whatever the locale's separators.
bool IsNumber(const QString &text, double &value, const LocaleFormats &fmt);

// Reads Text as a date, a time or both in the locale's short date order.
// Value is in days (whole days since 30 December 1899, time as fraction).
// Dotted IPv4 addresses are never dates or times.
bool IsDateTime(const QString &text, double &value, const LocaleFormats &fmt);

// A date and time as the list writes it (Last Test): short date, a blank and
// long time, no time at exactly midnight. IsDateTime reads it back.
QString DateTimeText(const QDateTime &when, const LocaleFormats &fmt);
