#include "resources/CellText.h"

#include <QDate>
#include <gtest/gtest.h>

namespace {

const LocaleFormats &us()
{
    static const LocaleFormats f = LocaleFormats::fromLocale(QLocale(QLocale::English, QLocale::UnitedStates));
    return f;
}
const LocaleFormats &german()
{
    static const LocaleFormats f = LocaleFormats::fromLocale(QLocale(QLocale::German, QLocale::Germany));
    return f;
}

// Locales where "." is the thousands separator (de_DE, it_IT, pt_BR, nl_NL,
// tr_TR, da_DK, id_ID), the date separator (de_DE, fi_FI, ru_RU, tr_TR,
// da_DK) or the time separator (fi_FI, da_DK, id_ID, en_FI, si_LK), and two
// where it is none of these.
const char *const dottedLocales[] = {"de_DE", "fi_FI", "it_IT", "pt_BR", "en_US", "C",     "da_DK",
                                     "id_ID", "en_FI", "si_LK", "nl_NL", "tr_TR", "ru_RU"};

double daysOf(int y, int m, int d) { return double(QDate(y, m, d).toJulianDay() - QDate(1899, 12, 30).toJulianDay()); }

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
    double v = 0;
    EXPECT_TRUE(IsNumber("42", v, us()));
    EXPECT_EQ(v, 42);
    EXPECT_TRUE(IsNumber("-3.5", v, us()));
    EXPECT_EQ(v, -3.5);
    EXPECT_TRUE(IsNumber("+.5", v, us()));
    EXPECT_EQ(v, 0.5);
    EXPECT_TRUE(IsNumber("2.5e-1", v, us()));
    EXPECT_DOUBLE_EQ(v, 0.25);
    EXPECT_TRUE(IsNumber("12 ms", v, us()));
    EXPECT_EQ(v, 12);
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
    double v = 0;
    EXPECT_TRUE(IsNumber("1,234.5", v, us()));
    EXPECT_EQ(v, 1234.5);
    EXPECT_TRUE(IsNumber("1.234,5", v, german()));
    EXPECT_EQ(v, 1234.5);
    EXPECT_TRUE(IsNumber("3,25 ms", v, german()));
    EXPECT_EQ(v, 3.25);
    EXPECT_FALSE(IsNumber("1,2x", v, german()));
}

TEST(IsDateTime, ReadsDatesTimesAndBothInTheLocaleOrder)
{
    double v = 0;
    EXPECT_TRUE(IsDateTime("12/31/2025", v, us()));
    EXPECT_EQ(v, daysOf(2025, 12, 31));
    EXPECT_TRUE(IsDateTime("12/31/2025 6:00:00 PM", v, us()));
    EXPECT_DOUBLE_EQ(v, daysOf(2025, 12, 31) + 0.75);
    EXPECT_TRUE(IsDateTime("12:00 AM", v, us()));
    EXPECT_EQ(v, 0);
    EXPECT_TRUE(IsDateTime("31.12.2025 18:00:00", v, german()));
    EXPECT_DOUBLE_EQ(v, daysOf(2025, 12, 31) + 0.75);
    EXPECT_TRUE(IsDateTime("2/3/26", v, us()));
    EXPECT_EQ(v, daysOf(2026, 2, 3));
    EXPECT_TRUE(IsDateTime("2/3/99", v, us()));
    EXPECT_EQ(v, daysOf(1999, 2, 3));
}

TEST(IsDateTime, RejectsTextsThatOnlyLookLikeDates)
{
    double v = 1;
    // A single date separator not at the end is no date part; no time part either.
    EXPECT_FALSE(IsDateTime("1/2", v, us()));
    EXPECT_EQ(v, 0);
    EXPECT_FALSE(IsDateTime("10.0.0.1", v, us()));
    EXPECT_FALSE(IsDateTime("10.0.0.1", v, german()));   // not a valid d.m.y
    EXPECT_FALSE(IsDateTime("1.234.567", v, german()));  // month 234
    EXPECT_FALSE(IsDateTime("2/30/2025", v, us()));      // no 30 February
    EXPECT_FALSE(IsDateTime("12/31/2025 25:00", v, us()));
    EXPECT_FALSE(IsDateTime("12/31/2025 junk", v, us()));
    EXPECT_FALSE(IsDateTime("PC17", v, us()));
    EXPECT_FALSE(IsDateTime("12/", v, us()));
}

TEST(CellText, DottedAddressesAreNeitherNumbersNorDatesInAnyLocale)
{
    const char *const addresses[] = {"10.0.0.10",  "10.0.2.0",      "10.0.0.100",      "1.2.3.4",
                                     "12.10.20.5", "192.168.1.254", "255.255.255.255", "0.0.0.0",
                                     "10.0.0.1,10.0.0.2", "10.0.0.1 (gateway)"};
    auto check = [&](const QLocale &locale) {
        const LocaleFormats fmt = LocaleFormats::fromLocale(locale);
        for (const char *address : addresses) {
            double v = 0;
            EXPECT_FALSE(IsNumber(QString::fromLatin1(address), v, fmt)) << locale.name().toStdString() << " " << address;
            EXPECT_FALSE(IsDateTime(QString::fromLatin1(address), v, fmt)) << locale.name().toStdString() << " " << address;
        }
    };
    for (const char *name : dottedLocales)
        check(QLocale(QString::fromLatin1(name)));
    // And in every locale Qt knows, whatever its separators.
    for (const QLocale &locale : QLocale::matchingLocales(QLocale::AnyLanguage, QLocale::AnyScript, QLocale::AnyTerritory))
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
        const bool read = c.date ? IsDateTime(QString::fromLatin1(c.text), v, fmt) : IsNumber(QString::fromLatin1(c.text), v, fmt);
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
    const QStringList names = {"en_US", "en_GB", "de_DE", "fr_FR", "C", "ja_JP", "zh_CN", "ko_KR", "ar_EG",
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
    }
}
