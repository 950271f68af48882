#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QtGlobal>

// The first exchange of an SMB connection on TCP port 445. Its answer
// carries the server's clock without any log-on, which is all the clock
// command needs from it. Messages travel behind a four-byte length.
namespace smb {

constexpr quint16 kSmbPort = 445;
// A negotiate answer is a few hundred bytes; more than this is no answer.
constexpr qsizetype kMaxReply = 0x10000;
constexpr int kTimeZoneUnknown = -1;

// SMB1 NEGOTIATE offering "NT LM 0.12", "SMB 2.002" and "SMB 2.???": an old
// server answers in SMB1 with its time zone, a newer one in SMB2 without.
QByteArray smb1NegotiateRequest();

// SMB2 NEGOTIATE offering 2.0.2 to 3.1.1, with the negotiate contexts that
// 3.1.1 requires (pre-authentication integrity with SALT, 32 bytes, and
// encryption): for servers that drop SMB1 requests.
QByteArray smb2NegotiateRequest(QByteArrayView clientGuid, QByteArrayView salt);

struct ServerTime {
    quint64 fileTime = 0;               // 100 ns since 1601-01-01, UTC
    int zoneMinutes = kTimeZoneUnknown; // UTC = local time + zone; -1: unknown
};

struct NegotiateReply {
    enum Kind {
        Incomplete, // the bytes so far start a valid answer: read on
        Time,       // a readable answer: `time` holds the clock
        Refused,    // a well-formed answer with no dialect we can read
        Malformed,  // anything else: give up
    };
    Kind kind = Incomplete;
    ServerTime time;
};

// Reads the answer from the bytes received so far. Pure and bounded: it
// reads nothing past STREAM, never more than the first message, and calls
// a length above kMaxReply malformed before it has arrived. Keep-alives
// (session messages of type 0x85), which a server may send at any time,
// are read past.
NegotiateReply readNegotiateReply(QByteArrayView stream);

// How many bytes at the start of STREAM are whole keep-alives, which a
// reader may drop.
qsizetype keepAlivePrefix(QByteArrayView stream);

} // namespace smb
