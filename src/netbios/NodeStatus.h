#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QtGlobal>

#include <optional>

// The node-status query of the NetBIOS name service (RFC 1002, 4.2.17 and
// 4.2.18): asked of one address, a machine answers with the table of the
// names it has registered (its computer name, its workgroup, its services)
// and its adapter's hardware address.
namespace netbios {

constexpr quint16 kNodeStatusType = 0x0021;
constexpr quint16 kInternetClass = 0x0001;

struct NodeStatusName {
    QByteArray name; // at most fifteen bytes, trailing blanks and zeros removed
    quint8 suffix = 0;
    bool group = false; // a group name (a workgroup), not a unique one

    friend bool operator==(const NodeStatusName &, const NodeStatusName &) = default;
};

struct NodeStatus {
    QList<NodeStatusName> names;
    QByteArray mac; // six bytes, or empty where the reply stops before them

    // The computer's own name (the first unique <00> name) and its workgroup
    // (the first group <00> name); empty where the table has none.
    QByteArray computer() const;
    QByteArray workgroup() const;
};

// The request for every name of the machine it is sent to ("*").
QByteArray buildNodeStatusRequest(quint16 transactionId);

// Reads a node-status reply. Returns nothing for anything else: a packet cut
// short, a count or length that points past its end, a request, an error
// answer, another kind of record, or a reply to another transaction.
std::optional<NodeStatus> parseNodeStatusReply(QByteArrayView packet, quint16 transactionId);

} // namespace netbios
