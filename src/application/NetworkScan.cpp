#include "application/NetworkScan.h"

#include "discovery/NetworkNeighborhood.h"
#include "resources/ResourceList.h"

int addNeighborhood(ResourceList &list, const TNetworkNeighborhood &neighborhood)
{
    int added = 0;
    for (int i = 0; i < neighborhood.GetCount(); ++i) {
        const auto *machines = dynamic_cast<const TStrings *>(neighborhood.GetObject(i));
        for (int j = 0; machines && j < machines->GetCount(); ++j) {
            const QString name = machines->Get(j);
            if (list.indexOfResource(name) != -1)
                continue;
            list.append(ResourceRow::created(name, QString(), neighborhood.Get(i)));
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
    const std::unique_ptr<TNetworkNeighborhood> neighborhood = walk();
    if (neighborhood)
        addNeighborhood(list, *neighborhood);
}
