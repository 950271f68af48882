#include "resources/SessionFile.h"

#include "base/Exception.h"

#include <QFile>
#include <QSaveFile>

namespace SessionFile {

bool parseInteger(const QString &text, int &value)
{
    qsizetype i = 0;
    while (i < text.size() && (text[i] == QLatin1Char(' ') || text[i] == QLatin1Char('\t')))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == QLatin1Char('+') || text[i] == QLatin1Char('-')))
        negative = text[i++] == QLatin1Char('-');
    int base = 10;
    if (i < text.size() && text[i] == QLatin1Char('$')) {
        base = 16;
        ++i;
    } else if (i + 1 < text.size() && text[i] == QLatin1Char('0') && (text[i + 1] == QLatin1Char('x') || text[i + 1] == QLatin1Char('X'))) {
        base = 16;
        i += 2;
    }
    if (i == text.size())
        return false;
    qint64 v = 0;
    for (; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        int digit;
        if (c >= u'0' && c <= u'9')
            digit = c - u'0';
        else if (base == 16 && c >= u'a' && c <= u'f')
            digit = c - u'a' + 10;
        else if (base == 16 && c >= u'A' && c <= u'F')
            digit = c - u'A' + 10;
        else
            return false;
        v = v * base + digit;
        if (v > (base == 16 ? qint64(0xFFFFFFFF) : qint64(0x80000000)))
            return false;
    }
    if (base == 16 && v > 0x7FFFFFFF)
        v -= qint64(0x100000000); // hexadecimal covers the full 32 bits
    if (negative)
        v = -v;
    if (v > 0x7FFFFFFF || v < -qint64(0x80000000))
        return false;
    value = int(v);
    return true;
}

namespace {

// Splits at CR LF, lone CR or lone LF. A final line break ends the last line
// rather than starting an empty one.
template <typename Fn>
void forEachLine(QStringView text, Fn &&fn)
{
    qsizetype start = 0;
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = text[i];
        if (c != QLatin1Char('\r') && c != QLatin1Char('\n'))
            continue;
        if (!fn(text.sliced(start, i - start)))
            return;
        if (c == QLatin1Char('\r') && i + 1 < n && text[i + 1] == QLatin1Char('\n'))
            ++i;
        start = i + 1;
    }
    if (start < n)
        fn(text.sliced(start));
}

} // namespace

Parsed parse(const QString &text)
{
    Parsed out;
    forEachLine(QStringView(text), [&out](QStringView line) {
        qsizetype comma = line.indexOf(QLatin1Char(','));
        if (comma < 0)
            return true;
        ResourceRow row;
        const QString imageText = line.first(comma).toString();
        if (!parseInteger(imageText, row.imageIndex)) {
            out.rows.push_back(ResourceRow{});
            out.error = QStringLiteral("'%1' is not a valid integer value").arg(imageText);
            return false;
        }
        QStringView rest = line.sliced(comma + 1);
        comma = rest.indexOf(QLatin1Char(','));
        if (comma >= 0) {
            row.caption = rest.first(comma).toString();
            rest = rest.sliced(comma + 1);
        } else {
            // With no second comma the caption is empty and nothing is dropped;
            // the rest then holds no further field either.
            row.caption.clear();
        }
        while ((comma = rest.indexOf(QLatin1Char(','))) >= 0) {
            row.subItems.append(rest.first(comma).toString());
            rest = rest.sliced(comma + 1);
        }
        out.rows.push_back(std::move(row));
        return true;
    });
    return out;
}

QString lineOf(const ResourceRow &row)
{
    QString line = QString::number(row.imageIndex);
    line += QLatin1Char(',');
    line += row.caption;
    line += QLatin1Char(',');
    for (const QString &item : row.subItems) {
        line += item;
        line += QLatin1Char(',');
    }
    return line;
}

QString format(const std::vector<ResourceRow> &rows)
{
    QString text;
    for (const ResourceRow &row : rows) {
        text += lineOf(row);
        text += QLatin1String("\r\n");
    }
    return text;
}

Loaded read(const QString &fileName)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        throw Exception(QStringLiteral("Cannot open file %1").arg(fileName));
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        throw Exception(QStringLiteral("Cannot open file %1").arg(fileName));
    DecodedText decoded = decodeText(bytes);
    return Loaded{parse(decoded.text), decoded.encoding};
}

TextEncoding write(const QString &fileName, const std::vector<ResourceRow> &rows, TextEncoding encoding)
{
    if (rows.empty())
        return encoding;
    TextEncoding used = encoding;
    const QByteArray bytes = encodeText(format(rows), encoding, &used);
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit())
        throw Exception(QStringLiteral("Cannot create file %1").arg(fileName));
    return used;
}

} // namespace SessionFile
