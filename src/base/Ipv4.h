#pragma once

#include <QHashFunctions>
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
    // no blanks, no shorthand ("10.1"), no octal or hexadecimal, and no
    // leading zero, which inet_addr would read as octal ("010" is 8 there):
    // a text two readers would take for two addresses is none.
    static std::optional<Ipv4Address> fromText(QStringView text);
    // The forms inet_addr reads, which users of the echo service type and a
    // sweep takes for addresses that need no lookup: one to four numbers
    // joined by dots, each decimal, octal (a leading 0) or hexadecimal
    // (0x), the last filling the bytes that are left ("10.1" is 10.0.0.1,
    // and so is "0x0A000001"); a blank may end the address, and whatever
    // follows it is ignored. Every spelling of 255.255.255.255 is read too,
    // though inet_addr itself cannot tell it from its failure.
    static std::optional<Ipv4Address> fromInetAddrText(QStringView text);

    constexpr quint32 hostOrder() const { return m_value; }
    quint32 networkOrder() const;
    // The dotted form, "10.0.0.1".
    QString toString() const;

    friend constexpr auto operator<=>(const Ipv4Address &, const Ipv4Address &) = default;
    friend size_t qHash(Ipv4Address address, size_t seed = 0) noexcept { return qHash(address.m_value, seed); }

private:
    constexpr explicit Ipv4Address(quint32 value) : m_value(value) {}
    quint32 m_value = 0;
};

// 255.255.255.255, every machine of the local link: no echo goes there.
inline constexpr Ipv4Address kLimitedBroadcast = Ipv4Address::fromHostOrder(0xFFFFFFFFu);

// An address of this machine with the prefix length of its subnet.
struct Ipv4Subnet {
    Ipv4Address address;
    int prefixLength = 0;

    friend bool operator==(const Ipv4Subnet &, const Ipv4Subnet &) = default;

    // The subnet's mask, in host byte order; 0 for a prefix of 0 or less.
    quint32 mask() const;
    Ipv4Address network() const { return Ipv4Address::fromHostOrder(address.hostOrder() & mask()); }
    // The subnet's broadcast address; a /31 or /32 link has none (nothing).
    bool hasBroadcast() const { return prefixLength >= 0 && prefixLength <= 30; }
    Ipv4Address broadcast() const { return Ipv4Address::fromHostOrder(network().hostOrder() | ~mask()); }
    bool contains(Ipv4Address other) const { return (other.hostOrder() & mask()) == network().hostOrder(); }
};

// Whether ADDRESS can name one other machine: not in 0.0.0.0/8, loopback
// (127/8), multicast (224/4) or the reserved block with the limited
// broadcast (240/4), and neither an address of this machine nor the
// network or broadcast address of one of its SUBNETS.
bool isOtherUnicastHost(Ipv4Address address, const QList<Ipv4Subnet> &subnets);
