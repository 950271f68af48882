#include "probe/TcpConnects.h"

#include <QSocketNotifier>
#include <QTimer>

#include <cerrno>
#include <linux/errqueue.h>
#include <netinet/in.h>
#include <sys/epoll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// Events read in one wake-up at most, so that the event loop gets its turn
// when thousands are ready at once; the rest wait for the next one.
constexpr int kEventsPerRead = 256;
constexpr int kReadsPerWakeUp = 8;

// The sender of the ICMP report that ended a connect, from the socket's
// error queue (IP_RECVERR keeps it there).
std::optional<Ipv4Address> icmpSender(int fd)
{
    for (int i = 0; i < 4; ++i) {
        alignas(cmsghdr) unsigned char control[512];
        unsigned char data[64];
        iovec iov{data, sizeof data};
        msghdr msg{};
        msg.msg_iov = &iov;
        msg.msg_iovlen = 1;
        msg.msg_control = control;
        msg.msg_controllen = sizeof control;
        if (::recvmsg(fd, &msg, MSG_ERRQUEUE | MSG_DONTWAIT) < 0)
            return std::nullopt;
        for (cmsghdr *c = CMSG_FIRSTHDR(&msg); c; c = CMSG_NXTHDR(&msg, c)) {
            if (c->cmsg_level != SOL_IP || c->cmsg_type != IP_RECVERR
                || c->cmsg_len < CMSG_LEN(sizeof(sock_extended_err) + sizeof(sockaddr_in)))
                continue;
            const auto *ee = reinterpret_cast<const sock_extended_err *>(CMSG_DATA(c));
            if (ee->ee_origin != SO_EE_ORIGIN_ICMP)
                continue;
            const auto *offender = reinterpret_cast<const sockaddr_in *>(SO_EE_OFFENDER(ee));
            if (offender->sin_family == AF_INET)
                return Ipv4Address::fromNetworkOrder(offender->sin_addr.s_addr);
        }
    }
    return std::nullopt;
}

} // namespace

TcpConnects::TcpConnects() : m_epoll(::epoll_create1(EPOLL_CLOEXEC))
{
    if (!m_epoll.valid())
        return; // every start() fails: no port can be tried
    m_notifier = new QSocketNotifier(qintptr(m_epoll.get()), QSocketNotifier::Read, &m_context);
    QObject::connect(m_notifier, &QSocketNotifier::activated, &m_context, [this] { readable(); });
}

TcpConnects::~TcpConnects()
{
    delete m_notifier;
    for (const auto &[attempt, fd] : m_sockets)
        if (fd >= 0)
            ::close(fd);
}

int TcpConnects::openSocket()
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd >= 0 || errno != EMFILE || m_limitRaised)
        return fd;
    // A sweep of a large subnet keeps thousands of sockets open, more than
    // the usual soft limit of 1024: take what the hard limit allows, once.
    // What the event loop polls is one descriptor, so a number above 1024
    // harms nothing.
    m_limitRaised = true;
    rlimit limit{};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur >= limit.rlim_max)
        return -1;
    limit.rlim_cur = limit.rlim_max;
    if (::setrlimit(RLIMIT_NOFILE, &limit) != 0)
        return -1;
    return ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
}

bool TcpConnects::start(quint64 attempt, Ipv4Address target, quint16 port)
{
    if (!m_notifier || m_sockets.count(attempt))
        return false;
    const int fd = openSocket();
    if (fd < 0)
        return false;
    const int on = 1;
    const linger reset{1, 0};
    if (::setsockopt(fd, SOL_IP, IP_RECVERR, &on, sizeof on) != 0
        || ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &reset, sizeof reset) != 0) {
        ::close(fd);
        return false;
    }
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(port);
    to.sin_addr.s_addr = target.networkOrder();
    int result;
    do
        result = ::connect(fd, reinterpret_cast<const sockaddr *>(&to), sizeof to);
    while (result != 0 && errno == EINTR);
    if (result != 0 && errno == EINPROGRESS) {
        epoll_event event{};
        event.events = EPOLLOUT;
        event.data.u64 = attempt;
        if (::epoll_ctl(m_epoll.get(), EPOLL_CTL_ADD, fd, &event) != 0) {
            ::close(fd);
            return false;
        }
        m_sockets.emplace(attempt, fd);
        return true;
    }
    // Over loopback, or when the route refuses at once, the end is known
    // already; it is reported from the event loop all the same.
    ConnectEnd end;
    end.error = result == 0 ? 0 : errno;
    if (end.error != 0)
        end.icmpFrom = icmpSender(fd);
    ::close(fd);
    m_sockets.emplace(attempt, -1);
    if (m_early.empty())
        QTimer::singleShot(0, &m_context, [this] { reportEarly(); });
    m_early.emplace_back(attempt, end);
    return true;
}

void TcpConnects::close(quint64 attempt)
{
    const auto it = m_sockets.find(attempt);
    if (it == m_sockets.end())
        return;
    // Closing takes the socket out of the epoll set too.
    if (it->second >= 0)
        ::close(it->second);
    m_sockets.erase(it);
}

void TcpConnects::reportEarly()
{
    const auto early = std::exchange(m_early, {});
    for (const auto &[attempt, end] : early) {
        const auto it = m_sockets.find(attempt);
        if (it == m_sockets.end())
            continue; // closed meanwhile
        m_sockets.erase(it);
        if (m_ended)
            m_ended(attempt, end);
    }
}

void TcpConnects::readable()
{
    for (int round = 0; round < kReadsPerWakeUp; ++round) {
        epoll_event events[kEventsPerRead];
        const int n = ::epoll_wait(m_epoll.get(), events, kEventsPerRead, 0);
        for (int i = 0; i < n; ++i) {
            const quint64 attempt = events[i].data.u64;
            const auto it = m_sockets.find(attempt);
            // A report earlier in this batch may have closed it.
            if (it == m_sockets.end() || it->second < 0)
                continue;
            const int fd = it->second;
            ConnectEnd end;
            socklen_t length = sizeof end.error;
            if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &end.error, &length) != 0)
                end.error = errno;
            if (end.error != 0)
                end.icmpFrom = icmpSender(fd);
            m_sockets.erase(it);
            ::close(fd);
            if (m_ended)
                m_ended(attempt, end);
        }
        if (n < kEventsPerRead)
            return;
    }
}
