#include "discovery/NodeStatusSweep.h"

#include "netbios/NetbiosName.h"

#include <QElapsedTimer>
#include <QHash>
#include <QRandomGenerator>
#include <QSet>

#include <arpa/inet.h>
#include <cerrno>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>

namespace {

constexpr quint32 kLoopbackNet = 0x7F000000, kLoopbackMask = 0xFF000000;
// A reply of many names is larger than one frame and arrives in fragments,
// which the system puts together: room for the largest datagram.
constexpr int kReplyBuffer = 65536;
// The longest a wait goes without looking whether the sweep is to stop.
constexpr qint64 kStopCheckMs = 50;

quint32 maskOf(int prefix) { return Ipv4Subnet{Ipv4Address(), prefix}.mask(); }

class Socket {
public:
    Socket() : m_fd(::socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0)) {}
    ~Socket()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    Socket(const Socket &) = delete;
    Socket &operator=(const Socket &) = delete;
    int fd() const { return m_fd; }

private:
    int m_fd;
};

} // namespace

QList<Ipv4Address> sweepAddresses(const QList<Ipv4Subnet> &subnets, const SweepLimits &limits)
{
    QList<Ipv4Address> out;
    QSet<Ipv4Address> seen;
    for (const Ipv4Subnet &s : subnets) {
        if ((s.address.hostOrder() & kLoopbackMask) == kLoopbackNet || s.prefixLength < 0 || s.prefixLength > 32)
            continue;
        const int prefix = std::max(s.prefixLength, limits.widestPrefix);
        const quint32 first = s.address.hostOrder() & maskOf(prefix);
        const quint64 size = quint64(1) << (32 - prefix);
        for (quint64 i = 0; i < size; ++i) {
            const Ipv4Address a = Ipv4Address::fromHostOrder(first + quint32(i));
            // A /31 or /32 has no network or broadcast address to leave out.
            if (s.hasBroadcast() && (a == s.network() || a == s.broadcast()))
                continue;
            if (out.size() >= limits.maxQueries)
                return out;
            if (!seen.contains(a)) {
                seen.insert(a);
                out.append(a);
            }
        }
    }
    return out;
}

std::optional<QList<NodeStatusAnswer>> sweepNodeStatus(const QList<Ipv4Address> &addresses, const SweepLimits &limits,
                                                       std::stop_token stop)
{
    Socket socket;
    if (socket.fd() < 0)
        return std::nullopt;
    // Each address gets a transaction of its own: a reply counts only from
    // the address it was asked of, for the request it was asked with.
    const quint16 firstId = quint16(QRandomGenerator::global()->generate());
    QHash<Ipv4Address, int> indexOf;
    for (int i = 0; i < addresses.size(); ++i)
        indexOf.insert(addresses[i], i);
    QList<bool> answered(addresses.size(), false);
    QList<NodeStatusAnswer> answers;

    QElapsedTimer clock;
    clock.start();
    int next = 0, sent = 0;
    qint64 lastSendMs = 0;
    QByteArray buffer(kReplyBuffer, Qt::Uninitialized);
    while (!stop.stop_requested()) {
        const qint64 nowUs = clock.nsecsElapsed() / 1000;
        // Send the bursts that are due.
        while (next < addresses.size() && qint64(next / limits.burst) * limits.burstIntervalUs <= nowUs) {
            const QByteArray request = netbios::buildNodeStatusRequest(quint16(firstId + next));
            sockaddr_in to{};
            to.sin_family = AF_INET;
            to.sin_port = htons(netbios::kNameServicePort);
            to.sin_addr.s_addr = addresses[next].networkOrder();
            const ssize_t n = ::sendto(socket.fd(), request.constData(), size_t(request.size()), 0,
                                       reinterpret_cast<const sockaddr *>(&to), sizeof to);
            if (n == request.size())
                ++sent;
            else if (errno == EAGAIN || errno == EWOULDBLOCK)
                break; // the socket's queue is full: this one goes with the next burst
            ++next;
            lastSendMs = clock.elapsed();
        }
        const qint64 nowMs = clock.elapsed();
        if (nowMs >= limits.totalMs)
            break;
        const bool allSent = next >= addresses.size();
        if (allSent && (sent == 0 || nowMs - lastSendMs >= limits.quietMs))
            break;

        qint64 waitMs = allSent ? limits.quietMs - (nowMs - lastSendMs) : (limits.burstIntervalUs + 999) / 1000;
        waitMs = std::clamp<qint64>(std::min({waitMs, limits.totalMs - nowMs, kStopCheckMs}), 0, limits.totalMs);
        pollfd p{socket.fd(), POLLIN, 0};
        if (::poll(&p, 1, int(waitMs)) <= 0)
            continue;
        for (;;) {
            sockaddr_in from{};
            socklen_t fromLength = sizeof from;
            const ssize_t n = ::recvfrom(socket.fd(), buffer.data(), size_t(buffer.size()), 0,
                                         reinterpret_cast<sockaddr *>(&from), &fromLength);
            if (n < 0)
                break;
            const Ipv4Address address = Ipv4Address::fromNetworkOrder(from.sin_addr.s_addr);
            const auto it = indexOf.constFind(address);
            if (it == indexOf.cend() || answered[*it] || ntohs(from.sin_port) != netbios::kNameServicePort)
                continue;
            if (auto status =
                    netbios::parseNodeStatusReply(QByteArrayView(buffer.constData(), n), quint16(firstId + *it))) {
                answered[*it] = true;
                answers.append(NodeStatusAnswer{address, std::move(*status)});
            }
        }
    }
    if (sent == 0 && !addresses.isEmpty())
        return std::nullopt;
    std::sort(answers.begin(), answers.end(), [](const auto &a, const auto &b) { return a.address < b.address; });
    return answers;
}
