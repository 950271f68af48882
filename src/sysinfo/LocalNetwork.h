#pragma once

#include <QString>
#include <QStringList>

class NetworkProbe;
class TNetwork;

// What the main window shows of the local machine at start: the adapter
// list with the card selected, the machine name, the first IPv4 address
// and the socket layer.
struct LocalNetwork {
    QStringList adapters;
    int cardAdapterIndex = -1;
    QString machineName;
    QStringList ipAddresses;
    QString socketDescription;
    QString socketStatus;

    // The first address, or a plain "no address" when the machine has none
    // (never 0.0.0.0, which reads like an address).
    QString firstAddress() const { return ipAddresses.isEmpty() ? QStringLiteral("no address") : ipAddresses.first(); }
    QString socketText() const { return socketDescription + QStringLiteral(" (") + socketStatus + QLatin1Char(')'); }
};

// The window's values from a gathered network description and the
// machine name of the system summary.
LocalNetwork describeLocalNetwork(const TNetwork &network, const QString &machineName);

// Source of that description; tests put a fixed one in its place.
class LocalNetworkSource {
public:
    virtual ~LocalNetworkSource() = default;
    virtual LocalNetwork read() const = 0;
};

// Gathers a TNetwork from the running system (or from the probe given)
// and describes it with the system summary's machine name.
class SystemNetworkSource : public LocalNetworkSource {
public:
    SystemNetworkSource();
    explicit SystemNetworkSource(const NetworkProbe &probe);
    LocalNetwork read() const override;

private:
    const NetworkProbe &m_probe;
};
