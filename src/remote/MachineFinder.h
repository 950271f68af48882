#pragma once

#include "base/Deadline.h"
#include "base/Ipv4.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QtGlobal>

#include <chrono>
#include <optional>

// What the remote actions know of the local machine; the caller gathers it.
struct LocalNetbios {
    QByteArray machineName;    // the NetBIOS name messages are sent from
    QList<Ipv4Subnet> subnets; // this machine's addresses on its IPv4 subnets

    // The broadcast address of each subnet that has one, once each.
    QList<Ipv4Address> broadcasts() const;
};

// Finds the IPv4 address of the machine a row names, the way Windows
// finds a NetBIOS name:
//  - a dotted address (see Ipv4Address::fromText) is the address;
//  - a name of up to fifteen bytes without a dot is asked for with a
//    NetBIOS name query: first directly at the addresses the row already
//    knows (HINTS), then by broadcast on the local subnets;
//  - then the system resolver (hosts file, DNS).
// Each step waits a short while, and all together no longer than DEADLINE.
class MachineFinder {
public:
    MachineFinder(LocalNetbios local, Deadline deadline, QList<Ipv4Address> hints = {});

    std::optional<Ipv4Address> find(const QString &machine) const;

    const LocalNetbios &local() const { return m_local; }
    const Deadline &deadline() const { return m_deadline; }
    const QList<Ipv4Address> &hints() const { return m_hints; }

private:
    LocalNetbios m_local;
    Deadline m_deadline;
    QList<Ipv4Address> m_hints;
};

// The NetBIOS name a machine's text stands for, or nothing when the text
// is too long for one or has a dot (a DNS name).
std::optional<QByteArray> netbiosName(const QString &machine);

// Asks TARGETS (on port 137) where NAME<00> is; by broadcast when
// BROADCAST. Only answers from the targets count, or, for a broadcast, from
// a machine inside a LOCAL subnet whose broadcast address was asked; of
// those the first positive one that names another machine's unicast
// address (see isOtherUnicastHost) gives the address, and a negative one
// ends the wait. Anything else is ignored: a peer cannot send us to
// loopback, to ourselves or to a group.
std::optional<Ipv4Address> queryName(const QByteArray &name, const QList<Ipv4Address> &targets, bool broadcast,
                                     const QList<Ipv4Subnet> &local, const Deadline &deadline);

// Whether an answer from SOURCE to a query sent to TARGETS is to be read
// at all (see queryName).
bool answerSourceAccepted(Ipv4Address source, const QList<Ipv4Address> &targets, bool broadcast,
                          const QList<Ipv4Subnet> &local);

// The system resolver's first IPv4 address for NAME, or nothing when the
// deadline passes first (the lookup then ends by itself, unwaited for).
std::optional<Ipv4Address> systemLookup(const QString &name, const Deadline &deadline);
