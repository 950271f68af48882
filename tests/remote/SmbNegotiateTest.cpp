#include "remote/SmbNegotiate.h"
#include "remote/Captures.h"

#include <gtest/gtest.h>

using namespace smb;

namespace {

// The captures' clocks, read with another tool, and the zones their
// servers were started in (New York in December: UTC = local + 300).
const struct {
    const char *file;
    quint64 fileTime;
    int zone;
} kCaptures[] = {
    {"defsrv-smb1-offer.bin", 134411842000809490ull, kTimeZoneUnknown}, // SMB2 answer to SMB1
    {"defsrv-smb2-offer.bin", 134411842000936130ull, kTimeZoneUnknown}, // 3.1.1 answer with contexts
    {"nysrv-nt1.bin", 134411842001036892ull, 300},
    {"insrv-nt1.bin", 134411842001116509ull, -330},
};

QByteArray patched(QByteArray bytes, qsizetype at, const char *hex)
{
    const QByteArray b = QByteArray::fromHex(hex);
    bytes.replace(at, b.size(), b);
    return bytes;
}

} // namespace

TEST(SmbNegotiateTest, ReadsTheClockOfRealAnswersAndWaitsOnEveryPrefix)
{
    for (const auto &c : kCaptures) {
        SCOPED_TRACE(c.file);
        const QByteArray reply = capture("smb_negotiate", c.file);
        const NegotiateReply r = readNegotiateReply(reply);
        ASSERT_EQ(r.kind, NegotiateReply::Time);
        EXPECT_EQ(r.time.fileTime, c.fileTime);
        EXPECT_EQ(r.time.zoneMinutes, c.zone);
        // A second message behind the first is not read.
        EXPECT_EQ(readNegotiateReply(reply + reply.first(9)).time.fileTime, c.fileTime);
        // Keep-alives before it are read past, whole or in part.
        const QByteArray keepAlive = QByteArray::fromHex("85000000");
        EXPECT_EQ(readNegotiateReply(keepAlive + keepAlive + reply).time.fileTime, c.fileTime);
        EXPECT_EQ(keepAlivePrefix(keepAlive + keepAlive + reply), 8);
        EXPECT_EQ(keepAlivePrefix(keepAlive.first(3)), 0);
        EXPECT_EQ(readNegotiateReply(keepAlive.first(3)).kind, NegotiateReply::Incomplete);
        for (qsizetype n = 0; n < reply.size(); ++n)
            ASSERT_EQ(readNegotiateReply(reply.first(n)).kind, NegotiateReply::Incomplete)
                << "prefix of " << n << " bytes";
    }
}

TEST(SmbNegotiateTest, TellsRefusalsFromMalformedAnswers)
{
    const QByteArray nt1 = capture("smb_negotiate", "nysrv-nt1.bin");
    const QByteArray smb2 = capture("smb_negotiate", "defsrv-smb2-offer.bin");
    constexpr int m = 4; // the messages start behind their length
    const struct {
        const char *what;
        QByteArray stream;
        NegotiateReply::Kind kind;
    } cases[] = {
        {"SMB1: no dialect chosen", patched(nt1, m + 33, "ffff"), NegotiateReply::Refused},
        {"SMB1: an error status", patched(nt1, m + 5, "bb0000c0"), NegotiateReply::Refused},
        {"SMB2: an error status", patched(smb2, m + 8, "bb0000c0"), NegotiateReply::Refused},
        {"not a session message", patched(nt1, 0, "81"), NegotiateReply::Malformed},
        {"longer than any answer, before it arrives", QByteArray::fromHex("00010001ff534d42"),
         NegotiateReply::Malformed},
        {"neither SMB1 nor SMB2", patched(nt1, m, "fd"), NegotiateReply::Malformed},
        {"SMB1: another command", patched(nt1, m + 4, "73"), NegotiateReply::Malformed},
        {"SMB1: a request", patched(nt1, m + 9, "18"), NegotiateReply::Malformed},
        {"SMB1: not 17 words", patched(nt1, m + 32, "01"), NegotiateReply::Malformed},
        {"SMB1: the words cut off", patched(nt1.first(m + 60), 0, "0000003c"), NegotiateReply::Malformed},
        {"SMB2: another command", patched(smb2, m + 12, "0100"), NegotiateReply::Malformed},
        {"SMB2: a request", patched(smb2, m + 16, "00000000"), NegotiateReply::Malformed},
        {"SMB2: a header of another size", patched(smb2, m + 4, "4100"), NegotiateReply::Malformed},
        {"SMB2: another answer size", patched(smb2, m + 64, "4000"), NegotiateReply::Malformed},
        {"SMB2: the fixed part cut off", patched(smb2.first(m + 120), 0, "00000078"), NegotiateReply::Malformed},
        {"an empty message", QByteArray(4, '\0'), NegotiateReply::Malformed},
    };
    for (const auto &c : cases)
        EXPECT_EQ(readNegotiateReply(c.stream).kind, c.kind) << c.what;

    // A zone beyond a day is no zone.
    EXPECT_EQ(readNegotiateReply(patched(nt1, m + 64, "a105")).time.zoneMinutes, kTimeZoneUnknown); // 1441
    EXPECT_EQ(readNegotiateReply(patched(nt1, m + 64, "60fa")).time.zoneMinutes, -1440);
}
