#pragma once

#include "base/Ipv4.h"
#include "netbios/NetbiosName.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QtGlobal>

// The datagram service's packet for one named receiver (RFC 1002, 4.4.1):
// how a mailslot message reaches another machine.
namespace netbios {

constexpr quint8 kDirectUnique = 0x10;
constexpr quint8 kFirstFragment = 0x02; // one whole datagram from a broadcast node
constexpr int kDatagramHeaderSize = 14; // up to and with the packet offset

struct DirectUnique {
    quint16 datagramId = 0;
    Ipv4Address sourceAddress; // the sending socket's own
    quint16 sourcePort = 0;    // the sending socket's own port
    Name source;
    Name destination;
    QByteArray userData;
};

// The whole datagram: header, both names (first-level encoded, no scope)
// and the user data. The length field counts what follows the header;
// user data too long for it gives an empty result.
QByteArray buildDirectUnique(const DirectUnique &datagram);

} // namespace netbios
