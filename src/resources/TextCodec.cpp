#include "resources/TextCodec.h"

#include <QStringDecoder>
#include <QStringEncoder>

namespace {

// Windows-1252 bytes 0x80..0x9F. The five bytes Windows leaves undefined map
// to the C1 control of the same value, so every byte reads and writes back.
constexpr char16_t kHigh1252[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
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

} // namespace

DecodedText decodeText(const QByteArray &bytes)
{
    const qsizetype nul = bytes.indexOf('\0');
    QByteArrayView data = nul >= 0 ? QByteArrayView(bytes).first(nul) : QByteArrayView(bytes);

    DecodedText out;
    if (data.startsWith("\xEF\xBB\xBF")) {
        out.encoding = TextEncoding::Utf8WithBom;
        data = data.sliced(3);
    }
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8.decode(data);
    if (!utf8.hasError()) {
        out.text = std::move(text);
        return out;
    }
    out.encoding = TextEncoding::Windows1252;
    data = nul >= 0 ? QByteArrayView(bytes).first(nul) : QByteArrayView(bytes);
    out.text.resize(data.size());
    QChar *dst = out.text.data();
    for (qsizetype i = 0; i < data.size(); ++i) {
        const auto b = static_cast<unsigned char>(data[i]);
        dst[i] = QChar(b >= 0x80 && b < 0xA0 ? kHigh1252[b - 0x80] : char16_t(b));
    }
    return out;
}

QByteArray encodeText(const QString &text, TextEncoding requested, TextEncoding *used)
{
    if (requested == TextEncoding::Windows1252) {
        QByteArray out;
        out.resize(text.size());
        bool fits = true;
        for (qsizetype i = 0; i < text.size() && fits; ++i) {
            const int b = byteOf1252(text[i].unicode());
            fits = b >= 0;
            out[i] = char(b);
        }
        if (fits) {
            if (used)
                *used = TextEncoding::Windows1252;
            return out;
        }
        requested = TextEncoding::Utf8;
    }
    if (used)
        *used = requested;
    QByteArray out = text.toUtf8();
    if (requested == TextEncoding::Utf8WithBom)
        out.prepend("\xEF\xBB\xBF");
    return out;
}
