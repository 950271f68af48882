#pragma once

#include "base/Liveness.h"
#include "probe/HostProber.h"
#include "probe/ProbeParts.h"

#include <QHash>
#include <QObject>
#include <QTimer>

#include <chrono>
#include <deque>
#include <memory>
#include <set>
#include <unordered_map>
#include <vector>

// The probes on Linux, needing no privilege: a TCP connect to every port
// of a request at once, and the kernel's neighbour entry of the target.
// Everything waits on the event loop; nothing blocks and no thread is
// started. Thousands of probes may be in flight: each costs its sockets,
// and every event finds its probe by key, never by a scan over the others.
class LinuxHostProber : public HostProber {
public:
    using Clock = std::chrono::steady_clock;

    // How long the ports may still answer once the neighbour entry has
    // proved the target up: a port's answer is the better news.
    static constexpr std::chrono::milliseconds kPortGrace{50};

    // With the Linux parts (TcpConnects, NetlinkNeighbours).
    LinuxHostProber();
    // With parts of the caller's, as tests have them.
    LinuxHostProber(std::unique_ptr<ConnectAttempts> connects, std::unique_ptr<NeighbourSource> neighbours);
    ~LinuxHostProber() override;
    LinuxHostProber(const LinuxHostProber &) = delete;
    LinuxHostProber &operator=(const LinuxHostProber &) = delete;

    int probe(const ProbeRequest &request, Done done) override;
    void cancel(int ticket) override;

    // Probes started and not yet reported or cancelled.
    int inFlight() const { return int(m_probes.size()); }

private:
    struct Probe {
        Ipv4Address target;
        Done done;
        Clock::time_point startedAt;
        Clock::time_point deadline;
        std::vector<quint64> attempts; // connects still open
        bool neighbour = false;        // its target is watched
        bool ended = false;            // waiting to be reported
        std::optional<ProbeProof> proof;
        // The neighbour entry's proof while the ports may still answer.
        std::optional<ProbeProof> neighbourProof;
    };
    using Probes = std::unordered_map<int, Probe>;

    void connectEnded(quint64 attempt, const ConnectEnd &end);
    void neighbourSeen(const NeighbourEntry &entry);
    // Ends a probe with PROOF (or nothing): closes what it opened at once
    // and reports it from the event loop.
    void end(Probes::iterator it, std::optional<ProbeProof> proof);
    // Closes what a probe opened and forgets its deadline.
    void release(int ticket, Probe &probe);
    void stopWatching(int ticket, Probe &probe);
    void expire();
    void armDeadline();
    void report();
    int nextTicket();

    std::unique_ptr<ConnectAttempts> m_connects;
    std::unique_ptr<NeighbourSource> m_neighbours;
    Probes m_probes;
    struct Attempt {
        int ticket;
        quint16 port;
    };
    std::unordered_map<quint64, Attempt> m_attempts;
    QHash<Ipv4Address, std::set<int>> m_watching; // target -> probes that look at its neighbour entry
    std::set<std::pair<Clock::time_point, int>> m_deadlines;
    std::deque<int> m_ended; // tickets to report, in the order they ended
    int m_lastTicket = 0;
    quint64 m_lastAttempt = 0;
    QObject m_context; // the timers' callbacks die with it
    QTimer m_deadlineTimer;
    Clock::time_point m_armedFor; // the deadline the timer waits for
    bool m_reportPosted = false;
    Liveness m_liveness;
};
