#pragma once

#include "discovery/NodeStatusSweep.h"

#include <QList>
#include <QString>
#include <QStringView>

// The network as the sweep and the browse list saw it.
struct SnapshotComputer {
    QString name;
    QString address; // dotted; empty for a computer known only by name

    friend bool operator==(const SnapshotComputer &, const SnapshotComputer &) = default;
};

struct SnapshotWorkgroup {
    QString name;
    QList<SnapshotComputer> computers;

    friend bool operator==(const SnapshotWorkgroup &, const SnapshotWorkgroup &) = default;
};

using NetworkSnapshot = QList<SnapshotWorkgroup>;

// A name from the network as lists and files show it: up to its first zero
// character, without the blanks (not tabs) at either end, cleaned as
// cleanNetworkText says.
QString shownNetworkName(QStringView name);

// Workgroups with their computers from the node-status answers (a computer
// under the workgroup its own table names) and from a master browser's
// list, each workgroup and each computer in it once whatever the letter
// case, the first spelling and the first address kept. Workgroups and
// computers are sorted by name, ignoring case. Answers without a computer
// or a workgroup name add nothing. Names are decoded and cleaned as
// netbios::displayName says, the browse list's as cleanNetworkText does;
// they are compared and sorted so, and only then shown as shownNetworkName
// says. Two names that differ only in blanks at their ends thus stay two
// entries, as two that differ only in a replaced character do.
NetworkSnapshot mergeSnapshot(const QList<NodeStatusAnswer> &answers, const NetworkSnapshot &browseList);
