#include "base/Ipv4.h"

#include <gtest/gtest.h>

namespace {

constexpr Ipv4Address ip(int a, int b, int c, int d)
{
    return Ipv4Address::fromHostOrder(quint32(a) << 24 | quint32(b) << 16 | quint32(c) << 8 | quint32(d));
}

} // namespace

TEST(Ipv4Test, SubnetsKnowTheirMaskNetworkAndBroadcast)
{
    const Ipv4Subnet s24{ip(10, 1, 2, 3), 24}, s0{ip(10, 1, 2, 3), 0}, s31{ip(10, 9, 9, 0), 31},
        s32{ip(10, 9, 9, 1), 32};
    EXPECT_EQ(s24.mask(), 0xFFFFFF00u);
    EXPECT_EQ(s24.network(), ip(10, 1, 2, 0));
    EXPECT_EQ(s24.broadcast(), ip(10, 1, 2, 255));
    EXPECT_TRUE(s24.contains(ip(10, 1, 2, 200)));
    EXPECT_FALSE(s24.contains(ip(10, 1, 3, 1)));
    EXPECT_EQ(s0.mask(), 0u);
    EXPECT_TRUE(s0.contains(ip(192, 168, 0, 1)));
    EXPECT_FALSE(s31.hasBroadcast());
    EXPECT_FALSE(s32.hasBroadcast());
    EXPECT_EQ(s32.mask(), 0xFFFFFFFFu);
}

TEST(Ipv4Test, OnlyAnotherMachinesUnicastAddressNamesAHost)
{
    const QList<Ipv4Subnet> local = {{ip(10, 1, 2, 3), 24}, {ip(192, 168, 7, 9), 30}};
    const struct {
        Ipv4Address address;
        bool host;
    } cases[] = {
        {ip(10, 1, 2, 4), true},        {ip(10, 9, 9, 9), true},         {ip(169, 254, 1, 1), true},
        {ip(223, 255, 255, 254), true}, {ip(10, 1, 3, 0), true},      // a host of a wider subnet elsewhere
        {ip(10, 1, 2, 3), false},       {ip(192, 168, 7, 9), false},  // ours
        {ip(10, 1, 2, 255), false},     {ip(192, 168, 7, 11), false}, // our subnets' broadcasts
        {ip(10, 1, 2, 0), false},       {ip(192, 168, 7, 8), false},  // and their network addresses
        {ip(127, 0, 0, 1), false},      {ip(127, 1, 2, 3), false},       {ip(0, 0, 0, 0), false},
        {ip(0, 1, 2, 3), false},        {ip(224, 0, 0, 1), false},       {ip(239, 255, 255, 250), false},
        {ip(240, 0, 0, 1), false},      {ip(255, 255, 255, 255), false},
    };
    for (const auto &c : cases)
        EXPECT_EQ(isOtherUnicastHost(c.address, local), c.host) << c.address.toString().toStdString();
}

TEST(Ipv4Test, AddressesReadOnlyFourDecimalNumbersAndNameTheirByteOrder)
{
    const struct {
        const char *text;
        std::optional<quint32> hostOrder;
    } cases[] = {
        {"10.0.0.1", 0x0A000001},
        {"255.255.255.255", 0xFFFFFFFF},
        {"0.0.0.0", 0},
        {"192.168.1.10", 0xC0A8010A},
        {"192.168.001.010", std::nullopt}, // octal to inet_addr (192.168.1.8): two readings, so none
        {"10.0.0.00", std::nullopt},
        {"10.1", std::nullopt},
        {"10.0.0.256", std::nullopt},
        {"10.0.0.1 ", std::nullopt},
        {" 10.0.0.1", std::nullopt},
        {"10.0.0.1.", std::nullopt},
        {"10..0.1", std::nullopt},
        {"0x0A.0.0.1", std::nullopt},
        {"10.0.0.0001", std::nullopt},
        {"", std::nullopt},
        {"host", std::nullopt},
    };
    for (const auto &c : cases) {
        const auto a = Ipv4Address::fromText(QString::fromLatin1(c.text));
        ASSERT_EQ(a.has_value(), c.hostOrder.has_value()) << c.text;
        if (a) {
            EXPECT_EQ(a->hostOrder(), *c.hostOrder) << c.text;
        }
    }
    const Ipv4Address a = Ipv4Address::fromHostOrder(0x0A000102);
    EXPECT_EQ(a.toString(), "10.0.1.2");
    EXPECT_EQ(Ipv4Address::fromNetworkOrder(a.networkOrder()), a);
    const quint32 network = a.networkOrder();
    EXPECT_EQ(reinterpret_cast<const unsigned char *>(&network)[0], 10); // the first byte on the wire
    EXPECT_LT(Ipv4Address::fromHostOrder(1), Ipv4Address::fromHostOrder(2));
}

// The classic forms the echo service has always read, as inet_addr reads
// them, and what it never took for an address.
TEST(Ipv4Test, InetAddrTextReadsTheClassicForms)
{
    const struct {
        QString text;
        std::optional<quint32> hostOrder;
    } cases[] = {
        {"10.0.0.1", 0x0A000001},
        {"10.1", 0x0A000001}, // the last number fills the bytes left
        {"10.1.1", 0x0A010001},
        {"1.16777215", 0x01FFFFFF},
        {"167772161", 0x0A000001},
        {"0x0A000001", 0x0A000001},
        {"0XA.0xb.0xC.0xd", 0x0A0B0C0D},
        {"010.0.0.1", 0x08000001}, // octal
        {"10.0.0.1 and more", 0x0A000001},
        {"10.0.0.1\t", 0x0A000001},
        {"255.255.255.255", 0xFFFFFFFF},
        {"4294967295", 0xFFFFFFFF},
        {"10.0.0.256", std::nullopt},
        {"1.16777216", std::nullopt},
        {"4294967296", std::nullopt},
        {"08", std::nullopt}, // no octal digit
        {"0x", std::nullopt},
        {"1.2.3.4.5", std::nullopt},
        {"1..2", std::nullopt},
        {"1.", std::nullopt},
        {" 10.0.0.1", std::nullopt},
        {"10.0.0.1x", std::nullopt},
        {"3com", std::nullopt},
        {"-1", std::nullopt},
        {"host", std::nullopt},
        {"", std::nullopt},
        {"10.0.0.1" + QString(QChar(0)) + " 10.0.0.2", std::nullopt}, // a NUL ends no text of ours
        {QString::fromUtf16(u"\u0661.0.0.1"), std::nullopt},          // an Arabic-Indic one
    };
    for (const auto &c : cases) {
        const auto a = Ipv4Address::fromInetAddrText(c.text);
        ASSERT_EQ(a.has_value(), c.hostOrder.has_value()) << c.text.toStdString();
        if (a) {
            EXPECT_EQ(a->hostOrder(), *c.hostOrder) << c.text.toStdString();
        }
    }
}
