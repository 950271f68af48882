#include "sysinfo/Network.h"

#include "sysinfo/Devices.h"
#include "sysinfo/NetworkProbe.h"

#include <QFile>

namespace {

bool isLoopback(const QString &dotted) { return dotted.startsWith(QLatin1String("127.")); }

} // namespace

QStringList localIPAddresses(const QList<InterfaceInfo> &interfaces, const QStringList &hostLookup)
{
    QStringList out;
    for (const InterfaceInfo &itf : interfaces) {
        if (itf.loopback)
            continue;
        for (const InterfaceInfo::Ipv4 &ip : itf.ipv4) {
            const QString dotted = ip.address.toString();
            if (!isLoopback(dotted) && !out.contains(dotted))
                out << dotted;
        }
    }
    for (const QString &dotted : hostLookup)
        if (!isLoopback(dotted) && !out.contains(dotted))
            out << dotted;
    return out;
}

QStringList parseProtocols(const QByteArray &text)
{
    QStringList out;
    const QList<QByteArray> lines = text.split('\n');
    for (qsizetype i = 1; i < lines.size(); ++i) { // the first line names the columns
        const QByteArray name = lines[i].trimmed().split(' ').value(0);
        if (!name.isEmpty() && !out.contains(QString::fromLatin1(name)))
            out << QString::fromLatin1(name);
    }
    return out;
}

TNetwork::TNetwork(const NetworkProbe &probe) : m_probe(probe) { readAdapters(); }

void TNetwork::readAdapters()
{
    TDevices devices(m_probe.sysRoot());
    CallGuarded(QStringLiteral("TDevices.GetInfo"), m_exceptionMode, [&] { devices.GetInfo(); });
    for (const TDevice &d : devices.Devices()) {
        if (d.DeviceClass != kNetDeviceClass)
            continue;
        m_adapters << (d.FriendlyName.isEmpty() ? d.Description : d.FriendlyName);
        if (!d.Location.isEmpty() && m_cardAdapterIndex == -1)
            m_cardAdapterIndex = int(m_adapters.size() - 1);
    }
}

void TNetwork::GetInfo()
{
    CallGuarded(QStringLiteral("TWinsock.GetInfo"), m_exceptionMode, [this] { m_winsock.GetInfo(m_probe); });
    CallGuarded(QStringLiteral("TTCPIP.GetInfo"), m_exceptionMode, [this] { m_tcpip.GetInfo(m_probe); });
    // Windows adds its registry's network-card list on NT 4, 2000 and XP;
    // Linux has none, the devices above are all there is.
    if (m_cardAdapterIndex >= 0 && m_cardAdapterIndex < m_adapters.size())
        m_cardAdapterName = m_adapters[m_cardAdapterIndex];
    else
        m_cardAdapterName = m_adapters.isEmpty() ? QStringLiteral("<not detected>") : m_adapters.first();

    const QList<InterfaceInfo> interfaces = m_probe.interfaces();
    m_ipAddresses = localIPAddresses(interfaces, m_probe.lookUpHost(m_probe.hostName()));

    QFile protocols(m_probe.procRoot() + QStringLiteral("/net/protocols"));
    m_protocols = protocols.open(QIODevice::ReadOnly) ? parseProtocols(protocols.read(256 * 1024)) : QStringList();
    m_services.clear();
    m_clients.clear();

    m_macAddresses.clear();
    for (const InterfaceInfo &itf : interfaces) {
        if (itf.hardwareAddress.isEmpty() || itf.hardwareAddress.count('\0') == itf.hardwareAddress.size())
            continue;
        const QString mac = hardwareAddressText(itf.hardwareAddress);
        if (!m_macAddresses.contains(mac))
            m_macAddresses << mac;
    }
}
