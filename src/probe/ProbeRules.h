#pragma once

#include "base/Ipv4.h"
#include "base/ProbeProof.h"

#include <QByteArray>
#include <QtGlobal>

#include <optional>

// How a non-blocking TCP connect ended: the socket's error (0: the
// connection was made) and, when an ICMP report ended it, who sent that
// report (the kernel's error queue keeps the sender).
struct ConnectEnd {
    int error = 0;
    std::optional<Ipv4Address> icmpFrom;

    friend bool operator==(const ConnectEnd &, const ConnectEnd &) = default;
};

// Whether a connect that ended so proves TARGET up: a connection, or a
// refusal that the host itself sent (a TCP reset, or an ICMP report from
// the target's own address, as a firewall that rejects instead of dropping
// sends it). An ICMP report from anyone else (a router that cannot reach
// the host, or rejects on its behalf) and every local failure prove
// nothing.
std::optional<ProbeProof::Kind> connectProof(const ConnectEnd &end, Ipv4Address target);

// One IPv4 entry of the kernel's neighbour table, as rtnetlink reports it.
struct NeighbourEntry {
    Ipv4Address address;
    int interfaceIndex = 0;
    quint16 state = 0;      // NUD_* bits
    QByteArray linkAddress; // empty while the address is being resolved
    bool removed = false;   // the kernel dropped it from the table

    friend bool operator==(const NeighbourEntry &, const NeighbourEntry &) = default;
};

// The host's link-layer address when ENTRY shows that it answered ARP: an
// entry in the table with a six-byte address that the kernel took from an
// answer (reachable, stale, or being confirmed again). An entry still
// being resolved or that failed proves nothing, and neither does one
// written by hand (permanent) or one for a link without ARP.
std::optional<QByteArray> neighbourProof(const NeighbourEntry &entry);
