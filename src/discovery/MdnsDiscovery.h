#pragma once

#include "base/Deadline.h"
#include "base/Ipv4.h"
#include "discovery/NetworkSnapshot.h"

#include <QList>
#include <QStringList>

// How long multicast DNS is given. Responders delay answers about shared
// records (the services' PTR records) by up to 120 ms; the questions go
// out twice, as UDP may lose one.
struct MdnsLimits {
    int repeatMs = 200;
    int serviceWindowMs = 600; // instances heard after the first query
    int followUpWaitMs = 400;  // an instance's host, or a host's address
    int maxQueries = 32;
    int maxInstances = 64;
    int maxHosts = 64;
};

// The services whose instances name a host: computers, file servers,
// remote shells, printers.
QStringList hostServices();

// The hosts behind the instances of hostServices() that answer one-shot
// queries sent from each of INTERFACES, named by the host part of their
// SRV target (without ".local") and found at their first A address on the
// subnet they answered on. Stops when DEADLINE passes.
QList<DiscoveredHost> discoverMdns(const QList<Ipv4Subnet> &interfaces, const Deadline &deadline,
                                   const MdnsLimits &limits = {});
