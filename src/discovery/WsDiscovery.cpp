#include "discovery/WsDiscovery.h"

#include "base/FileDescriptor.h"
#include "discovery/HttpResponse.h"
#include "discovery/MulticastSockets.h"
#include "discovery/WsdMessages.h"

#include <QElapsedTimer>
#include <QHash>
#include <QSet>
#include <QUrl>

#include <cerrno>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>

#include <chrono>
#include <memory>
#include <vector>

namespace {

constexpr int kSliceMs = 20;
constexpr qsizetype kReadChunk = 16 * 1024;

// A device that answered the Probe, to be asked for its metadata.
struct Match {
    Ipv4Address address;
    QString endpoint;
    QString xaddr;
};

// One metadata Get over its own connection, driven by poll.
class MetadataGet {
public:
    MetadataGet(const Match &match, std::chrono::milliseconds wait, const std::stop_token &stop)
        : m_match(match), m_messageId(wsd::newMessageId()), m_deadline(wait, stop)
    {
        const QUrl url(match.xaddr);
        const QByteArray body = wsd::buildGet(match.endpoint, m_messageId);
        const QByteArray path = url.path(QUrl::FullyEncoded).toUtf8();
        m_request = "POST " + (path.isEmpty() ? QByteArray("/") : path) + " HTTP/1.1\r\nHost: " + url.host().toUtf8()
                    + ":" + QByteArray::number(url.port(wsd::kHttpPort))
                    + "\r\nContent-Type: application/soap+xml\r\nUser-Agent: Lumeo\r\nConnection: close\r\n"
                      "Content-Length: "
                    + QByteArray::number(body.size()) + "\r\n\r\n" + body;
        m_fd.reset(::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
        sockaddr_in to{};
        to.sin_family = AF_INET;
        to.sin_port = htons(quint16(url.port(wsd::kHttpPort)));
        to.sin_addr.s_addr = match.address.networkOrder();
        if (!m_fd.valid()
            || (::connect(m_fd.get(), reinterpret_cast<const sockaddr *>(&to), sizeof to) != 0 && errno != EINPROGRESS))
            m_done = true;
    }

    bool done() const { return m_done || m_deadline.passed(); }
    int fd() const { return m_fd.get(); }
    short events() const { return m_sent < m_request.size() ? POLLOUT : POLLIN; }
    const std::optional<wsd::Computer> &computer() const { return m_computer; }
    const Match &match() const { return m_match; }

    // Goes on as far as the socket lets it without waiting.
    void step(short revents)
    {
        if (m_done || !revents)
            return;
        if (revents & (POLLERR | POLLNVAL)) {
            m_done = true;
            return;
        }
        if (m_sent < m_request.size()) {
            const ssize_t n =
                ::send(m_fd.get(), m_request.constData() + m_sent, size_t(m_request.size() - m_sent), MSG_NOSIGNAL);
            if (n < 0 && errno != EAGAIN)
                m_done = true;
            else if (n > 0)
                m_sent += n;
            return;
        }
        char chunk[kReadChunk];
        const ssize_t n = ::recv(m_fd.get(), chunk, sizeof chunk, 0);
        if (n < 0) {
            m_done = errno != EAGAIN;
            return;
        }
        m_received.append(chunk, n);
        const HttpResponse response = readHttpResponse(m_received, n == 0, wsd::kMaxMessageBytes);
        if (response.state == HttpResponse::Complete)
            m_computer = wsd::parseGetResponse(response.body, m_messageId);
        if (response.state != HttpResponse::Incomplete || n == 0
            || m_received.size() > wsd::kMaxMessageBytes + kMaxHttpHeader)
            m_done = true;
    }

private:
    Match m_match;
    QString m_messageId;
    Deadline m_deadline;
    FileDescriptor m_fd;
    QByteArray m_request;
    qsizetype m_sent = 0;
    QByteArray m_received;
    bool m_done = false;
    std::optional<wsd::Computer> m_computer;
};

// The matches of the Probe, each device once, with the address where it
// answers a Get: from its ProbeMatch, or else from the ResolveMatch to a
// Resolve that asks for it.
QList<Match> probe(const QList<Ipv4Subnet> &interfaces, const Deadline &deadline, const WsdLimits &limits)
{
    MulticastSockets sockets(interfaces);
    QList<Match> out;
    const QString messageId = wsd::newMessageId();
    const QByteArray message = wsd::buildProbe(messageId);
    const Ipv4Address group = Ipv4Address::fromHostOrder(wsd::kGroup);
    if (sockets.send(-1, group, wsd::kPort, message) == 0)
        return out;
    QSet<QString> endpoints;
    QHash<QString, qint64> resolving; // by the Resolve's message ID: when it was sent
    QSet<QString> resolvingEndpoints;
    bool repeated = false;
    QElapsedTimer clock;
    clock.start();
    const auto take = [&](const MulticastSockets::Datagram &d, const QList<wsd::ProbeMatch> &matches) {
        const QString from = d.from.toString();
        for (const wsd::ProbeMatch &m : matches) {
            if (m.endpoint.isEmpty() || endpoints.contains(m.endpoint) || out.size() >= limits.maxHosts)
                continue;
            for (const QString &xaddr : m.xaddrs) {
                if (wsd::isXAddrOf(xaddr, from)) {
                    endpoints.insert(m.endpoint);
                    out.append(Match{d.from, m.endpoint, xaddr});
                    break;
                }
            }
            if (!endpoints.contains(m.endpoint) && !resolvingEndpoints.contains(m.endpoint)
                && resolving.size() < limits.maxHosts) {
                resolvingEndpoints.insert(m.endpoint);
                const QString resolveId = wsd::newMessageId();
                resolving.insert(resolveId, clock.elapsed());
                sockets.send(d.socket, group, wsd::kPort, wsd::buildResolve(m.endpoint, resolveId));
            }
        }
    };
    const auto waiting = [&] {
        if (clock.elapsed() < limits.matchWindowMs)
            return true;
        for (const qint64 sentMs : std::as_const(resolving))
            if (clock.elapsed() - sentMs < limits.resolveWaitMs)
                return true;
        return false;
    };
    while (!deadline.passed() && waiting()) {
        if (!repeated && clock.elapsed() >= limits.repeatMs) {
            sockets.send(-1, group, wsd::kPort, message);
            repeated = true;
        }
        for (const MulticastSockets::Datagram &d : sockets.receive(deadline, kSliceMs)) {
            // Each answer is read whole only against the message it says it
            // answers, however many answers and Resolves there are.
            const QString answers = wsd::relatesTo(d.data);
            if (answers.isEmpty())
                continue;
            if (answers == messageId) {
                if (const auto matches = wsd::parseMatches(d.data, messageId))
                    take(d, *matches);
            } else if (resolving.contains(answers)) {
                if (const auto resolved = wsd::parseMatches(d.data, answers, wsd::MatchKind::Resolve)) {
                    resolving.remove(answers);
                    take(d, *resolved);
                }
            }
        }
    }
    return out;
}

} // namespace

QList<DiscoveredHost> discoverWsd(const QList<Ipv4Subnet> &interfaces, const Deadline &deadline,
                                  const WsdLimits &limits)
{
    QList<DiscoveredHost> out;
    const QList<Match> matches = probe(interfaces, deadline, limits);
    std::vector<std::unique_ptr<MetadataGet>> running;
    qsizetype next = 0;
    while (!deadline.passed()) {
        while (next < matches.size() && int(running.size()) < limits.maxConnections)
            running.push_back(std::make_unique<MetadataGet>(
                matches[next++], std::chrono::milliseconds(limits.getWaitMs), deadline.stopToken()));
        for (auto it = running.begin(); it != running.end();) {
            if (!(*it)->done()) {
                ++it;
                continue;
            }
            if (const auto &computer = (*it)->computer())
                out.append(
                    DiscoveredHost{FoundBy::WsDiscovery, computer->name, (*it)->match().address, computer->workgroup});
            it = running.erase(it);
        }
        if (running.empty() && next >= matches.size())
            break;
        std::vector<pollfd> fds;
        for (const auto &get : running)
            fds.push_back(pollfd{get->fd(), get->events(), 0});
        if (::poll(fds.data(), fds.size(), deadline.waitMs(kSliceMs)) <= 0)
            continue;
        for (size_t i = 0; i < running.size(); ++i)
            running[i]->step(fds[i].revents);
    }
    return out;
}
