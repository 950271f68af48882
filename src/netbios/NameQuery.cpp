#include "netbios/NameQuery.h"

#include "base/ByteReader.h"

namespace netbios {

namespace {

constexpr quint16 kQueryOpcode = 0x0000;
constexpr int kAddressEntrySize = 6; // NB_FLAGS and the address

// NAME as it reads back from an encoded name: upper-cased, at most fifteen
// bytes, no trailing blanks.
QByteArray asEncoded(const QByteArray &name)
{
    QByteArray out = name.left(kNameLength).toUpper();
    while (out.endsWith(' '))
        out.chop(1);
    return out;
}

} // namespace

QByteArray buildNameQuery(quint16 id, QByteArrayView name, quint8 suffix, bool broadcast)
{
    QByteArray packet;
    Header header;
    header.transactionId = id;
    header.flags = kQueryOpcode | kRecursionDesiredFlag | (broadcast ? kBroadcastFlag : 0);
    header.questions = 1;
    appendHeader(packet, header);
    packet += encodeName(name, suffix);
    appendU16(packet, kTypeNB);
    appendU16(packet, kClassIN);
    return packet;
}

std::optional<NameQueryReply> readNameQueryReply(QByteArrayView packet, quint16 id, const Name &asked)
{
    ByteReader reader(packet);
    const auto header = readHeader(reader);
    if (!header || header->transactionId != id || !(header->flags & kResponseFlag)
        || (header->flags & kOpcodeMask) != kQueryOpcode || header->answers != 1)
        return std::nullopt;
    // A response may repeat the question; read past it.
    for (int i = 0; i < header->questions; ++i) {
        if (!readName(reader) || !reader.skip(4))
            return std::nullopt;
    }
    const auto name = readName(reader);
    if (!name || name->name != asEncoded(asked.name) || name->suffix != asked.suffix)
        return std::nullopt;
    const auto type = reader.u16be();
    const auto rrClass = reader.u16be();
    if (!type || !rrClass || *rrClass != kClassIN || !reader.skip(4)) // the TTL
        return std::nullopt;
    const auto length = reader.u16be();
    if (!length)
        return std::nullopt;
    NameQueryReply reply;
    // A negative answer carries an empty record, typed NULL (NB by some).
    if ((header->flags & kRcodeMask) != 0)
        return (*type == kTypeNB || *type == kTypeNULL) ? std::optional(reply) : std::nullopt;
    if (*type != kTypeNB)
        return std::nullopt;
    // A positive answer comes from the name's owner (authoritative); one
    // without that flag points at another server, which we do not follow.
    if (!(header->flags & kAuthoritativeFlag) || *length == 0 || *length % kAddressEntrySize != 0
        || !reader.has(*length))
        return std::nullopt;
    reply.positive = true;
    for (int i = 0; i < *length / kAddressEntrySize; ++i) {
        reader.skip(2); // NB_FLAGS: group or unique, the owner's node type
        reply.addresses.append(Ipv4Address::fromHostOrder(*reader.u32be()));
    }
    return reply;
}

} // namespace netbios
