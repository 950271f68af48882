#include "resources/ListCompare.h"

#include "resources/ResourceRow.h"

QString SortText(const ResourceRow &row, int column) { return column == 0 ? row.caption : row.subItem(column - 1); }

QCollator makeListCollator(const QLocale &locale)
{
    QCollator c(locale);
    c.setCaseSensitivity(Qt::CaseSensitive);
    return c;
}

SortKey SortKey::make(const QString &text, const LocaleFormats &fmt, const QCollator &collator)
{
    SortKey k{false, false, 0, 0, collator.sortKey(text)};
    k.isDate = IsDateTime(text, k.date, fmt);
    k.isNumber = IsNumber(text, k.number, fmt);
    return k;
}

int SortKey::compare(const SortKey &other) const
{
    auto sign = [](double a, double b) { return a < b ? -1 : (a > b ? 1 : 0); };
    if (isDate && other.isDate)
        return sign(date, other.date);
    if (isNumber && other.isNumber)
        return sign(number, other.number);
    const int c = text.compare(other.text);
    return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

int CompareListItems(const ResourceRow *a, const ResourceRow *b, int column, const LocaleFormats &fmt,
                     const QCollator &collator)
{
    if (!a || !b || column < 0)
        return 0;
    return SortKey::make(SortText(*a, column), fmt, collator)
        .compare(SortKey::make(SortText(*b, column), fmt, collator));
}
