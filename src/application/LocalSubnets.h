#pragma once

#include "discovery/NeighborhoodSource.h"
#include "discovery/NodeStatusSweep.h"

#include <QList>
#include <QString>

#include <memory>

// The IPv4 addresses and prefixes of this machine's interfaces that are up,
// loopback left out.
QList<Ipv4Subnet> localSubnets();

// The name this computer goes by on the network: its host name's first
// label, upper-cased and cut to fifteen bytes.
QString localComputerName();

// The real network as the scan and the tree see it, swept over the
// subnets the machine has at the time of each snapshot.
std::shared_ptr<NeighborhoodSource> systemNeighborhood();
