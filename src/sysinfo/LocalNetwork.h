#pragma once

#include <QString>
#include <QStringList>

// What the main window shows of the local machine's networking: the adapter
// list, the machine name, the first IPv4 address and the socket layer.
struct LocalNetwork {
    QStringList adapters;
    int cardAdapterIndex = -1;
    QString machineName;
    QStringList ipAddresses;
    QString socketDescription;
    QString socketStatus;

    QString firstAddress() const { return ipAddresses.isEmpty() ? QStringLiteral("0.0.0.0") : ipAddresses.first(); }
    QString socketText() const { return socketDescription + QStringLiteral(" (") + socketStatus + QLatin1Char(')'); }
};

// Source of that description; tests put a fixed one in its place.
class LocalNetworkSource {
public:
    virtual ~LocalNetworkSource() = default;
    virtual LocalNetwork read() const = 0;
};

// Reads the running system: interfaces, host name and kernel.
class SystemNetworkSource : public LocalNetworkSource {
public:
    LocalNetwork read() const override;
};
