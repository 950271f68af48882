#include "application/NetworkScan.h"

#include "discovery/NetworkNeighborhood.h"
#include "resources/ResourceList.h"

namespace {

// Whether a row of LIST has ADDRESS in its IP Address cell.
bool hasAddress(const ResourceList &list, const QString &address)
{
    for (const ResourceRow &r : list.rows())
        if (r.subItem(siAddress) == address)
            return true;
    return false;
}

} // namespace

int addNeighborhood(ResourceList &list, const NetworkSnapshot &snapshot)
{
    int added = 0;
    for (const SnapshotWorkgroup &workgroup : snapshot) {
        for (const SnapshotComputer &computer : workgroup.computers) {
            // A name that NetBIOS told is resolved through it, as the design
            // has it; one that another protocol told often is not, so its
            // row keeps the address it was found at.
            const bool byName = computer.foundBy == FoundBy::NetBios || computer.address.isEmpty();
            if (list.indexOfResource(computer.name) != -1 || (!byName && hasAddress(list, computer.address)))
                continue;
            list.append(ResourceRow::created(computer.name, byName ? QString() : computer.address,
                                             workgroup.isWorkgroup ? workgroup.name : QString()));
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
