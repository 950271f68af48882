#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <cstdint>

class NetworkProbe;

enum TNodeType {
    ntUnknown,
    ntBroadcast,
    ntPeerToPeer,
    ntMixed,
    ntHybrid
};

// One interface with its addresses. Each address list has a mask list of
// the same length beside it.
struct TAdapter {
    // Interface kinds: 0 other, 1 Ethernet, 2 token ring, 3 FDDI, 4 PPP,
    // 5 loopback, 6 SLIP.
    QString Name;
    QString PhysAddr;
    std::uint8_t AdapterType = 0;
    std::uint8_t DHCPEnabled = 0;
    bool HaveWINS = false;
    QStringList IPAddress, IPMask;
    QStringList Gateway_IPAddress, Gateway_IPMask;
    QStringList DHCP_IPAddress, DHCP_IPMask;
    QStringList PrimaryWINS_IPAddress, PrimaryWINS_IPMask;
    QStringList SecondaryWINS_IPAddress, SecondaryWINS_IPMask;
};

// The adapter kind of a link-layer type (ARPHRD_*).
std::uint8_t adapterTypeOf(int hardwareType);

// What the resolver's configuration file says: its servers in order, the
// search list and the local domain. The last "search" or "domain" line
// sets the search list, as the resolver reads it.
struct ResolverConfig {
    QStringList nameservers;
    QStringList search;
    QString domain;
};
ResolverConfig parseResolvConf(const QByteArray &text);

// The gateways of the kernel's routing table (/proc/net/route): routes up
// and through a gateway, in table order.
struct GatewayRoute {
    QString interfaceName;
    QString gateway;
    QString mask;
};
QList<GatewayRoute> parseRouteTable(const QByteArray &text);

// TCP/IP parameters of the machine and the addresses of each interface.
class TTCPIP {
public:
    // Fills everything from the probe. A failure anywhere leaves what was
    // gathered up to it; the parameters are not worth an error box.
    void GetInfo(const NetworkProbe &probe);

    int AdapterCount() const { return int(m_adapters.size()); }
    const QList<TAdapter> &Adapters() const { return m_adapters; }
    bool EnableProxy() const { return m_enableProxy; }
    bool EnableRouting() const { return m_enableRouting; }
    bool EnableDNS() const { return m_enableDNS; }
    const QString &HostName() const { return m_hostName; }
    const QString &DomainName() const { return m_domainName; }
    const QString &PrimaryDNSSuffix() const { return m_primaryDNSSuffix; }
    const QStringList &DNSServers() const { return m_dnsServers; }
    // The search list; one empty entry when there is none.
    const QStringList &DNSSuffixes() const { return m_dnsSuffixes; }
    TNodeType NodeType() const { return m_nodeType; }
    const QString &DHCPScopeName() const { return m_dhcpScopeName; }

private:
    void readAdapters(const NetworkProbe &probe);
    void readParameters(const NetworkProbe &probe);

    QList<TAdapter> m_adapters;
    bool m_enableProxy = false;
    bool m_enableRouting = false;
    bool m_enableDNS = false;
    QString m_hostName;
    QString m_domainName;
    QString m_primaryDNSSuffix;
    QStringList m_dnsServers;
    QStringList m_dnsSuffixes;
    TNodeType m_nodeType = ntUnknown;
    QString m_dhcpScopeName;
};
