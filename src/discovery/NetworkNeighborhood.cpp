#include "discovery/NetworkNeighborhood.h"

QString itemDisplayText(const NetworkItem &item) { return shownNetworkName(item.displayName); }

TNetworkWorkgroup::TNetworkWorkgroup(const QList<SnapshotComputer> &computers)
{
    for (const SnapshotComputer &c : computers)
        Add(c.name);
}

TNetworkNeighborhood::TNetworkNeighborhood(const NetworkSnapshot &snapshot)
{
    for (const SnapshotWorkgroup &w : snapshot)
        addWorkgroup(w.name, std::make_unique<TNetworkWorkgroup>(w.computers));
}

TNetworkNeighborhood::~TNetworkNeighborhood() = default;

const TNetworkWorkgroup &TNetworkNeighborhood::Workgroup(int index) const
{
    const TObject *object = GetObject(index);
    for (const std::unique_ptr<TNetworkWorkgroup> &w : m_workgroups)
        if (w.get() == object)
            return *w;
    throw Exception(QStringLiteral("Entry %1 holds no workgroup of this network").arg(index));
}

int TNetworkNeighborhood::Add(const QString &text) { return addWorkgroup(text, std::make_unique<TNetworkWorkgroup>()); }

int TNetworkNeighborhood::addWorkgroup(const QString &name, std::unique_ptr<TNetworkWorkgroup> computers)
{
    // Owned before the entry points to it: no failure on the way leaks it.
    m_workgroups.push_back(std::move(computers));
    const int index = TStringObjectList::Add(name);
    TStringObjectList::PutObject(index, m_workgroups.back().get());
    return index;
}

void TNetworkNeighborhood::Clear()
{
    TStringObjectList::Clear();
    m_workgroups.clear();
}
