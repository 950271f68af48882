#include "ping/LinuxEchoChannel.h"

#include "base/SystemError.h"

#include <QSocketNotifier>

#include <arpa/inet.h>
#include <cerrno>
#include <climits>
#include <cstring>
#include <linux/errqueue.h>
#include <linux/icmp.h>
#include <netinet/in.h>
#include <netinet/ip.h>
#include <poll.h>
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

timespec systemNow()
{
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    return now;
}

// Whole milliseconds from `from` to `to`, never below 0 (the system clock
// may have been set back meanwhile).
long long nanosecondsBetween(const timespec &from, const timespec &to)
{
    const long long ns = (static_cast<long long>(to.tv_sec) - from.tv_sec) * 1000000000LL + (to.tv_nsec - from.tv_nsec);
    return ns > 0 ? ns : 0;
}

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
            throw EchoChannelError(EchoFailure::SocketsUnavailable,
                                   QStringLiteral("IPv4 sockets are not available: ") + systemErrorText(error));
        throw EchoChannelError(EchoFailure::NoHandle, systemErrorText(error));
    }
    ::close(probe);

    auto fail = [](int error) -> EchoChannelError {
        if (isPermissionError(error))
            return EchoChannelError(
                EchoFailure::NotPermitted,
                QStringLiteral("no ICMP socket could be opened (%1): unprivileged ICMP sockets are not "
                               "allowed for this user's group (net.ipv4.ping_group_range) and raw "
                               "sockets need the CAP_NET_RAW capability")
                    .arg(systemErrorText(error)));
        return EchoChannelError(EchoFailure::NoHandle, systemErrorText(error));
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
    // Replies are timed by the kernel's receive stamp: with many requests in
    // flight the event loop may read a reply some time after it came.
    bool configured = ::setsockopt(fd, SOL_IP, IP_RECVERR, &on, sizeof on) == 0
                      && ::setsockopt(fd, SOL_SOCKET, SO_TIMESTAMPNS, &on, sizeof on) == 0;
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
        throw EchoChannelError(EchoFailure::SetupFailed, systemErrorText(errno));
    channel->m_notifier = new QSocketNotifier(qintptr(fd), QSocketNotifier::Read, &channel->m_context);
    channel->m_notifier->setEnabled(false);
    LinuxEchoChannel *self = channel.get();
    QObject::connect(channel->m_notifier, &QSocketNotifier::activated, &channel->m_context,
                     [self] { self->readable(); });
    return channel;
}

LinuxEchoChannel::LinuxEchoChannel(int fd, Kind kind) : m_fd(fd), m_kind(kind)
{
    std::random_device rd;
    m_id = std::uint16_t(rd());
    m_seq = std::uint16_t(rd());
    m_deadlines.setSingleShot(true);
    m_deadlines.setTimerType(Qt::PreciseTimer);
    QObject::connect(&m_deadlines, &QTimer::timeout, &m_context, [this] { expire(); });
}

LinuxEchoChannel::~LinuxEchoChannel()
{
    // Requests still in flight are dropped without a report.
    delete m_notifier;
    if (m_fd >= 0)
        ::close(m_fd);
}

void LinuxEchoChannel::configure(const EchoRequest &request)
{
    // The options are read when a packet is sent, so setting them before
    // each send gives every request in flight its own.
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

std::uint16_t LinuxEchoChannel::freeSequence()
{
    // At most a few dozen are in flight: a free number is never far.
    do
        ++m_seq;
    while (m_inFlight.count(m_seq));
    return m_seq;
}

int LinuxEchoChannel::send(const EchoRequest &request, Done done)
{
    if (m_inFlight.empty())
        drain();
    configure(request);
    const std::uint16_t seq = freeSequence();
    const QByteArray packet = BuildEchoRequest(m_id, seq, request.data);

    Request &r = m_inFlight[seq];
    r.ticket = m_nextTicket++;
    if (m_nextTicket <= 0)
        m_nextTicket = 1;
    r.target = request.target.networkOrder();
    r.done = std::move(done);
    r.deadline = std::chrono::steady_clock::now()
                 + std::chrono::milliseconds(std::min<std::uint32_t>(request.timeoutMs, std::uint32_t(INT32_MAX)));

    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_addr.s_addr = r.target;
    // An ICMP error for another request in flight also leaves a pending
    // socket error, which the next send would return as its own: clear it
    // first (the error queue keeps the details). One may still arrive just
    // before the send; a failure of the send itself repeats, so a send is
    // tried a few times before its failure counts.
    ssize_t sent = -1;
    for (int attempt = 0; attempt < 4 && sent < 0; ++attempt) {
        int pending = 0;
        socklen_t length = sizeof pending;
        ::getsockopt(m_fd, SOL_SOCKET, SO_ERROR, &pending, &length);
        r.sentAt = systemNow();
        do {
            sent = ::sendto(m_fd, packet.constData(), std::size_t(packet.size()), 0, reinterpret_cast<sockaddr *>(&to),
                            sizeof to);
        } while (sent < 0 && errno == EINTR);
    }
    const int ticket = r.ticket;
    Finished finished;
    if (sent < 0) {
        r.outcome.reply.Address = r.target;
        r.outcome.reply.Status = statusOfErrno(errno);
        finish(m_inFlight.find(seq), finished);
    } else {
        // Between namespaces of one machine the answer may be back already.
        readErrorQueue(finished);
        readReplies(finished);
    }
    settle(finished);
    return ticket;
}

void LinuxEchoChannel::cancel(int ticket)
{
    for (auto it = m_inFlight.begin(); it != m_inFlight.end(); ++it) {
        if (it->second.ticket == ticket) {
            m_inFlight.erase(it);
            break;
        }
    }
    Finished none;
    settle(none);
}

void LinuxEchoChannel::abort()
{
    Finished finished;
    while (!m_inFlight.empty()) {
        auto it = m_inFlight.begin();
        it->second.outcome = EchoOutcome{};
        it->second.outcome.reply.Status = IP_REQ_TIMED_OUT;
        finish(it, finished);
    }
    settle(finished);
}

void LinuxEchoChannel::finish(std::map<std::uint16_t, Request>::iterator it, Finished &finished)
{
    finished.emplace_back(std::move(it->second.done), it->second.outcome);
    m_inFlight.erase(it);
}

void LinuxEchoChannel::settle(Finished &finished)
{
    m_notifier->setEnabled(!m_inFlight.empty());
    if (m_inFlight.empty()) {
        m_deadlines.stop();
    } else {
        auto earliest = m_inFlight.begin()->second.deadline;
        for (const auto &[seq, r] : m_inFlight)
            earliest = std::min(earliest, r.deadline);
        const auto wait = std::chrono::ceil<std::chrono::milliseconds>(earliest - std::chrono::steady_clock::now());
        m_deadlines.start(std::max(wait, std::chrono::milliseconds(0)));
    }
    // A report may send, cancel or even end this channel: nothing of it is
    // touched once the reports have begun.
    const Liveness::Guard alive = m_liveness.guard();
    for (auto &[done, outcome] : finished) {
        if (!alive.alive())
            return;
        if (done)
            done(outcome);
    }
}

void LinuxEchoChannel::expire()
{
    Finished finished;
    const auto now = std::chrono::steady_clock::now();
    for (auto it = m_inFlight.begin(); it != m_inFlight.end();) {
        Request &r = it->second;
        if (r.deadline > now) {
            ++it;
            continue;
        }
        r.outcome = EchoOutcome{};
        r.outcome.reply.Status = IP_REQ_TIMED_OUT;
        finish(it++, finished);
    }
    settle(finished);
}

void LinuxEchoChannel::wait(std::chrono::milliseconds max)
{
    if (m_inFlight.empty())
        return;
    auto until = std::chrono::steady_clock::now() + max;
    for (const auto &[seq, r] : m_inFlight)
        until = std::min(until, r.deadline);
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(until - std::chrono::steady_clock::now());
    pollfd p{m_fd, POLLIN, 0};
    if (::poll(&p, 1, int(std::clamp<long long>(left.count(), 0, INT32_MAX))) > 0)
        readable(); // an error report shows as POLLERR, which poll always reports
    else
        expire();
}

void LinuxEchoChannel::readable()
{
    Finished finished;
    readErrorQueue(finished);
    readReplies(finished);
    settle(finished);
}

EchoIdentity LinuxEchoChannel::identity(std::uint16_t sequence, const Request &request) const
{
    return EchoIdentity{m_kind, request.target, m_id, sequence};
}

void LinuxEchoChannel::readErrorQueue(Finished &finished)
{
    for (int guard = 0; guard < 256 && !m_inFlight.empty(); ++guard) {
        unsigned char data[576];
        Received<512> in(data, sizeof data);
        msghdr &msg = in.msg;
        const ssize_t n = ::recvmsg(m_fd, &msg, MSG_ERRQUEUE | MSG_DONTWAIT);
        if (n < 0)
            return;
        const QuotedRequest quoted = ParseQuotedRequest(data, std::size_t(n));
        const auto it = quoted.valid ? m_inFlight.find(quoted.sequence) : m_inFlight.end();
        if (it == m_inFlight.end() || !QuotesRequest(quoted, identity(it->first, it->second)))
            continue; // a request that has ended already, or none of ours
        for (cmsghdr *c = CMSG_FIRSTHDR(&msg); c; c = CMSG_NXTHDR(&msg, c)) {
            if (c->cmsg_level != SOL_IP || c->cmsg_type != IP_RECVERR)
                continue;
            const auto *ee = reinterpret_cast<const sock_extended_err *>(CMSG_DATA(c));
            EchoOutcome &o = it->second.outcome;
            if (ee->ee_origin == SO_EE_ORIGIN_ICMP) {
                const auto *offender = reinterpret_cast<const sockaddr_in *>(SO_EE_OFFENDER(ee));
                o.reply.Address = offender->sin_family == AF_INET ? offender->sin_addr.s_addr : it->second.target;
                o.reply.Status = StatusOfIcmp(ee->ee_type, ee->ee_code);
            } else if (ee->ee_origin == SO_EE_ORIGIN_LOCAL) {
                o.reply.Address = it->second.target;
                o.reply.Status = statusOfErrno(int(ee->ee_errno));
            } else {
                continue;
            }
            finish(it, finished);
            break;
        }
    }
}

void LinuxEchoChannel::readReplies(Finished &finished)
{
    for (int guard = 0; guard < 256 && !m_inFlight.empty(); ++guard) {
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
        const std::optional<std::uint16_t> seq = SequenceConcerned(data, std::size_t(n), m_kind);
        const auto it = seq ? m_inFlight.find(*seq) : m_inFlight.end();
        if (it == m_inFlight.end())
            continue;
        const EchoReceipt receipt =
            JudgeReceived(data, std::size_t(n), from.sin_addr.s_addr, identity(it->first, it->second));
        EchoOutcome &o = it->second.outcome;
        if (receipt.verdict == EchoReceipt::Verdict::Error) {
            o.replies = 0;
            o.reply.Address = receipt.source;
            o.reply.Status = receipt.status;
        } else if (receipt.verdict == EchoReceipt::Verdict::Reply) {
            int ttl = receipt.ttl, tos = receipt.tos;
            timespec receivedAt{};
            bool stamped = false;
            for (cmsghdr *c = CMSG_FIRSTHDR(&msg); c; c = CMSG_NXTHDR(&msg, c)) {
                // Without an IPv4 header the options come as ancillary data.
                if (m_kind == Kind::Datagram && c->cmsg_level == SOL_IP && c->cmsg_type == IP_TTL) {
                    std::memcpy(&ttl, CMSG_DATA(c), sizeof ttl);
                } else if (m_kind == Kind::Datagram && c->cmsg_level == SOL_IP && c->cmsg_type == IP_TOS) {
                    tos = *CMSG_DATA(c);
                } else if (c->cmsg_level == SOL_SOCKET && c->cmsg_type == SCM_TIMESTAMPNS) {
                    std::memcpy(&receivedAt, CMSG_DATA(c), sizeof receivedAt);
                    stamped = true;
                }
            }
            o.replies = 1;
            o.reply.Address = receipt.source;
            o.reply.Status = IP_SUCCESS;
            const long long ns = nanosecondsBetween(it->second.sentAt, stamped ? receivedAt : systemNow());
            o.reply.RoundTripTime = std::uint32_t(std::min<long long>(ns / 1000000, UINT32_MAX));
            o.roundTripMicroseconds = ns / 1000;
            o.reply.DataSize = std::uint16_t(receipt.dataSize);
            o.reply.Options.Ttl = std::uint8_t(ttl);
            o.reply.Options.Tos = std::uint8_t(tos);
            o.reply.Options.Flags = std::uint8_t(receipt.flags);
        } else {
            continue;
        }
        finish(it, finished);
    }
}
