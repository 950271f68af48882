#pragma once

#include "probe/ProbeRules.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QtGlobal>

// What one read from a NETLINK_ROUTE socket said about the IPv4 neighbour
// table: the entries it carried (from a dump or from the kernel's change
// notices, in the order they came) and how a dump stands.
struct NeighbourMessages {
    QList<NeighbourEntry> entries;
    bool dumpDone = false;        // the dump's last message came
    bool dumpInterrupted = false; // the table changed while it was dumped: some entries may be missing
    int error = 0;                // an error the kernel answered a request with (a positive errno)
    bool malformed = false;       // a message did not fit its bounds; what followed it was dropped
};

// Reads the netlink messages in BYTES, as one recv() returned them. Only
// the bytes are trusted as far as their lengths agree: a message or an
// attribute whose length runs past what holds it ends the reading, and
// IPv4 entries without a four-byte address are skipped.
NeighbourMessages parseNeighbourMessages(QByteArrayView bytes);

// The request for a dump of the kernel's IPv4 neighbour table.
QByteArray neighbourDumpRequest(quint32 sequence);
