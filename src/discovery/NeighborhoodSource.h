#pragma once

#include "discovery/NetworkSnapshot.h"

#include <QList>
#include <QString>

#include <memory>

// One item of a network folder: a workgroup, a computer or a share.
struct NetworkItem {
    QString displayName; // as the source gives it, untrimmed
    QString key;         // what the source needs to open the item again

    friend bool operator==(const NetworkItem &, const NetworkItem &) = default;
};

// A folder of the network: the folder of workgroups, a workgroup (its
// computers) or a computer (its shares).
class NeighborhoodFolder {
public:
    virtual ~NeighborhoodFolder() = default;
    // The folder's items, in an order that stays the same for the same
    // network; none where the folder cannot be listed.
    virtual QList<NetworkItem> items() = 0;
    // Opens one of this folder's items as a folder; raises (or returns
    // null) where it cannot.
    virtual std::unique_ptr<NeighborhoodFolder> open(const NetworkItem &item) = 0;
};

// Where the network is seen from. Its calls may block for seconds, so they
// are made off the window's thread, by a scan and the tree at the same time.
class NeighborhoodSource {
public:
    virtual ~NeighborhoodSource() = default;
    // The folder whose items are the workgroups, found from the local
    // computer's name; raises where there is no network to look at.
    virtual std::unique_ptr<NeighborhoodFolder> rootFolder(const QString &computerName) = 0;
    // The workgroups and their computers at once, as the folder of
    // workgroups and the workgroups' folders would list them, with names
    // already as shownNetworkName leaves them; raises where rootFolder does.
    virtual NetworkSnapshot snapshot(const QString &computerName) = 0;
    // Ends every wait of this source and of its folders at once and for
    // good (the program is ending): from then on they list nothing.
    virtual void abandon() {}
};
