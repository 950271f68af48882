#include "discovery/MdnsMessage.h"

#include "base/ByteReader.h"
#include "base/ByteWriter.h"

namespace mdns {

namespace {

constexpr quint16 kResponseFlag = 0x8000;
constexpr quint16 kOpcodeMask = 0x7800;
constexpr quint16 kRcodeMask = 0x000F;
constexpr quint16 kClassMask = 0x7FFF; // the top bit asks for a unicast answer or flushes a cache
constexpr quint16 kInternet = 1;
constexpr quint8 kPointerTag = 0xC0;
constexpr int kMaxLabel = 63;

// Reads a name at the reader's position, following compression pointers
// (each to an earlier place than the last, and few), and leaves the reader
// after the name as it stands in this place.
std::optional<DnsName> readName(ByteReader &reader, QByteArrayView message)
{
    DnsName name;
    int wireBytes = 1;
    int jumps = 0;
    qsizetype pos = reader.pos();
    qsizetype resumeAt = -1;
    qsizetype lowestStart = pos;
    for (;;) {
        ByteReader at(message, pos);
        const auto length = at.u8();
        if (!length)
            return std::nullopt;
        if ((*length & kPointerTag) == kPointerTag) {
            const auto low = at.u8();
            if (!low)
                return std::nullopt;
            const qsizetype target = (qsizetype(*length & ~kPointerTag) << 8) | *low;
            if (target >= lowestStart || ++jumps > kMaxPointerJumps)
                return std::nullopt;
            if (resumeAt < 0)
                resumeAt = at.pos();
            pos = lowestStart = target;
            continue;
        }
        if ((*length & kPointerTag) != 0)
            return std::nullopt; // the extended label types are not used here
        if (*length == 0) {
            if (!reader.seek(resumeAt >= 0 ? resumeAt : at.pos()))
                return std::nullopt;
            return name;
        }
        wireBytes += 1 + *length;
        if (*length > kMaxLabel || wireBytes > kMaxNameBytes)
            return std::nullopt;
        const auto label = at.bytes(*length);
        if (!label)
            return std::nullopt;
        name.labels.append(label->toByteArray());
        pos = at.pos();
    }
}

void appendName(QByteArray &out, const DnsName &name)
{
    for (const QByteArray &label : name.labels) {
        const QByteArray cut = label.left(kMaxLabel);
        out.append(char(cut.size()));
        out.append(cut);
    }
    out.append('\0');
}

bool asked(const QList<Question> &questions, const DnsName &name, quint16 type)
{
    for (const Question &q : questions)
        if (q.type == type && q.name.sameAs(name))
            return true;
    return false;
}

bool named(const QList<Record> &records, quint16 type, const DnsName &target)
{
    for (const Record &r : records)
        if (r.type == type && r.target.sameAs(target))
            return true;
    return false;
}

} // namespace

DnsName DnsName::fromDotted(QByteArrayView dotted)
{
    DnsName out;
    for (const QByteArray &label : dotted.toByteArray().split('.'))
        if (!label.isEmpty())
            out.labels.append(label);
    return out;
}

bool DnsName::sameAs(const DnsName &other) const
{
    if (labels.size() != other.labels.size())
        return false;
    for (qsizetype i = 0; i < labels.size(); ++i)
        if (labels[i].compare(other.labels[i], Qt::CaseInsensitive) != 0)
            return false;
    return true;
}

QByteArray buildQuery(quint16 id, const QList<Question> &questions)
{
    const QList<Question> sent = questions.first(std::min<qsizetype>(questions.size(), kMaxQuestions));
    QByteArray out;
    appendBe16(out, id);
    appendBe16(out, 0); // a standard query
    appendBe16(out, quint16(sent.size()));
    appendBe16(out, 0);
    appendBe16(out, 0);
    appendBe16(out, 0);
    for (const Question &q : sent) {
        appendName(out, q.name);
        appendBe16(out, q.type);
        appendBe16(out, kInternet);
    }
    return out;
}

std::optional<QList<Record>> parseResponse(QByteArrayView message, quint16 id, const QList<Question> &questions)
{
    ByteReader reader(message);
    const auto txid = reader.u16be();
    const auto flags = reader.u16be();
    const auto qd = reader.u16be(), an = reader.u16be(), ns = reader.u16be(), ar = reader.u16be();
    if (!ar || *txid != id || !(*flags & kResponseFlag) || (*flags & kOpcodeMask) || (*flags & kRcodeMask))
        return std::nullopt;
    // A one-shot query's answer repeats the questions: each must be ours.
    if (*qd == 0 || *qd > kMaxQuestions || int(*an) + *ns + *ar > kMaxRecordsRead)
        return std::nullopt;
    for (int i = 0; i < *qd; ++i) {
        const auto name = readName(reader, message);
        const auto type = reader.u16be();
        const auto klass = reader.u16be();
        if (!name || !type || !klass || (*klass & kClassMask) != kInternet || !asked(questions, *name, *type))
            return std::nullopt;
    }
    // Every record is read, so that a message that runs past its end is
    // refused whole; which ones answer us is decided once all are known.
    QList<Record> read;
    for (int i = 0; i < int(*an) + *ns + *ar; ++i) {
        Record r;
        auto name = readName(reader, message);
        const auto type = reader.u16be();
        const auto klass = reader.u16be();
        const auto ttl = reader.u32be();
        const auto length = reader.u16be();
        if (!name || !type || !klass || !ttl || !length || !reader.has(*length))
            return std::nullopt;
        const qsizetype end = reader.pos() + *length;
        r.name = std::move(*name);
        r.type = *type;
        bool kept = (*klass & kClassMask) == kInternet;
        if (kept && r.type == kA) {
            const auto address = reader.u32be();
            if (!address || *length != 4)
                return std::nullopt;
            r.address = Ipv4Address::fromHostOrder(*address);
        } else if (kept && r.type == kPtr) {
            auto target = readName(reader, message);
            if (!target || reader.pos() != end)
                return std::nullopt;
            r.target = std::move(*target);
        } else if (kept && r.type == kSrv) {
            const auto priority = reader.u16be(), weight = reader.u16be(), port = reader.u16be();
            auto target = port ? readName(reader, message) : std::nullopt;
            if (!priority || !weight || !target || reader.pos() != end)
                return std::nullopt;
            r.port = *port;
            r.target = std::move(*target);
        } else {
            kept = false;
        }
        // A record's data is where its length says, whatever it held.
        if (!reader.seek(end))
            return std::nullopt;
        if (kept && *ttl > 0) // a zero TTL says the record is gone
            read.append(std::move(r));
    }
    QList<Record> out;
    // PTR first, then the SRV records they name, then the A records those
    // name: an answer may list them in any order.
    for (const quint16 type : {kPtr, kSrv, kA}) {
        for (const Record &r : read) {
            if (r.type != type || out.size() >= kMaxRecords)
                continue;
            const bool answers = asked(questions, r.name, type) || (type == kSrv && named(out, kPtr, r.name))
                                 || (type == kA && named(out, kSrv, r.name));
            if (answers)
                out.append(r);
        }
    }
    return out;
}

} // namespace mdns
