#include "remote/Mailslot.h"

#include "netbios/Datagram.h"
#include "remote/AnsiText.h"
#include "remote/MachineFinder.h"
#include "remote/SmbMailslot.h"

#include <QRandomGenerator>

MailslotHandle::MailslotHandle(Socket socket, Endpoint local, netbios::Name source, netbios::Name destination,
                               QByteArray path)
    : m_socket(std::move(socket)), m_local(local), m_source(std::move(source)), m_destination(std::move(destination)),
      m_path(std::move(path))
{
}

QByteArray MailslotHandle::datagram(QByteArrayView bytes) const
{
    netbios::DirectUnique d;
    d.datagramId = static_cast<quint16>(QRandomGenerator::global()->generate());
    d.sourceAddress = m_local.address;
    d.sourcePort = m_local.port;
    d.source = m_source;
    d.destination = m_destination;
    d.userData = smb::mailslotWrite(m_path, bytes);
    return netbios::buildDirectUnique(d);
}

bool MailslotHandle::WriteFile(QByteArrayView bytes, qsizetype &written)
{
    written = 0;
    const QByteArray packet = datagram(bytes);
    if (packet.isEmpty() || m_socket.send(packet) != packet.size())
        return false;
    written = bytes.size();
    return true;
}

std::unique_ptr<MailslotHandle> OpenMailslot(const QString &machine, const QString &slot, const MachineFinder &finder)
{
    auto address = finder.find(machine);
    // Not found by its name: the row's own address says where the machine
    // is, and a datagram for another name is dropped there unread.
    if (!address && !finder.hints().isEmpty() && !finder.deadline().cancelled())
        address = finder.hints().first();
    if (!address)
        return nullptr;
    Socket socket = Socket::udp(false);
    if (!socket.valid() || !socket.connectUdp(Endpoint{*address, netbios::kDatagramPort}))
        return nullptr;
    const auto local = socket.local();
    if (!local)
        return nullptr;
    // A DNS name stands for the computer named by its first label.
    const QByteArray destination =
        Ipv4Address::fromText(machine) ? machine.toLatin1() : netbios::computerName(toAnsi(machine));
    return std::make_unique<MailslotHandle>(
        std::move(socket), *local, netbios::Name{finder.local().machineName, netbios::kWorkstation},
        netbios::Name{destination, netbios::kMessenger}, smb::mailslotPath(slot.toLatin1()));
}

bool SendMailslotMessage(const QString &machine, const QString &slot, const QString &text, const MachineFinder &finder)
{
    const std::unique_ptr<MailslotHandle> handle = OpenMailslot(machine, slot, finder);
    if (!handle)
        return false;
    const QByteArray bytes = toAnsi(text);
    qsizetype written = 0;
    return handle->WriteFile(bytes, written) && written == bytes.size();
}
