#include "netbios/Datagram.h"

#include "base/ByteReader.h"

#include <gtest/gtest.h>

using namespace netbios;

TEST(DatagramTest, DirectUniqueCarriesTheSenderAndBothNames)
{
    for (const qsizetype size : {0, 1, 300}) {
        DirectUnique d;
        d.datagramId = 0x1234;
        d.sourceAddress = Ipv4Address::fromHostOrder(0x0AD30102); // 10.211.1.2
        d.sourcePort = 40001;
        d.source = {"LREMCLIENT", kWorkstation};
        d.destination = {"NYSRV", kMessenger};
        d.userData = QByteArray(size, 'u');
        const QByteArray p = buildDirectUnique(d);
        ASSERT_EQ(p.size(), kDatagramHeaderSize + 2 * kEncodedNameSize + size);
        ByteReader r(p);
        EXPECT_EQ(r.u8(), kDirectUnique);
        EXPECT_EQ(r.u8(), kFirstFragment);
        EXPECT_EQ(r.u16be(), 0x1234);
        EXPECT_EQ(r.u32be(), 0x0AD30102u);
        EXPECT_EQ(r.u16be(), 40001);
        EXPECT_EQ(r.u16be(), 2 * kEncodedNameSize + size); // what follows the header
        EXPECT_EQ(r.u16be(), 0);                           // packet offset
        EXPECT_EQ(readName(r), d.source);
        EXPECT_EQ(readName(r), d.destination);
        EXPECT_EQ(p.sliced(r.pos()), d.userData);
    }
    DirectUnique tooLong;
    tooLong.userData = QByteArray(0x10000 - 2 * kEncodedNameSize, 'u');
    EXPECT_TRUE(buildDirectUnique(tooLong).isEmpty());
    tooLong.userData.chop(1);
    EXPECT_EQ(buildDirectUnique(tooLong).size(), kDatagramHeaderSize + 0xFFFF);
}
