#pragma once

#include "base/Exception.h"
#include "discovery/NeighborhoodSource.h"
#include "discovery/StringObjectList.h"

#include <memory>
#include <vector>

// The text shown for an item: its display name up to its first zero
// character, without the blanks (not tabs) at either end, cleaned as
// cleanNetworkText says: names come from other machines.
QString itemDisplayText(const NetworkItem &item);

// The one failure of a network walk.
class ECannotFindNetwork : public Exception {
public:
    using Exception::Exception;
};

// The computers of one workgroup, by display name.
class TNetworkWorkgroup : public TStringObjectList {};

// A snapshot of the network: one entry per workgroup in the source's order,
// its text the workgroup's name and its object a TNetworkWorkgroup that the
// neighbourhood owns. The whole walk runs in the constructor, which either
// returns a complete snapshot or raises ECannotFindNetwork.
class TNetworkNeighborhood : public TStringObjectList {
public:
    TNetworkNeighborhood(NeighborhoodSource &source, const QString &computerName);
    ~TNetworkNeighborhood() override;

    // Every workgroup entry gets its own, empty computer list.
    int Add(const QString &text) override;
    void Clear() override;
    // Entries come only from the walk: these change nothing.
    void Delete(int) override {}
    void Insert(int, const QString &) override {}

private:
    void enumerate(NeighborhoodSource &source, const QString &computerName);
    void enumerateFolder(NeighborhoodFolder &folder, TStringObjectList &list, bool keepIdentifiers);

    // What the workgroup entries' Data point to.
    std::vector<std::unique_ptr<NetworkItem>> m_identifiers;
};
