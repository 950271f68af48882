#include "ping/LinuxEchoChannel.h"

#include <QEventLoop>
#include <QSocketNotifier>
#include <QTimer>

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <linux/errqueue.h>
#include <linux/icmp.h>
#include <netinet/in.h>
#include <netinet/ip.h>
#include <random>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// One recvmsg's buffers: the sender, the data and the ancillary messages.
template <std::size_t ControlSize>
struct Received {
    sockaddr_in from{};
    iovec iov;
    alignas(cmsghdr) unsigned char control[ControlSize];
    msghdr msg{};

    Received(unsigned char *data, std::size_t size) : iov{data, size}
    {
        msg.msg_name = &from;
        msg.msg_namelen = sizeof from;
        msg.msg_iov = &iov;
        msg.msg_iovlen = 1;
        msg.msg_control = control;
        msg.msg_controllen = sizeof control;
    }
    Received(const Received &) = delete;
};

QString errnoText(int error) { return QString::fromLocal8Bit(std::strerror(error)); }

bool isPermissionError(int error)
{
    return error == EACCES || error == EPERM || error == EPROTONOSUPPORT || error == ESOCKTNOSUPPORT;
}

} // namespace

std::uint32_t LinuxEchoChannel::statusOfErrno(int error)
{
    switch (error) {
    case ENETUNREACH:
    case ENETDOWN:
        return IP_DEST_NET_UNREACHABLE;
    case EHOSTUNREACH:
    case EHOSTDOWN:
    case EPERM: // refused by the local firewall
        return IP_DEST_HOST_UNREACHABLE;
    case EACCES: // broadcast, or a prohibit route
    case EINVAL:
    case EADDRNOTAVAIL:
    case EDESTADDRREQ:
        return IP_BAD_DESTINATION;
    case EMSGSIZE:
        return IP_PACKET_TOO_BIG;
    case ENOBUFS:
    case ENOMEM:
    case EAGAIN:
        return IP_NO_RESOURCES;
    case EPROTO:
        return IP_PARAM_PROBLEM;
    default:
        return IP_GENERAL_FAILURE;
    }
}

std::unique_ptr<LinuxEchoChannel> LinuxEchoChannel::open(Preference preference)
{
    // The socket layer itself.
    const int probe = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (probe < 0) {
        const int error = errno;
        if (error == EAFNOSUPPORT)
            throw EchoChannelError(EchoFailure::SocketsUnavailable, QStringLiteral("IPv4 sockets are not available: ") + errnoText(error));
        throw EchoChannelError(EchoFailure::NoHandle, errnoText(error));
    }
    ::close(probe);

    auto fail = [](int error) -> EchoChannelError {
        if (isPermissionError(error))
            return EchoChannelError(EchoFailure::NotPermitted,
                                    QStringLiteral("no ICMP socket could be opened (%1): unprivileged ICMP sockets are not "
                                                   "allowed for this user's group (net.ipv4.ping_group_range) and raw "
                                                   "sockets need the CAP_NET_RAW capability").arg(errnoText(error)));
        return EchoChannelError(EchoFailure::NoHandle, errnoText(error));
    };

    int fd = -1;
    Kind kind = Kind::Datagram;
    int error = 0;
    if (preference != Preference::RawOnly) {
        fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, IPPROTO_ICMP);
        error = errno;
        if (fd < 0 && !isPermissionError(error))
            throw fail(error);
    }
    if (fd < 0 && preference != Preference::DatagramOnly) {
        fd = ::socket(AF_INET, SOCK_RAW | SOCK_NONBLOCK | SOCK_CLOEXEC, IPPROTO_ICMP);
        error = errno;
        kind = Kind::Raw;
    }
    if (fd < 0)
        throw fail(error);

    auto channel = std::unique_ptr<LinuxEchoChannel>(new LinuxEchoChannel(fd, kind));
    const int on = 1;
    bool configured = ::setsockopt(fd, SOL_IP, IP_RECVERR, &on, sizeof on) == 0;
    if (kind == Kind::Datagram) {
        configured = configured && ::setsockopt(fd, SOL_IP, IP_RECVTTL, &on, sizeof on) == 0
                     && ::setsockopt(fd, SOL_IP, IP_RECVTOS, &on, sizeof on) == 0;
    } else {
        // A raw socket sees every ICMP packet of the host: keep only replies and errors.
        icmp_filter filter{};
        filter.data = ~((1U << ICMP_ECHOREPLY) | (1U << ICMP_DEST_UNREACH) | (1U << ICMP_TIME_EXCEEDED)
                        | (1U << ICMP_PARAMETERPROB) | (1U << ICMP_SOURCE_QUENCH));
        configured = configured && ::setsockopt(fd, SOL_RAW, ICMP_FILTER, &filter, sizeof filter) == 0;
    }
    if (!configured)
        throw EchoChannelError(EchoFailure::SetupFailed, errnoText(errno));
    return channel;
}

LinuxEchoChannel::LinuxEchoChannel(int fd, Kind kind) : m_fd(fd), m_kind(kind)
{
    std::random_device rd;
    m_id = std::uint16_t(rd());
    m_seq = std::uint16_t(rd());
}

LinuxEchoChannel::~LinuxEchoChannel()
{
    if (m_loop)
        m_loop->quit();
    if (m_fd >= 0)
        ::close(m_fd);
}

void LinuxEchoChannel::configure(const EchoRequest &request)
{
    // Time to live 0 has no meaning on the wire: it stands for the system default.
    const int ttl = request.ttl >= 1 && request.ttl <= 255 ? request.ttl : -1;
    if (ttl != m_ttlSet && ::setsockopt(m_fd, SOL_IP, IP_TTL, &ttl, sizeof ttl) == 0)
        m_ttlSet = ttl;
    // Fragment unless the request asks otherwise, as the echo service always did.
    const int pmtu = (request.flags & IP_FLAG_DF) ? IP_PMTUDISC_DO : IP_PMTUDISC_DONT;
    if (pmtu != m_pmtuSet && ::setsockopt(m_fd, SOL_IP, IP_MTU_DISCOVER, &pmtu, sizeof pmtu) == 0)
        m_pmtuSet = pmtu;
}

void LinuxEchoChannel::drain()
{
    // Replies and errors of earlier requests that came too late.
    unsigned char buf[512];
    for (int i = 0; i < 1024 && ::recv(m_fd, buf, sizeof buf, MSG_DONTWAIT | MSG_ERRQUEUE) >= 0; ++i) {
    }
    for (int i = 0; i < 1024; ++i) {
        // A pending socket error reads as a failed recv: consume it too.
        if (::recv(m_fd, buf, sizeof buf, MSG_DONTWAIT) < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            break;
    }
}

EchoOutcome LinuxEchoChannel::exchange(const EchoRequest &request)
{
    EchoOutcome outcome;
    if (m_busy) {
        // One request at a time per channel; a nested call is refused.
        outcome.reply.Status = IP_PENDING;
        return outcome;
    }
    m_busy = true;
    m_done = false;
    m_outcome = EchoOutcome{};
    m_target = request.target;
    configure(request);
    drain();

    ++m_seq;
    const QByteArray packet = BuildEchoRequest(m_id, m_seq, request.data);

    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_addr.s_addr = request.target;
    m_sentAt = std::chrono::steady_clock::now();
    ssize_t sent;
    do {
        sent = ::sendto(m_fd, packet.constData(), std::size_t(packet.size()), 0, reinterpret_cast<sockaddr *>(&to), sizeof to);
    } while (sent < 0 && errno == EINTR);
    if (sent < 0) {
        finishWithError(request.target, statusOfErrno(errno));
    } else {
        readErrorQueue();
        if (!m_done)
            readReplies();
    }
    if (!m_done) {
        QEventLoop loop;
        QSocketNotifier notifier(qintptr(m_fd), QSocketNotifier::Read);
        QObject::connect(&notifier, &QSocketNotifier::activated, &loop, [this, &loop] {
            readErrorQueue();
            if (!m_done)
                readReplies();
            if (m_done)
                loop.quit();
        });
        QTimer timer;
        timer.setSingleShot(true);
        timer.setTimerType(Qt::PreciseTimer);
        QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
        timer.start(int(std::min<std::uint32_t>(request.timeoutMs, std::uint32_t(INT32_MAX))));
        m_loop = &loop;
        loop.exec();
        m_loop = nullptr;
    }
    if (!m_done)
        finishWithError(0, IP_REQ_TIMED_OUT);
    m_busy = false;
    return m_outcome;
}

void LinuxEchoChannel::abort()
{
    if (m_loop)
        m_loop->quit();
}

void LinuxEchoChannel::finishWithReply(std::uint32_t from, std::size_t dataSize, int ttl, int tos, int flags)
{
    const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - m_sentAt);
    m_outcome.replies = 1;
    m_outcome.reply.Address = from;
    m_outcome.reply.Status = IP_SUCCESS;
    m_outcome.reply.RoundTripTime = std::uint32_t(elapsed.count());
    m_outcome.reply.DataSize = std::uint16_t(dataSize);
    m_outcome.reply.Options.Ttl = std::uint8_t(ttl);
    m_outcome.reply.Options.Tos = std::uint8_t(tos);
    m_outcome.reply.Options.Flags = std::uint8_t(flags);
    m_done = true;
}

void LinuxEchoChannel::finishWithError(std::uint32_t from, std::uint32_t status)
{
    m_outcome.replies = 0;
    m_outcome.reply = IcmpEchoReply{};
    m_outcome.reply.Address = from;
    m_outcome.reply.Status = status;
    m_done = true;
}

EchoIdentity LinuxEchoChannel::identity() const
{
    return EchoIdentity{m_kind, m_target, m_id, m_seq};
}

void LinuxEchoChannel::readErrorQueue()
{
    for (int guard = 0; guard < 64 && !m_done; ++guard) {
        unsigned char data[576];
        Received<512> in(data, sizeof data);
        msghdr &msg = in.msg;
        const ssize_t n = ::recvmsg(m_fd, &msg, MSG_ERRQUEUE | MSG_DONTWAIT);
        if (n < 0)
            return;
        for (cmsghdr *c = CMSG_FIRSTHDR(&msg); c; c = CMSG_NXTHDR(&msg, c)) {
            if (c->cmsg_level != SOL_IP || c->cmsg_type != IP_RECVERR)
                continue;
            const auto *ee = reinterpret_cast<const sock_extended_err *>(CMSG_DATA(c));
            if (ee->ee_origin == SO_EE_ORIGIN_ICMP) {
                if (!QuotesRequest(data, std::size_t(n), identity()))
                    continue;
                const auto *offender = reinterpret_cast<const sockaddr_in *>(SO_EE_OFFENDER(ee));
                finishWithError(offender->sin_family == AF_INET ? offender->sin_addr.s_addr : m_target,
                                StatusOfIcmp(ee->ee_type, ee->ee_code));
            } else if (ee->ee_origin == SO_EE_ORIGIN_LOCAL && QuotesRequest(data, std::size_t(n), identity())) {
                finishWithError(m_target, statusOfErrno(int(ee->ee_errno)));
            }
        }
    }
}

void LinuxEchoChannel::readReplies()
{
    for (int guard = 0; guard < 256 && !m_done; ++guard) {
        alignas(4) unsigned char data[65536 + 64];
        Received<256> in(data, sizeof data);
        msghdr &msg = in.msg;
        const sockaddr_in &from = in.from;
        const ssize_t n = ::recvmsg(m_fd, &msg, MSG_DONTWAIT);
        if (n < 0) {
            // A pending socket error is reported here too; the error queue
            // holds the details, so only the wait for data ends.
            if (errno == EAGAIN || errno == EWOULDBLOCK)
                return;
            continue;
        }
        const EchoReceipt receipt = JudgeReceived(data, std::size_t(n), from.sin_addr.s_addr, identity());
        if (receipt.verdict == EchoReceipt::Verdict::Error) {
            finishWithError(receipt.source, receipt.status);
        } else if (receipt.verdict == EchoReceipt::Verdict::Reply) {
            int ttl = receipt.ttl, tos = receipt.tos;
            if (m_kind == Kind::Datagram) {
                // Without an IPv4 header the options come as ancillary data.
                for (cmsghdr *c = CMSG_FIRSTHDR(&msg); c; c = CMSG_NXTHDR(&msg, c)) {
                    if (c->cmsg_level == SOL_IP && c->cmsg_type == IP_TTL)
                        std::memcpy(&ttl, CMSG_DATA(c), sizeof ttl);
                    else if (c->cmsg_level == SOL_IP && c->cmsg_type == IP_TOS)
                        tos = *CMSG_DATA(c);
                }
            }
            finishWithReply(receipt.source, receipt.dataSize, ttl, tos, receipt.flags);
        }
    }
}
