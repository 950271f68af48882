#pragma once

// Node-status replies as a machine would send them, for tests that play
// such a machine: any names, any number of them.

#include "netbios/NetbiosName.h"
#include "netbios/NodeStatus.h"

#include <QByteArray>
#include <QList>

inline QByteArray nodeStatusReply(quint16 id, const QList<netbios::NodeStatusName> &names)
{
    using namespace netbios;
    QByteArray packet;
    Header header;
    header.transactionId = id;
    header.flags = kResponseFlag | kAuthoritativeFlag;
    header.answers = 1;
    appendHeader(packet, header);
    packet += encodeWildcardName();
    appendU16(packet, kNodeStatusType);
    appendU16(packet, kInternetClass);
    appendU32(packet, 0); // time to live
    QByteArray data(1, char(names.size()));
    for (const NodeStatusName &n : names) {
        data += n.name.leftJustified(kNameLength, ' ', true);
        data += char(n.suffix);
        appendU16(data, n.group ? 0x8400 : 0x0400);
    }
    data += QByteArray::fromHex("525400123456"); // the hardware address
    appendU16(packet, quint16(data.size()));
    return packet + data;
}

// A table of COUNT names: the computer NAME<00>, the workgroup WORKGROUP<00>
// (a group name) and services to make up the count.
inline QList<netbios::NodeStatusName> nameTable(const QByteArray &name, const QByteArray &workgroup, int count = 3)
{
    QList<netbios::NodeStatusName> out = {{name, 0x00, false}, {workgroup, 0x00, true}};
    for (int i = int(out.size()); i < count; ++i)
        out.append({"SVC" + QByteArray::number(i), quint8(0x20 + i % 8), false});
    return out;
}
