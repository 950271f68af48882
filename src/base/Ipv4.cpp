#include "base/Ipv4.h"

#include <QByteArray>
#include <QStringList>

#include <arpa/inet.h>

Ipv4Address Ipv4Address::fromNetworkOrder(quint32 value) { return Ipv4Address(ntohl(value)); }

quint32 Ipv4Address::networkOrder() const { return htonl(m_value); }

std::optional<Ipv4Address> Ipv4Address::fromText(QStringView text)
{
    quint32 value = 0;
    int parts = 0;
    qsizetype at = 0;
    while (parts < 4) {
        int number = 0, digits = 0;
        while (at < text.size() && text[at] >= u'0' && text[at] <= u'9' && digits < 4) {
            if (digits == 1 && number == 0)
                return std::nullopt; // a leading zero
            number = number * 10 + (text[at].unicode() - u'0');
            ++digits;
            ++at;
        }
        if (digits == 0 || digits > 3 || number > 255)
            return std::nullopt;
        value = (value << 8) | quint32(number);
        if (++parts < 4) {
            if (at >= text.size() || text[at] != u'.')
                return std::nullopt;
            ++at;
        }
    }
    if (at != text.size())
        return std::nullopt;
    return Ipv4Address(value);
}

std::optional<Ipv4Address> Ipv4Address::fromInetAddrText(QStringView text)
{
    // The C library's own reader, so that every form reads as it always has.
    const QByteArray bytes = text.toUtf8();
    in_addr address{};
    if (bytes.isEmpty() || bytes.contains('\0') || ::inet_aton(bytes.constData(), &address) == 0)
        return std::nullopt;
    return fromNetworkOrder(address.s_addr);
}

QString Ipv4Address::toString() const
{
    return QStringLiteral("%1.%2.%3.%4")
        .arg(m_value >> 24)
        .arg((m_value >> 16) & 0xFF)
        .arg((m_value >> 8) & 0xFF)
        .arg(m_value & 0xFF);
}

quint32 Ipv4Subnet::mask() const
{
    if (prefixLength <= 0)
        return 0;
    if (prefixLength >= 32)
        return 0xFFFFFFFFu;
    return ~quint32(0) << (32 - prefixLength);
}

bool isOtherUnicastHost(Ipv4Address address, const QList<Ipv4Subnet> &subnets)
{
    const quint32 first = address.hostOrder() >> 24;
    if (first == 0 || first == 127 || first >= 224)
        return false;
    for (const Ipv4Subnet &s : subnets)
        if (address == s.address || (s.hasBroadcast() && (address == s.broadcast() || address == s.network())))
            return false;
    return true;
}
