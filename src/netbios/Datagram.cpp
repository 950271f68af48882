#include "netbios/Datagram.h"

namespace netbios {

QByteArray buildDirectUnique(const DirectUnique &datagram)
{
    const QByteArray names = encodeName(datagram.source.name, datagram.source.suffix)
                             + encodeName(datagram.destination.name, datagram.destination.suffix);
    const qsizetype length = names.size() + datagram.userData.size();
    if (length > 0xFFFF)
        return QByteArray();
    QByteArray packet;
    packet.reserve(kDatagramHeaderSize + names.size() + datagram.userData.size());
    packet.append(static_cast<char>(kDirectUnique));
    packet.append(static_cast<char>(kFirstFragment));
    appendU16(packet, datagram.datagramId);
    appendU32(packet, datagram.sourceAddress.hostOrder());
    appendU16(packet, datagram.sourcePort);
    appendU16(packet, static_cast<quint16>(length));
    appendU16(packet, 0); // the packet offset: this is the first and only fragment
    packet += names;
    packet += datagram.userData;
    return packet;
}

} // namespace netbios
