#pragma once

#include "remote/Deadline.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QtGlobal>

#include <chrono>
#include <optional>

// What the remote actions know of the local machine; the caller gathers it.
struct LocalNetbios {
    QByteArray machineName;    // the NetBIOS name messages are sent from
    QList<quint32> broadcasts; // IPv4 broadcast addresses of the local subnets
};

// Finds the IPv4 address of the machine a row names, the way Windows
// finds a NetBIOS name:
//  - a dotted address is the address;
//  - a name of up to fifteen bytes without a dot is asked for with a
//    NetBIOS name query: first directly at the addresses the row already
//    knows (HINTS), then by broadcast on the local subnets;
//  - then the system resolver (hosts file, DNS).
// Each step waits a short while, and all together no longer than DEADLINE.
class MachineFinder {
public:
    MachineFinder(LocalNetbios local, Deadline deadline, QList<quint32> hints = {});

    std::optional<quint32> find(const QString &machine) const;

    const LocalNetbios &local() const { return m_local; }
    const Deadline &deadline() const { return m_deadline; }

private:
    LocalNetbios m_local;
    Deadline m_deadline;
    QList<quint32> m_hints;
};

// A dotted IPv4 address (four decimal numbers), in host byte order.
std::optional<quint32> dottedAddress(const QString &text);

// The NetBIOS name a machine's text stands for, or nothing when the text
// is too long for one or has a dot (a DNS name).
std::optional<QByteArray> netbiosName(const QString &machine);

// Asks TARGETS (on port 137) where NAME<00> is; by broadcast when
// BROADCAST. The first positive answer from a target (any sender for a
// broadcast) gives the address; a negative one ends the wait.
std::optional<quint32> queryName(const QByteArray &name, const QList<quint32> &targets, bool broadcast,
                                 const Deadline &deadline);

// The system resolver's first IPv4 address for NAME. The lookup cannot be
// interrupted, so it runs on a thread of its own that is left to finish
// when the deadline passes first.
std::optional<quint32> systemLookup(const QString &name, const Deadline &deadline);
