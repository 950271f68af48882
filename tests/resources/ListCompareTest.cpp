#include "resources/ListCompare.h"
#include "resources/ResourceRow.h"
#include "support/LocaleFixtures.h"

#include <gtest/gtest.h>

namespace {

ResourceRow rowWith(QStringList items, QString caption = QString())
{
    ResourceRow r;
    r.caption = caption;
    r.subItems = items;
    return r;
}

int compare(const ResourceRow &a, const ResourceRow &b, int column, const LocaleFormats &fmt = us())
{
    return CompareListItems(&a, &b, column, fmt, makeListCollator(fmt.locale));
}

} // namespace

TEST(CompareListItems, DatesCompareAsDatesNumbersAsNumbersTheRestAsText)
{
    EXPECT_EQ(compare(rowWith({"", "", "", "", "1/2/2026 9:00:00 AM"}),
                      rowWith({"", "", "", "", "12/31/2025 11:00:00 PM"}), 5),
              1);
    EXPECT_EQ(compare(rowWith({"Received 9 bytes"}), rowWith({"Received 10 bytes"}), 1), 1); // text: '9' > '1'
    EXPECT_EQ(compare(rowWith({"9 ms"}), rowWith({"10 ms"}), 1), -1);
    EXPECT_EQ(compare(rowWith({"", "10.0.0.10"}), rowWith({"", "10.0.0.9"}), 2), -1); // addresses sort as text
    EXPECT_EQ(compare(rowWith({"b"}), rowWith({"B"}), 1), -compare(rowWith({"B"}), rowWith({"b"}), 1));
    EXPECT_NE(compare(rowWith({"b"}), rowWith({"B"}), 1), 0);         // case-sensitive
    EXPECT_EQ(compare(rowWith({"alpha"}), rowWith({"Beta"}), 1), -1); // collation, not code points
    EXPECT_EQ(compare(rowWith({"1,5"}), rowWith({"1,25"}), 1, german()), 1);
}

TEST(CompareListItems, EmptyCellsShortRowsAndBadInputs)
{
    const ResourceRow tested = rowWith({"PC1", "", "", "", "12/31/2025 11:00:00 PM"});
    const ResourceRow untested = rowWith({"PC2", "", "", "<not tested>", ""});
    EXPECT_EQ(compare(untested, tested, 5), -1); // empty text comes first
    const ResourceRow shortRow = rowWith({"PC3", "10.0.0.3"});
    EXPECT_EQ(compare(shortRow, rowWith({"PC4", "", "OFFICE"}), 3), -1);
    EXPECT_EQ(compare(shortRow, rowWith({"PC4", "", ""}), 3), 0);
    EXPECT_EQ(compare(rowWith({"a"}, "x"), rowWith({"b"}, "x"), 0), 0); // captions
    EXPECT_EQ(compare(rowWith({"a"}), rowWith({"b"}), -1), 0);
    EXPECT_EQ(CompareListItems(nullptr, &tested, 1, us(), makeListCollator(us().locale)), 0);
}

TEST(CompareListItems, AddressesSortAsTextInEveryLocale)
{
    // German reads "." as its thousands separator: were addresses numbers
    // there, 10.0.0.10 (100010) would land between 10.0.2.0 (10020) and
    // 10.0.0.100 (1000100).
    const QStringList addresses = {"10.0.2.0",      "10.0.0.10", "10.0.0.100",       "10.0.0.9",
                                   "192.168.1.254", "9.9.9.9",   "10.0.0.1,10.0.0.2"};
    for (const char *name : dottedLocales) {
        const LocaleFormats fmt = LocaleFormats::fromLocale(QLocale(QString::fromLatin1(name)));
        const QCollator collator = makeListCollator(fmt.locale);
        for (const QString &a : addresses) {
            for (const QString &b : addresses) {
                const int text = collator.compare(a, b);
                EXPECT_EQ(compare(rowWith({"", a}), rowWith({"", b}), 2, fmt), text < 0 ? -1 : (text > 0 ? 1 : 0))
                    << name << ": " << a.toStdString() << " against " << b.toStdString();
            }
        }
    }
}
