#include "resources/TextCodec.h"

#include <gtest/gtest.h>

namespace {

// Bytes as a file holds them, and what they decode to.
struct Decoding {
    const char *name;
    QByteArray bytes;
    TextEncoding encoding;
    QString text;
    bool endedAtNul = false;
};

DecodedText expectDecodes(const Decoding &c)
{
    const DecodedText d = decodeText(c.bytes);
    EXPECT_EQ(d.encoding, c.encoding);
    EXPECT_EQ(d.text, c.text);
    EXPECT_EQ(d.endedAtNul, c.endedAtNul);
    return d;
}

} // namespace

TEST(TextCodec, ValidUtf8IsReadAsUtf8AndStopsAtNul)
{
    const DecodedText d = decodeText(QByteArray("0,,Stra\xC3\x9F"
                                                "e,\r\n\0"
                                                "0,,hidden,",
                                                22));
    EXPECT_EQ(d.encoding, TextEncoding::Utf8);
    EXPECT_EQ(d.text, QString::fromUtf8("0,,Straße,\r\n"));
}

TEST(TextCodec, InvalidUtf8IsWindows1252WithEveryByteKept)
{
    QByteArray all;
    for (int b = 1; b < 256; ++b)
        all.append(char(b));
    const DecodedText d = decodeText(all);
    EXPECT_EQ(d.encoding, TextEncoding::Windows1252);
    EXPECT_EQ(d.text[0x80 - 1], QChar(0x20AC));
    TextEncoding used;
    EXPECT_EQ(encodeText(d.text, d.encoding, &used), all);
    EXPECT_EQ(used, TextEncoding::Windows1252);
}

TEST(TextCodec, ByteOrderMarkIsKeptAndTextWindows1252CannotHoldGoesOutAsUtf8)
{
    const DecodedText d = decodeText("\xEF\xBB\xBF"
                                     "0,,a,");
    EXPECT_EQ(d.encoding, TextEncoding::Utf8WithBom);
    EXPECT_EQ(d.text, "0,,a,");
    EXPECT_EQ(encodeText(d.text, d.encoding), QByteArray("\xEF\xBB\xBF"
                                                         "0,,a,"));
    TextEncoding used;
    const QString cyrillic = QString::fromUtf8("0,,Сервер,");
    EXPECT_EQ(encodeText(cyrillic, TextEncoding::Windows1252, &used), cyrillic.toUtf8());
    EXPECT_EQ(used, TextEncoding::Utf8);
}

// Every way the bytes can start: what they decode to, and that the text
// encodes back to exactly those bytes.
TEST(TextCodec, EachEncodingDecodesAndEncodesBackByteForByte)
{
    const Decoding cases[] = {
        {"UTF-8", "0,,\xC3\xA9,", TextEncoding::Utf8, QString::fromUtf8("0,,é,")},
        {"UTF-8 with mark",
         "\xEF\xBB\xBF"
         "0,,\xC3\xA9,",
         TextEncoding::Utf8WithBom, QString::fromUtf8("0,,é,")},
        // Only the first mark is the file's; a second one is text.
        {"UTF-8 with two marks",
         "\xEF\xBB\xBF\xEF\xBB\xBF"
         "0,,",
         TextEncoding::Utf8WithBom, QString(QChar(0xFEFF)) + "0,,"},
        {"Windows-1252", "0,,\xE9\x80,", TextEncoding::Windows1252, QString::fromUtf8("0,,é€,")},
        // The mark is a mark, not the text "ï»¿" in the first field.
        {"Windows-1252 behind a UTF-8 mark",
         "\xEF\xBB\xBF"
         "0,,\xE9,",
         TextEncoding::Windows1252WithBom, QString::fromUtf8("0,,é,")},
        {"UTF-16 LE",
         QByteArray("\xFF\xFE"
                    "0\0,\0\xE9\0\xAC\x20,\0\r\0\n\0",
                    16),
         TextEncoding::Utf16Le, QString::fromUtf8("0,é€,\r\n")},
        {"UTF-16 BE",
         QByteArray("\xFE\xFF"
                    "\0"
                    "0\0,\0\xE9\x20\xAC\0,",
                    12),
         TextEncoding::Utf16Be, QString::fromUtf8("0,é€,")},
        {"UTF-16 mark alone", "\xFF\xFE", TextEncoding::Utf16Le, ""},
        // Whatever the code units are, they come back unchanged.
        {"UTF-16 unpaired surrogate",
         QByteArray("\xFF\xFE"
                    "0\0\x00\xD8,\0",
                    8),
         TextEncoding::Utf16Le, QStringLiteral("0") + QChar(0xD800) + QLatin1Char(',')},
        {"UTF-16 pair",
         QByteArray("\xFF\xFE"
                    "\x3D\xD8\x00\xDE",
                    6),
         TextEncoding::Utf16Le, QString::fromUtf8("\xF0\x9F\x98\x80")},
    };
    for (const Decoding &c : cases) {
        SCOPED_TRACE(c.name);
        const DecodedText d = expectDecodes(c);
        TextEncoding used;
        EXPECT_EQ(encodeText(d.text, d.encoding, &used), c.bytes);
        EXPECT_EQ(used, c.encoding);
    }
}

TEST(TextCodec, NulEndsTheTextInEveryEncoding)
{
    const Decoding cases[] = {
        {"UTF-8",
         QByteArray("0,\0"
                    "1,",
                    5),
         TextEncoding::Utf8, "0,", true},
        {"invalid UTF-8 only behind the NUL",
         QByteArray("0,\0"
                    "\xE9",
                    4),
         TextEncoding::Utf8, "0,", true},
        {"Windows-1252",
         QByteArray("\xE9,\0"
                    "1,",
                    5),
         TextEncoding::Windows1252, QString::fromUtf8("é,"), true},
        {"UTF-16 LE: a NUL character, not a NUL byte",
         QByteArray("\xFF\xFE"
                    "0\0,\0\0\0"
                    "1\0",
                    10),
         TextEncoding::Utf16Le, "0,", true},
        {"UTF-16 BE",
         QByteArray("\xFE\xFF"
                    "\0"
                    "0\0\0\0"
                    "1",
                    8),
         TextEncoding::Utf16Be, "0", true},
        // Half a code unit at the end is no character, and no NUL either.
        {"UTF-16 odd last byte",
         QByteArray("\xFF\xFE"
                    "0\0,\0\0",
                    7),
         TextEncoding::Utf16Le, "0,", false},
    };
    for (const Decoding &c : cases) {
        SCOPED_TRACE(c.name);
        expectDecodes(c);
    }
}

TEST(TextCodec, TextWindows1252CannotHoldKeepsItsByteOrderMarkAsUtf8)
{
    TextEncoding used;
    const QString cyrillic = QString::fromUtf8("0,,Сервер,");
    EXPECT_EQ(encodeText(cyrillic, TextEncoding::Windows1252WithBom, &used), "\xEF\xBB\xBF" + cyrillic.toUtf8());
    EXPECT_EQ(used, TextEncoding::Utf8WithBom);
}

// Windows-1252 text is only written as such when it reads back as the same
// text: bytes that make valid UTF-8 would be read as UTF-8.
TEST(TextCodec, Windows1252TextThatWouldReadBackAsOtherTextIsWrittenAsUtf8)
{
    const QString mojibake = QString::fromUtf8("0,,Ã©,");
    const struct {
        const char *name;
        QString text;
        TextEncoding requested;
        QByteArray bytes;
        TextEncoding used;
    } cases[] = {
        {"bytes that are UTF-8", mojibake, TextEncoding::Windows1252, mojibake.toUtf8(), TextEncoding::Utf8},
        {"behind a mark", mojibake, TextEncoding::Windows1252WithBom, "\xEF\xBB\xBF" + mojibake.toUtf8(),
         TextEncoding::Utf8WithBom},
        {"bytes that are not UTF-8", QString::fromUtf8("0,,é,"), TextEncoding::Windows1252, "0,,\xE9,",
         TextEncoding::Windows1252},
        {"plain ASCII", "0,,a,", TextEncoding::Windows1252, "0,,a,", TextEncoding::Windows1252},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        TextEncoding used;
        const QByteArray bytes = encodeText(c.text, c.requested, &used);
        EXPECT_EQ(bytes, c.bytes);
        EXPECT_EQ(used, c.used);
        EXPECT_EQ(decodeText(bytes).text, c.text);
    }
}
