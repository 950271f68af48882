#include "ping/IcmpPacket.h"
#include "ping/IcmpTypes.h"
#include "support/IcmpPackets.h"

#include <gtest/gtest.h>
#include <linux/icmp.h>
#include <netinet/in.h>

namespace {

using Verdict = EchoReceipt::Verdict;

EchoReceipt judge(const Bytes &packet, std::uint32_t sender, IcmpSocketKind kind)
{
    const Exact exact(packet);
    return JudgeReceived(exact.data(), exact.size(), sender, identity(kind));
}

bool quotes(const Bytes &quoted, IcmpSocketKind kind)
{
    const Exact exact(quoted);
    return QuotesRequest(exact.data(), exact.size(), identity(kind));
}

QuotedRequest parseQuoted(const Bytes &quoted)
{
    const Exact exact(quoted);
    return ParseQuotedRequest(exact.data(), exact.size());
}

} // namespace

TEST(InternetChecksum, KnownValues)
{
    struct Case {
        const char *name;
        Bytes data;
        std::uint16_t expected;
    };
    const Case cases[] = {
        {"empty", {}, 0xFFFF},
        {"RFC 1071 example", {0x00, 0x01, 0xF2, 0x03, 0xF4, 0xF5, 0xF6, 0xF7}, 0x220D},
        {"odd length pads with zero", {0xAB}, 0x54FF},
        {"end-around carry", {0xFF, 0xFF, 0xFF, 0xFF}, 0x0000},
        {"echo header", {0x08, 0x00, 0x00, 0x00, 0x12, 0x34, 0xAB, 0xCD, 'h', 'i', '!'}, 0xB094},
        // Long enough that a sum kept in 32 bits without folding would overflow.
        {"200000 bytes of ones", Bytes(200000, 0xFF), 0x0000},
    };
    for (const Case &c : cases) {
        const Exact exact(c.data);
        EXPECT_EQ(InternetChecksum(exact.data(), exact.size()), c.expected) << c.name;
    }
}

TEST(EchoRequestPacket, HeaderFieldsPayloadAndChecksum)
{
    struct Case {
        std::uint16_t id, seq;
        QByteArray payload;
        Bytes expected;
    };
    const Case cases[] = {
        {0x1234, 0xABCD, "hi!", {0x08, 0x00, 0xB0, 0x94, 0x12, 0x34, 0xAB, 0xCD, 'h', 'i', '!'}},
        {0x0000, 0x0000, "", {0x08, 0x00, 0xF7, 0xFF, 0, 0, 0, 0}},
        {0xFFFF, 0x0001, QByteArray(2, '\0'), {0x08, 0x00, 0xF7, 0xFE, 0xFF, 0xFF, 0x00, 0x01, 0, 0}},
    };
    for (const Case &c : cases) {
        const QByteArray packet = BuildEchoRequest(c.id, c.seq, c.payload);
        const Bytes got(packet.begin(), packet.end());
        EXPECT_EQ(got, c.expected) << c.payload.toStdString();
        // A packet that carries its checksum sums to zero.
        EXPECT_EQ(InternetChecksum(got.data(), got.size()), 0) << c.payload.toStdString();
    }
    const QByteArray big = BuildEchoRequest(1, 2, QByteArray(65535, 'x'));
    EXPECT_EQ(big.size(), 65535 + 8);
    EXPECT_EQ(InternetChecksum(reinterpret_cast<const unsigned char *>(big.constData()), std::size_t(big.size())), 0);
}

TEST(ReceivedEcho, RepliesMatchBySequenceSourceAndOnRawSocketsId)
{
    using enum IcmpSocketKind;
    struct Case {
        const char *name;
        IcmpSocketKind kind;
        Bytes packet;
        std::uint32_t sender; // as recvmsg reports it
        Verdict verdict;
        std::size_t dataSize;
    };
    const Bytes reply = echoReply(56);
    const Case cases[] = {
        {"datagram reply", Datagram, reply, kTarget, Verdict::Reply, 56},
        {"datagram reply, empty", Datagram, echoReply(0), kTarget, Verdict::Reply, 0},
        {"datagram: the kernel owns the id", Datagram, echoReply(56, kId + 1), kTarget, Verdict::Reply, 56},
        {"datagram: other sequence", Datagram, echoReply(56, kId, kSeq + 1), kTarget, Verdict::NotOurs, 0},
        {"datagram: other sender", Datagram, reply, kRouter, Verdict::NotOurs, 0},
        {"datagram: not a reply", Datagram, icmp(ICMP_ECHO, 0, kId, kSeq, 56), kTarget, Verdict::NotOurs, 0},
        {"datagram: error types are not read here", Datagram, timeExceeded(ourRequestQuotedWithHeader()), kRouter,
         Verdict::NotOurs, 0},
        {"raw reply", Raw, ipv4({}) + reply, kRouter /* the header's source counts */, Verdict::Reply, 56},
        {"raw reply with IP options", Raw, ipv4({.headerWords = 7}) + reply, 0, Verdict::Reply, 56},
        {"raw: other id", Raw, ipv4({}) + echoReply(56, kId + 1), kTarget, Verdict::NotOurs, 0},
        {"raw: other sequence", Raw, ipv4({}) + echoReply(56, kId, kSeq - 1), kTarget, Verdict::NotOurs, 0},
        {"raw: other source", Raw, ipv4({.source = kRouter}) + reply, kTarget, Verdict::NotOurs, 0},
        {"raw: not a reply", Raw, ipv4({}) + icmp(ICMP_TIMESTAMPREPLY, 0, kId, kSeq, 56), kTarget, Verdict::NotOurs, 0},
    };
    for (const Case &c : cases) {
        const EchoReceipt r = judge(c.packet, c.sender, c.kind);
        EXPECT_EQ(r.verdict, c.verdict) << c.name;
        if (c.verdict == Verdict::Reply) {
            EXPECT_EQ(r.source, kTarget) << c.name;
            EXPECT_EQ(r.dataSize, c.dataSize) << c.name;
        }
    }
}

TEST(ReceivedEcho, ARawReplyCarriesTheOptionsOfItsIpHeader)
{
    const Bytes packet = ipv4({.ttl = 61, .tos = 0x10, .fragmentByte = 0x40}) + echoReply(8);
    const EchoReceipt r = judge(packet, 0, IcmpSocketKind::Raw);
    ASSERT_EQ(r.verdict, Verdict::Reply);
    EXPECT_EQ(r.ttl, 61);
    EXPECT_EQ(r.tos, 0x10);
    EXPECT_EQ(r.flags, IP_FLAG_DF);
}

TEST(ReceivedEcho, RawErrorsQuotingTheRequestEndIt)
{
    struct Case {
        const char *name;
        Bytes message; // what the router sends, after its IPv4 header
        Verdict verdict;
        std::uint32_t status;
    };
    const Bytes ours = ourRequestQuotedWithHeader();
    const Ip inner = kRequestHeader;
    const Case cases[] = {
        {"time exceeded", icmpError(ICMP_TIME_EXCEEDED, ICMP_EXC_TTL, ours), Verdict::Error, IP_TTL_EXPIRED_TRANSIT},
        {"fragmentation needed", icmpError(ICMP_DEST_UNREACH, ICMP_FRAG_NEEDED, ours, 1400), Verdict::Error,
         IP_PACKET_TOO_BIG},
        {"host unreachable", icmpError(ICMP_DEST_UNREACH, ICMP_HOST_UNREACH, ours), Verdict::Error,
         IP_DEST_HOST_UNREACHABLE},
        {"parameter problem", icmpError(ICMP_PARAMETERPROB, 0, ours), Verdict::Error, IP_PARAM_PROBLEM},
        {"source quench", icmpError(ICMP_SOURCE_QUENCH, 0, ours), Verdict::Error, IP_SOURCE_QUENCH},
        {"quoted with inner IP options",
         timeExceeded(quotedWith({.source = kLocal, .destination = kTarget, .headerWords = 6})), Verdict::Error,
         IP_TTL_EXPIRED_TRANSIT},
        {"quoted: other destination", timeExceeded(quotedWith({.source = kLocal, .destination = kRouter})),
         Verdict::NotOurs, 0},
        {"quoted: not ICMP",
         timeExceeded(quotedWith({.source = kLocal, .destination = kTarget, .protocol = IPPROTO_UDP})),
         Verdict::NotOurs, 0},
        {"quoted: other id", timeExceeded(quotedWith(inner, kId ^ 0x8000, kSeq)), Verdict::NotOurs, 0},
        {"quoted: other sequence", timeExceeded(quotedWith(inner, kId, kSeq + 1)), Verdict::NotOurs, 0},
        {"quoted: not an echo request", timeExceeded(quotedWith(inner, kId, kSeq, ICMP_TIMESTAMP)), Verdict::NotOurs,
         0},
        {"quoted: inner header without the ICMP header", timeExceeded(ipv4(inner)), Verdict::NotOurs, 0},
        {"not an error type", icmpError(ICMP_REDIRECT, 0, ours), Verdict::NotOurs, 0},
    };
    for (const Case &c : cases) {
        const EchoReceipt r = judge(fromRouter(c.message), kTarget, IcmpSocketKind::Raw);
        EXPECT_EQ(r.verdict, c.verdict) << c.name;
        if (c.verdict == Verdict::Error) {
            EXPECT_EQ(r.status, c.status) << c.name;
            EXPECT_EQ(r.source, kRouter) << c.name;
        }
    }
}

TEST(QuotedRequest, ErrorQueueEntriesInBothForms)
{
    using enum IcmpSocketKind;
    struct Case {
        const char *name;
        Bytes quoted;
        bool datagram, raw; // does it quote the request, per socket kind
    };
    const Case cases[] = {
        {"echo header alone", ourRequestQuoted(), true, true},
        {"echo header with data", icmp(ICMP_ECHO, 0, kId, kSeq, 56), true, true},
        {"with the inner IPv4 header", ourRequestQuotedWithHeader(), true, true},
        {"id replaced by the kernel", icmp(ICMP_ECHO, 0, 77, kSeq), true, false},
        {"other sequence", icmp(ICMP_ECHO, 0, kId, kSeq + 1), false, false},
        {"a reply, not a request", icmp(ICMP_ECHOREPLY, 0, kId, kSeq), false, false},
        {"inner header to another host", ipv4({.destination = kRouter}) + ourRequestQuoted(), false, false},
        {"inner header of another protocol",
         ipv4({.destination = kTarget, .protocol = IPPROTO_TCP}) + ourRequestQuoted(), false, false},
        {"inner header, echo cut short", ipv4({.destination = kTarget}) + Bytes{ICMP_ECHO, 0, 0, 0, 0x12, 0x34, 0x01},
         false, false},
        {"seven bytes", Bytes{ICMP_ECHO, 0, 0, 0, 0x12, 0x34, 0x01}, false, false},
        {"nothing", {}, false, false},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(quotes(c.quoted, Datagram), c.datagram) << c.name;
        EXPECT_EQ(quotes(c.quoted, Raw), c.raw) << c.name;
    }
    const QuotedRequest q = parseQuoted(ourRequestQuotedWithHeader());
    EXPECT_TRUE(q.hasIpHeader);
    EXPECT_EQ(q.destination, kTarget);
    EXPECT_EQ(q.protocol, IPPROTO_ICMP);
}

TEST(IcmpStatus, ErrorTypesAndCodes)
{
    struct Case {
        int type, code;
        std::uint32_t status;
    };
    const Case cases[] = {
        {ICMP_DEST_UNREACH, ICMP_NET_UNREACH, IP_DEST_NET_UNREACHABLE},
        {ICMP_DEST_UNREACH, ICMP_NET_UNR_TOS, IP_DEST_NET_UNREACHABLE},
        {ICMP_DEST_UNREACH, ICMP_HOST_UNREACH, IP_DEST_HOST_UNREACHABLE},
        {ICMP_DEST_UNREACH, ICMP_HOST_ANO, IP_DEST_HOST_UNREACHABLE},
        {ICMP_DEST_UNREACH, ICMP_PROT_UNREACH, IP_DEST_PROT_UNREACHABLE},
        {ICMP_DEST_UNREACH, ICMP_PORT_UNREACH, IP_DEST_PORT_UNREACHABLE},
        {ICMP_DEST_UNREACH, ICMP_FRAG_NEEDED, IP_PACKET_TOO_BIG},
        {ICMP_DEST_UNREACH, ICMP_SR_FAILED, IP_BAD_ROUTE},
        {ICMP_TIME_EXCEEDED, ICMP_EXC_TTL, IP_TTL_EXPIRED_TRANSIT},
        {ICMP_TIME_EXCEEDED, ICMP_EXC_FRAGTIME, IP_TTL_EXPIRED_REASSEM},
        {ICMP_PARAMETERPROB, 0, IP_PARAM_PROBLEM},
        {ICMP_SOURCE_QUENCH, 0, IP_SOURCE_QUENCH},
        {ICMP_REDIRECT, 0, IP_GENERAL_FAILURE},
    };
    for (const Case &c : cases)
        EXPECT_EQ(StatusOfIcmp(c.type, c.code), c.status) << c.type << "/" << c.code;
}

// Every prefix of a valid packet is read within its length, and judged by
// what the prefix still holds.
TEST(ReceivedEcho, EveryTruncatedPrefixIsReadSafely)
{
    using enum IcmpSocketKind;
    struct Case {
        const char *name;
        IcmpSocketKind kind;
        Bytes packet;
        std::size_t headers;  // shorter than this: malformed
        std::size_t decisive; // from this length on: the full packet's verdict
        Verdict verdict;
    };
    const Case cases[] = {
        {"datagram reply", Datagram, echoReply(40), 8, 8, Verdict::Reply},
        {"raw reply", Raw, ipv4({}) + echoReply(40), 28, 28, Verdict::Reply},
        {"raw reply with options", Raw, ipv4({.headerWords = 15}) + echoReply(40), 68, 68, Verdict::Reply},
        {"raw error", Raw, fromRouter(timeExceeded(ourRequestQuotedWithHeader())), 28, 56, Verdict::Error},
    };
    for (const Case &c : cases) {
        for (std::size_t length = 0; length <= c.packet.size(); ++length) {
            const Exact exact(c.packet, length);
            const EchoReceipt r = JudgeReceived(exact.data(), exact.size(), kTarget, identity(c.kind));
            const Verdict expected = length < c.headers    ? Verdict::Malformed
                                     : length < c.decisive ? Verdict::NotOurs
                                                           : c.verdict;
            ASSERT_EQ(r.verdict, expected) << c.name << ", " << length << " bytes";
            if (r.verdict == Verdict::Reply) {
                EXPECT_EQ(r.dataSize, length - c.headers) << c.name;
            }
        }
    }
    // The quoted forms of the error queue, likewise.
    for (const Bytes &quoted : {ourRequestQuoted(), ourRequestQuotedWithHeader()}) {
        for (std::size_t length = 0; length <= quoted.size(); ++length) {
            const Exact exact(quoted, length);
            const bool whole = length == quoted.size();
            EXPECT_EQ(QuotesRequest(exact.data(), exact.size(), identity(Raw)), whole)
                << length << " of " << quoted.size();
        }
    }
}

TEST(ReceivedEcho, BadHeaderLengthsAreMalformed)
{
    struct Case {
        const char *name;
        Ip header;
        std::size_t icmpBytes;
    };
    const Case cases[] = {
        {"IHL 0", {.headerWords = 0, .actualSize = 20}, 8},
        {"IHL 1", {.headerWords = 1, .actualSize = 20}, 8},
        {"IHL 4", {.headerWords = 4, .actualSize = 20}, 8},
        {"IHL 15 in a 28-byte packet", {.headerWords = 15, .actualSize = 20}, 8},
        {"IHL 15 in a 60-byte packet", {.headerWords = 15, .actualSize = 20}, 40},
        {"IHL 6 leaves less than an ICMP header", {.headerWords = 6, .actualSize = 20}, 8 + 3},
        {"shorter than an IPv4 header", {.headerWords = 5, .actualSize = 12}, 0},
    };
    for (const Case &c : cases) {
        Bytes packet = ipv4(c.header) + echoReply(0);
        packet.resize(c.header.actualSize + c.icmpBytes, 0);
        // The reply fields are where a five-word header would put them: a
        // reader that trusted the header length as it is would accept it.
        const Exact exact(packet);
        const IcmpMessage m = ParseIcmpMessage(exact.data(), exact.size(), IcmpSocketKind::Raw, kTarget);
        EXPECT_FALSE(m.valid) << c.name;
        EXPECT_EQ(JudgeReceived(exact.data(), exact.size(), kTarget, identity(IcmpSocketKind::Raw)).verdict,
                  Verdict::Malformed)
            << c.name;
    }
    // The same lengths inside a quoted packet: never taken for the request.
    for (const Case &c : cases) {
        Bytes quoted =
            ipv4({.destination = kTarget, .headerWords = c.header.headerWords, .actualSize = c.header.actualSize})
            + ourRequestQuoted();
        quoted.resize(c.header.actualSize + c.icmpBytes, 0);
        if (quoted.size() < 20)
            continue; // not recognisable as an IPv4 header at all
        EXPECT_FALSE(parseQuoted(quoted).valid) << c.name;
        EXPECT_FALSE(quotes(quoted, IcmpSocketKind::Datagram)) << c.name;
    }
    // The largest header length, fully present, is read past.
    const Bytes longest = ipv4({.headerWords = 15}) + echoReply(4);
    const EchoReceipt r = judge(longest, 0, IcmpSocketKind::Raw);
    EXPECT_EQ(r.verdict, Verdict::Reply);
    EXPECT_EQ(r.dataSize, 4u);
}

// With many requests in flight, a packet is judged against the request its
// sequence names; anything else names none.
TEST(ReceivedEcho, TheSequenceAPacketConcerns)
{
    using enum IcmpSocketKind;
    struct Case {
        const char *name;
        IcmpSocketKind kind;
        Bytes packet;
        std::optional<std::uint16_t> sequence;
    };
    const Case cases[] = {
        {"datagram reply", Datagram, echoReply(56, kId, 7), 7},
        {"raw reply", Raw, ipv4({}) + echoReply(56, kId, 0xFFFF), 0xFFFF},
        {"raw error quoting a request", Raw, fromRouter(timeExceeded(quotedWith(kRequestHeader, kId, 9))), 9},
        {"raw error quoting no echo request", Raw,
         fromRouter(timeExceeded(quotedWith(kRequestHeader, kId, 9, ICMP_TIMESTAMP))), std::nullopt},
        {"raw error quoting too little", Raw, fromRouter(timeExceeded(ipv4(kRequestHeader))), std::nullopt},
        {"datagram: errors come through the error queue", Datagram, timeExceeded(ourRequestQuotedWithHeader()),
         std::nullopt},
        {"too short", Datagram, Bytes{ICMP_ECHOREPLY, 0, 0}, std::nullopt},
    };
    for (const Case &c : cases) {
        const Exact exact(c.packet);
        EXPECT_EQ(SequenceConcerned(exact.data(), exact.size(), c.kind), c.sequence) << c.name;
    }
}
