// Feeds arbitrary bytes to the metadata Get's readers as if a device had
// answered: an HTTP response (where the input starts as one) and the SOAP
// GetResponse in its body, or the GetResponse alone. Checks what must hold
// for any answer: the body stays within its limit and inside what was
// received, the answer is taken only for its own Get, and the computer's
// name and workgroup are clean enough for the list and a session file.

#include "FuzzProperty.h"
#include "base/NetworkText.h"
#include "discovery/HttpResponse.h"
#include "discovery/WsdMessages.h"

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

void checkMetadata(const QByteArray &xml)
{
    const QString id = relatesToIn(xml);
    const auto computer = wsd::parseGetResponse(xml, id);
    if (!computer)
        return;
    if (id.isEmpty() || wsd::parseGetResponse(xml, id + u'x'))
        fail("an answer is taken for another Get");
    if (computer->name.isEmpty() || computer->name.size() > 255 || computer->workgroup.size() > 255)
        fail("an empty or long name");
    if (!isCleanNetworkText(computer->name) || !isCleanNetworkText(computer->workgroup))
        fail("a name or workgroup that is not clean");
    if (computer->name.startsWith(u' ') || computer->name.endsWith(u' '))
        fail("a name with blanks at its ends");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray input(reinterpret_cast<const char *>(data), qsizetype(size));
    if (!input.startsWith("HTTP/")) {
        checkMetadata(input);
        return 0;
    }
    constexpr qsizetype kMax = 4096;
    for (const bool closed : {false, true}) {
        const HttpResponse r = readHttpResponse(input, closed, kMax);
        if (r.state != HttpResponse::Complete) {
            if (!r.body.isEmpty())
                fail("a body where there is no complete answer");
            continue;
        }
        if (r.body.size() > kMax || r.body.size() > input.size())
            fail("a body beyond its limit or larger than what was received");
        checkMetadata(r.body);
    }
    return 0;
}
