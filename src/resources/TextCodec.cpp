#include "resources/TextCodec.h"

#include <QStringDecoder>

namespace {

constexpr char kUtf8Bom[] = "\xEF\xBB\xBF";

// Windows-1252 bytes 0x80..0x9F. The five bytes Windows leaves undefined map
// to the C1 control of the same value, so every byte reads and writes back.
constexpr char16_t kHigh1252[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

int byteOf1252(char16_t c)
{
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF))
        return c;
    for (int k = 0; k < 32; ++k)
        if (kHigh1252[k] == c)
            return 0x80 + k;
    return -1;
}

QString decode1252(QByteArrayView data)
{
    QString text(data.size(), Qt::Uninitialized);
    QChar *dst = text.data();
    for (qsizetype i = 0; i < data.size(); ++i) {
        const auto b = static_cast<unsigned char>(data[i]);
        dst[i] = QChar(b >= 0x80 && b < 0xA0 ? kHigh1252[b - 0x80] : char16_t(b));
    }
    return text;
}

// Appends the text's bytes; false when some character has none.
bool encode1252(const QString &text, QByteArray &out)
{
    const qsizetype start = out.size();
    out.resize(start + text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const int b = byteOf1252(text[i].unicode());
        if (b < 0)
            return false;
        out[start + i] = char(b);
    }
    return true;
}

// Code units are taken as they are, unpaired surrogates included, so that
// whatever the file holds writes back unchanged. A last odd byte is half a
// code unit and cannot be a character; it is dropped.
DecodedText decodeUtf16(QByteArrayView data, bool littleEndian)
{
    DecodedText out;
    out.encoding = littleEndian ? TextEncoding::Utf16Le : TextEncoding::Utf16Be;
    const qsizetype units = data.size() / 2;
    out.text.resize(units);
    QChar *dst = out.text.data();
    for (qsizetype i = 0; i < units; ++i) {
        const auto a = static_cast<unsigned char>(data[2 * i]);
        const auto b = static_cast<unsigned char>(data[2 * i + 1]);
        const char16_t unit = littleEndian ? char16_t(a | b << 8) : char16_t(a << 8 | b);
        if (unit == 0) {
            out.text.truncate(i);
            out.endedAtNul = true;
            break;
        }
        dst[i] = QChar(unit);
    }
    return out;
}

QByteArray encodeUtf16(const QString &text, bool littleEndian)
{
    QByteArray out;
    out.reserve(2 + 2 * text.size());
    out.append(littleEndian ? "\xFF\xFE" : "\xFE\xFF", 2);
    for (const QChar c : text) {
        const char16_t unit = c.unicode();
        const char lo = char(unit & 0xFF);
        const char hi = char(unit >> 8);
        out.append(littleEndian ? lo : hi);
        out.append(littleEndian ? hi : lo);
    }
    return out;
}

bool isAscii(QByteArrayView data)
{
    for (const char c : data)
        if (static_cast<unsigned char>(c) >= 0x80)
            return false;
    return true;
}

} // namespace

DecodedText decodeText(const QByteArray &bytes)
{
    // UTF-16 first: its text is full of NUL bytes.
    if (bytes.startsWith("\xFF\xFE"))
        return decodeUtf16(QByteArrayView(bytes).sliced(2), true);
    if (bytes.startsWith("\xFE\xFF"))
        return decodeUtf16(QByteArrayView(bytes).sliced(2), false);

    DecodedText out;
    const qsizetype nul = bytes.indexOf('\0');
    out.endedAtNul = nul >= 0;
    QByteArrayView data = nul >= 0 ? QByteArrayView(bytes).first(nul) : QByteArrayView(bytes);

    const bool bom = data.startsWith(kUtf8Bom);
    if (bom)
        data = data.sliced(3);
    // The mark was taken off above: a second one is text and stays.
    QStringDecoder utf8(QStringDecoder::Utf8,
                        QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
    QString text = utf8.decode(data);
    if (!utf8.hasError()) {
        out.text = std::move(text);
        out.encoding = bom ? TextEncoding::Utf8WithBom : TextEncoding::Utf8;
        return out;
    }
    out.text = decode1252(data);
    out.encoding = bom ? TextEncoding::Windows1252WithBom : TextEncoding::Windows1252;
    return out;
}

QByteArray encodeText(const QString &text, TextEncoding requested, TextEncoding *used)
{
    QByteArray out;
    switch (requested) {
    case TextEncoding::Utf16Le:
    case TextEncoding::Utf16Be:
        out = encodeUtf16(text, requested == TextEncoding::Utf16Le);
        break;
    case TextEncoding::Windows1252:
    case TextEncoding::Windows1252WithBom: {
        const bool bom = requested == TextEncoding::Windows1252WithBom;
        if (bom)
            out.append(kUtf8Bom);
        // Bytes that happen to be valid UTF-8 would read back as UTF-8, as
        // other text: "Ã©" would come back as "é". The file they came from
        // was not valid UTF-8 only because of text that was not kept.
        if (encode1252(text, out)) {
            const QByteArrayView body = QByteArrayView(out).sliced(bom ? 3 : 0);
            if (isAscii(body) || !body.isValidUtf8())
                break;
        }
        requested = bom ? TextEncoding::Utf8WithBom : TextEncoding::Utf8;
        out = text.toUtf8();
        if (bom)
            out.prepend(kUtf8Bom);
        break;
    }
    case TextEncoding::Utf8WithBom:
        out = kUtf8Bom + text.toUtf8();
        break;
    case TextEncoding::Utf8:
        out = text.toUtf8();
        break;
    }
    if (used)
        *used = requested;
    return out;
}
