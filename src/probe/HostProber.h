#pragma once

#include "base/Ipv4.h"
#include "base/ProbeProof.h"

#include <QList>
#include <QtGlobal>

#include <chrono>
#include <functional>
#include <optional>

// A host asked in other ways than ICMP echo, after its echo got no answer:
// many machines of today drop echo in their firewall and are there all the
// same. A host is up when a TCP port takes a connection or refuses it, or
// when it answered our ARP on a directly connected subnet (the kernel keeps
// that in its neighbour table).
struct ProbeRequest {
    Ipv4Address target;
    QList<quint16> ports;   // connected to all at once; none: no TCP probe
    bool neighbour = false; // look at the kernel's neighbour entry of the target
    // The probe ends this long after it starts at the latest.
    std::chrono::milliseconds budget{1000};
};

// The platform side of the probes; tests put a fake in its place.
class HostProber {
public:
    using Done = std::function<void(const std::optional<ProbeProof> &proof)>;
    virtual ~HostProber() = default;
    // Starts probing. DONE runs once, from the event loop and never inside
    // this call, with the first proof that the host is up, or nothing when
    // none came within the budget. Returns a ticket (> 0).
    virtual int probe(const ProbeRequest &request, Done done) = 0;
    // Forgets a probe: what it opened is closed at once, DONE never runs.
    virtual void cancel(int ticket) = 0;
};
