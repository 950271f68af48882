#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QtGlobal>

#include <optional>

class ByteReader;

// NetBIOS names as they travel in name-service and datagram packets
// (RFC 1001/1002): fifteen bytes padded with blanks, a sixteenth "suffix"
// byte that says what the name stands for, and the "first-level" encoding
// that spreads each byte over two letters 'A'..'P'.
namespace netbios {

constexpr int kNameLength = 15;
constexpr int kEncodedNameSize = 34; // length 0x20, 32 letters, the empty scope

// What a name's sixteenth byte says about it.
enum Suffix : quint8 {
    kWorkstation = 0x00, // a computer's own name, or its workgroup's (group)
    kMessenger = 0x03,   // the messenger service's name
    kFileServer = 0x20,
};

struct Name {
    QByteArray name; // at most fifteen bytes, trailing blanks removed
    quint8 suffix = kWorkstation;

    friend bool operator==(const Name &, const Name &) = default;
};

// The name a computer is known by: the part of a host name before its first
// dot, upper-cased (ASCII only) and cut to fifteen bytes.
QByteArray computerName(QByteArrayView hostName);

// Encodes NAME (upper-cased, cut to fifteen bytes and padded with blanks)
// followed by SUFFIX, with an empty scope: always kEncodedNameSize bytes.
QByteArray encodeName(QByteArrayView name, quint8 suffix);

// The name "*" padded with zero bytes, which a node-status request asks for.
QByteArray encodeWildcardName();

// Reads an encoded name at the reader's position. A compression pointer
// (two bytes from 0xC0) is followed once, backwards only; scope labels are
// read past and dropped. Returns nothing, leaving the position unspecified,
// when the bytes are not a well-formed name.
std::optional<Name> readName(ByteReader &reader);

// The fixed twelve bytes that start every name-service packet.
struct Header {
    quint16 transactionId = 0;
    quint16 flags = 0;
    quint16 questions = 0;
    quint16 answers = 0;
    quint16 authorities = 0;
    quint16 additionals = 0;
};

constexpr quint16 kResponseFlag = 0x8000;
constexpr quint16 kOpcodeMask = 0x7800;
constexpr quint16 kBroadcastFlag = 0x0010;
constexpr quint16 kRecursionDesiredFlag = 0x0100;
constexpr quint16 kAuthoritativeFlag = 0x0400;
constexpr quint16 kRcodeMask = 0x000F;

constexpr quint16 kNameServicePort = 137;
constexpr quint16 kDatagramPort = 138;

void appendHeader(QByteArray &packet, const Header &header);
std::optional<Header> readHeader(ByteReader &reader);

void appendU16(QByteArray &packet, quint16 value);
void appendU32(QByteArray &packet, quint32 value);

} // namespace netbios
