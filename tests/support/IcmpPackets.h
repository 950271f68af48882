#pragma once

// Packets as the sockets hand them over, built byte by byte for the ICMP
// readers: an IPv4 header, ICMP messages, and what an error quotes of the
// request it reports on.

#include "base/Ipv4.h"
#include "ping/IcmpPacket.h"

#include <QString>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <linux/icmp.h>
#include <memory>
#include <netinet/in.h>
#include <ostream>
#include <vector>

using Bytes = std::vector<unsigned char>;

// An address as the packets carry it, in network byte order.
inline std::uint32_t ip(const char *dotted)
{
    return Ipv4Address::fromText(QString::fromLatin1(dotted))->networkOrder();
}

// The request under test goes from kLocal to kTarget; kRouter is on the way.
inline const std::uint32_t kTarget = ip("10.0.0.9");
inline const std::uint32_t kRouter = ip("10.0.0.1");
inline const std::uint32_t kLocal = ip("10.0.0.2");
inline constexpr std::uint16_t kId = 0x1234;
inline constexpr std::uint16_t kSeq = 0x0102;

inline EchoIdentity identity(IcmpSocketKind kind) { return EchoIdentity{kind, kTarget, kId, kSeq}; }

// The input in a heap block of exactly its size, so that AddressSanitizer
// reports any read past it.
class Exact {
public:
    explicit Exact(const Bytes &bytes, std::size_t length) : m_length(length), m_data(new unsigned char[length])
    {
        std::copy(bytes.begin(), bytes.begin() + std::ptrdiff_t(length), m_data.get());
    }
    explicit Exact(const Bytes &bytes) : Exact(bytes, bytes.size()) {}
    const unsigned char *data() const { return m_data.get(); }
    std::size_t size() const { return m_length; }

private:
    std::size_t m_length;
    std::unique_ptr<unsigned char[]> m_data;
};

inline void put32(Bytes &b, std::size_t at, std::uint32_t networkOrder)
{
    const auto *p = reinterpret_cast<const unsigned char *>(&networkOrder);
    std::copy(p, p + 4, b.begin() + std::ptrdiff_t(at));
}

struct Ip {
    std::uint32_t source = kTarget;
    std::uint32_t destination = kLocal;
    std::uint8_t protocol = IPPROTO_ICMP;
    std::uint8_t ttl = 63;
    std::uint8_t tos = 0;
    std::uint8_t fragmentByte = 0; // flags in the top three bits
    int headerWords = 5;           // IHL
    std::size_t actualSize = 0;    // bytes present; 0: as IHL says
};

inline Bytes ipv4(const Ip &h)
{
    Bytes b(std::max<std::size_t>(std::size_t(h.headerWords) * 4, 20), 0);
    b[0] = std::uint8_t(0x40 | (h.headerWords & 0x0F));
    b[1] = h.tos;
    b[6] = h.fragmentByte;
    b[8] = h.ttl;
    b[9] = h.protocol;
    put32(b, 12, h.source);
    put32(b, 16, h.destination);
    if (h.actualSize)
        b.resize(h.actualSize);
    return b;
}

// An ICMP header (the checksum left zero: the readers do not check it) and
// `dataSize` bytes of data.
inline Bytes icmp(int type, int code, std::uint16_t id, std::uint16_t seq, std::size_t dataSize = 0)
{
    Bytes b{std::uint8_t(type),     std::uint8_t(code), 0, 0, std::uint8_t(id >> 8), std::uint8_t(id),
            std::uint8_t(seq >> 8), std::uint8_t(seq)};
    for (std::size_t i = 0; i < dataSize; ++i)
        b.push_back(std::uint8_t('a' + i % 26));
    return b;
}

inline Bytes operator+(Bytes a, const Bytes &b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// The ICMP part of an echo reply to the request, by default.
inline Bytes echoReply(std::size_t dataSize, std::uint16_t id = kId, std::uint16_t seq = kSeq)
{
    return icmp(ICMP_ECHOREPLY, 0, id, seq, dataSize);
}

// The IPv4 header the request went out with.
inline const Ip kRequestHeader{.source = kLocal, .destination = kTarget};

// A request as an error quotes it: the inner IPv4 header and the echo header.
inline Bytes quotedWith(const Ip &inner, std::uint16_t id = kId, std::uint16_t seq = kSeq, int type = ICMP_ECHO)
{
    return ipv4(inner) + icmp(type, 0, id, seq);
}
inline Bytes ourRequestQuoted() { return icmp(ICMP_ECHO, 0, kId, kSeq); }
inline Bytes ourRequestQuotedWithHeader() { return quotedWith(kRequestHeader); }

// An ICMP error message quoting `quoted`. The header's second word is unused
// but for "fragmentation needed", where its low half is the next hop's MTU.
inline Bytes icmpError(int type, int code, const Bytes &quoted, std::uint16_t nextHopMtu = 0)
{
    return icmp(type, code, 0, nextHopMtu) + quoted;
}
inline Bytes timeExceeded(const Bytes &quoted) { return icmpError(ICMP_TIME_EXCEEDED, 0, quoted); }

// A packet from the router as a raw socket reads it: its IPv4 header first.
inline Bytes fromRouter(const Bytes &icmpMessage) { return ipv4({.source = kRouter}) + icmpMessage; }

inline void PrintTo(EchoReceipt::Verdict v, std::ostream *os)
{
    switch (v) {
    case EchoReceipt::Verdict::Malformed:
        *os << "Malformed";
        return;
    case EchoReceipt::Verdict::NotOurs:
        *os << "NotOurs";
        return;
    case EchoReceipt::Verdict::Reply:
        *os << "Reply";
        return;
    case EchoReceipt::Verdict::Error:
        *os << "Error";
        return;
    }
    *os << "Verdict(" << int(v) << ")";
}
