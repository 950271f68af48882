#include "resources/SessionFile.h"

#include "base/AtomicFile.h"
#include "base/Elide.h"
#include "base/Exception.h"
#include "base/FileDescriptor.h"
#include "base/SystemError.h"

#include <QFile>

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace SessionFile {

bool parseInteger(QStringView text, int &value)
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
    } else if (i + 1 < text.size() && text[i] == QLatin1Char('0')
               && (text[i + 1] == QLatin1Char('x') || text[i + 1] == QLatin1Char('X'))) {
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

// The line the end of the text is on, counted like forEachLine counts.
qsizetype lineOfEnd(QStringView text)
{
    qsizetype line = 1;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == QLatin1Char('\r') && i + 1 < text.size() && text[i + 1] == QLatin1Char('\n'))
            ++i;
        if (c == QLatin1Char('\r') || c == QLatin1Char('\n'))
            ++line;
    }
    return line;
}

} // namespace

Parsed parse(const QString &text, const Limits &limits)
{
    Parsed out;
    qint64 fileFields = 0;
    qsizetype lineNumber = 0;
    forEachLine(QStringView(text), [&](QStringView line) {
        ++lineNumber;
        qsizetype comma = line.indexOf(QLatin1Char(','));
        if (comma < 0)
            return true;
        ResourceRow row;
        const QStringView imageText = line.first(comma);
        if (!parseInteger(imageText, row.imageIndex)) {
            out.rows.push_back(ResourceRow{});
            out.error = QStringLiteral("'%1' is not a valid integer value").arg(elided(imageText));
            return false;
        }
        qsizetype lineFields = 1;
        QStringView rest = line.sliced(comma + 1);
        comma = rest.indexOf(QLatin1Char(','));
        if (comma >= 0) {
            row.caption = rest.first(comma).toString();
            rest = rest.sliced(comma + 1);
            ++lineFields;
        } else {
            // With no second comma the caption is empty and nothing is dropped;
            // the rest then holds no further field either.
            row.caption.clear();
        }
        while ((comma = rest.indexOf(QLatin1Char(','))) >= 0) {
            if (lineFields == limits.fieldsPerLine) {
                out.error = QStringLiteral("Line %1 has more than %2 fields").arg(lineNumber).arg(limits.fieldsPerLine);
                return false;
            }
            row.subItems.append(rest.first(comma).toString());
            rest = rest.sliced(comma + 1);
            ++lineFields;
        }
        fileFields += std::max<qint64>(lineFields, 2);
        if (fileFields > limits.fieldsPerFile) {
            out.error =
                QStringLiteral("Line %1 takes the list past %2 fields").arg(lineNumber).arg(limits.fieldsPerFile);
            return false;
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

Loaded fromBytes(QByteArray bytes, const Limits &limits)
{
    DecodedText decoded = decodeText(bytes);
    bytes = QByteArray(); // only the text is needed from here on
    Parsed parsed = parse(decoded.text, limits);
    Loaded out;
    out.rows = std::move(parsed.rows);
    out.encoding = decoded.encoding;
    out.error = std::move(parsed.error);
    // An error stops reading before the NUL is reached.
    if (decoded.endedAtNul && out.error.isEmpty())
        out.notice = QStringLiteral("A NUL byte on line %1 ends the text; the rest of the file was not read")
                         .arg(lineOfEnd(decoded.text));
    return out;
}

QByteArray toBytes(const std::vector<ResourceRow> &rows, TextEncoding encoding, TextEncoding *used)
{
    return encodeText(format(rows), encoding, used);
}

namespace {

// The system's reason, to follow the message after a comma.
QString causeOf(int error) { return systemErrorText(error, SystemTextCase::LowerFirst); }

// Why a file of this kind is not read.
QString causeOf(const struct stat &st)
{
    return S_ISDIR(st.st_mode) ? causeOf(EISDIR) : QStringLiteral("not a regular file");
}

Exception openError(const QString &fileName, const QString &cause)
{
    return Exception(QStringLiteral("Cannot open file %1, %2").arg(fileName, cause));
}

} // namespace

std::optional<Loaded> read(const QString &fileName, const Limits &limits)
{
    const QByteArray path = QFile::encodeName(fileName);
    // Anything but a regular file is refused before it is opened: opening a
    // device can act on it, and reading a pipe waits for a writer.
    struct stat st;
    if (::stat(path.constData(), &st) != 0) {
        if (errno == ENOENT || errno == ENOTDIR)
            return std::nullopt;
        throw openError(fileName, causeOf(errno));
    }
    if (!S_ISREG(st.st_mode))
        throw openError(fileName, causeOf(st));
    // Non-blocking all the same, and checked again once open, in case the
    // path was swapped for something else in between.
    FileDescriptor fd(::open(path.constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (!fd.valid()) {
        if (errno == ENOENT)
            return std::nullopt;
        throw openError(fileName, causeOf(errno));
    }
    if (::fstat(fd.get(), &st) != 0)
        throw openError(fileName, causeOf(errno));
    if (!S_ISREG(st.st_mode))
        throw openError(fileName, causeOf(st));
    const qint64 maxBytes = limits.fileMegabytes * 1024 * 1024;
    const auto tooLarge = [&] {
        return Exception(
            QStringLiteral("File %1 is larger than %2 MB").arg(fileName, QString::number(limits.fileMegabytes)));
    };
    if (st.st_size > maxBytes)
        throw tooLarge();

    // The size is a hint only: a file may grow while it is read, and some
    // report none at all.
    QByteArray bytes;
    bytes.resize(qsizetype(std::min<qint64>(std::max<qint64>(st.st_size, 0) + 1, maxBytes + 1)));
    qsizetype size = 0;
    for (;;) {
        if (size == bytes.size()) {
            if (size > maxBytes)
                throw tooLarge();
            bytes.resize(qsizetype(std::min<qint64>(qint64(size) * 2, maxBytes + 1)));
        }
        const ssize_t n = ::read(fd.get(), bytes.data() + size, size_t(bytes.size() - size));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            throw openError(fileName, causeOf(errno));
        }
        if (n == 0)
            break;
        size += n;
    }
    if (size > maxBytes)
        throw tooLarge();
    bytes.truncate(size);
    return fromBytes(std::move(bytes), limits);
}

TextEncoding write(const QString &fileName, const std::vector<ResourceRow> &rows, TextEncoding encoding)
{
    if (rows.empty())
        return encoding;
    TextEncoding used = encoding;
    if (const auto failure = replaceFileAtomically(fileName, toBytes(rows, encoding, &used)))
        throw Exception(QStringLiteral("Cannot create file %1, %2").arg(fileName, failure->cause()));
    return used;
}

} // namespace SessionFile
