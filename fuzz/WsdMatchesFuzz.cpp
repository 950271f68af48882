// Feeds arbitrary bytes to the WS-Discovery ProbeMatches and ResolveMatches
// reader as if a device had sent them, and checks what must hold for any
// answer: it is taken only for the message it relates to, the header's
// quick reading names that message too, and what it gives stays within the
// reader's limits.

#include "FuzzProperty.h"
#include "discovery/WsdMessages.h"

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray xml(reinterpret_cast<const char *>(data), qsizetype(size));
    const QString id = relatesToIn(xml);
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
