#pragma once

#include "sysinfo/Common.h"
#include "sysinfo/TCPIP.h"
#include "sysinfo/Winsock.h"

#include <QList>
#include <QString>
#include <QStringList>

class NetworkProbe;
struct InterfaceInfo;

// A read-only description of the local machine's networking: adapters,
// addresses, the socket layer and the TCP/IP parameters. Built, read and
// dropped by the main window at start.
class TNetwork {
public:
    // Lists the adapters from the devices at once; GetInfo gathers the rest.
    explicit TNetwork(const NetworkProbe &probe);

    void GetInfo();

    TExceptionMode ExceptionMode() const { return m_exceptionMode; }
    void setExceptionMode(TExceptionMode mode) { m_exceptionMode = mode; }
    // The host's IPv4 addresses: those of its interfaces (loopback aside) in
    // interface order, then what a lookup of the host name adds. The lookup
    // often answers only 127.0.1.1, so it comes second and loopback
    // addresses are left out.
    const QStringList &IPAddresses() const { return m_ipAddresses; }
    // The interfaces' hardware addresses, distinct, in interface order.
    const QStringList &MACAddresses() const { return m_macAddresses; }
    const QStringList &Adapters() const { return m_adapters; }
    // The first network device on a physical bus; -1 when there is none.
    int CardAdapterIndex() const { return m_cardAdapterIndex; }
    const QString &CardAdapterName() const { return m_cardAdapterName; }
    // The kernel's socket protocol families (/proc/net/protocols).
    const QStringList &Protocols() const { return m_protocols; }
    // Linux keeps no list of installed network services and clients.
    const QStringList &Services() const { return m_services; }
    const QStringList &Clients() const { return m_clients; }
    const TWinsock &WinSock() const { return m_winsock; }
    const TTCPIP &TCPIP() const { return m_tcpip; }

private:
    void readAdapters();

    const NetworkProbe &m_probe;
    TExceptionMode m_exceptionMode = emMessage;
    QStringList m_ipAddresses;
    QStringList m_macAddresses;
    QStringList m_adapters;
    int m_cardAdapterIndex = -1;
    QString m_cardAdapterName;
    QStringList m_protocols;
    QStringList m_services;
    QStringList m_clients;
    TWinsock m_winsock;
    TTCPIP m_tcpip;
};

// The address list: interface addresses first, then the lookup's own.
QStringList localIPAddresses(const QList<InterfaceInfo> &interfaces, const QStringList &hostLookup);
// The kernel's protocol names from the text of /proc/net/protocols.
QStringList parseProtocols(const QByteArray &text);
