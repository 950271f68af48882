#pragma once

#include <QList>
#include <QtGlobal>

// IPv4 addresses as numbers in host byte order: 10.0.0.1 is 0x0A000001.

// An address of this machine with the prefix length of its subnet.
struct Ipv4Subnet {
    quint32 address = 0;
    int prefixLength = 0;

    friend bool operator==(const Ipv4Subnet &, const Ipv4Subnet &) = default;

    // The subnet's mask; 0 for a prefix of 0 or less.
    quint32 mask() const;
    quint32 network() const { return address & mask(); }
    // The subnet's broadcast address; a /31 or /32 link has none (nothing).
    bool hasBroadcast() const { return prefixLength >= 0 && prefixLength <= 30; }
    quint32 broadcast() const { return network() | ~mask(); }
    bool contains(quint32 other) const { return (other & mask()) == network(); }
};

// Whether ADDRESS can name one other machine: not in 0.0.0.0/8, loopback
// (127/8), multicast (224/4) or the reserved block with the limited
// broadcast (240/4), and neither an address of this machine nor the
// network or broadcast address of one of its SUBNETS.
bool isOtherUnicastHost(quint32 address, const QList<Ipv4Subnet> &subnets);
