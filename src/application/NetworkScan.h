#pragma once

#include "discovery/NetworkSnapshot.h"

#include <QString>

#include <functional>

class ResourceList;

// What the scan shows while it runs.
class ScanView {
public:
    virtual ~ScanView() = default;
    virtual void setMessage(const QString &text) = 0;
    virtual void setBusyCursor(bool busy) = 0;
    // Paints the window now, before the walk starts.
    virtual void repaintNow() = 0;
};

// Takes one snapshot of the network (NeighborhoodSource::snapshot); raises
// where there is none to take.
using NeighborhoodWalk = std::function<NetworkSnapshot()>;

// The scan command: walks the network and appends a ticked, untested row
// for every machine whose name no row has yet (ignoring ASCII case), with
// the workgroup it was first listed under. The message panel then shows
// the number of rows, also when the walk failed; whatever the walk raised,
// ECannotFindNetwork is raised after that.
void scanNetwork(ResourceList &list, ScanView &view, const NeighborhoodWalk &walk);

// Appends the machines of SNAPSHOT that the list does not hold yet, names
// as the snapshot has them; returns how many rows were added.
int addNeighborhood(ResourceList &list, const NetworkSnapshot &snapshot);
