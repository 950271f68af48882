#pragma once

#include "base/Exception.h"
#include "discovery/NeighborhoodSource.h"
#include "discovery/NetworkSnapshot.h"
#include "discovery/StringObjectList.h"

#include <memory>
#include <vector>

// The text shown for an item: its display name as shownNetworkName shows
// it; names come from other machines.
QString itemDisplayText(const NetworkItem &item);

// The one failure of a network scan.
class ECannotFindNetwork : public Exception {
public:
    using Exception::Exception;
};

// The computers of one workgroup, by name.
class TNetworkWorkgroup : public TStringObjectList {
public:
    TNetworkWorkgroup() = default;
    explicit TNetworkWorkgroup(const QList<SnapshotComputer> &computers);
};

// A network snapshot as a string list: one entry per workgroup in the
// snapshot's order, its text the workgroup's name and its object a
// TNetworkWorkgroup that the neighbourhood owns.
class TNetworkNeighborhood : public TStringObjectList {
public:
    explicit TNetworkNeighborhood(const NetworkSnapshot &snapshot);
    ~TNetworkNeighborhood() override;

    // The computers of entry INDEX, read without asking its object what it
    // is; raises EDynArray for an index out of bounds and Exception for an
    // entry whose object was changed behind the list's back (through
    // Entries()).
    const TNetworkWorkgroup &Workgroup(int index) const;

    // Every workgroup entry gets its own, empty computer list.
    int Add(const QString &text) override;
    void Clear() override;
    // Entries and their objects come only from the snapshot or Add: these
    // change nothing.
    void Delete(int) override {}
    void Insert(int, const QString &) override {}
    void PutObject(int, TObject *) override {}

private:
    int addWorkgroup(const QString &name, std::unique_ptr<TNetworkWorkgroup> computers);

    // The entries' objects.
    std::vector<std::unique_ptr<TNetworkWorkgroup>> m_workgroups;
};
