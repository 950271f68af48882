#include "sysinfo/TCPIP.h"

#include "base/Ipv4.h"
#include "sysinfo/NetworkProbe.h"

#include <QFile>
#include <QRegularExpression>

namespace {

QByteArray readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.read(1024 * 1024) : QByteArray();
}

const QRegularExpression &blanks()
{
    static const QRegularExpression re(QStringLiteral("\\s+"));
    return re;
}

// The route table prints each address as the 32-bit word it finds in
// memory, in network byte order.
QString routeAddress(const QString &hex, bool *ok)
{
    return Ipv4Address::fromNetworkOrder(hex.toUInt(ok, 16)).toString();
}

} // namespace

std::uint8_t adapterTypeOf(int hardwareType)
{
    switch (hardwareType) {
    case 1:
        return 1; // Ethernet
    case 800:
        return 2; // IEEE 802.2 token ring
    case 774:
        return 3; // FDDI
    case 512:
        return 4; // PPP
    case 772:
        return 5; // loopback
    case 256:
        return 6; // SLIP
    default:
        return 0;
    }
}

ResolverConfig parseResolvConf(const QByteArray &text)
{
    ResolverConfig c;
    for (const QByteArray &raw : text.split('\n')) {
        const QString line = QString::fromUtf8(raw).trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')) || line.startsWith(QLatin1Char(';')))
            continue;
        const QStringList words = line.split(blanks(), Qt::SkipEmptyParts);
        const QString &key = words.first();
        if (key == QLatin1String("nameserver") && words.size() >= 2) {
            c.nameservers << words[1];
        } else if (key == QLatin1String("search")) {
            c.search = words.mid(1);
        } else if (key == QLatin1String("domain") && words.size() >= 2) {
            c.domain = words[1];
            c.search = {words[1]};
        }
    }
    return c;
}

QList<GatewayRoute> parseRouteTable(const QByteArray &text)
{
    constexpr unsigned kRouteUp = 0x1, kRouteGateway = 0x2;
    QList<GatewayRoute> routes;
    const QList<QByteArray> lines = text.split('\n');
    for (qsizetype i = 1; i < lines.size(); ++i) { // the first line names the columns
        const QStringList f = QString::fromLatin1(lines[i]).split(blanks(), Qt::SkipEmptyParts);
        if (f.size() < 8)
            continue;
        bool okFlags = false, okGateway = false, okMask = false;
        const unsigned flags = f[3].toUInt(&okFlags, 16);
        if (!okFlags || (flags & (kRouteUp | kRouteGateway)) != (kRouteUp | kRouteGateway))
            continue;
        GatewayRoute r{f[0], routeAddress(f[2], &okGateway), routeAddress(f[7], &okMask)};
        if (okGateway && okMask)
            routes.append(r);
    }
    return routes;
}

void TTCPIP::GetInfo(const NetworkProbe &probe)
{
    m_adapters.clear();
    try {
        readAdapters(probe);
        readParameters(probe);
    } catch (...) {
        // Parameters nobody displays are not worth stopping the start for.
    }
}

void TTCPIP::readAdapters(const NetworkProbe &probe)
{
    const QList<GatewayRoute> routes = parseRouteTable(readFile(probe.procRoot() + QStringLiteral("/net/route")));
    for (const InterfaceInfo &itf : probe.interfaces()) {
        TAdapter a;
        a.Name = itf.name.trimmed();
        a.PhysAddr = hardwareAddressText(itf.hardwareAddress);
        a.AdapterType = adapterTypeOf(itf.hardwareType);
        for (const InterfaceInfo::Ipv4 &ip : itf.ipv4) {
            a.IPAddress << ip.address.toString();
            a.IPMask << Ipv4Address::fromHostOrder(ip.mask).toString(); // a mask is written like an address
        }
        for (const GatewayRoute &r : routes) {
            if (r.interfaceName == itf.name) {
                a.Gateway_IPAddress << r.gateway;
                a.Gateway_IPMask << r.mask;
            }
        }
        m_adapters.append(a);
    }
}

void TTCPIP::readParameters(const NetworkProbe &probe)
{
    const ResolverConfig resolver = parseResolvConf(readFile(probe.resolvConf()));
    m_nodeType = ntUnknown;
    m_dhcpScopeName.clear();
    m_dnsServers = resolver.nameservers;
    // The server the resolver asks first, as the parameters report it.
    m_primaryDNSSuffix = m_dnsServers.value(0);
    m_dnsSuffixes = resolver.search.isEmpty() ? QStringList{QString()} : resolver.search;
    const QString host = probe.hostName();
    m_hostName = host.section(QLatin1Char('.'), 0, 0);
    m_domainName = host.contains(QLatin1Char('.')) ? host.section(QLatin1Char('.'), 1) : resolver.domain;
    m_enableProxy = false;
    m_enableRouting = readFile(probe.procRoot() + QStringLiteral("/sys/net/ipv4/ip_forward")).trimmed() == "1";
    m_enableDNS = !m_dnsServers.isEmpty();
}
