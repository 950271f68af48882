#include "ping/IcmpPacket.h"

#include "ping/IcmpTypes.h"

#include <cstring>
#include <linux/icmp.h>
#include <netinet/in.h>

namespace {

std::uint16_t read16(const unsigned char *p) { return std::uint16_t(p[0] << 8 | p[1]); }

std::uint32_t readAddress(const unsigned char *p)
{
    std::uint32_t address; // kept in network byte order, as the socket calls want it
    std::memcpy(&address, p, sizeof address);
    return address;
}

// The length an IPv4 header at `packet` claims, or 0 when it is shorter than
// the minimum or longer than the `length` bytes there are.
std::size_t ipv4HeaderLength(const unsigned char *packet, std::size_t length)
{
    if (length < kIpv4HeaderMinSize)
        return 0;
    const std::size_t ihl = std::size_t(packet[0] & 0x0F) * 4;
    if (ihl < kIpv4HeaderMinSize || ihl > length)
        return 0;
    return ihl;
}

bool isErrorType(int type)
{
    return type == ICMP_DEST_UNREACH || type == ICMP_TIME_EXCEEDED || type == ICMP_PARAMETERPROB
           || type == ICMP_SOURCE_QUENCH;
}

} // namespace

std::uint16_t InternetChecksum(const unsigned char *data, std::size_t length)
{
    std::uint32_t sum = 0;
    for (std::size_t i = 0; i + 1 < length; i += 2) {
        sum += std::uint32_t(data[i] << 8 | data[i + 1]);
        sum = (sum & 0xFFFF) + (sum >> 16); // fold as we go: no overflow for any length
    }
    if (length & 1)
        sum += std::uint32_t(data[length - 1] << 8);
    while (sum >> 16)
        sum = (sum & 0xFFFF) + (sum >> 16);
    return std::uint16_t(~sum);
}

QByteArray BuildEchoRequest(std::uint16_t id, std::uint16_t sequence, const QByteArray &payload)
{
    QByteArray packet(qsizetype(kIcmpHeaderSize), '\0');
    packet += payload;
    auto *p = reinterpret_cast<unsigned char *>(packet.data());
    p[0] = ICMP_ECHO;
    p[4] = std::uint8_t(id >> 8);
    p[5] = std::uint8_t(id);
    p[6] = std::uint8_t(sequence >> 8);
    p[7] = std::uint8_t(sequence);
    const std::uint16_t sum = InternetChecksum(p, std::size_t(packet.size()));
    p[2] = std::uint8_t(sum >> 8);
    p[3] = std::uint8_t(sum);
    return packet;
}

IcmpMessage ParseIcmpMessage(const unsigned char *packet, std::size_t length, IcmpSocketKind kind, std::uint32_t sender)
{
    IcmpMessage m;
    std::size_t offset = 0;
    m.source = sender;
    if (kind == IcmpSocketKind::Raw) {
        offset = ipv4HeaderLength(packet, length);
        if (offset == 0)
            return IcmpMessage{};
        m.tos = packet[1];
        m.flags = packet[6] >> 5;
        m.ttl = packet[8];
        m.source = readAddress(packet + 12);
    }
    if (length - offset < kIcmpHeaderSize)
        return IcmpMessage{};
    const unsigned char *icmp = packet + offset;
    m.type = icmp[0];
    m.code = icmp[1];
    m.id = read16(icmp + 4);
    m.sequence = read16(icmp + 6);
    m.bodyOffset = offset + kIcmpHeaderSize;
    m.bodySize = length - m.bodyOffset;
    m.valid = true;
    return m;
}

QuotedRequest ParseQuotedRequest(const unsigned char *quoted, std::size_t length)
{
    QuotedRequest q;
    std::size_t offset = 0;
    if (length >= kIpv4HeaderMinSize && (quoted[0] >> 4) == 4) {
        offset = ipv4HeaderLength(quoted, length);
        if (offset == 0)
            return QuotedRequest{};
        q.hasIpHeader = true;
        q.protocol = quoted[9];
        q.destination = readAddress(quoted + 16);
    }
    if (length - offset < kIcmpHeaderSize)
        return QuotedRequest{};
    const unsigned char *icmp = quoted + offset;
    q.type = icmp[0];
    q.id = read16(icmp + 4);
    q.sequence = read16(icmp + 6);
    q.valid = true;
    return q;
}

bool IsReplyTo(const IcmpMessage &message, const EchoIdentity &request)
{
    return message.valid && message.type == ICMP_ECHOREPLY && message.sequence == request.sequence
           && message.source == request.target
           && (request.kind == IcmpSocketKind::Datagram || message.id == request.id);
}

bool QuotesRequest(const QuotedRequest &quoted, const EchoIdentity &request)
{
    if (!quoted.valid || quoted.type != ICMP_ECHO || quoted.sequence != request.sequence)
        return false;
    if (quoted.hasIpHeader && (quoted.protocol != IPPROTO_ICMP || quoted.destination != request.target))
        return false;
    return request.kind == IcmpSocketKind::Datagram || quoted.id == request.id;
}

bool QuotesRequest(const unsigned char *quoted, std::size_t length, const EchoIdentity &request)
{
    return QuotesRequest(ParseQuotedRequest(quoted, length), request);
}

std::uint32_t StatusOfIcmp(int type, int code)
{
    switch (type) {
    case ICMP_DEST_UNREACH:
        switch (code) {
        case ICMP_NET_UNREACH:
        case ICMP_NET_UNKNOWN:
        case ICMP_NET_ANO:
        case ICMP_NET_UNR_TOS:
            return IP_DEST_NET_UNREACHABLE;
        case ICMP_PROT_UNREACH:
            return IP_DEST_PROT_UNREACHABLE;
        case ICMP_PORT_UNREACH:
            return IP_DEST_PORT_UNREACHABLE;
        case ICMP_FRAG_NEEDED:
            return IP_PACKET_TOO_BIG;
        case ICMP_SR_FAILED:
            return IP_BAD_ROUTE;
        default:
            return IP_DEST_HOST_UNREACHABLE;
        }
    case ICMP_TIME_EXCEEDED:
        return code == ICMP_EXC_FRAGTIME ? IP_TTL_EXPIRED_REASSEM : IP_TTL_EXPIRED_TRANSIT;
    case ICMP_PARAMETERPROB:
        return IP_PARAM_PROBLEM;
    case ICMP_SOURCE_QUENCH:
        return IP_SOURCE_QUENCH;
    default:
        return IP_GENERAL_FAILURE;
    }
}

EchoReceipt JudgeReceived(const unsigned char *packet, std::size_t length, std::uint32_t sender,
                          const EchoIdentity &request)
{
    EchoReceipt r;
    const IcmpMessage m = ParseIcmpMessage(packet, length, request.kind, sender);
    if (!m.valid)
        return r;
    r.verdict = EchoReceipt::Verdict::NotOurs;
    r.source = m.source;
    if (IsReplyTo(m, request)) {
        r.verdict = EchoReceipt::Verdict::Reply;
        r.dataSize = m.bodySize;
        r.ttl = m.ttl;
        r.tos = m.tos;
        r.flags = m.flags;
    } else if (request.kind == IcmpSocketKind::Raw && isErrorType(m.type)
               && QuotesRequest(packet + m.bodyOffset, m.bodySize, request)) {
        r.verdict = EchoReceipt::Verdict::Error;
        r.status = StatusOfIcmp(m.type, m.code);
    }
    return r;
}

std::optional<std::uint16_t> SequenceConcerned(const unsigned char *packet, std::size_t length, IcmpSocketKind kind)
{
    const IcmpMessage m = ParseIcmpMessage(packet, length, kind, 0);
    if (!m.valid)
        return std::nullopt;
    if (m.type == ICMP_ECHOREPLY)
        return m.sequence;
    if (kind == IcmpSocketKind::Raw && isErrorType(m.type)) {
        const QuotedRequest quoted = ParseQuotedRequest(packet + m.bodyOffset, m.bodySize);
        if (quoted.valid && quoted.type == ICMP_ECHO)
            return quoted.sequence;
    }
    return std::nullopt;
}
