#include "netbios/NodeStatus.h"
#include "netbios/NetbiosName.h"
#include "support/NodeStatusReplies.h"

#include <QFile>
#include <gtest/gtest.h>

using namespace netbios;

namespace {

// Replies of Samba 4.17's nmbd, captured with tshark on the test network:
// the local master browser of ALPHA (transaction 0x7f38) and a member of
// BETA (0x0b72).
const QByteArray kMasterReply = QByteArray::fromHex(
    "7f388400000000010000000020434b41414141414141414141414141414141414141414141414141414141414100002100010000000000ad07"
    "53312020202020202020202020202000040053312020202020202020202020202003040053312020202020202020202020202020040001025f"
    "5f4d5342524f5753455f5f02018400414c50484120202020202020202020008400414c504841202020202020202020201d0400414c50484120"
    "2020202020202020201e8400000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000"
    "00");
const QByteArray kMemberReply = QByteArray::fromHex(
    "0b728400000000010000000020434b4141414141414141414141414141414141414141414141414141414141410000210001000000000089"
    "055333202020202020202020202020200004005333202020202020202020202020200304005333202020202020202020202020202004004245"
    "544120202020202020202020200084004245544120202020202020202020201e84000000000000000000000000000000000000000000000000"
    "00"
    "00000000000000000000000000000000000000000000");

// Where the fields of a reply to a node-status request begin.
constexpr int kFlagsAt = 2, kAnswersAt = 6, kTypeAt = 46, kClassAt = 48, kLengthAt = 54, kCountAt = 56;

QByteArray withU16(QByteArray packet, int at, quint16 value)
{
    packet[at] = char(value >> 8);
    packet[at + 1] = char(value & 0xFF);
    return packet;
}

} // namespace

TEST(NodeStatusTest, TheRequestAsksForEveryNameOfTheMachine)
{
    const QByteArray request = buildNodeStatusRequest(0xBEEF);
    EXPECT_EQ(request.left(12).toHex(), "beef00000001000000000000");
    EXPECT_EQ(request.mid(12, kEncodedNameSize), encodeWildcardName());
    EXPECT_EQ(request.mid(12 + kEncodedNameSize).toHex(), "00210001");
}

TEST(NodeStatusTest, ReadsTheNameTablesOfRealReplies)
{
    const auto master = parseNodeStatusReply(kMasterReply, 0x7f38);
    ASSERT_TRUE(master);
    const QList<NodeStatusName> expected = {
        {"S1", 0x00, false},   {"S1", 0x03, false},    {"S1", 0x20, false},   {"\x01\x02__MSBROWSE__\x02", 0x01, true},
        {"ALPHA", 0x00, true}, {"ALPHA", 0x1d, false}, {"ALPHA", 0x1e, true},
    };
    EXPECT_EQ(master->names, expected);
    EXPECT_EQ(master->computer(), "S1");
    EXPECT_EQ(master->workgroup(), "ALPHA");
    EXPECT_EQ(master->mac, QByteArray(6, '\0'));

    const auto member = parseNodeStatusReply(kMemberReply, 0x0b72);
    ASSERT_TRUE(member);
    EXPECT_EQ(member->names.size(), 5);
    EXPECT_EQ(member->computer(), "S3");
    EXPECT_EQ(member->workgroup(), "BETA");
}

TEST(NodeStatusTest, EveryTruncatedPrefixIsRefused)
{
    for (const QByteArray &reply : {kMasterReply, kMemberReply}) {
        const quint16 id = quint16((quint8(reply[0]) << 8) | quint8(reply[1]));
        for (qsizetype n = 0; n < reply.size(); ++n)
            EXPECT_FALSE(parseNodeStatusReply(reply.left(n), id)) << "prefix of " << n << " bytes";
    }
}

TEST(NodeStatusTest, RefusesWhatIsNoReplyToOurRequest)
{
    struct Case {
        const char *what;
        QByteArray packet;
    };
    QByteArray longCount = kMemberReply;
    longCount[kCountAt] = 8; // more names than the record's 137 bytes hold
    const Case cases[] = {
        {"another transaction", withU16(kMasterReply, 0, 0x7f39)},
        {"a request", withU16(kMasterReply, kFlagsAt, 0x0400)},
        {"an error answer", withU16(kMasterReply, kFlagsAt, 0x8403)},
        {"another operation", withU16(kMasterReply, kFlagsAt, 0xA800)},
        {"no answer record", withU16(kMasterReply, kAnswersAt, 0)},
        {"a name record instead of a status", withU16(kMasterReply, kTypeAt, 0x0020)},
        {"another class", withU16(kMasterReply, kClassAt, 0x0002)},
        {"a record longer than the packet", withU16(kMasterReply, kLengthAt, 0x00ae)},
        {"more names than the record holds", longCount},
        {"a malformed record name", QByteArray(kMasterReply).replace(13, 1, "z")},
    };
    for (const Case &c : cases) {
        const quint16 id = c.packet.startsWith("\x7f") ? 0x7f38 : 0x0b72;
        EXPECT_FALSE(parseNodeStatusReply(c.packet, id)) << c.what;
    }
}

TEST(NodeStatusTest, ARecordThatEndsAfterTheNamesHasNoHardwareAddress)
{
    // Five names of eighteen bytes and their count: nothing after them.
    const int names = 1 + 5 * 18;
    const QByteArray cut = withU16(kMemberReply.left(kCountAt + names), kLengthAt, names);
    const auto status = parseNodeStatusReply(cut, 0x0b72);
    ASSERT_TRUE(status);
    EXPECT_EQ(status->workgroup(), "BETA");
    EXPECT_TRUE(status->mac.isEmpty());
    // And a table without a unique or a group <00> name names nothing.
    QByteArray noZero = cut;
    noZero[kCountAt] = 1;
    noZero = withU16(noZero.left(kCountAt + 1 + 18), kLengthAt, 1 + 18);
    noZero[kCountAt + 1 + 15] = 0x20;
    const auto server = parseNodeStatusReply(noZero, 0x0b72);
    ASSERT_TRUE(server);
    EXPECT_EQ(server->names.size(), 1);
    EXPECT_TRUE(server->computer().isEmpty());
    EXPECT_TRUE(server->workgroup().isEmpty());
}

TEST(NodeStatusTest, TablesOfEveryLengthAreReadWhole)
{
    // 100 names are 1.9 KB, more than one frame; 255 is the most a count holds.
    for (const int count : {2, 100, 255}) {
        const auto status = parseNodeStatusReply(nodeStatusReply(0x1234, nameTable("WS7", "OFFICE", count)), 0x1234);
        ASSERT_TRUE(status) << count;
        EXPECT_EQ(status->names.size(), count);
        EXPECT_EQ(status->computer(), "WS7");
        EXPECT_EQ(status->workgroup(), "OFFICE");
        EXPECT_EQ(status->mac.toHex(), "525400123456");
    }
}
