#pragma once

#include "discovery/NodeStatusSweep.h"

#include <QList>
#include <QString>
#include <QStringView>

// How a computer was found: NetBIOS (the node-status sweep or a browse
// list), WS-Discovery (Windows since 10, wsdd) or multicast DNS (Linux,
// Macs, printers).
enum class FoundBy {
    NetBios,
    WsDiscovery,
    Mdns
};

// The network as the sweep, the browse list and the announcing protocols
// saw it.
struct SnapshotComputer {
    QString name;
    QString address; // dotted; empty for a computer known only by name
    FoundBy foundBy = FoundBy::NetBios;

    friend bool operator==(const SnapshotComputer &, const SnapshotComputer &) = default;
};

// A workgroup (or domain) and its computers; or, where isWorkgroup is
// false, the computers found one way that told no workgroup, under the
// name of that way.
struct SnapshotWorkgroup {
    QString name;
    QList<SnapshotComputer> computers;
    bool isWorkgroup = true;

    friend bool operator==(const SnapshotWorkgroup &, const SnapshotWorkgroup &) = default;
};

using NetworkSnapshot = QList<SnapshotWorkgroup>;

// A computer that WS-Discovery or multicast DNS found: its name (the host
// part, as the protocol told it), its address and, from WS-Discovery, its
// workgroup or domain.
struct DiscoveredHost {
    FoundBy foundBy = FoundBy::Mdns;
    QString name;
    Ipv4Address address;
    QString workgroup;

    friend bool operator==(const DiscoveredHost &, const DiscoveredHost &) = default;
};

// The name of the group of computers found by HOW that told no workgroup.
QString foundByGroupName(FoundBy how);

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
//
// Then each of DISCOVERED that NetBIOS does not know already, WS-Discovery's
// before multicast DNS's: a host is the same machine as a computer listed
// before it with its address, or else with its name ignoring case, and adds
// nothing then (but its address, where the computer had none). A new one
// goes under its workgroup where it told one, else under the group of the
// way it was found (after the workgroups); hosts without a name or an
// address add nothing. Their names and workgroups are cleaned as
// shownNetworkName says.
NetworkSnapshot mergeSnapshot(const QList<NodeStatusAnswer> &answers, const NetworkSnapshot &browseList,
                              const QList<DiscoveredHost> &discovered = {});
