#include "base/NetworkText.h"

#include <gtest/gtest.h>

TEST(NetworkTextTest, EveryCharacterThatCouldBreakALineOrAFieldIsReplacedNothingElse)
{
    const struct {
        const char *what;
        QString in;
        QString out;
    } cases[] = {
        {"a plain name", "WS-07_Büro", "WS-07_Büro"},
        {"a comma, which ends a field", "A,B", "A?B"},
        {"CR and LF, which end a line", "A\r\nB,C", "A??B?C"},
        {"a row planted after a line end", "\n0,,X,10.84.0.7", "?0??X?10.84.0.7"},
        {"C0 controls and tab", QString::fromLatin1("\x01\x07\x08\x1b\tZ"), "?????Z"},
        {"NUL", QStringLiteral("A") + QChar(0) + "B", "A?B"},
        {"DEL and the C1 controls, NEL among them", QString(QChar(0x7F)) + QChar(0x85) + QChar(0x9F) + "x", "???x"},
        {"line and paragraph separators", QString(QChar(0x2028)) + QChar(0x2029), "??"},
        {"blanks, semicolons, quotes and the first printable after C1 stay", QString(" a;\"b\" ") + QChar(0xA0),
         QString(" a;\"b\" ") + QChar(0xA0)},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(cleanNetworkText(c.in), c.out) << c.what;
        EXPECT_EQ(cleanNetworkText(c.in).size(), c.in.size()) << c.what << ": nothing is dropped";
        EXPECT_TRUE(isCleanNetworkText(cleanNetworkText(c.in))) << c.what;
        EXPECT_EQ(isCleanNetworkText(c.in), c.in == c.out) << c.what;
    }
}
