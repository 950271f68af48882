#include "discovery/NetworkSnapshot.h"

#include "base/NetworkText.h"
#include "netbios/NameText.h"

#include <algorithm>

namespace {

bool sameName(const QString &a, const QString &b) { return a.compare(b, Qt::CaseInsensitive) == 0; }
bool byName(const QString &a, const QString &b) { return a.compare(b, Qt::CaseInsensitive) < 0; }

SnapshotWorkgroup &workgroupNamed(NetworkSnapshot &snapshot, const QString &name, bool isWorkgroup = true)
{
    for (SnapshotWorkgroup &w : snapshot)
        if (w.isWorkgroup == isWorkgroup && sameName(w.name, name))
            return w;
    snapshot.append(SnapshotWorkgroup{name, {}, isWorkgroup});
    return snapshot.back();
}

// The computer of SNAPSHOT at ADDRESS, else the one named NAME; null where
// there is none.
SnapshotComputer *sameMachine(NetworkSnapshot &snapshot, const QString &name, const QString &address)
{
    for (SnapshotWorkgroup &w : snapshot)
        for (SnapshotComputer &c : w.computers)
            if (c.address == address)
                return &c;
    for (SnapshotWorkgroup &w : snapshot)
        for (SnapshotComputer &c : w.computers)
            if (sameName(c.name, name))
                return &c;
    return nullptr;
}

void sortByName(QList<SnapshotComputer> &computers)
{
    std::stable_sort(computers.begin(), computers.end(),
                     [](const auto &a, const auto &b) { return byName(a.name, b.name); });
}

// Workgroups by name, then the groups of the ways computers were found.
bool groupBefore(const SnapshotWorkgroup &a, const SnapshotWorkgroup &b)
{
    if (a.isWorkgroup != b.isWorkgroup)
        return a.isWorkgroup;
    if (!a.isWorkgroup)
        return a.computers.value(0).foundBy < b.computers.value(0).foundBy;
    return byName(a.name, b.name);
}

void addDiscovered(NetworkSnapshot &out, QList<DiscoveredHost> discovered)
{
    std::stable_sort(discovered.begin(), discovered.end(),
                     [](const auto &a, const auto &b) { return a.foundBy < b.foundBy; });
    for (const DiscoveredHost &host : discovered) {
        const QString name = shownNetworkName(host.name);
        if (name.isEmpty() || host.address == Ipv4Address() || host.foundBy == FoundBy::NetBios)
            continue;
        const QString address = host.address.toString();
        if (SnapshotComputer *known = sameMachine(out, name, address)) {
            if (known->address.isEmpty())
                known->address = address;
            continue;
        }
        const QString workgroup = shownNetworkName(host.workgroup);
        SnapshotWorkgroup &into = workgroup.isEmpty() ? workgroupNamed(out, foundByGroupName(host.foundBy), false)
                                                      : workgroupNamed(out, workgroup);
        into.computers.append(SnapshotComputer{name, address, host.foundBy});
    }
}

void addComputer(SnapshotWorkgroup &workgroup, const SnapshotComputer &computer)
{
    for (SnapshotComputer &c : workgroup.computers) {
        if (sameName(c.name, computer.name)) {
            if (c.address.isEmpty())
                c.address = computer.address;
            return;
        }
    }
    workgroup.computers.append(computer);
}

} // namespace

QString foundByGroupName(FoundBy how)
{
    switch (how) {
    case FoundBy::WsDiscovery:
        return QStringLiteral("WS-Discovery");
    case FoundBy::Mdns:
        return QStringLiteral("mDNS");
    case FoundBy::NetBios:
        break;
    }
    return QStringLiteral("NetBIOS");
}

QString shownNetworkName(QStringView name)
{
    if (const qsizetype zero = name.indexOf(QChar(0)); zero >= 0)
        name.truncate(zero);
    while (!name.isEmpty() && name.front() == QLatin1Char(' '))
        name = name.sliced(1);
    while (!name.isEmpty() && name.back() == QLatin1Char(' '))
        name.chop(1);
    return cleanNetworkText(name);
}

NetworkSnapshot mergeSnapshot(const QList<NodeStatusAnswer> &answers, const NetworkSnapshot &browseList,
                              const QList<DiscoveredHost> &discovered)
{
    NetworkSnapshot out;
    for (const NodeStatusAnswer &a : answers) {
        const QString computer = netbios::displayName(a.status.computer());
        const QString workgroup = netbios::displayName(a.status.workgroup());
        if (computer.isEmpty() || workgroup.isEmpty())
            continue;
        addComputer(workgroupNamed(out, workgroup), SnapshotComputer{computer, a.address.toString()});
    }
    for (const SnapshotWorkgroup &w : browseList) {
        if (w.name.isEmpty())
            continue;
        SnapshotWorkgroup &into = workgroupNamed(out, cleanNetworkText(w.name));
        for (const SnapshotComputer &c : w.computers)
            if (!c.name.isEmpty())
                addComputer(into, SnapshotComputer{cleanNetworkText(c.name), c.address});
    }
    std::stable_sort(out.begin(), out.end(), [](const auto &a, const auto &b) { return byName(a.name, b.name); });
    for (SnapshotWorkgroup &w : out)
        sortByName(w.computers);
    for (SnapshotWorkgroup &w : out) {
        w.name = shownNetworkName(w.name);
        for (SnapshotComputer &c : w.computers)
            c.name = shownNetworkName(c.name);
    }
    if (discovered.isEmpty())
        return out;
    addDiscovered(out, discovered);
    // What NetBIOS listed keeps the order its own names gave it.
    std::stable_sort(out.begin(), out.end(), groupBefore);
    for (SnapshotWorkgroup &w : out)
        if (std::any_of(w.computers.cbegin(), w.computers.cend(),
                        [](const SnapshotComputer &c) { return c.foundBy != FoundBy::NetBios; }))
            sortByName(w.computers);
    return out;
}
