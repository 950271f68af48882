// Feeds arbitrary bytes, as if another machine sent them, through the
// reader of name-query answers, asking for each of the names the captured
// answers are about, and checks what must hold for any packet: only a
// response to our transaction is read, a positive answer lists at least
// one address and no more than the packet holds, and a negative one none.

#include "FuzzProperty.h"
#include "netbios/NameQuery.h"

#include <QByteArray>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

constexpr quint16 kId = 0x4C52; // the captured queries' transaction id

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray packet(reinterpret_cast<const char *>(data), qsizetype(size));
    static const netbios::Name asked[] = {
        {"NYSRV", netbios::kWorkstation},  {"INSRV", netbios::kWorkstation},    {"DEFSRV", netbios::kMessenger},
        {"NOSUCH", netbios::kWorkstation}, {"LREMTEST", netbios::kWorkstation},
    };
    for (const netbios::Name &name : asked) {
        const auto reply = netbios::readNameQueryReply(packet, kId, name);
        if (!reply)
            continue;
        if (packet.size() < 12 || quint8(packet[0]) != (kId >> 8) || quint8(packet[1]) != (kId & 0xFF))
            fail("an answer to another transaction was read");
        if (!(quint8(packet[2]) & 0x80))
            fail("a request was read as an answer");
        if (reply->positive == reply->addresses.isEmpty())
            fail("a positive answer without addresses, or a negative one with");
        if (reply->addresses.size() * 6 > packet.size())
            fail("more addresses than the packet holds");
        if (netbios::readNameQueryReply(packet, quint16(kId + 1), name))
            fail("the answer was read for another transaction too");
    }
    return 0;
}
