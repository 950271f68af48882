#include "discovery/MulticastSockets.h"

#include <QSet>

#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>

namespace {

constexpr quint32 kLoopbackNet = 0x7F000000, kLoopbackMask = 0xFF000000;
// Large enough for any UDP datagram: an answer is never read cut short.
constexpr int kDatagramBuffer = 65536;
// Questions go to the local link only, as the protocols ask.
constexpr int kLinkLocalTtl = 1;

sockaddr_in socketAddress(Ipv4Address address, quint16 port)
{
    sockaddr_in out{};
    out.sin_family = AF_INET;
    out.sin_port = htons(port);
    out.sin_addr.s_addr = address.networkOrder();
    return out;
}

} // namespace

MulticastSockets::MulticastSockets(const QList<Ipv4Subnet> &interfaces)
{
    QSet<Ipv4Address> seen;
    for (const Ipv4Subnet &i : interfaces) {
        if ((i.address.hostOrder() & kLoopbackMask) == kLoopbackNet || seen.contains(i.address))
            continue;
        seen.insert(i.address);
        auto fd = std::make_unique<FileDescriptor>(::socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
        if (!fd->valid())
            continue;
        // Bound to the interface's address, so that both the question's
        // source and the way out are that interface's.
        const sockaddr_in local = socketAddress(i.address, 0);
        in_addr out{};
        out.s_addr = i.address.networkOrder();
        const int ttl = kLinkLocalTtl;
        if (::bind(fd->get(), reinterpret_cast<const sockaddr *>(&local), sizeof local) != 0
            || ::setsockopt(fd->get(), IPPROTO_IP, IP_MULTICAST_IF, &out, sizeof out) != 0
            || ::setsockopt(fd->get(), IPPROTO_IP, IP_MULTICAST_TTL, &ttl, sizeof ttl) != 0)
            continue;
        m_interfaces.append(i);
        m_sockets.push_back(std::move(fd));
    }
}

int MulticastSockets::send(int socket, Ipv4Address to, quint16 port, QByteArrayView data)
{
    int sent = 0;
    const sockaddr_in address = socketAddress(to, port);
    for (int s = 0; s < count(); ++s) {
        if (socket >= 0 && s != socket)
            continue;
        const ssize_t n = ::sendto(m_sockets[s]->get(), data.constData(), size_t(data.size()), 0,
                                   reinterpret_cast<const sockaddr *>(&address), sizeof address);
        if (n == data.size())
            ++sent;
    }
    return sent;
}

QList<MulticastSockets::Datagram> MulticastSockets::receive(const Deadline &deadline, int sliceMs, int max)
{
    QList<Datagram> out;
    std::vector<pollfd> fds;
    for (const auto &s : m_sockets)
        fds.push_back(pollfd{s->get(), POLLIN, 0});
    if (fds.empty() || ::poll(fds.data(), fds.size(), deadline.waitMs(sliceMs)) <= 0)
        return out;
    QByteArray buffer(kDatagramBuffer, Qt::Uninitialized);
    for (int s = 0; s < count(); ++s) {
        if (!(fds[s].revents & POLLIN))
            continue;
        while (out.size() < max) {
            sockaddr_in from{};
            socklen_t fromLength = sizeof from;
            const ssize_t n = ::recvfrom(m_sockets[s]->get(), buffer.data(), size_t(buffer.size()), 0,
                                         reinterpret_cast<sockaddr *>(&from), &fromLength);
            if (n < 0)
                break;
            const Ipv4Address address = Ipv4Address::fromNetworkOrder(from.sin_addr.s_addr);
            if (!m_interfaces[s].contains(address) || address == m_interfaces[s].address)
                continue;
            out.append(Datagram{s, address, ntohs(from.sin_port), QByteArray(buffer.constData(), n)});
        }
    }
    return out;
}
