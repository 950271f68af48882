#include "resources/CellText.h"

#include <QChar>
#include <QDate>
#include <QRegularExpression>
#include <QStringView>
#include <QTime>
#include <charconv>
#include <cmath>
#include <string>

namespace {

// Separator that follows the first run of any of the letters in a Qt format
// (direction marks and other invisible characters are passed over).
QString separatorAfter(const QString &format, const QString &letters, const QString &fallback)
{
    qsizetype i = 0;
    while (i < format.size() && !letters.contains(format[i]))
        ++i;
    while (i < format.size() && letters.contains(format[i]))
        ++i;
    while (i < format.size() && format[i].category() == QChar::Other_Format)
        ++i;
    if (i < format.size() && (format[i].isPunct() || format[i].isSymbol()))
        return QString(format[i]);
    return fallback;
}

// The date format the list writes: the locale's short format when it is
// three numeric fields between single separators, with the year widened to
// four digits; otherwise the fields in the locale's order.
QString dateWriteFormatFor(const QString &shortFormat, const LocaleFormats &f)
{
    const QString sep = QRegularExpression::escape(f.dateSeparator);
    static const QString field = QStringLiteral("(dd?|MM?|yyyy|yy)");
    const QRegularExpression simple(QStringLiteral("^%1%2%1%2%1$").arg(field, sep));
    const QRegularExpressionMatch m = simple.match(shortFormat);
    if (m.hasMatch()) {
        QString fields;
        for (int k = 1; k <= 3; ++k)
            fields += m.captured(k).at(0);
        if (fields.contains(QLatin1Char('d')) && fields.contains(QLatin1Char('M'))
            && fields.contains(QLatin1Char('y'))) {
            QString out = shortFormat;
            if (!out.contains(QLatin1String("yyyy")))
                out.replace(QLatin1String("yy"), QLatin1String("yyyy"));
            return out;
        }
    }
    switch (f.dateOrder) {
    case LocaleFormats::DateOrder::DMY:
        return QStringLiteral("d%1M%1yyyy").arg(f.dateSeparator);
    case LocaleFormats::DateOrder::YMD:
        return QStringLiteral("yyyy%1M%1d").arg(f.dateSeparator);
    case LocaleFormats::DateOrder::MDY:
        break;
    }
    return QStringLiteral("M%1d%1yyyy").arg(f.dateSeparator);
}

// The time format the list writes: the locale's long time without its time
// zone when that is hours, minutes and seconds with an optional trailing
// AM/PM (spelt so); otherwise 24-hour time with the locale's separator.
QString timeWriteFormatFor(const QLocale &locale, const LocaleFormats &f)
{
    QString format = locale.timeFormat(QLocale::LongFormat);
    format.remove(QLatin1Char('t'));
    format = format.trimmed();
    const QString sep = QRegularExpression::escape(f.timeSeparator);
    const QRegularExpression simple(QStringLiteral("^(hh?|HH?)%1mm?%1ss?( ?(AP|ap|A|a))?$").arg(sep));
    const QRegularExpressionMatch m = simple.match(format);
    const bool englishDayHalves = locale.amText().compare(QLatin1String("AM"), Qt::CaseInsensitive) == 0
                                  && locale.pmText().compare(QLatin1String("PM"), Qt::CaseInsensitive) == 0;
    if (m.hasMatch() && (m.captured(2).isEmpty() || englishDayHalves))
        return m.captured(2).isEmpty() ? format : format.left(m.capturedStart(2)) + QStringLiteral(" AP");
    return QStringLiteral("HH%1mm%1ss").arg(f.timeSeparator);
}

LocaleFormats::DateOrder orderOf(const QString &format)
{
    const qsizetype d = format.indexOf(QLatin1Char('d'));
    const qsizetype m = format.indexOf(QLatin1Char('M'));
    const qsizetype y = format.indexOf(QLatin1Char('y'));
    if (y >= 0 && (d < 0 || y < d) && (m < 0 || y < m))
        return LocaleFormats::DateOrder::YMD;
    if (d >= 0 && m >= 0 && d < m)
        return LocaleFormats::DateOrder::DMY;
    return LocaleFormats::DateOrder::MDY;
}

// The C grammar: [+-] digits [. digits] [(E|e) [+-] digit+], fully consumed,
// with at least one character after the sign.
bool readDecimal(QStringView s, double &value)
{
    if (s.isEmpty())
        return false;
    std::string buf;
    buf.reserve(s.size() + 4);
    qsizetype i = 0;
    if (s[i] == QLatin1Char('+') || s[i] == QLatin1Char('-')) {
        if (s[i] == QLatin1Char('-'))
            buf.push_back('-');
        ++i;
    }
    if (i == s.size())
        return false;
    auto isDigit = [](QChar c) { return c >= QLatin1Char('0') && c <= QLatin1Char('9'); };
    const std::size_t mantissaStart = buf.size();
    while (i < s.size() && isDigit(s[i]))
        buf.push_back(char(s[i++].unicode()));
    if (buf.size() == mantissaStart)
        buf.push_back('0');
    if (i < s.size() && s[i] == QLatin1Char('.')) {
        ++i;
        buf.push_back('.');
        const std::size_t fracStart = buf.size();
        while (i < s.size() && isDigit(s[i]))
            buf.push_back(char(s[i++].unicode()));
        if (buf.size() == fracStart)
            buf.push_back('0');
    }
    if (i < s.size() && (s[i] == QLatin1Char('E') || s[i] == QLatin1Char('e'))) {
        ++i;
        buf.push_back('e');
        if (i < s.size() && (s[i] == QLatin1Char('+') || s[i] == QLatin1Char('-')))
            buf.push_back(char(s[i++].unicode()));
        const std::size_t expStart = buf.size();
        while (i < s.size() && isDigit(s[i]))
            buf.push_back(char(s[i++].unicode()));
        if (buf.size() == expStart)
            return false;
    }
    if (i != s.size())
        return false;
    double v = 0;
    const auto [end, ec] = std::from_chars(buf.data(), buf.data() + buf.size(), v);
    if (ec == std::errc::result_out_of_range) {
        // Too large or too small for a double: still a number, ordered by sign and size.
        const bool negative = buf[0] == '-';
        const bool tiny = buf.find("e-") != std::string::npos;
        v = tiny ? 0.0 : (negative ? -HUGE_VAL : HUGE_VAL);
    } else if (ec != std::errc() || end != buf.data() + buf.size()) {
        return false;
    }
    value = v;
    return true;
}

// A dotted IPv4 address, or several joined by "," as the add command leaves
// them: text in every locale. Where "." is a thousands separator the
// separator-free retry would read 10.0.0.10 as 100010, and where it is the
// time separator the scanner would read it as 10:00:00.100, so that the
// address column would sort as neither numbers nor text.
bool isAddressText(QStringView s)
{
    int dots = 0, digits = 0, value = 0;
    for (qsizetype i = 0; i <= s.size(); ++i) {
        const QChar c = i < s.size() ? s[i] : QChar(u',');
        if (c >= QLatin1Char('0') && c <= QLatin1Char('9')) {
            value = value * 10 + (c.unicode() - '0');
            if (++digits > 3 || value > 255)
                return false;
            continue;
        }
        const bool endOfAddress = c == QLatin1Char(',');
        if (digits == 0 || !(endOfAddress || c == QLatin1Char('.')) || (endOfAddress ? dots != 3 : ++dots > 3))
            return false;
        if (endOfAddress)
            dots = 0;
        digits = value = 0;
    }
    return true;
}

// Cursor over the text for the date and time scanners.
struct Scanner {
    QStringView s;
    qsizetype pos = 0;

    void skipBlanks()
    {
        while (pos < s.size() && s[pos] == QLatin1Char(' '))
            ++pos;
    }
    bool number(int &value, int &digits)
    {
        skipBlanks();
        value = 0;
        digits = 0;
        while (pos < s.size() && s[pos] >= QLatin1Char('0') && s[pos] <= QLatin1Char('9') && digits < 9) {
            value = value * 10 + (s[pos].unicode() - '0');
            ++digits;
            ++pos;
        }
        return digits > 0;
    }
    bool literal(const QString &text)
    {
        skipBlanks();
        if (text.isEmpty() || !s.mid(pos).startsWith(text))
            return false;
        pos += text.size();
        return true;
    }
    bool word(QLatin1StringView text)
    {
        skipBlanks();
        if (!s.mid(pos).startsWith(text, Qt::CaseInsensitive))
            return false;
        pos += text.size();
        return true;
    }
    bool atEnd()
    {
        skipBlanks();
        return pos == s.size();
    }
};

bool scanDate(Scanner &sc, const LocaleFormats &fmt, double &days)
{
    int n[3];
    int digits[3];
    for (int k = 0; k < 3; ++k) {
        if (k > 0 && !sc.literal(fmt.dateSeparator))
            return false;
        if (!sc.number(n[k], digits[k]))
            return false;
    }
    int d = 0, m = 0, y = 0, yDigits = 0;
    switch (fmt.dateOrder) {
    case LocaleFormats::DateOrder::DMY:
        d = n[0];
        m = n[1];
        y = n[2];
        yDigits = digits[2];
        break;
    case LocaleFormats::DateOrder::MDY:
        m = n[0];
        d = n[1];
        y = n[2];
        yDigits = digits[2];
        break;
    case LocaleFormats::DateOrder::YMD:
        y = n[0];
        m = n[1];
        d = n[2];
        yDigits = digits[0];
        break;
    }
    if (yDigits <= 2) {
        // Two-digit years fall in the fifty years either side of today.
        const int thisYear = QDate::currentDate().year();
        int candidate = (thisYear / 100) * 100 + y;
        if (candidate > thisYear + 50)
            candidate -= 100;
        else if (candidate <= thisYear - 50)
            candidate += 100;
        y = candidate;
    }
    if (y < 1 || y > 9999)
        return false;
    const QDate date(y, m, d);
    if (!date.isValid())
        return false;
    static const qint64 epoch = QDate(1899, 12, 30).toJulianDay();
    days = double(date.toJulianDay() - epoch);
    return true;
}

bool scanTime(Scanner &sc, const LocaleFormats &fmt, double &fraction)
{
    int h, m, s = 0, ms = 0, digits;
    if (!sc.number(h, digits) || !sc.literal(fmt.timeSeparator) || !sc.number(m, digits))
        return false;
    if (sc.literal(fmt.timeSeparator)) {
        if (!sc.number(s, digits))
            return false;
        if (sc.literal(QStringLiteral("."))
            || (fmt.decimalSeparator != QLatin1String(".") && sc.literal(fmt.decimalSeparator))) {
            if (!sc.number(ms, digits) || digits > 3)
                return false;
            for (int k = digits; k < 3; ++k)
                ms *= 10;
        }
    }
    const bool am = sc.word(QLatin1StringView("AM"));
    const bool pm = !am && sc.word(QLatin1StringView("PM"));
    if (am || pm) {
        if (h < 1 || h > 12)
            return false;
        h = (h % 12) + (pm ? 12 : 0);
    }
    if (h > 23 || m > 59 || s > 59)
        return false;
    fraction = (h * 3600000.0 + m * 60000.0 + s * 1000.0 + ms) / 86400000.0;
    return true;
}

} // namespace

LocaleFormats LocaleFormats::fromLocale(const QLocale &locale)
{
    LocaleFormats f;
    f.locale = locale;
    const QString date = locale.dateFormat(QLocale::ShortFormat);
    f.dateSeparator = separatorAfter(date, QStringLiteral("dMy"), QStringLiteral("/"));
    f.dateOrder = orderOf(date);
    f.timeSeparator =
        separatorAfter(locale.timeFormat(QLocale::ShortFormat), QStringLiteral("hHm"), QStringLiteral(":"));
    f.thousandsSeparator = locale.groupSeparator();
    f.decimalSeparator = locale.decimalPoint();
    f.dateWriteFormat = dateWriteFormatFor(date, f);
    f.timeWriteFormat = timeWriteFormatFor(locale, f);
    return f;
}

bool IsNumber(const QString &text, double &value, const LocaleFormats &fmt)
{
    QStringView s(text);
    const qsizetype blank = s.indexOf(QLatin1Char(' '));
    if (blank >= 0)
        s = s.left(blank);
    if (readDecimal(s, value))
        return true;
    if (isAddressText(s))
        return false;
    QString local = s.toString();
    if (!fmt.thousandsSeparator.isEmpty())
        local.remove(fmt.thousandsSeparator);
    if (!fmt.decimalSeparator.isEmpty())
        local.replace(fmt.decimalSeparator, QStringLiteral("."));
    return readDecimal(local, value);
}

bool IsDateTime(const QString &text, double &value, const LocaleFormats &fmt)
{
    value = 0;
    if (isAddressText(QStringView(text).trimmed()))
        return false;
    bool hasDate = false;
    const qsizetype first = fmt.dateSeparator.isEmpty() ? -1 : text.indexOf(fmt.dateSeparator);
    if (first >= 0) {
        const qsizetype after = first + fmt.dateSeparator.size();
        hasDate = after >= text.size() || text.indexOf(fmt.dateSeparator, after) >= 0;
    }
    if (!hasDate && (fmt.timeSeparator.isEmpty() || !text.contains(fmt.timeSeparator)))
        return false;

    Scanner sc{QStringView(text)};
    double days = 0, fraction = 0;
    if (hasDate && !scanDate(sc, fmt, days))
        return false;
    // The time part is what follows the date: where date and time share one
    // separator (Finnish, Danish), the date's own separators do not count.
    const bool hasTime = !fmt.timeSeparator.isEmpty() && text.indexOf(fmt.timeSeparator, sc.pos) >= 0;
    if (hasTime && !scanTime(sc, fmt, fraction))
        return false;
    if (!sc.atEnd())
        return false;
    value = days + fraction;
    return true;
}

QString DateTimeText(const QDateTime &when, const LocaleFormats &fmt)
{
    const QLocale c = QLocale::c(); // ASCII digits, AM and PM
    QString text = c.toString(when.date(), fmt.dateWriteFormat);
    if (when.time() != QTime(0, 0))
        text += QLatin1Char(' ') + c.toString(when.time(), fmt.timeWriteFormat);
    return text;
}
