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

} // namespace

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

NetworkSnapshot mergeSnapshot(const QList<NodeStatusAnswer> &answers, const NetworkSnapshot &browseList)
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
    return out;
}
