// Feeds arbitrary bytes to the node-status reply parser as if they came
// from the network, and checks what must hold for any packet: what it reads
// fits a name table, a reply is taken only for its own transaction, and no
// name as the program shows and keeps it holds a control character, a line
// end or a comma.

#include "FuzzProperty.h"
#include "base/NetworkText.h"
#include "netbios/NameText.h"
#include "netbios/NodeStatus.h"

#include <QByteArray>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArrayView packet(reinterpret_cast<const char *>(data), qsizetype(size));
    // The packet's own transaction, so that the fuzzer gets past the header.
    const quint16 id = size >= 2 ? quint16((data[0] << 8) | data[1]) : 0;
    const auto status = netbios::parseNodeStatusReply(packet, id);
    if (!status)
        return 0;
    if (netbios::parseNodeStatusReply(packet, quint16(id + 1)))
        fail("a reply is taken for another transaction");
    if (status->names.size() > 255 || qsizetype(status->names.size()) * 18 > qsizetype(size))
        fail("more names than the packet holds");
    for (const netbios::NodeStatusName &n : status->names) {
        if (n.name.size() > 15)
            fail("a name longer than fifteen bytes");
        const QString shown = netbios::displayName(n.name);
        for (const QChar c : shown)
            if (c.category() == QChar::Other_Control || c == u',' || c == u'\r' || c == u'\n')
                fail("a cleaned name holds a control character, a line end or a comma");
        if (!isCleanNetworkText(shown) || shown.size() > n.name.size())
            fail("a cleaned name is not clean, or longer than its bytes");
    }
    for (const QByteArray &name : {status->computer(), status->workgroup()})
        if (!isCleanNetworkText(netbios::displayName(name)))
            fail("the computer or workgroup name is not clean");
    if (!status->mac.isEmpty() && status->mac.size() != 6)
        fail("a hardware address that is not six bytes");
    return 0;
}
