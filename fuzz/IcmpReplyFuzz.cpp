// Feeds arbitrary bytes to the ICMP readers the echo channel runs on every
// packet it receives, in both socket forms, and to the reader of the quoted
// request that an error (or the error queue) carries. Each input is judged
// against requests taken from its own fields, so that matches are common,
// and against the same requests with one field changed, which must never
// match. The expected answers are read from the bytes here, apart from the
// code under test.

#include "FuzzProperty.h"
#include "ping/IcmpPacket.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

constexpr std::uint8_t kEchoReply = 0;
constexpr std::uint8_t kEcho = 8;
constexpr std::uint8_t kProtocolIcmp = 1;
// What recvmsg reports as the sender of a datagram; the raw form reads its
// own from the IPv4 header.
constexpr std::uint32_t kSender = 0x0100007F; // 127.0.0.1 in network byte order

std::uint16_t be16(const std::uint8_t *p) { return std::uint16_t(p[0] << 8 | p[1]); }

std::uint32_t address(const std::uint8_t *p)
{
    std::uint32_t a;
    std::memcpy(&a, p, sizeof a);
    return a;
}

// The length an IPv4 header at p claims, or 0 when it is below the minimum
// or runs past the n bytes there are.
std::size_t ipHeaderLength(const std::uint8_t *p, std::size_t n)
{
    if (n < 20)
        return 0;
    const std::size_t ihl = std::size_t(p[0] & 0x0F) * 4;
    return ihl >= 20 && ihl <= n ? ihl : 0;
}

// An ICMP message as its bytes say, read apart from the code under test.
struct Message {
    bool present = false;
    std::size_t start = 0; // of the ICMP header
    std::uint32_t source = 0;
    std::uint8_t type = 0, code = 0;
    std::uint16_t id = 0, sequence = 0;
};

Message readMessage(const std::uint8_t *p, std::size_t n, IcmpSocketKind kind)
{
    Message m;
    m.source = kSender;
    if (kind == IcmpSocketKind::Raw) {
        m.start = ipHeaderLength(p, n);
        if (m.start == 0)
            return Message{};
        m.source = address(p + 12);
    }
    if (n - m.start < kIcmpHeaderSize)
        return Message{};
    const std::uint8_t *icmp = p + m.start;
    m.present = true;
    m.type = icmp[0];
    m.code = icmp[1];
    m.id = be16(icmp + 4);
    m.sequence = be16(icmp + 6);
    return m;
}

struct Quote {
    bool present = false;
    bool ip = false;
    std::uint32_t destination = 0;
    std::uint8_t protocol = 0, type = 0;
    std::uint16_t id = 0, sequence = 0;
};

// A quoted request starts with its IPv4 header when the first byte says
// IPv4 and there is room for one; otherwise with the ICMP header.
Quote readQuote(const std::uint8_t *p, std::size_t n)
{
    Quote q;
    std::size_t start = 0;
    if (n >= 20 && p[0] >> 4 == 4) {
        start = ipHeaderLength(p, n);
        if (start == 0)
            return Quote{};
        q.ip = true;
        q.protocol = p[9];
        q.destination = address(p + 16);
    }
    if (n - start < kIcmpHeaderSize)
        return Quote{};
    q.present = true;
    q.type = p[start];
    q.id = be16(p + start + 4);
    q.sequence = be16(p + start + 6);
    return q;
}

bool isError(std::uint8_t type) { return type == 3 || type == 4 || type == 11 || type == 12; }

bool replyMatches(const Message &m, const EchoIdentity &r)
{
    return m.present && m.type == kEchoReply && m.source == r.target && m.sequence == r.sequence
           && (r.kind == IcmpSocketKind::Datagram || m.id == r.id);
}

bool quoteMatches(const Quote &q, const EchoIdentity &r)
{
    return q.present && q.type == kEcho && q.sequence == r.sequence
           && (!q.ip || (q.protocol == kProtocolIcmp && q.destination == r.target))
           && (r.kind == IcmpSocketKind::Datagram || q.id == r.id);
}

void checkQuote(const std::uint8_t *p, std::size_t n, const EchoIdentity &r)
{
    const bool matches = quoteMatches(readQuote(p, n), r);
    if (QuotesRequest(p, n, r) != matches)
        fail(matches ? "a quote of the request is not recognised"
                     : "a quote of another destination, type, sequence or id is taken for the request");
}

void checkPacket(const std::uint8_t *p, std::size_t n, const EchoIdentity &r)
{
    const Message m = readMessage(p, n, r.kind);
    const EchoReceipt got = JudgeReceived(p, n, kSender, r);
    if (!m.present) {
        if (got.verdict != EchoReceipt::Verdict::Malformed)
            fail("a packet too short for its headers is not malformed");
        return;
    }
    if (got.verdict == EchoReceipt::Verdict::Malformed)
        fail("a packet with whole headers is malformed");
    if (got.source != m.source)
        fail("the receipt names another source than the packet");

    const bool reply = replyMatches(m, r);
    if ((got.verdict == EchoReceipt::Verdict::Reply) != reply)
        fail(reply ? "the reply to the request is not recognised"
                   : "a reply of another source, type, sequence or id is taken for the request");
    if (reply) {
        if (got.dataSize != n - m.start - kIcmpHeaderSize)
            fail("the echoed size is not what follows the ICMP header");
        if (r.kind == IcmpSocketKind::Raw && (got.ttl != p[8] || got.tos != p[1] || got.flags != p[6] >> 5))
            fail("the reply's TTL, TOS or flags are not its IPv4 header's");
        return;
    }

    const std::uint8_t *body = p + m.start + kIcmpHeaderSize;
    const std::size_t bodySize = n - m.start - kIcmpHeaderSize;
    const bool error = r.kind == IcmpSocketKind::Raw && isError(m.type) && quoteMatches(readQuote(body, bodySize), r);
    if ((got.verdict == EchoReceipt::Verdict::Error) != error)
        fail(error ? "an error quoting the request is not recognised"
                   : "an error about another request (or no error) is taken for the request's");
    if (error && got.status != StatusOfIcmp(m.type, m.code))
        fail("the error's status is not that of its type and code");
    checkQuote(body, bodySize, r);
}

// The requests an input is judged against: those its own fields describe,
// for either socket form, and each with one field changed.
std::vector<EchoIdentity> requestsFor(const std::uint8_t *p, std::size_t n)
{
    std::vector<EchoIdentity> requests;
    const auto add = [&](const EchoIdentity &base) {
        requests.push_back(base);
        EchoIdentity other = base;
        other.target ^= 0x01000000;
        requests.push_back(other);
        other = base;
        other.sequence = std::uint16_t(other.sequence + 1);
        requests.push_back(other);
        other = base;
        other.id ^= 0x8000;
        requests.push_back(other);
    };
    for (const IcmpSocketKind kind : {IcmpSocketKind::Datagram, IcmpSocketKind::Raw}) {
        const Message m = readMessage(p, n, kind);
        if (!m.present) {
            add(EchoIdentity{kind, kSender, 0, 0});
            continue;
        }
        add(EchoIdentity{kind, m.source, m.id, m.sequence});
        const std::uint8_t *body = p + m.start + kIcmpHeaderSize;
        const Quote q = readQuote(body, n - m.start - kIcmpHeaderSize);
        if (q.present)
            add(EchoIdentity{kind, q.ip ? q.destination : m.source, q.id, q.sequence});
    }
    return requests;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    // libFuzzer hands the input over in a block of exactly its size, so
    // AddressSanitizer catches any read past the length the readers get.
    static const std::uint8_t none = 0;
    const std::uint8_t *p = size ? data : &none;
    for (const EchoIdentity &r : requestsFor(p, size)) {
        checkPacket(p, size, r);
        // The error queue hands over the quoted request alone.
        checkQuote(p, size, r);
    }

    // A request built for any id, sequence and payload sums to zero and
    // reads back as an echo of that id and sequence.
    if (size >= 4) {
        const std::uint16_t id = be16(p), sequence = be16(p + 2);
        const QByteArray request =
            BuildEchoRequest(id, sequence, QByteArray(reinterpret_cast<const char *>(p + 4), qsizetype(size - 4)));
        const auto *bytes = reinterpret_cast<const unsigned char *>(request.constData());
        if (InternetChecksum(bytes, std::size_t(request.size())) != 0)
            fail("a built request does not sum to zero");
        const Quote q = readQuote(bytes, std::size_t(request.size()));
        if (!q.present || q.ip || q.type != kEcho || q.id != id || q.sequence != sequence)
            fail("a built request does not read back as the echo it was built for");
    }
    return 0;
}
