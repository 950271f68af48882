#pragma once

#include "discovery/NetworkSnapshot.h"

#include <functional>

class ResourceList;

// Takes one snapshot of the network (NeighborhoodSource::snapshot); raises
// where there is none to take.
using NeighborhoodWalk = std::function<NetworkSnapshot()>;

// The scan's walk: all or nothing, and one message for the user whatever
// went wrong: raises ECannotFindNetwork "Cannot find network neiborhood".
NetworkSnapshot walkNetwork(const NeighborhoodWalk &walk);

// The scan's result: appends a ticked, untested row for every machine of
// SNAPSHOT whose name no row has yet (ignoring ASCII case), with the
// workgroup it was first listed under, names as the snapshot has them;
// returns how many rows were added. A machine that NetBIOS found gets no
// address (it is pinged by its name); one that WS-Discovery or multicast
// DNS found gets its address, and no row where a row has that address
// already; one listed under the way it was found gets no workgroup.
int addNeighborhood(ResourceList &list, const NetworkSnapshot &snapshot);
