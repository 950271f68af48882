#pragma once

#include "base/Ipv4.h"
#include "netbios/NetbiosName.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QtGlobal>

#include <optional>

// The name-service query that finds the address of a NetBIOS name
// (RFC 1002, 4.2.12 to 4.2.14), and its answer.
namespace netbios {

constexpr quint16 kTypeNB = 0x0020;   // a name's addresses
constexpr quint16 kTypeNULL = 0x000A; // the empty record of a negative answer
constexpr quint16 kClassIN = 0x0001;

// A query for NAME<SUFFIX> with transaction id ID. A broadcast query sets
// the broadcast flag; both ask for recursion, as Windows and Samba do.
QByteArray buildNameQuery(quint16 id, QByteArrayView name, quint8 suffix, bool broadcast);

struct NameQueryReply {
    bool positive = false;        // false: the responder says the name is not there
    QList<Ipv4Address> addresses; // as listed (positive only)

    friend bool operator==(const NameQueryReply &, const NameQueryReply &) = default;
};

// Reads PACKET as the answer to our query ID for ASKED. Anything else (a
// request, another transaction, another name, a redirect or a wait notice,
// bytes short of the record) gives nothing, so a stray or hostile packet
// can only be ignored.
std::optional<NameQueryReply> readNameQueryReply(QByteArrayView packet, quint16 id, const Name &asked);

} // namespace netbios
