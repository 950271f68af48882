#include "probe/LinuxHostProber.h"

#include "probe/NetlinkNeighbours.h"
#include "probe/TcpConnects.h"

#include <QList>

#include <algorithm>
#include <climits>

LinuxHostProber::LinuxHostProber()
    : LinuxHostProber(std::make_unique<TcpConnects>(), std::make_unique<NetlinkNeighbours>())
{
}

LinuxHostProber::LinuxHostProber(std::unique_ptr<ConnectAttempts> connects, std::unique_ptr<NeighbourSource> neighbours)
    : m_connects(std::move(connects)), m_neighbours(std::move(neighbours))
{
    m_connects->setEnded([this](quint64 attempt, const ConnectEnd &end) { connectEnded(attempt, end); });
    m_neighbours->setSeen([this](const NeighbourEntry &entry) { neighbourSeen(entry); });
    m_deadlineTimer.setSingleShot(true);
    m_deadlineTimer.setTimerType(Qt::PreciseTimer);
    QObject::connect(&m_deadlineTimer, &QTimer::timeout, &m_context, [this] { expire(); });
}

LinuxHostProber::~LinuxHostProber()
{
    // Nothing is reported any more; the parts close what is open as they go.
    m_liveness.end();
}

int LinuxHostProber::nextTicket()
{
    do
        m_lastTicket = m_lastTicket == INT_MAX ? 1 : m_lastTicket + 1;
    while (m_probes.count(m_lastTicket));
    return m_lastTicket;
}

int LinuxHostProber::probe(const ProbeRequest &request, Done done)
{
    const int ticket = nextTicket();
    Probe &p = m_probes[ticket];
    p.target = request.target;
    p.done = std::move(done);
    p.startedAt = Clock::now();
    p.deadline = p.startedAt + std::max(request.budget, std::chrono::milliseconds(0));

    QList<quint16> ports = request.ports;
    std::sort(ports.begin(), ports.end());
    ports.erase(std::unique(ports.begin(), ports.end()), ports.end());
    for (const quint16 port : std::as_const(ports)) {
        const quint64 attempt = ++m_lastAttempt;
        // A port without a socket (the process is out of descriptors) is a
        // port that did not answer; the others still may.
        if (!m_connects->start(attempt, request.target, port))
            continue;
        m_attempts.emplace(attempt, Attempt{ticket, port});
        p.attempts.push_back(attempt);
    }
    if (request.neighbour) {
        p.neighbour = true;
        m_watching[request.target].insert(ticket);
        m_neighbours->watch(request.target);
    }
    m_deadlines.emplace(p.deadline, ticket);
    if (p.attempts.empty() && !p.neighbour)
        end(m_probes.find(ticket), std::nullopt); // nothing to wait for
    else
        armDeadline();
    return ticket;
}

void LinuxHostProber::cancel(int ticket)
{
    const auto it = m_probes.find(ticket);
    if (it == m_probes.end())
        return;
    release(ticket, it->second);
    m_probes.erase(it);
}

void LinuxHostProber::release(int ticket, Probe &probe)
{
    for (const quint64 attempt : probe.attempts) {
        m_connects->close(attempt);
        m_attempts.erase(attempt);
    }
    probe.attempts.clear();
    stopWatching(ticket, probe);
    m_deadlines.erase({probe.deadline, ticket});
}

void LinuxHostProber::stopWatching(int ticket, Probe &probe)
{
    if (!probe.neighbour)
        return;
    probe.neighbour = false;
    const auto watching = m_watching.find(probe.target);
    if (watching != m_watching.end()) {
        watching->erase(ticket);
        if (watching->empty())
            m_watching.erase(watching);
    }
    m_neighbours->unwatch(probe.target);
}

void LinuxHostProber::end(Probes::iterator it, std::optional<ProbeProof> proof)
{
    Probe &p = it->second;
    release(it->first, p);
    p.ended = true;
    p.proof = std::move(proof);
    m_ended.push_back(it->first);
    // Reported from the event loop, never inside the call that started or
    // answered the probe, which may be the caller's own.
    if (!m_reportPosted) {
        m_reportPosted = true;
        QTimer::singleShot(0, &m_context, [this] { report(); });
    }
}

void LinuxHostProber::connectEnded(quint64 attempt, const ConnectEnd &connectEnd)
{
    const auto a = m_attempts.find(attempt);
    if (a == m_attempts.end())
        return;
    const Attempt which = a->second;
    m_attempts.erase(a);
    const auto it = m_probes.find(which.ticket);
    if (it == m_probes.end() || it->second.ended)
        return;
    Probe &p = it->second;
    std::erase(p.attempts, attempt);
    const auto now = Clock::now();
    // An answer read after the budget came too late to count: the probe's
    // end is bound by its budget, not by how busy the event loop was.
    const std::optional<ProbeProof::Kind> kind = now <= p.deadline ? connectProof(connectEnd, p.target) : std::nullopt;
    if (kind) {
        ProbeProof proof;
        proof.kind = *kind;
        proof.port = which.port;
        proof.microseconds = std::chrono::duration_cast<std::chrono::microseconds>(now - p.startedAt).count();
        end(it, proof);
    } else if (p.attempts.empty() && !p.neighbour) {
        end(it, std::move(p.neighbourProof)); // every port said no: the neighbour entry's proof, if any, stands
    }
}

void LinuxHostProber::neighbourSeen(const NeighbourEntry &entry)
{
    const std::optional<QByteArray> mac = neighbourProof(entry);
    if (!mac)
        return;
    const auto watching = m_watching.find(entry.address);
    if (watching == m_watching.end())
        return;
    // Every probe of this target ends here; end() takes each out of the set.
    const std::set<int> tickets = *watching;
    const auto now = Clock::now();
    for (const int ticket : tickets) {
        const auto it = m_probes.find(ticket);
        if (it == m_probes.end() || it->second.ended || now > it->second.deadline)
            continue;
        Probe &p = it->second;
        ProbeProof proof;
        proof.kind = ProbeProof::Kind::Neighbour;
        proof.mac = *mac;
        proof.microseconds = std::chrono::duration_cast<std::chrono::microseconds>(now - p.startedAt).count();
        if (p.attempts.empty()) {
            end(it, proof);
            continue;
        }
        // The entry is usually there before the first port can answer: the
        // echo itself resolved it. A port says more about the machine than
        // its MAC does, so the ports get a moment longer, and then the
        // entry's proof stands.
        stopWatching(ticket, p);
        p.neighbourProof = proof;
        const Clock::time_point until = std::min(p.deadline, now + kPortGrace);
        if (until != p.deadline) {
            m_deadlines.erase({p.deadline, ticket});
            p.deadline = until;
            m_deadlines.emplace(p.deadline, ticket);
            armDeadline();
        }
    }
}

void LinuxHostProber::expire()
{
    const auto now = Clock::now();
    while (!m_deadlines.empty() && m_deadlines.begin()->first <= now) {
        const int ticket = m_deadlines.begin()->second;
        const auto it = m_probes.find(ticket);
        if (it == m_probes.end() || it->second.ended) {
            m_deadlines.erase(m_deadlines.begin());
            continue;
        }
        end(it, std::move(it->second.neighbourProof));
    }
    m_deadlineTimer.stop();
    armDeadline();
}

void LinuxHostProber::armDeadline()
{
    // A timer that fires for a probe that has ended already costs one
    // wake-up; restarting it for every probe that starts or ends would cost
    // one timer change each.
    if (m_deadlines.empty()) {
        m_deadlineTimer.stop();
        return;
    }
    const Clock::time_point earliest = m_deadlines.begin()->first;
    if (m_deadlineTimer.isActive() && m_armedFor <= earliest)
        return;
    m_armedFor = earliest;
    const auto wait = std::chrono::ceil<std::chrono::milliseconds>(earliest - Clock::now());
    m_deadlineTimer.start(std::max(wait, std::chrono::milliseconds(0)));
}

void LinuxHostProber::report()
{
    m_reportPosted = false;
    // A report may start or cancel probes, or end this prober: nothing of it
    // is touched after a report unless it is still there.
    const Liveness::Guard alive = m_liveness.guard();
    while (!m_ended.empty()) {
        const int ticket = m_ended.front();
        m_ended.pop_front();
        const auto it = m_probes.find(ticket);
        if (it == m_probes.end())
            continue; // cancelled after it ended
        const Done done = std::move(it->second.done);
        const std::optional<ProbeProof> proof = std::move(it->second.proof);
        m_probes.erase(it);
        if (done)
            done(proof);
        if (!alive.alive())
            return;
    }
}
