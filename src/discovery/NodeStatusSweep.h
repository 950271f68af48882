#pragma once

#include "base/Ipv4.h"
#include "netbios/NodeStatus.h"

#include <QList>
#include <QtGlobal>

#include <optional>
#include <stop_token>

// How far a sweep may go. A /24 goes out in about a tenth of a second; the
// last replies are awaited for a second; nothing runs longer than five.
struct SweepLimits {
    int maxQueries = 4096;
    int widestPrefix = 22;      // a wider subnet is swept only around the address
    int burst = 8;              // queries sent together...
    int burstIntervalUs = 3000; // ...this often
    int quietMs = 1000;         // waited for replies after the last query
    int totalMs = 5000;
};

struct NodeStatusAnswer {
    Ipv4Address address;
    netbios::NodeStatus status;
};

// The addresses a sweep asks: every host address of each subnet, or of the
// widest allowed block around the interface's address where the subnet is
// wider; loopback subnets are left out, each address is asked once and
// there are never more than LIMITS.maxQueries.
QList<Ipv4Address> sweepAddresses(const QList<Ipv4Subnet> &subnets, const SweepLimits &limits = {});

// Sends a node-status request to each address from one UDP socket, paced,
// and collects the first valid reply of each address within the limits, or
// until STOP is requested (the program is ending), whichever comes first.
// Nothing when no request could be sent at all (no socket, no route).
std::optional<QList<NodeStatusAnswer>> sweepNodeStatus(const QList<Ipv4Address> &addresses,
                                                       const SweepLimits &limits = {}, std::stop_token stop = {});
