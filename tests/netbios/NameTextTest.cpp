#include "netbios/NameText.h"

#include <gtest/gtest.h>

TEST(NameTextTest, NamesReadAsUtf8WhereValidOtherwiseAsTheOemCodePage)
{
    const struct {
        const char *what;
        QByteArray bytes;
        QString name;
    } cases[] = {
        {"ASCII", "WS-07", "WS-07"},
        {"CP850 \"Ü\" and \"ß\"", "B\x9aRO-\xe1", "BÜRO-ß"},
        {"CP850 bytes 0x80-0x9F are letters, not controls", "\x80\x81\x82\x9f", "Çüéƒ"},
        {"CP850 box drawing and the no-break space", "\xb3\xc9\xff", QStringLiteral("│╔") + QChar(0xA0)},
        {"UTF-8", "B\xc3\x9cRO-\xc3\x9f", "BÜRO-ß"},
        {"UTF-8 of three bytes", "\xe2\x82\xac", "€"},
        {"UTF-8 cut short is OEM text", "B\xc3", "B├"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(netbios::decodeNameBytes(c.bytes), c.name) << c.what;
}

TEST(NameTextTest, ADisplayNameHoldsNoControlCommaOrLineEnd)
{
    const struct {
        QByteArray bytes;
        QString name;
    } cases[] = {
        {"A\r\nB,C", "A??B?C"},     {"\n0,,X,10.84.0.7", "?0??X?10.84.0.7"}, {"\x01\x07\x08\x1b\t", "?????"},
        {"\xc2\x85\xc2\x9f", "??"}, // C1 controls in UTF-8
        {"B\x9aRO", "BÜRO"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(netbios::displayName(c.bytes), c.name) << c.bytes.toHex().constData();
}
