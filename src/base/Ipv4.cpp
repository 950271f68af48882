#include "base/Ipv4.h"

quint32 Ipv4Subnet::mask() const
{
    if (prefixLength <= 0)
        return 0;
    if (prefixLength >= 32)
        return 0xFFFFFFFFu;
    return ~quint32(0) << (32 - prefixLength);
}

bool isOtherUnicastHost(quint32 address, const QList<Ipv4Subnet> &subnets)
{
    const quint32 first = address >> 24;
    if (first == 0 || first == 127 || first >= 224)
        return false;
    for (const Ipv4Subnet &s : subnets)
        if (address == s.address || (s.hasBroadcast() && (address == s.broadcast() || address == s.network())))
            return false;
    return true;
}
