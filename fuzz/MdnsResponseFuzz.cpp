// Feeds arbitrary bytes to the multicast DNS answer reader as if a
// responder had sent them, and checks what must hold for any answer: it is
// taken only for its own query, it keeps no more than its limit, and every
// record it keeps answers a question we asked or one that a record kept
// before it raised.

#include "FuzzProperty.h"
#include "discovery/MdnsMessage.h"

#include <QByteArray>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

using namespace mdns;

QList<Question> asked()
{
    QList<Question> out;
    for (const char *service :
         {"_workstation._tcp.local", "_smb._tcp.local", "_device-info._tcp.local", "_ssh._tcp.local"})
        out.append(Question{DnsName::fromDotted(service), kPtr});
    out.append(Question{DnsName{{"penguin", "_ssh", "_tcp", "local"}}, kSrv});
    out.append(Question{DnsName::fromDotted("penguin.local"), kA});
    return out;
}

bool raisedBy(const QList<Record> &kept, qsizetype before, const Record &r, quint16 type)
{
    for (qsizetype i = 0; i < before; ++i)
        if (kept[i].type == type && kept[i].target.sameAs(r.name))
            return true;
    return false;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const QList<Question> questions = asked();
    const QByteArray message(reinterpret_cast<const char *>(data), qsizetype(size));
    const quint16 id = size >= 2 ? quint16((data[0] << 8) | data[1]) : 0;
    const auto records = parseResponse(message, id, questions);
    if (!records)
        return 0;
    if (parseResponse(message, quint16(id + 1), questions))
        fail("an answer is taken for another query");
    if (records->size() > kMaxRecords)
        fail("more records than the limit");
    for (qsizetype i = 0; i < records->size(); ++i) {
        const Record &r = (*records)[i];
        bool ours = false;
        for (const Question &q : questions)
            ours = ours || (q.type == r.type && q.name.sameAs(r.name));
        ours = ours || (r.type == kSrv && raisedBy(*records, i, r, kPtr))
               || (r.type == kA && raisedBy(*records, i, r, kSrv));
        if (!ours)
            fail("a record that answers nothing we asked");
        qsizetype wire = 1;
        for (const QByteArray &label : r.name.labels + r.target.labels)
            wire += label.size() + 1;
        if (wire > 2 * kMaxNameBytes)
            fail("a name longer than a name can be");
    }
    return 0;
}
