// Feeds arbitrary bytes to the WS-Discovery ProbeMatches and ResolveMatches
// reader as if a device had sent them, and checks what must hold for any
// answer: it is taken only for the message it relates to, the header's
// quick reading names that message too, and what it gives stays within the
// reader's limits.

#include "discovery/WsdMessages.h"

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

[[noreturn]] void fail(const char *property)
{
    std::fprintf(stderr, "property failed: %s\n", property);
    std::abort();
}

// The answer's own RelatesTo, so that the fuzzer gets past the header.
QString relatesTo(const QByteArray &xml)
{
    const qsizetype start = xml.indexOf("RelatesTo>");
    const qsizetype end = start < 0 ? -1 : xml.indexOf('<', start);
    return end < 0 ? QString() : QString::fromUtf8(xml.sliced(start + 10, end - start - 10)).trimmed();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray xml(reinterpret_cast<const char *>(data), qsizetype(size));
    const QString id = relatesTo(xml);
    const QString quick = wsd::relatesTo(xml);
    if (quick.size() > wsd::kMaxText)
        fail("a RelatesTo longer than the limit");
    for (const wsd::MatchKind kind : {wsd::MatchKind::Probe, wsd::MatchKind::Resolve}) {
        const auto matches = wsd::parseMatches(xml, id, kind);
        if (!matches)
            continue;
        if (id.isEmpty() || wsd::parseMatches(xml, id + u'x', kind))
            fail("an answer is taken for another message");
        if (quick != id)
            fail("the header's quick reading names another message than the whole one");
        if (matches->size() > wsd::kMaxMatches)
            fail("more matches than the limit");
        for (const wsd::ProbeMatch &m : *matches) {
            if (m.endpoint.size() > wsd::kMaxText || m.xaddrs.size() > wsd::kMaxAddresses)
                fail("a match larger than the limits");
            for (const QString &x : m.xaddrs)
                if (x.isEmpty() || x.size() > wsd::kMaxText || x.contains(u' '))
                    fail("an empty, long or blank address");
        }
    }
    return 0;
}
