#pragma once

#include <QList>
#include <QString>
#include <QStringView>
#include <QtGlobal>

#include <compare>
#include <optional>

// One IPv4 address. Its number is kept in host byte order (10.0.0.1 is
// 0x0A000001); the byte order is named wherever a number goes in or out,
// so that an address in network order (as sockets and the echo record keep
// it) cannot pass for one in host order.
class Ipv4Address {
public:
    constexpr Ipv4Address() = default; // 0.0.0.0
    static constexpr Ipv4Address fromHostOrder(quint32 value) { return Ipv4Address(value); }
    static Ipv4Address fromNetworkOrder(quint32 value);
    // Four decimal numbers from 0 to 255 joined by dots, and nothing else:
    // no blanks, no shorthand ("10.1"), no octal or hexadecimal.
    static std::optional<Ipv4Address> fromText(QStringView text);

    constexpr quint32 hostOrder() const { return m_value; }
    quint32 networkOrder() const;
    // The dotted form, "10.0.0.1".
    QString toString() const;

    friend constexpr auto operator<=>(const Ipv4Address &, const Ipv4Address &) = default;

private:
    constexpr explicit Ipv4Address(quint32 value) : m_value(value) {}
    quint32 m_value = 0;
};

// Below, addresses are numbers in host byte order.

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
