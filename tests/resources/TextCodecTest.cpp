#include "resources/TextCodec.h"

#include <gtest/gtest.h>

TEST(TextCodec, ValidUtf8IsReadAsUtf8AndStopsAtNul)
{
    const DecodedText d = decodeText(QByteArray("0,,Stra\xC3\x9F" "e,\r\n\0" "0,,hidden,", 22));
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
    const DecodedText d = decodeText("\xEF\xBB\xBF" "0,,a,");
    EXPECT_EQ(d.encoding, TextEncoding::Utf8WithBom);
    EXPECT_EQ(d.text, "0,,a,");
    EXPECT_EQ(encodeText(d.text, d.encoding), QByteArray("\xEF\xBB\xBF" "0,,a,"));
    TextEncoding used;
    const QString cyrillic = QString::fromUtf8("0,,Сервер,");
    EXPECT_EQ(encodeText(cyrillic, TextEncoding::Windows1252, &used), cyrillic.toUtf8());
    EXPECT_EQ(used, TextEncoding::Utf8);
}
