#pragma once

#include <QByteArray>
#include <QByteArrayView>

// The SMB that writes one message to a mailslot: a TRANSACTION request
// with the mailslot write opcode, second class (unreliable, no answer),
// addressed to the slot by its path ("\MAILSLOT\MESSNGR"). It travels as
// the user data of a NetBIOS datagram.
namespace smb {

constexpr quint8 kTransaction = 0x25;
constexpr quint16 kMailslotWrite = 1;
constexpr quint16 kSecondClass = 2;

// "\MAILSLOT\" and SLOT, upper-cased as Windows sends it.
QByteArray mailslotPath(QByteArrayView slot);

// The request: the SMB header, the transaction's words and bytes, PATH
// with its terminating zero, then exactly the bytes of DATA.
QByteArray mailslotWrite(QByteArrayView path, QByteArrayView data);

} // namespace smb
