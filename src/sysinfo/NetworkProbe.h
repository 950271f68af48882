#pragma once

#include "base/Ipv4.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <cstdint>

// One network interface as the kernel reports it.
struct InterfaceInfo {
    struct Ipv4 {
        Ipv4Address address;
        std::uint32_t mask = 0; // host byte order
    };
    QString name;
    int index = 0;
    bool loopback = false;
    int hardwareType = 0;       // ARPHRD_* of the link layer
    QByteArray hardwareAddress; // empty when the link has none
    QList<Ipv4> ipv4;
};

// What the local network description reads from the running system. The
// classes that describe the network ask only this, so that tests hand them
// sample trees and fixed answers, and never a lookup on a real network.
class NetworkProbe {
public:
    virtual ~NetworkProbe() = default;
    // Roots of the kernel's file systems and the resolver's configuration.
    virtual QString sysRoot() const = 0;
    virtual QString procRoot() const = 0;
    virtual QString resolvConf() const = 0;
    // The interfaces in index order, each with its IPv4 addresses.
    virtual QList<InterfaceInfo> interfaces() const = 0;
    virtual QString hostName() const = 0;
    // The IPv4 addresses the resolver gives for a name, dotted, in its
    // order; empty when the lookup fails. Blocks until it has an answer.
    virtual QStringList lookUpHost(const QString &name) const = 0;
    // Why no IPv4 socket can be opened; empty when one can.
    virtual QString socketError() const = 0;
    virtual QString kernelRelease() const = 0;
    virtual QString libcVersion() const = 0;
};

// The running system: /sys, /proc, /etc/resolv.conf, getifaddrs, the host
// name and the system resolver.
class SystemNetworkProbe : public NetworkProbe {
public:
    QString sysRoot() const override { return QStringLiteral("/sys"); }
    QString procRoot() const override { return QStringLiteral("/proc"); }
    QString resolvConf() const override { return QStringLiteral("/etc/resolv.conf"); }
    QList<InterfaceInfo> interfaces() const override;
    QString hostName() const override;
    QStringList lookUpHost(const QString &name) const override;
    QString socketError() const override;
    QString kernelRelease() const override;
    QString libcVersion() const override;
};

// A hardware address as upper-case hexadecimal pairs joined by colons.
QString hardwareAddressText(const QByteArray &address);
