#pragma once

#include <QByteArray>
#include <cstddef>
#include <cstdint>
#include <optional>

// The bytes of ICMP echo, apart from any socket: building a request, reading
// what comes back and telling whether it answers the request. Every reader
// takes a length and never looks past it, however the packet lies about its
// own headers.

constexpr std::size_t kIcmpHeaderSize = 8;
constexpr std::size_t kIpv4HeaderMinSize = 20;

// How the socket hands packets over. A datagram socket gives the ICMP message
// alone (the sender comes from recvmsg) and puts its own id into every
// request; a raw socket gives the IPv4 header first and sends the id as is.
enum class IcmpSocketKind {
    Datagram,
    Raw
};

// What a reply or an error report must match to belong to a request.
struct EchoIdentity {
    IcmpSocketKind kind = IcmpSocketKind::Datagram;
    std::uint32_t target = 0; // network byte order
    std::uint16_t id = 0;     // compared on raw sockets only
    std::uint16_t sequence = 0;
};

// The Internet checksum: the one's complement of the one's complement sum of
// the data as 16-bit big-endian words, an odd last byte padded with zero.
std::uint16_t InternetChecksum(const unsigned char *data, std::size_t length);

// An echo request: type 8, code 0, checksum, id and sequence (big-endian),
// then the payload.
QByteArray BuildEchoRequest(std::uint16_t id, std::uint16_t sequence, const QByteArray &payload);

// A packet as read from the receive queue. `valid` is false when it is too
// short for the headers it needs, or its IPv4 header length is below the
// minimum or beyond the packet; nothing else is then set.
struct IcmpMessage {
    bool valid = false;
    std::uint32_t source = 0;        // network byte order
    int ttl = 0, tos = 0, flags = 0; // from the IPv4 header (raw sockets only)
    std::uint8_t type = 0, code = 0;
    std::uint16_t id = 0, sequence = 0; // the echo fields (or an error's unused word)
    std::size_t bodyOffset = 0;         // where the bytes after the ICMP header start
    std::size_t bodySize = 0;
};
// `sender` is the address recvmsg reported; a raw packet's IPv4 header
// replaces it with its own source.
IcmpMessage ParseIcmpMessage(const unsigned char *packet, std::size_t length, IcmpSocketKind kind,
                             std::uint32_t sender);

// The start of a sent request as an ICMP error (or the socket's error queue)
// quotes it back: with the inner IPv4 header when its first byte says IPv4,
// otherwise the ICMP header alone.
struct QuotedRequest {
    bool valid = false;
    bool hasIpHeader = false;
    std::uint32_t destination = 0; // from the inner IPv4 header
    std::uint8_t protocol = 0;     // from the inner IPv4 header
    std::uint8_t type = 0;
    std::uint16_t id = 0, sequence = 0;
};
QuotedRequest ParseQuotedRequest(const unsigned char *quoted, std::size_t length);

// Whether a parsed packet is the echo reply to the request: sequence and
// source, and on raw sockets the id too.
bool IsReplyTo(const IcmpMessage &message, const EchoIdentity &request);
// Whether a quoted packet is the request: an echo with its sequence, on raw
// sockets its id; an inner IPv4 header must name its target and ICMP.
bool QuotesRequest(const QuotedRequest &quoted, const EchoIdentity &request);
// The same from the bytes, as an error queue entry carries them.
bool QuotesRequest(const unsigned char *quoted, std::size_t length, const EchoIdentity &request);

// The IP status an ICMP error of this type and code stands for.
std::uint32_t StatusOfIcmp(int type, int code);

// What one packet from the receive queue means for the request in progress.
struct EchoReceipt {
    enum class Verdict {
        Malformed,
        NotOurs,
        Reply,
        Error
    };
    Verdict verdict = Verdict::Malformed;
    std::uint32_t source = 0;        // who replied or reported, network byte order
    std::size_t dataSize = 0;        // Reply: echoed bytes
    int ttl = 0, tos = 0, flags = 0; // Reply on a raw socket: from the IPv4 header (a datagram
                                     // socket hands TTL and TOS over as ancillary data instead)
    std::uint32_t status = 0;        // Error: the IP status
};
// Reads a packet and judges it: a reply, an ICMP error quoting the request
// (seen here on raw sockets only; a datagram socket queues errors apart), or
// neither. The channel acts on exactly this.
EchoReceipt JudgeReceived(const unsigned char *packet, std::size_t length, std::uint32_t sender,
                          const EchoIdentity &request);

// Which request a packet from the receive queue may be about, when many are
// in flight: the sequence of an echo reply, or on raw sockets the sequence
// of the request an ICMP error quotes. Nothing for any other packet. The
// packet is then judged against that request alone (JudgeReceived).
std::optional<std::uint16_t> SequenceConcerned(const unsigned char *packet, std::size_t length, IcmpSocketKind kind);
