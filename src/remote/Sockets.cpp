#include "remote/Sockets.h"

#include <arpa/inet.h>
#include <cerrno>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

sockaddr_in toSockaddr(Endpoint e)
{
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_addr.s_addr = e.address.networkOrder();
    sa.sin_port = htons(e.port);
    return sa;
}

Endpoint fromSockaddr(const sockaddr_in &sa)
{
    return Endpoint{Ipv4Address::fromNetworkOrder(sa.sin_addr.s_addr), ntohs(sa.sin_port)};
}

int openNonBlocking(int type) { return ::socket(AF_INET, type | SOCK_NONBLOCK | SOCK_CLOEXEC, 0); }

} // namespace

Socket::~Socket()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

Socket::Socket(Socket &&other) noexcept : m_fd(other.m_fd) { other.m_fd = -1; }

Socket &Socket::operator=(Socket &&other) noexcept
{
    if (this != &other) {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = other.m_fd;
        other.m_fd = -1;
    }
    return *this;
}

bool Socket::wait(short events, const Deadline &deadline) const
{
    for (;;) {
        const int ms = deadline.waitMs();
        if (ms == 0)
            return false;
        pollfd p{m_fd, events, 0};
        const int n = ::poll(&p, 1, ms);
        if (n > 0)
            return true;
        if (n < 0 && errno != EINTR)
            return true; // let the call that follows report the error
    }
}

Socket Socket::udp(bool broadcast)
{
    Socket s(openNonBlocking(SOCK_DGRAM));
    if (!s.valid())
        return s;
    const int on = 1;
    if (broadcast && ::setsockopt(s.m_fd, SOL_SOCKET, SO_BROADCAST, &on, sizeof on) != 0)
        return Socket();
    const sockaddr_in any = toSockaddr(Endpoint{Ipv4Address(), 0}); // any address of this machine
    if (::bind(s.m_fd, reinterpret_cast<const sockaddr *>(&any), sizeof any) != 0)
        return Socket();
    return s;
}

Socket Socket::connectTcp(Endpoint to, const Deadline &deadline)
{
    Socket s(openNonBlocking(SOCK_STREAM));
    if (!s.valid())
        return s;
    const sockaddr_in sa = toSockaddr(to);
    if (::connect(s.m_fd, reinterpret_cast<const sockaddr *>(&sa), sizeof sa) == 0)
        return s;
    if (errno != EINPROGRESS || !s.wait(POLLOUT, deadline))
        return Socket();
    int error = 0;
    socklen_t len = sizeof error;
    if (::getsockopt(s.m_fd, SOL_SOCKET, SO_ERROR, &error, &len) != 0 || error != 0)
        return Socket();
    return s;
}

bool Socket::connectUdp(Endpoint to)
{
    const sockaddr_in sa = toSockaddr(to);
    return ::connect(m_fd, reinterpret_cast<const sockaddr *>(&sa), sizeof sa) == 0;
}

std::optional<Endpoint> Socket::local() const
{
    sockaddr_in sa{};
    socklen_t len = sizeof sa;
    if (::getsockname(m_fd, reinterpret_cast<sockaddr *>(&sa), &len) != 0)
        return std::nullopt;
    return fromSockaddr(sa);
}

qsizetype Socket::send(QByteArrayView bytes) { return ::send(m_fd, bytes.data(), size_t(bytes.size()), MSG_NOSIGNAL); }

bool Socket::sendTo(Endpoint to, QByteArrayView bytes)
{
    const sockaddr_in sa = toSockaddr(to);
    return ::sendto(m_fd, bytes.data(), size_t(bytes.size()), MSG_NOSIGNAL, reinterpret_cast<const sockaddr *>(&sa),
                    sizeof sa)
           == bytes.size();
}

std::optional<QByteArray> Socket::receiveFrom(Endpoint &from, const Deadline &deadline)
{
    // Room for the largest datagram: an answer of many names or addresses
    // may be larger than one frame.
    constexpr int kMaxDatagram = 65536;
    while (wait(POLLIN, deadline)) {
        QByteArray buffer(kMaxDatagram, Qt::Uninitialized);
        sockaddr_in sa{};
        socklen_t len = sizeof sa;
        const ssize_t n =
            ::recvfrom(m_fd, buffer.data(), size_t(buffer.size()), 0, reinterpret_cast<sockaddr *>(&sa), &len);
        if (n < 0)
            continue; // an ICMP error from an earlier send, or nothing after all
        buffer.truncate(n);
        from = fromSockaddr(sa);
        return buffer;
    }
    return std::nullopt;
}

bool Socket::sendAll(QByteArrayView bytes, const Deadline &deadline)
{
    while (!bytes.isEmpty()) {
        if (!wait(POLLOUT, deadline))
            return false;
        const ssize_t n = ::send(m_fd, bytes.data(), size_t(bytes.size()), MSG_NOSIGNAL);
        if (n < 0 && errno != EAGAIN && errno != EINTR)
            return false;
        if (n > 0)
            bytes = bytes.sliced(n);
    }
    return true;
}

Socket::Read Socket::receiveSome(QByteArray &buffer, qsizetype max, const Deadline &deadline)
{
    for (;;) {
        if (!wait(POLLIN, deadline))
            return Read::TimedOut;
        if (max <= 0)
            return Read::Failed;
        const qsizetype start = buffer.size();
        buffer.resize(start + max);
        const ssize_t n = ::recv(m_fd, buffer.data() + start, size_t(max), 0);
        buffer.resize(start + std::max<qsizetype>(n, 0));
        if (n > 0)
            return Read::Data;
        if (n == 0)
            return Read::Closed;
        if (errno != EAGAIN && errno != EINTR)
            return Read::Failed;
    }
}
