#include "application/NetworkScan.h"

#include "discovery/NetworkNeighborhood.h"
#include "resources/ResourceList.h"

int addNeighborhood(ResourceList &list, const NetworkSnapshot &snapshot)
{
    int added = 0;
    for (const SnapshotWorkgroup &workgroup : snapshot) {
        for (const SnapshotComputer &computer : workgroup.computers) {
            if (list.indexOfResource(computer.name) != -1)
                continue;
            list.append(ResourceRow::created(computer.name, QString(), workgroup.name));
            ++added;
        }
    }
    return added;
}

void scanNetwork(ResourceList &list, ScanView &view, const NeighborhoodWalk &walk)
{
    view.setBusyCursor(true);
    view.setMessage(QStringLiteral("Scanning network..."));
    view.repaintNow();
    // The count and the cursor come back whatever happens; a failure is
    // raised once they have.
    struct Done {
        ResourceList &list;
        ScanView &view;
        ~Done()
        {
            view.setMessage(QString::number(list.count()) + QStringLiteral(" resources in list"));
            view.setBusyCursor(false);
        }
    } done{list, view};
    NetworkSnapshot snapshot;
    try {
        snapshot = walk();
    } catch (...) {
        // All or nothing, and one message for the user whatever went wrong.
        throw ECannotFindNetwork(QStringLiteral("Cannot find network neiborhood"));
    }
    addNeighborhood(list, snapshot);
}
