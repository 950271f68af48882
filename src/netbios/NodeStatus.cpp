#include "netbios/NodeStatus.h"

#include "base/ByteReader.h"
#include "netbios/NetbiosName.h"

namespace netbios {

namespace {

constexpr int kTableNameSize = 16; // fifteen bytes and the suffix, not encoded
constexpr quint16 kGroupFlag = 0x8000;
constexpr int kMacSize = 6;

QByteArray firstName(const QList<NodeStatusName> &names, bool group)
{
    for (const NodeStatusName &n : names)
        if (n.suffix == kWorkstation && n.group == group)
            return n.name;
    return {};
}

// Skips a question: a name and its type and class.
bool skipQuestion(ByteReader &reader) { return readName(reader) && reader.skip(4); }

} // namespace

QByteArray NodeStatus::computer() const { return firstName(names, false); }
QByteArray NodeStatus::workgroup() const { return firstName(names, true); }

QByteArray buildNodeStatusRequest(quint16 transactionId)
{
    QByteArray packet;
    Header header;
    header.transactionId = transactionId;
    header.questions = 1;
    appendHeader(packet, header);
    packet.append(encodeWildcardName());
    appendU16(packet, kNodeStatusType);
    appendU16(packet, kInternetClass);
    return packet;
}

std::optional<NodeStatus> parseNodeStatusReply(QByteArrayView packet, quint16 transactionId)
{
    ByteReader reader(packet);
    const auto header = readHeader(reader);
    if (!header || header->transactionId != transactionId)
        return std::nullopt;
    if (!(header->flags & kResponseFlag) || (header->flags & kOpcodeMask) != 0 || (header->flags & kRcodeMask) != 0)
        return std::nullopt;
    if (header->answers == 0)
        return std::nullopt;
    for (int i = 0; i < header->questions; ++i)
        if (!skipQuestion(reader))
            return std::nullopt;

    if (!readName(reader))
        return std::nullopt;
    const auto type = reader.u16be();
    const auto klass = reader.u16be();
    const bool ttl = reader.skip(4);
    const auto length = reader.u16be();
    if (!type || !klass || !ttl || !length || *type != kNodeStatusType || *klass != kInternetClass)
        return std::nullopt;
    const auto rdata = reader.bytes(*length);
    if (!rdata)
        return std::nullopt;

    // Only the record's own bytes from here: a count that claims more names
    // than the record holds fails instead of reading the bytes behind it.
    ByteReader data(*rdata);
    const auto count = data.u8();
    if (!count)
        return std::nullopt;
    NodeStatus status;
    status.names.reserve(*count);
    for (int i = 0; i < *count; ++i) {
        const auto raw = data.bytes(kTableNameSize);
        const auto flags = data.u16be();
        if (!raw || !flags)
            return std::nullopt;
        NodeStatusName entry;
        entry.name = raw->first(kNameLength).toByteArray();
        while (!entry.name.isEmpty() && (entry.name.back() == ' ' || entry.name.back() == '\0'))
            entry.name.chop(1);
        entry.suffix = static_cast<quint8>(raw->back());
        entry.group = (*flags & kGroupFlag) != 0;
        status.names.append(entry);
    }
    if (const auto mac = data.bytes(kMacSize))
        status.mac = mac->toByteArray();
    return status;
}

} // namespace netbios
