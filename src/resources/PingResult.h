#pragma once

#include "base/Ipv4.h"
#include "base/ProbeProof.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QtGlobal>

#include <optional>

// What happened to a row's last test.
enum class PingOutcome {
    Reply,               // the host answered
    UnknownHost,         // its name was not found
    TimedOut,            // nothing came back within the timeout
    NetUnreachable,      // a router reported the host's network unreachable
    HostUnreachable,     // ... the host itself unreachable
    ProtocolUnreachable, // ... ICMP refused by the host
    PortUnreachable,
    TtlExpired,     // the time to live ran out on the way
    PacketTooBig,   // the request was too big to pass unfragmented
    BadDestination, // an address no echo can go to (a broadcast, 0.0.0.0)
    NoEchoService,  // this machine may not ping
    Failed,         // any other failure
    Aborted,        // the sweep was stopped before the outcome was known
    UpWithoutEcho,  // no echo reply, but a probe proved the host up (see PingResult::probe)
};

// A short, stable name for an outcome, as exports and the command line
// write it: "reply", "unknown-host", "timed-out", ...
QString outcomeKey(PingOutcome outcome);
std::optional<PingOutcome> outcomeFromKey(QStringView key);

// A row's last test as data, kept beside the cells that say it in words:
// what the chart, the statistics and the exports read. The session file
// keeps only the cells.
struct PingResult {
    PingOutcome outcome = PingOutcome::Failed;
    QString host;                       // what was asked for: the address cell, or the name
    std::optional<Ipv4Address> address; // the address the echo went to; none when the name was not found
    std::optional<qint64> roundTripMicroseconds;
    std::optional<int> replySize;    // bytes of echoed data
    std::optional<int> ttl;          // the reply's time to live
    quint32 status = 0;              // the echo's status code (IP_SUCCESS, IP_REQ_TIMED_OUT, ...)
                                     // or the resolver's error for an unknown host
    QString detail;                  // a failure's reason as the Message cell gives it
    QDateTime when;                  // when the outcome was known, in UTC
    std::optional<ProbeProof> probe; // what proved the host up, for UpWithoutEcho

    bool answered() const { return outcome == PingOutcome::Reply; }
    // The host is there: it answered the echo, or a probe proved it up.
    bool up() const { return outcome == PingOutcome::Reply || outcome == PingOutcome::UpWithoutEcho; }
    friend bool operator==(const PingResult &, const PingResult &) = default;
};
