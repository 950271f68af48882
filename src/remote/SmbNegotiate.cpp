#include "remote/SmbNegotiate.h"

#include "base/ByteWriter.h"

#include "base/ByteReader.h"

#include <iterator>

namespace smb {

namespace {

constexpr quint8 kNegotiate = 0x72;
constexpr quint8 kKeepAlive = 0x85; // a session message of no content
constexpr int kSmb1HeaderSize = 32;
constexpr int kSmb2HeaderSize = 64;
constexpr quint8 kSmb1ReplyFlag = 0x80;
constexpr quint32 kSmb2ServerToClient = 0x00000001;
constexpr quint8 kNtLmWordCount = 17;
constexpr int kSmb1TimeOffset = 56;
constexpr int kSmb1ZoneOffset = 64;
constexpr int kSmb2TimeOffset = 104;
constexpr int kSmb2ReplyFixedEnd = kSmb2HeaderSize + 64; // the answer's fixed part
constexpr int kMaxZoneMinutes = 24 * 60;

void padTo8(QByteArray &message)
{
    while (message.size() % 8 != 0)
        message.append('\0');
}

// The four-byte length that precedes every message on port 445.
QByteArray framed(const QByteArray &message)
{
    QByteArray out;
    out.append('\0');
    out.append(static_cast<char>((message.size() >> 16) & 0xFF));
    out.append(static_cast<char>((message.size() >> 8) & 0xFF));
    out.append(static_cast<char>(message.size() & 0xFF));
    return out + message;
}

NegotiateReply readSmb1(QByteArrayView message)
{
    ByteReader r(message);
    NegotiateReply reply;
    reply.kind = NegotiateReply::Malformed;
    r.skip(4);
    const auto command = r.u8();
    const auto status = r.u32le();
    const auto flags = r.u8();
    if (!command || *command != kNegotiate || !flags || !(*flags & kSmb1ReplyFlag))
        return reply;
    r.seek(kSmb1HeaderSize);
    const auto words = r.u8();
    const auto dialect = r.u16le();
    if (!status || !words || !dialect)
        return reply;
    // No dialect chosen, or one that is not NT LM 0.12 (the first offered).
    if (*status != 0 || *dialect != 0) {
        reply.kind = NegotiateReply::Refused;
        return reply;
    }
    if (*words != kNtLmWordCount || !r.has(2 * kNtLmWordCount - 2))
        return reply;
    r.seek(kSmb1TimeOffset);
    reply.time.fileTime = *r.u64le();
    r.seek(kSmb1ZoneOffset);
    const auto zone = static_cast<qint16>(*r.u16le());
    reply.time.zoneMinutes = (zone >= -kMaxZoneMinutes && zone <= kMaxZoneMinutes) ? zone : kTimeZoneUnknown;
    reply.kind = NegotiateReply::Time;
    return reply;
}

NegotiateReply readSmb2(QByteArrayView message)
{
    ByteReader r(message);
    NegotiateReply reply;
    reply.kind = NegotiateReply::Malformed;
    r.skip(4);
    const auto headerSize = r.u16le();
    r.skip(2); // credit charge
    const auto status = r.u32le();
    const auto command = r.u16le();
    r.skip(2); // credits granted
    const auto flags = r.u32le();
    if (!headerSize || *headerSize != kSmb2HeaderSize || !status || !command || *command != 0 || !flags
        || !(*flags & kSmb2ServerToClient))
        return reply;
    if (*status != 0) {
        reply.kind = NegotiateReply::Refused;
        return reply;
    }
    r.seek(kSmb2HeaderSize);
    const auto bodySize = r.u16le();
    if (!bodySize || *bodySize != 65 || message.size() < kSmb2ReplyFixedEnd)
        return reply;
    r.seek(kSmb2TimeOffset);
    reply.time.fileTime = *r.u64le();
    reply.time.zoneMinutes = kTimeZoneUnknown; // SMB2 does not tell
    reply.kind = NegotiateReply::Time;
    return reply;
}

} // namespace

QByteArray smb1NegotiateRequest()
{
    QByteArray m("\xFFSMB", 4);
    m.append(static_cast<char>(kNegotiate));
    appendLe32(m, 0);               // status
    m.append('\x18');               // flags: caseless, canonical path names
    appendLe16(m, 0xC801);          // flags2: Unicode, NT status codes, extended security, long names
    m.append(QByteArray(12, '\0')); // process id high, signature, reserved
    appendLe16(m, 0xFFFF);          // tree id: none yet
    appendLe16(m, 0xFEFF);          // process id
    appendLe16(m, 0);               // user id
    appendLe16(m, 0);               // multiplex id
    const QByteArray dialects = QByteArray("\x02NT LM 0.12", 11) + '\0' + QByteArray("\x02SMB 2.002", 10) + '\0'
                                + QByteArray("\x02SMB 2.???", 10) + '\0';
    m.append('\0'); // word count
    appendLe16(m, static_cast<quint16>(dialects.size()));
    m += dialects;
    return framed(m);
}

QByteArray smb2NegotiateRequest(QByteArrayView clientGuid, QByteArrayView salt)
{
    static const quint16 dialects[] = {0x0202, 0x0210, 0x0300, 0x0302, 0x0311};
    QByteArray m("\xFESMB", 4);
    appendLe16(m, kSmb2HeaderSize);
    appendLe16(m, 0);                   // credit charge
    appendLe32(m, 0);                   // status
    appendLe16(m, 0);                   // command: NEGOTIATE
    appendLe16(m, 1);                   // credits asked for
    appendLe32(m, 0);                   // flags
    appendLe32(m, 0);                   // next command
    m.append(QByteArray(8, '\0'));      // message id 0
    appendLe32(m, 0xFEFF);              // process id
    appendLe32(m, 0);                   // tree id
    m.append(QByteArray(8 + 16, '\0')); // session id, signature

    const QByteArray guid = clientGuid.toByteArray().leftJustified(16, '\0', true);
    const QByteArray salt32 = salt.toByteArray().leftJustified(32, '\0', true);
    appendLe16(m, 36); // structure size
    appendLe16(m, static_cast<quint16>(std::size(dialects)));
    appendLe16(m, 1); // security mode: signing enabled
    appendLe16(m, 0);
    appendLe32(m, 0); // capabilities
    m += guid;
    const qsizetype contextOffsetAt = m.size();
    appendLe32(m, 0); // context offset, filled in below
    appendLe16(m, 2); // context count
    appendLe16(m, 0);
    for (const quint16 d : dialects)
        appendLe16(m, d);
    padTo8(m);
    const auto contextOffset = static_cast<quint32>(m.size());
    for (int i = 0; i < 4; ++i)
        m[contextOffsetAt + i] = static_cast<char>((contextOffset >> (8 * i)) & 0xFF);

    // Pre-authentication integrity: SHA-512 and the salt.
    appendLe16(m, 1);
    appendLe16(m, 6 + 32);
    appendLe32(m, 0);
    appendLe16(m, 1);  // one hash algorithm
    appendLe16(m, 32); // salt length
    appendLe16(m, 1);  // SHA-512
    m += salt32;
    padTo8(m);
    // Encryption: AES-128-GCM and AES-128-CCM.
    appendLe16(m, 2);
    appendLe16(m, 6);
    appendLe32(m, 0);
    appendLe16(m, 2);
    appendLe16(m, 0x0002);
    appendLe16(m, 0x0001);
    return framed(m);
}

qsizetype keepAlivePrefix(QByteArrayView stream)
{
    qsizetype at = 0;
    while (stream.size() - at >= 4 && quint8(stream[at]) == kKeepAlive) {
        const qsizetype length = (qsizetype(quint8(stream[at + 1])) << 16) | (qsizetype(quint8(stream[at + 2])) << 8)
                                 | quint8(stream[at + 3]);
        if (length > kMaxReply || stream.size() - at - 4 < length)
            break;
        at += 4 + length;
    }
    return at;
}

NegotiateReply readNegotiateReply(QByteArrayView stream)
{
    NegotiateReply reply;
    stream = stream.sliced(keepAlivePrefix(stream));
    ByteReader r(stream);
    const auto type = r.u8();
    if (type && *type != 0 && *type != kKeepAlive) {
        reply.kind = NegotiateReply::Malformed; // not a session message
        return reply;
    }
    const auto high = r.u8();
    const auto low = r.u16be();
    if (!high || !low)
        return reply; // Incomplete
    const qsizetype length = (qsizetype(*high) << 16) | *low;
    if (length > kMaxReply) {
        reply.kind = NegotiateReply::Malformed;
        return reply;
    }
    const auto message = r.bytes(length);
    if (!message || *type == kKeepAlive)
        return reply; // Incomplete, or a keep-alive not yet whole
    if (message->startsWith(QByteArrayView("\xFFSMB", 4)) && message->size() > kSmb1HeaderSize)
        return readSmb1(*message);
    if (message->startsWith(QByteArrayView("\xFESMB", 4)) && message->size() >= kSmb2HeaderSize)
        return readSmb2(*message);
    reply.kind = NegotiateReply::Malformed;
    return reply;
}

} // namespace smb
