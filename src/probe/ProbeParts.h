#pragma once

#include "base/Ipv4.h"
#include "probe/ProbeRules.h"

#include <QtGlobal>

#include <functional>

// The two platform sides of a probe, behind interfaces of their own so that
// tests can drive the prober's rules (which answer counts, deadlines, a
// probe cancelled halfway) with fakes. Both report only from the event
// loop, never inside a call of theirs, and a report must not destroy the
// part that makes it.

// Non-blocking TCP connects, each known by the number its caller gave it.
class ConnectAttempts {
public:
    using Ended = std::function<void(quint64 attempt, const ConnectEnd &end)>;
    virtual ~ConnectAttempts() = default;
    // Where every attempt's end is reported, once.
    virtual void setEnded(Ended ended) = 0;
    // Starts connecting to TARGET:PORT; false when no socket could be had
    // (then nothing is ever reported for it). Nothing is sent beyond the
    // handshake, and whatever the end, the socket is closed before it is
    // reported.
    virtual bool start(quint64 attempt, Ipv4Address target, quint16 port) = 0;
    // Closes an attempt at once; its end is never reported.
    virtual void close(quint64 attempt) = 0;
};

// The kernel's neighbour table, for the addresses someone watches.
class NeighbourSource {
public:
    using Seen = std::function<void(const NeighbourEntry &entry)>;
    virtual ~NeighbourSource() = default;
    virtual void setSeen(Seen seen) = 0;
    // Watches ADDRESS (counted: each watch() wants one unwatch()). Its
    // entries as the table holds them now are reported soon, then every
    // change to them until it is no longer watched.
    virtual void watch(Ipv4Address address) = 0;
    virtual void unwatch(Ipv4Address address) = 0;
};
