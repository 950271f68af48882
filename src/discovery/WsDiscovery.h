#pragma once

#include "base/Deadline.h"
#include "base/Ipv4.h"
#include "discovery/NetworkSnapshot.h"

#include <QList>

// How long WS-Discovery is given. Computers answer a Probe within half a
// second (they wait a random part of it, so that their answers do not
// collide); the Probe goes out twice, as UDP may lose one.
struct WsdLimits {
    int repeatMs = 150;      // the second Probe
    int matchWindowMs = 800; // ProbeMatches heard after the first Probe
    int resolveWaitMs = 400; // a ResolveMatch, for a match that told no address
    int getWaitMs = 1000;    // the metadata of one computer
    int maxHosts = 64;
    int maxConnections = 16; // Gets under way at once
};

// The computers that answer a WS-Discovery Probe for computers sent from
// each of INTERFACES, named by the metadata each returns to a Get: a
// computer that gives no name is left out. Stops when DEADLINE passes.
QList<DiscoveredHost> discoverWsd(const QList<Ipv4Subnet> &interfaces, const Deadline &deadline,
                                  const WsdLimits &limits = {});
