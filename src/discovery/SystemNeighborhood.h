#pragma once

#include "discovery/NeighborhoodSource.h"
#include "discovery/NodeStatusSweep.h"

#include <functional>
#include <stop_token>

// The network as this machine sees it: the workgroups and computers that
// answer a node-status sweep of the local subnets, merged with the browse
// list of a master browser where there is one, and each computer's shares.
// The folder of workgroups is a snapshot taken when it is asked for.
class SystemNeighborhood : public NeighborhoodSource {
public:
    // SUBNETS tells the local IPv4 addresses and prefixes when a snapshot is
    // taken.
    explicit SystemNeighborhood(std::function<QList<Ipv4Subnet>()> subnets, SweepLimits limits = {});
    // Both raise when there is no subnet to sweep, no query could be sent,
    // or the source was abandoned.
    std::unique_ptr<NeighborhoodFolder> rootFolder(const QString &computerName) override;
    NetworkSnapshot snapshot(const QString &computerName) override;
    void abandon() override { m_stop.request_stop(); }

private:
    std::function<QList<Ipv4Subnet>()> m_subnets;
    SweepLimits m_limits;
    std::stop_source m_stop;
};

// The folder of SNAPSHOT's workgroups: each opens as the folder of its
// computers, and a computer as the folder of the shares it lists when
// asked (until STOP is requested).
std::unique_ptr<NeighborhoodFolder> snapshotFolder(NetworkSnapshot snapshot, std::stop_token stop = {});
