#include "netbios/NetbiosName.h"

#include "base/ByteReader.h"
#include "base/ByteWriter.h"

namespace netbios {

namespace {

constexpr quint8 kPointerMark = 0xC0;
// A name of fifteen bytes and a suffix: 32 letters after encoding.
constexpr quint8 kEncodedLength = 32;
constexpr int kScopeLimit = 255; // bytes of scope labels worth reading past

char toUpperAscii(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

QByteArray encodeRaw(QByteArrayView sixteen)
{
    QByteArray out;
    out.reserve(kEncodedNameSize);
    out.append(static_cast<char>(kEncodedLength));
    for (const char c : sixteen) {
        const auto byte = static_cast<quint8>(c);
        out.append(static_cast<char>('A' + (byte >> 4)));
        out.append(static_cast<char>('A' + (byte & 0x0F)));
    }
    out.append('\0');
    return out;
}

std::optional<QByteArray> decodeLetters(QByteArrayView letters)
{
    QByteArray raw;
    raw.reserve(letters.size() / 2);
    for (qsizetype i = 0; i + 1 < letters.size(); i += 2) {
        const int high = letters[i] - 'A';
        const int low = letters[i + 1] - 'A';
        if (high < 0 || high > 15 || low < 0 || low > 15)
            return std::nullopt;
        raw.append(static_cast<char>((high << 4) | low));
    }
    return raw;
}

// Reads the labels of a name at the reader's position, without pointers.
std::optional<Name> readLabels(ByteReader &reader)
{
    const auto length = reader.u8();
    if (!length || *length != kEncodedLength)
        return std::nullopt;
    const auto letters = reader.bytes(kEncodedLength);
    if (!letters)
        return std::nullopt;
    const auto raw = decodeLetters(*letters);
    if (!raw)
        return std::nullopt;
    // The scope: labels up to an empty one. We use no scope and drop it.
    int scopeBytes = 0;
    for (;;) {
        const auto label = reader.u8();
        if (!label || (*label & kPointerMark) != 0)
            return std::nullopt;
        if (*label == 0)
            break;
        scopeBytes += *label + 1;
        if (scopeBytes > kScopeLimit || !reader.skip(*label))
            return std::nullopt;
    }
    Name name;
    name.suffix = static_cast<quint8>(raw->back());
    name.name = raw->first(kNameLength);
    while (name.name.endsWith(' '))
        name.name.chop(1);
    return name;
}

} // namespace

QByteArray computerName(QByteArrayView hostName)
{
    QByteArray out;
    for (const char c : hostName) {
        if (c == '.' || out.size() == kNameLength)
            break;
        out.append(toUpperAscii(c));
    }
    return out;
}

QByteArray encodeName(QByteArrayView name, quint8 suffix)
{
    QByteArray sixteen(kNameLength + 1, ' ');
    const qsizetype n = qMin<qsizetype>(name.size(), kNameLength);
    for (qsizetype i = 0; i < n; ++i)
        sixteen[i] = toUpperAscii(name[i]);
    sixteen[kNameLength] = static_cast<char>(suffix);
    return encodeRaw(sixteen);
}

QByteArray encodeWildcardName()
{
    QByteArray sixteen(kNameLength + 1, '\0');
    sixteen[0] = '*';
    return encodeRaw(sixteen);
}

std::optional<Name> readName(ByteReader &reader)
{
    const qsizetype start = reader.pos();
    const auto first = reader.u8();
    if (!first)
        return std::nullopt;
    if ((*first & kPointerMark) != kPointerMark) {
        reader.seek(start);
        return readLabels(reader);
    }
    const auto low = reader.u8();
    if (!low)
        return std::nullopt;
    const qsizetype target = ((*first & ~kPointerMark) << 8) | *low;
    // Only backwards, and only once: a pointer can neither loop nor chain.
    if (target >= start)
        return std::nullopt;
    const qsizetype after = reader.pos();
    if (!reader.seek(target))
        return std::nullopt;
    auto name = readLabels(reader);
    reader.seek(after);
    return name;
}

void appendU16(QByteArray &packet, quint16 value) { appendBe16(packet, value); }

void appendU32(QByteArray &packet, quint32 value) { appendBe32(packet, value); }

void appendHeader(QByteArray &packet, const Header &header)
{
    appendU16(packet, header.transactionId);
    appendU16(packet, header.flags);
    appendU16(packet, header.questions);
    appendU16(packet, header.answers);
    appendU16(packet, header.authorities);
    appendU16(packet, header.additionals);
}

std::optional<Header> readHeader(ByteReader &reader)
{
    if (!reader.has(12))
        return std::nullopt;
    Header h;
    h.transactionId = *reader.u16be();
    h.flags = *reader.u16be();
    h.questions = *reader.u16be();
    h.answers = *reader.u16be();
    h.authorities = *reader.u16be();
    h.additionals = *reader.u16be();
    return h;
}

} // namespace netbios
