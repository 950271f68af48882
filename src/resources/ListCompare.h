#pragma once

#include "resources/CellText.h"

#include <QCollator>
#include <QCollatorSortKey>
#include <QLocale>
#include <QString>

struct ResourceRow;

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
