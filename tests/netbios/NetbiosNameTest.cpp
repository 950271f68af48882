#include "netbios/NetbiosName.h"
#include "base/ByteReader.h"

#include <gtest/gtest.h>

using namespace netbios;

TEST(ByteReaderTest, ReadsBothByteOrdersAndNeverPastTheEnd)
{
    const QByteArray bytes = QByteArray::fromHex("0102030405");
    ByteReader r(bytes);
    EXPECT_EQ(r.u16be(), 0x0102);
    EXPECT_EQ(r.u16le(), 0x0403);
    EXPECT_FALSE(r.u16be()); // one byte left
    EXPECT_EQ(r.pos(), 4);   // a failed read does not move
    EXPECT_FALSE(r.bytes(2));
    EXPECT_FALSE(r.skip(-1));
    EXPECT_EQ(r.u8(), 0x05);
    EXPECT_FALSE(r.u8());

    const QByteArray eight = QByteArray::fromHex("0807060504030201");
    ByteReader wide(eight);
    EXPECT_EQ(wide.u64le(), 0x0102030405060708ull);
}

TEST(NetbiosNameTest, EncodesTheFirstLevelForm)
{
    struct Case {
        QByteArray name;
        quint8 suffix;
        QByteArray letters;
    };
    const Case cases[] = {
        {"FRED", 0x20, "EGFCEFEECACACACACACACACACACACACA"},
        {"fred", 0x00, "EGFCEFEECACACACACACACACACACACAAA"},              // upper-cased
        {"ABCDEFGHIJKLMNOPQ", 0x03, "EBECEDEEEFEGEHEIEJEKELEMENEOEPAD"}, // cut to 15
        {"", 0x1B, "CACACACACACACACACACACACACACACABL"},
    };
    for (const Case &c : cases) {
        const QByteArray encoded = encodeName(c.name, c.suffix);
        ASSERT_EQ(encoded.size(), kEncodedNameSize) << c.name.constData();
        EXPECT_EQ(encoded.front(), 0x20);
        EXPECT_EQ(encoded.back(), 0);
        EXPECT_EQ(encoded.mid(1, 32), c.letters) << c.name.constData();
    }
    EXPECT_EQ(encodeWildcardName().mid(1, 32), QByteArray("CK").leftJustified(32, 'A'));
}

TEST(NetbiosNameTest, ReadsNamesBackAndRejectsMalformedOnes)
{
    const QByteArray encoded = encodeName("Alpha-1", kMessenger);
    ByteReader plain(encoded);
    EXPECT_EQ(readName(plain), (Name{"ALPHA-1", kMessenger}));
    EXPECT_EQ(plain.pos(), kEncodedNameSize);

    // A pointer back to a name earlier in the packet, then two more bytes.
    const QByteArray pointed = encoded + QByteArray::fromHex("c000abcd");
    ByteReader viaPointer(pointed);
    viaPointer.seek(kEncodedNameSize);
    EXPECT_EQ(readName(viaPointer), (Name{"ALPHA-1", kMessenger}));
    EXPECT_EQ(viaPointer.pos(), kEncodedNameSize + 2);

    QByteArray withScope = encoded;
    withScope.insert(kEncodedNameSize - 1, QByteArray::fromHex("03") + "lan");
    ByteReader scoped(withScope);
    EXPECT_EQ(readName(scoped), (Name{"ALPHA-1", kMessenger}));

    QByteArray badLetter = encoded;
    badLetter[5] = 'Q';
    QByteArray badLength = encoded;
    badLength[0] = 0x1F;
    const QByteArray selfPointer = QByteArray::fromHex("c000");
    const QByteArray forwardPointer = QByteArray::fromHex("c002") + encoded;
    const QByteArray pointerInScope = encoded.chopped(1) + QByteArray::fromHex("c000");
    for (const QByteArray &bad : {badLetter, badLength, selfPointer, forwardPointer, pointerInScope}) {
        ByteReader r(bad);
        EXPECT_FALSE(readName(r)) << bad.toHex().constData();
    }
    for (qsizetype n = 0; n < encoded.size(); ++n) {
        const QByteArray prefix = encoded.first(n);
        ByteReader r(prefix);
        EXPECT_FALSE(readName(r)) << "prefix of " << n << " bytes";
    }
}

TEST(NetbiosNameTest, ComputerNameIsTheFirstLabelUpperCased)
{
    EXPECT_EQ(computerName("ws-07.office.example"), "WS-07");
    EXPECT_EQ(computerName("averyveryverylongname"), "AVERYVERYVERYLO");
    EXPECT_EQ(computerName(".lan"), "");
}
