#include "probe/ProbeRules.h"

#include <algorithm>
#include <cerrno>
#include <linux/neighbour.h>

std::optional<ProbeProof::Kind> connectProof(const ConnectEnd &end, Ipv4Address target)
{
    if (end.error == 0)
        return ProbeProof::Kind::TcpConnected;
    // Whatever the report says (port unreachable, prohibited), a report
    // from the target's own address means its stack is there to send it.
    if (end.icmpFrom)
        return *end.icmpFrom == target ? std::optional(ProbeProof::Kind::TcpRefused) : std::nullopt;
    // Without an ICMP report a refusal is the host's reset.
    if (end.error == ECONNREFUSED)
        return ProbeProof::Kind::TcpRefused;
    return std::nullopt;
}

std::optional<QByteArray> neighbourProof(const NeighbourEntry &entry)
{
    constexpr quint16 answered = NUD_REACHABLE | NUD_STALE | NUD_DELAY | NUD_PROBE;
    if (entry.removed || !(entry.state & answered) || (entry.state & (NUD_PERMANENT | NUD_NOARP)))
        return std::nullopt;
    const QByteArray &mac = entry.linkAddress;
    // All zeros is no station's address; an entry that says so was not
    // filled from an answer.
    if (mac.size() != 6 || std::all_of(mac.cbegin(), mac.cend(), [](char b) { return b == 0; }))
        return std::nullopt;
    return mac;
}
