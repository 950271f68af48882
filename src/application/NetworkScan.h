#pragma once

#include <QString>

#include <functional>
#include <memory>

class ResourceList;
class TNetworkNeighborhood;

// What the scan shows while it runs.
class ScanView {
public:
    virtual ~ScanView() = default;
    virtual void setMessage(const QString &text) = 0;
    virtual void setBusyCursor(bool busy) = 0;
    // Paints the window now, before the walk starts.
    virtual void repaintNow() = 0;
};

// Takes one snapshot of the network; raises ECannotFindNetwork.
using NeighborhoodWalk = std::function<std::unique_ptr<TNetworkNeighborhood>()>;

// The scan command: walks the network and appends a ticked, untested row
// for every machine whose name no row has yet (ignoring ASCII case), with
// the workgroup it was first listed under. The message panel then shows
// the number of rows, also when the walk failed; the failure is raised
// after that.
void scanNetwork(ResourceList &list, ScanView &view, const NeighborhoodWalk &walk);

// Appends the machines of NEIGHBORHOOD that the list does not hold yet;
// returns how many rows were added.
int addNeighborhood(ResourceList &list, const TNetworkNeighborhood &neighborhood);
