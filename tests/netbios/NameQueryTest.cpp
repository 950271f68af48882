#include "netbios/NameQuery.h"
#include "remote/Captures.h"

#include <gtest/gtest.h>

using namespace netbios;

namespace {
constexpr quint16 kCapturedId = 0x4C52; // the id the captured queries had
constexpr Ipv4Address ip(int a, int b, int c, int d)
{
    return Ipv4Address::fromHostOrder(quint32(a) << 24 | quint32(b) << 16 | quint32(c) << 8 | quint32(d));
}
} // namespace

TEST(NameQueryTest, QueriesOneNameByUnicastOrBroadcast)
{
    for (const bool broadcast : {false, true}) {
        const QByteArray q = buildNameQuery(0xBEEF, "nysrv", kWorkstation, broadcast);
        ASSERT_EQ(q.size(), 12 + kEncodedNameSize + 4);
        // Id, flags (recursion desired, broadcast flag), one question.
        EXPECT_EQ(q.first(12).toHex(), broadcast ? "beef01100001000000000000" : "beef01000001000000000000");
        EXPECT_EQ(q.mid(12, kEncodedNameSize), encodeName("NYSRV", kWorkstation));
        EXPECT_EQ(q.last(4).toHex(), "00200001"); // NB, IN
    }
}

TEST(NameQueryTest, ReadsRealAnswersAndNothingShortOfThem)
{
    const struct {
        const char *file;
        Name asked;
        NameQueryReply reply;
    } cases[] = {
        {"nysrv-unicast.bin", {"NYSRV", kWorkstation}, {true, {ip(10, 211, 1, 11)}}},
        {"insrv-broadcast.bin", {"insrv", kWorkstation}, {true, {ip(10, 211, 1, 12)}}},
        {"defsrv-messenger-unicast.bin", {"DEFSRV", kMessenger}, {true, {ip(10, 211, 1, 10)}}},
        {"group-broadcast.bin", {"LREMTEST", kWorkstation}, {true, {ip(10, 211, 1, 10)}}},
        // A WINS server's "no such name": a NULL record, no address.
        {"unknown-unicast.bin", {"NOSUCH", kWorkstation}, {false, {}}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.file);
        const QByteArray packet = capture("name_query", c.file);
        EXPECT_EQ(readNameQueryReply(packet, kCapturedId, c.asked), c.reply);
        // Another transaction, name or suffix is not our answer.
        EXPECT_FALSE(readNameQueryReply(packet, kCapturedId + 1, c.asked));
        EXPECT_FALSE(readNameQueryReply(packet, kCapturedId, Name{c.asked.name + "X", c.asked.suffix}));
        EXPECT_FALSE(readNameQueryReply(packet, kCapturedId, Name{c.asked.name, quint8(c.asked.suffix ^ 0x20)}));
        for (qsizetype n = 0; n < packet.size(); ++n)
            EXPECT_FALSE(readNameQueryReply(packet.first(n), kCapturedId, c.asked)) << "prefix of " << n << " bytes";
    }
}

TEST(NameQueryTest, IgnoresWhatIsNoAnswerToAQuery)
{
    const QByteArray good = capture("name_query", "nysrv-unicast.bin");
    const Name asked{"NYSRV", kWorkstation};
    const qsizetype rdLength = good.size() - 6 - 2; // the last entry: flags and address
    auto changed = [&](qsizetype at, const char *hex) {
        QByteArray p = good;
        const QByteArray bytes = QByteArray::fromHex(hex);
        p.replace(at, bytes.size(), bytes);
        return p;
    };
    const struct {
        const char *what;
        QByteArray packet;
    } cases[] = {
        {"our own query", buildNameQuery(kCapturedId, "NYSRV", kWorkstation, false)},
        {"a request flag", changed(2, "0580")},
        {"a wait notice (opcode 7)", changed(2, "b880")},
        {"a redirect (not authoritative)", changed(2, "8180")},
        {"two answers", changed(6, "0002")},
        {"another record type", changed(12 + kEncodedNameSize, "0021")},
        {"another class", changed(12 + kEncodedNameSize + 2, "0002")},
        {"an entry cut short", changed(rdLength, "0005")},
        {"no entry", changed(rdLength, "0000")},
        {"more entries than bytes", changed(rdLength, "000c")},
    };
    for (const auto &c : cases)
        EXPECT_FALSE(readNameQueryReply(c.packet, kCapturedId, asked)) << c.what;
    // Trailing bytes after the record do not matter.
    EXPECT_TRUE(readNameQueryReply(good + "xyz", kCapturedId, asked));
}
