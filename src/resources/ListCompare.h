#pragma once

#include <QChar>
#include <QCollator>
#include <QDateTime>
#include <QLocale>
#include <QString>

struct ResourceRow;

// What the comparison needs of the user's locale, read once so that a sort
// does not consult QLocale for every cell.
struct LocaleFormats {
    enum class DateOrder { DMY, MDY, YMD };

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
// grammar first and the locale's separators second.
bool IsNumber(const QString &text, double &value, const LocaleFormats &fmt);

// Reads Text as a date, a time or both in the locale's short date order.
// Value is in days (whole days since 30 December 1899, time as fraction).
bool IsDateTime(const QString &text, double &value, const LocaleFormats &fmt);

// A date and time as the list writes it (Last Test): short date, a blank and
// long time, no time at exactly midnight. IsDateTime reads it back.
QString DateTimeText(const QDateTime &when, const LocaleFormats &fmt);

// Row comparison for the list sort: dates, then numbers, then locale text;
// any failure (missing row, negative column) compares equal.
int CompareListItems(const ResourceRow *a, const ResourceRow *b, int column, const LocaleFormats &fmt,
                     const QCollator &collator);

// The text a row offers for a column: the caption for column 0, otherwise
// sub-item column-1, empty when the row is shorter.
QString SortText(const ResourceRow &row, int column);

// Per-cell sort key: every cell is parsed once per sort, not once per
// comparison, so large lists sort quickly.
struct SortKey {
    bool isDate = false;
    bool isNumber = false;
    double date = 0;
    double number = 0;
    QCollatorSortKey text;

    static SortKey make(const QString &text, const LocaleFormats &fmt, const QCollator &collator);
    int compare(const SortKey &other) const;
};

// A collator for the list's text comparison: the user's locale, case-sensitive.
QCollator makeListCollator(const QLocale &locale);
