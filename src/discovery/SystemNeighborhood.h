#pragma once

#include "discovery/NeighborhoodSource.h"
#include "discovery/NodeStatusSweep.h"

#include <functional>

// The network as this machine sees it: the workgroups and computers that
// answer a node-status sweep of the local subnets, merged with the browse
// list of a master browser where there is one, and each computer's shares.
// The folder of workgroups is a snapshot taken when it is asked for.
class SystemNeighborhood : public NeighborhoodSource {
public:
    // SUBNETS tells the local IPv4 addresses and prefixes when a snapshot is
    // taken.
    explicit SystemNeighborhood(std::function<QList<Ipv4Subnet>()> subnets, SweepLimits limits = {});
    // Raises when there is no subnet to sweep or no query could be sent.
    std::unique_ptr<NeighborhoodFolder> rootFolder(const QString &computerName) override;

private:
    std::function<QList<Ipv4Subnet>()> m_subnets;
    SweepLimits m_limits;
};
