#include "sysinfo/LocalNetwork.h"

#include "sysinfo/Network.h"
#include "sysinfo/NetworkProbe.h"
#include "sysinfo/SystemSummary.h"

namespace {

const NetworkProbe &runningSystem()
{
    static const SystemNetworkProbe probe;
    return probe;
}

} // namespace

LocalNetwork describeLocalNetwork(const TNetwork &network, const QString &machineName)
{
    LocalNetwork n;
    n.adapters = network.Adapters();
    n.cardAdapterIndex = network.CardAdapterIndex();
    n.machineName = machineName;
    n.ipAddresses = network.IPAddresses();
    n.socketDescription = network.WinSock().Description();
    n.socketStatus = network.WinSock().Status();
    return n;
}

SystemNetworkSource::SystemNetworkSource() : m_probe(runningSystem()) {}

SystemNetworkSource::SystemNetworkSource(const NetworkProbe &probe) : m_probe(probe) {}

LocalNetwork SystemNetworkSource::read() const
{
    TNetwork network(m_probe);
    network.GetInfo();
    return describeLocalNetwork(network, systemSummary().MachineName);
}
