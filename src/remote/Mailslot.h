#pragma once

#include "netbios/NetbiosName.h"
#include "remote/Sockets.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <memory>

class MachineFinder;

// The client end of another machine's mailslot. Without Windows' mailslot
// file system, opening one finds the machine and readies a UDP socket
// towards its datagram port; each write sends one NetBIOS datagram from
// the local machine's name to the machine's messenger name.
class MailslotHandle {
public:
    MailslotHandle(Socket socket, Endpoint local, netbios::Name source, netbios::Name destination, QByteArray path);

    // The whole datagram for BYTES, as WriteFile would send it.
    QByteArray datagram(QByteArrayView bytes) const;
    // Sends one message; true when the whole datagram went out, WRITTEN
    // then being the size of BYTES.
    bool WriteFile(QByteArrayView bytes, qsizetype &written);

private:
    Socket m_socket;
    Endpoint m_local;
    netbios::Name m_source;
    netbios::Name m_destination;
    QByteArray m_path;
};

// The messenger's slot name.
inline const QString kMessengerSlot = QStringLiteral("messngr");

// The most a text may have: what the input box accepts. A datagram would
// carry a little more, but not much.
constexpr int kMaxMessageLength = 255;

// Opens SLOT on MACHINE, found with FINDER, or at the first of the
// finder's hints (the row's own address) when FINDER does not find it;
// nothing (INVALID_HANDLE_VALUE) when neither gives an address or no socket
// can reach it. The datagram is
// addressed to MACHINE's computer name (the first label of a DNS name), or
// to the address's text when MACHINE is a dotted address, with the
// messenger suffix <03>.
std::unique_ptr<MailslotHandle> OpenMailslot(const QString &machine, const QString &slot, const MachineFinder &finder);

// Writes TEXT (in the 8-bit code page, see toAnsi) as one message to SLOT
// on MACHINE: true only when the whole message went out. The handle is
// closed in every case.
bool SendMailslotMessage(const QString &machine, const QString &slot, const QString &text, const MachineFinder &finder);
