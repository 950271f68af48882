#include "sysinfo/LocalNetwork.h"

#include <QHostAddress>
#include <QNetworkInterface>
#include <QStringList>
#include <QSysInfo>

LocalNetwork SystemNetworkSource::read() const
{
    LocalNetwork n;
    n.machineName = QSysInfo::machineHostName().toUpper();
    const QList<QNetworkInterface> interfaces = QNetworkInterface::allInterfaces();
    for (const QNetworkInterface &itf : interfaces) {
        const bool loopback = itf.flags().testFlag(QNetworkInterface::IsLoopBack);
        QString label = itf.humanReadableName();
        if (!itf.hardwareAddress().isEmpty() && !loopback)
            label += QStringLiteral(" (") + itf.hardwareAddress() + QLatin1Char(')');
        n.adapters.append(label);
        // The "card" is the first interface that is up and not loopback.
        if (n.cardAdapterIndex < 0 && !loopback && itf.flags().testFlag(QNetworkInterface::IsUp))
            n.cardAdapterIndex = int(n.adapters.size() - 1);
        if (loopback)
            continue;
        for (const QNetworkAddressEntry &entry : itf.addressEntries())
            if (entry.ip().protocol() == QAbstractSocket::IPv4Protocol)
                n.ipAddresses.append(entry.ip().toString());
    }
    if (n.cardAdapterIndex < 0 && !n.adapters.isEmpty())
        n.cardAdapterIndex = 0;
    // Like a socket library's own name and version: the kernel's major.minor.
    const QStringList version = QSysInfo::kernelVersion().split(QLatin1Char('.'));
    n.socketDescription = QStringLiteral("Linux sockets %1").arg(version.mid(0, 2).join(QLatin1Char('.')));
    n.socketStatus = QStringLiteral("Running");
    return n;
}
