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

NetworkSnapshot walkNetwork(const NeighborhoodWalk &walk)
{
    try {
        return walk();
    } catch (...) {
        throw ECannotFindNetwork(QStringLiteral("Cannot find network neiborhood"));
    }
}
