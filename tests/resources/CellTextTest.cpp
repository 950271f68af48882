#include "resources/CellText.h"
#include "support/LocaleFixtures.h"

#include <QDate>
#include <gtest/gtest.h>

#include <initializer_list>

namespace {

double daysOf(int y, int m, int d) { return double(QDate(y, m, d).toJulianDay() - QDate(1899, 12, 30).toJulianDay()); }

// A text and the value it reads as.
struct Reading {
    const char *text;
    double value;
};

// Each text reads, and as exactly its value: whole days, quarter days and
// the numbers here are all exact in binary.
void expectReads(bool (*read)(const QString &, double &, const LocaleFormats &), const LocaleFormats &fmt,
                 std::initializer_list<Reading> readings)
{
    for (const Reading &r : readings) {
        double v = 0;
        EXPECT_TRUE(read(QString::fromUtf8(r.text), v, fmt)) << r.text;
        EXPECT_EQ(v, r.value) << r.text;
    }
}

} // namespace

TEST(LocaleFormats, ReadsSeparatorsAndDateOrderFromTheLocale)
{
    EXPECT_EQ(us().dateSeparator, "/");
    EXPECT_EQ(us().timeSeparator, ":");
    EXPECT_EQ(us().dateOrder, LocaleFormats::DateOrder::MDY);
    EXPECT_EQ(us().decimalSeparator, ".");
    EXPECT_EQ(german().dateSeparator, ".");
    EXPECT_EQ(german().dateOrder, LocaleFormats::DateOrder::DMY);
    EXPECT_EQ(german().decimalSeparator, ",");
    EXPECT_EQ(german().thousandsSeparator, ".");
    const LocaleFormats swedish = LocaleFormats::fromLocale(QLocale(QLocale::Swedish, QLocale::Sweden));
    EXPECT_EQ(swedish.dateSeparator, "-");
    EXPECT_EQ(swedish.dateOrder, LocaleFormats::DateOrder::YMD);
}

TEST(IsNumber, AcceptsTheDecimalGrammarAndCutsAtTheFirstBlank)
{
    expectReads(IsNumber, us(), {{"42", 42}, {"-3.5", -3.5}, {"+.5", 0.5}, {"2.5e-1", 0.25}, {"12 ms", 12}});
    double v = 0;
    EXPECT_TRUE(IsNumber("1e999", v, us()));
    EXPECT_GT(v, 1e300);
}

TEST(IsNumber, RejectsWhatIsNotANumber)
{
    double v = 0;
    for (const char *text : {"", " 5", "+", "-", "1e", "1e+", "abc", "10.0.0.1", "5x", "0x10", "--1", "1.2.3"})
        EXPECT_FALSE(IsNumber(QString::fromLatin1(text), v, us())) << text;
}

TEST(IsNumber, FallsBackToTheLocaleSeparators)
{
    expectReads(IsNumber, us(), {{"1,234.5", 1234.5}});
    expectReads(IsNumber, german(), {{"1.234,5", 1234.5}, {"3,25 ms", 3.25}});
    double v = 0;
    EXPECT_FALSE(IsNumber("1,2x", v, german()));
}

TEST(IsDateTime, ReadsDatesTimesAndBothInTheLocaleOrder)
{
    expectReads(IsDateTime, us(),
                {
                    {"12/31/2025", daysOf(2025, 12, 31)},
                    {"12/31/2025 6:00:00 PM", daysOf(2025, 12, 31) + 0.75},
                    {"12:00 AM", 0},
                    {"2/3/26", daysOf(2026, 2, 3)},
                    {"2/3/99", daysOf(1999, 2, 3)},
                });
    expectReads(IsDateTime, german(), {{"31.12.2025 18:00:00", daysOf(2025, 12, 31) + 0.75}});
}

TEST(IsDateTime, RejectsTextsThatOnlyLookLikeDates)
{
    double v = 1;
    // A single date separator not at the end is no date part; no time part either.
    EXPECT_FALSE(IsDateTime("1/2", v, us()));
    EXPECT_EQ(v, 0);
    EXPECT_FALSE(IsDateTime("10.0.0.1", v, us()));
    EXPECT_FALSE(IsDateTime("10.0.0.1", v, german()));  // not a valid d.m.y
    EXPECT_FALSE(IsDateTime("1.234.567", v, german())); // month 234
    EXPECT_FALSE(IsDateTime("2/30/2025", v, us()));     // no 30 February
    EXPECT_FALSE(IsDateTime("12/31/2025 25:00", v, us()));
    EXPECT_FALSE(IsDateTime("12/31/2025 junk", v, us()));
    EXPECT_FALSE(IsDateTime("PC17", v, us()));
    EXPECT_FALSE(IsDateTime("12/", v, us()));
}

TEST(CellText, DottedAddressesAreNeitherNumbersNorDatesInAnyLocale)
{
    const char *const addresses[] = {"10.0.0.10",         "10.0.2.0",          "10.0.0.100",      "1.2.3.4",
                                     "12.10.20.5",        "192.168.1.254",     "255.255.255.255", "0.0.0.0",
                                     "10.0.0.1,10.0.0.2", "10.0.0.1 (gateway)"};
    auto check = [&](const QLocale &locale) {
        const LocaleFormats fmt = LocaleFormats::fromLocale(locale);
        for (const char *address : addresses) {
            double v = 0;
            EXPECT_FALSE(IsNumber(QString::fromLatin1(address), v, fmt))
                << locale.name().toStdString() << " " << address;
            EXPECT_FALSE(IsDateTime(QString::fromLatin1(address), v, fmt))
                << locale.name().toStdString() << " " << address;
        }
    };
    for (const char *name : dottedLocales)
        check(QLocale(QString::fromLatin1(name)));
    // And in every locale Qt knows, whatever its separators.
    for (const QLocale &locale :
         QLocale::matchingLocales(QLocale::AnyLanguage, QLocale::AnyScript, QLocale::AnyTerritory))
        check(locale);
}

TEST(CellText, LocaleNumbersAndTimesWithDotsStillRead)
{
    struct Case {
        const char *locale;
        const char *text;
        bool date;
        double value;
    };
    const double afternoon = (14 * 3600 + 3 * 60 + 12) / 86400.0;
    const Case cases[] = {
        {"de_DE", "1.234,5", false, 1234.5},
        {"de_DE", "1.234.567", false, 1234567},
        {"de_DE", "1.234.567.890", false, 1234567890}, // four groups, but no address
        {"de_DE", "3,25 ms", false, 3.25},
        {"de_DE", "2.5", false, 2.5}, // the C grammar comes first
        {"it_IT", "1.234,5", false, 1234.5},
        {"pt_BR", "10.000,25", false, 10000.25},
        {"da_DK", "1.000.000", false, 1000000},
        {"id_ID", "12.345,6", false, 12345.6},
        {"tr_TR", "1.234,5", false, 1234.5},
        {"fi_FI", "1234,5", false, 1234.5},
        {"en_US", "1,234.5", false, 1234.5},
        {"C", "1234.5", false, 1234.5},
        {"id_ID", "14.03.12", true, afternoon},
        {"en_FI", "14.03.12", true, afternoon},
        {"fi_FI", "8.12.2026 14.03.12", true, daysOf(2026, 12, 8) + afternoon},
        {"da_DK", "08.12.2026 14.03.12", true, daysOf(2026, 12, 8) + afternoon},
        {"de_DE", "8.12.2026", true, daysOf(2026, 12, 8)},
    };
    for (const Case &c : cases) {
        const LocaleFormats fmt = LocaleFormats::fromLocale(QLocale(QString::fromLatin1(c.locale)));
        double v = 0;
        const bool read =
            c.date ? IsDateTime(QString::fromLatin1(c.text), v, fmt) : IsNumber(QString::fromLatin1(c.text), v, fmt);
        EXPECT_TRUE(read) << c.locale << " " << c.text;
        EXPECT_DOUBLE_EQ(v, c.value) << c.locale << " " << c.text;
    }
}

TEST(DateTimeText, IsTheLocalesNumericFormWithAFourDigitYear)
{
    const QDateTime afternoon(QDate(2026, 12, 8), QTime(14, 3, 12));
    EXPECT_EQ(DateTimeText(afternoon, us()), "12/8/2026 2:03:12 PM");
    EXPECT_EQ(DateTimeText(afternoon, german()), "08.12.2026 14:03:12");
    EXPECT_EQ(DateTimeText(afternoon, LocaleFormats::fromLocale(QLocale::c())), "8/12/2026 14:03:12");
    EXPECT_EQ(DateTimeText(QDateTime(QDate(2026, 12, 8), QTime(0, 0)), us()), "12/8/2026"); // midnight: the date alone
}

TEST(DateTimeText, ReadsBackAsADateInEveryLocale)
{
    // Locales whose own texts would not read back (month names, native
    // digits, day halves in other words, time-zone names) included.
    const QStringList names = {"en_US", "en_GB", "de_DE", "fr_FR", "C",     "ja_JP", "zh_CN", "ko_KR", "ar_EG",
                               "hu_HU", "fa_IR", "sv_SE", "ru_RU", "hi_IN", "th_TH", "he_IL", "pl_PL", "pt_BR",
                               "fi_FI", "da_DK", "id_ID", "en_FI", "si_LK", "it_IT", "nl_NL"};
    const QDateTime t0(QDate(2026, 12, 8), QTime(14, 3, 12));
    for (const QString &name : names) {
        const LocaleFormats fmt = LocaleFormats::fromLocale(QLocale(name));
        double a = 0, b = 0, c = 0;
        const QString text = DateTimeText(t0, fmt);
        ASSERT_TRUE(IsDateTime(text, a, fmt)) << name.toStdString() << ": " << text.toStdString();
        ASSERT_TRUE(IsDateTime(DateTimeText(t0.addSecs(1), fmt), b, fmt)) << name.toStdString();
        ASSERT_TRUE(IsDateTime(DateTimeText(t0.addDays(-40), fmt), c, fmt)) << name.toStdString();
        EXPECT_LT(a, b) << name.toStdString();
        EXPECT_LT(c, a) << name.toStdString();
        EXPECT_DOUBLE_EQ(a, daysOf(2026, 12, 8) + (14 * 3600 + 3 * 60 + 12) / 86400.0) << name.toStdString();
        // At midnight only the date is written; it reads back as that day.
        double midnight = 0;
        const QString dateOnly = DateTimeText(QDateTime(QDate(2026, 12, 8), QTime(0, 0)), fmt);
        ASSERT_TRUE(IsDateTime(dateOnly, midnight, fmt)) << name.toStdString() << ": " << dateOnly.toStdString();
        EXPECT_DOUBLE_EQ(midnight, daysOf(2026, 12, 8)) << name.toStdString();
    }
}
