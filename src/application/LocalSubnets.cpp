#include "application/LocalSubnets.h"

#include "discovery/SystemNeighborhood.h"
#include "netbios/NetbiosName.h"

#include <QHostAddress>
#include <QNetworkAddressEntry>
#include <QNetworkInterface>
#include <QSysInfo>

QList<Ipv4Subnet> localSubnets()
{
    QList<Ipv4Subnet> out;
    for (const QNetworkInterface &i : QNetworkInterface::allInterfaces()) {
        const auto flags = i.flags();
        if (!(flags & QNetworkInterface::IsUp) || !(flags & QNetworkInterface::IsRunning)
            || (flags & QNetworkInterface::IsLoopBack))
            continue;
        for (const QNetworkAddressEntry &e : i.addressEntries())
            if (e.ip().protocol() == QAbstractSocket::IPv4Protocol && e.prefixLength() >= 0)
                out.append(Ipv4Subnet{Ipv4Address::fromHostOrder(e.ip().toIPv4Address()), e.prefixLength()});
    }
    return out;
}

QString localComputerName()
{
    return QString::fromLatin1(netbios::computerName(QSysInfo::machineHostName().toLatin1()));
}

std::shared_ptr<NeighborhoodSource> systemNeighborhood() { return std::make_shared<SystemNeighborhood>(localSubnets); }
