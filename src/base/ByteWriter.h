#pragma once

#include <QByteArray>
#include <QtGlobal>

// Appends numbers to a packet in either byte order: NetBIOS writes its
// fields most significant byte first, SMB least significant first.
inline void appendBe16(QByteArray &out, quint16 v)
{
    out.append(static_cast<char>(v >> 8));
    out.append(static_cast<char>(v & 0xFF));
}

inline void appendBe32(QByteArray &out, quint32 v)
{
    appendBe16(out, static_cast<quint16>(v >> 16));
    appendBe16(out, static_cast<quint16>(v & 0xFFFF));
}

inline void appendLe16(QByteArray &out, quint16 v)
{
    out.append(static_cast<char>(v & 0xFF));
    out.append(static_cast<char>(v >> 8));
}

inline void appendLe32(QByteArray &out, quint32 v)
{
    appendLe16(out, static_cast<quint16>(v & 0xFFFF));
    appendLe16(out, static_cast<quint16>(v >> 16));
}
