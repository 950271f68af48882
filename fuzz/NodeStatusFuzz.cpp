// Feeds arbitrary bytes to the node-status reply parser as if they came
// from the network, and checks what must hold for any packet: what it reads
// fits a name table, and a reply is taken only for its own transaction.

#include "netbios/NodeStatus.h"

#include <QByteArray>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

[[noreturn]] void fail(const char *property)
{
    std::fprintf(stderr, "property failed: %s\n", property);
    std::abort();
}

} // namespace

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
    for (const netbios::NodeStatusName &n : status->names)
        if (n.name.size() > 15)
            fail("a name longer than fifteen bytes");
    if (!status->mac.isEmpty() && status->mac.size() != 6)
        fail("a hardware address that is not six bytes");
    return 0;
}
