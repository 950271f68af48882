#include "discovery/NetworkSnapshot.h"

#include "base/NetworkText.h"
#include "netbios/NameText.h"

#include <algorithm>

namespace {

bool sameName(const QString &a, const QString &b) { return a.compare(b, Qt::CaseInsensitive) == 0; }
bool byName(const QString &a, const QString &b) { return a.compare(b, Qt::CaseInsensitive) < 0; }

SnapshotWorkgroup &workgroupNamed(NetworkSnapshot &snapshot, const QString &name)
{
    for (SnapshotWorkgroup &w : snapshot)
        if (sameName(w.name, name))
            return w;
    snapshot.append(SnapshotWorkgroup{name, {}});
    return snapshot.back();
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

// Where a group goes among those listed: a workgroup before the first
// workgroup whose name sorts after its own, and before the groups of the
// ways computers were found, which follow in the order of FoundBy. What is
// there keeps its order, which its own names gave it.
SnapshotWorkgroup &groupFor(NetworkSnapshot &out, const QString &workgroup, FoundBy how)
{
    const bool isWorkgroup = !workgroup.isEmpty();
    const QString name = isWorkgroup ? workgroup : foundByGroupName(how);
    for (SnapshotWorkgroup &w : out)
        if (w.isWorkgroup == isWorkgroup && sameName(w.name, name))
            return w;
    qsizetype at = 0;
    while (at < out.size()) {
        const SnapshotWorkgroup &w = out[at];
        const bool after = isWorkgroup ? (!w.isWorkgroup || byName(name, w.name))
                                       : (!w.isWorkgroup && !w.computers.isEmpty() && how < w.computers[0].foundBy);
        if (after)
            break;
        ++at;
    }
    out.insert(at, SnapshotWorkgroup{name, {}, isWorkgroup});
    return out[at];
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
        QList<SnapshotComputer> &computers = groupFor(out, shownNetworkName(host.workgroup), host.foundBy).computers;
        qsizetype at = 0;
        while (at < computers.size() && !byName(name, computers[at].name))
            ++at;
        computers.insert(at, SnapshotComputer{name, address, host.foundBy});
    }
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
        std::stable_sort(w.computers.begin(), w.computers.end(),
                         [](const auto &a, const auto &b) { return byName(a.name, b.name); });
    for (SnapshotWorkgroup &w : out) {
        w.name = shownNetworkName(w.name);
        for (SnapshotComputer &c : w.computers)
            c.name = shownNetworkName(c.name);
    }
    addDiscovered(out, discovered);
    return out;
}
