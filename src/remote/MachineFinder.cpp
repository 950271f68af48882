#include "remote/MachineFinder.h"

#include "netbios/NameQuery.h"
#include "remote/AnsiText.h"
#include "remote/Sockets.h"

#include <QRandomGenerator>
#include <QUrl>

#include <atomic>
#include <csignal>
#include <netdb.h>

namespace {

using namespace std::chrono_literals;

// A query is sent three times, a quarter of a second apart, as a Windows
// node does on its subnet; the last one waits as long again for answers.
constexpr int kQueryTries = 3;
constexpr auto kQueryInterval = 250ms;

} // namespace

QList<Ipv4Address> LocalNetbios::broadcasts() const
{
    QList<Ipv4Address> out;
    for (const Ipv4Subnet &s : subnets)
        if (s.hasBroadcast() && !out.contains(s.broadcast()))
            out.append(s.broadcast());
    return out;
}

MachineFinder::MachineFinder(LocalNetbios local, Deadline deadline, QList<Ipv4Address> hints)
    : m_local(std::move(local)), m_deadline(deadline), m_hints(std::move(hints))
{
}

std::optional<Ipv4Address> MachineFinder::find(const QString &machine) const
{
    if (const auto dotted = Ipv4Address::fromText(machine))
        return dotted;
    if (const auto name = netbiosName(machine)) {
        if (!m_hints.isEmpty()) {
            if (const auto found = queryName(*name, m_hints, false, m_local.subnets, m_deadline))
                return found;
        }
        if (const QList<Ipv4Address> broadcasts = m_local.broadcasts(); !broadcasts.isEmpty()) {
            if (const auto found = queryName(*name, broadcasts, true, m_local.subnets, m_deadline))
                return found;
        }
    }
    return systemLookup(machine, m_deadline);
}

std::optional<QByteArray> netbiosName(const QString &machine)
{
    const QByteArray name = toAnsi(machine);
    if (name.isEmpty() || name.size() > netbios::kNameLength || name.contains('.'))
        return std::nullopt;
    return name;
}

bool answerSourceAccepted(Ipv4Address source, const QList<Ipv4Address> &targets, bool broadcast,
                          const QList<Ipv4Subnet> &local)
{
    if (!broadcast)
        return targets.contains(source);
    for (const Ipv4Subnet &s : local)
        if (s.hasBroadcast() && targets.contains(s.broadcast()) && s.contains(source))
            return true;
    return false;
}

std::optional<Ipv4Address> queryName(const QByteArray &name, const QList<Ipv4Address> &targets, bool broadcast,
                                     const QList<Ipv4Subnet> &local, const Deadline &deadline)
{
    Socket socket = Socket::udp(broadcast);
    if (!socket.valid())
        return std::nullopt;
    const auto id = static_cast<quint16>(QRandomGenerator::global()->generate());
    const QByteArray query = netbios::buildNameQuery(id, name, netbios::kWorkstation, broadcast);
    const netbios::Name asked{name, netbios::kWorkstation};
    for (int attempt = 0; attempt < kQueryTries && !deadline.passed(); ++attempt) {
        for (const Ipv4Address target : targets)
            socket.sendTo(Endpoint{target, netbios::kNameServicePort}, query);
        const Deadline round = deadline.sooner(kQueryInterval);
        Endpoint from;
        while (const auto packet = socket.receiveFrom(from, round)) {
            if (!answerSourceAccepted(from.address, targets, broadcast, local))
                continue;
            const auto reply = netbios::readNameQueryReply(*packet, id, asked);
            if (!reply)
                continue;
            if (!reply->positive)
                return std::nullopt;
            for (const Ipv4Address address : reply->addresses)
                if (isOtherUnicastHost(address, local))
                    return address;
        }
    }
    return std::nullopt;
}

namespace {

// One asynchronous lookup. The caller and the C library's completion each
// hold a reference; whoever lets go last frees it, so that a caller that
// gives up at its deadline never waits for the resolver.
struct Lookup {
    QByteArray host;
    addrinfo hints{};
    gaicb request{};
    std::atomic<int> references{2};

    void release()
    {
        if (references.fetch_sub(1) == 1) {
            if (::gai_error(&request) == 0)
                ::freeaddrinfo(request.ar_result);
            delete this;
        }
    }
    static void completed(sigval value) { static_cast<Lookup *>(value.sival_ptr)->release(); }
};

} // namespace

std::optional<Ipv4Address> systemLookup(const QString &name, const Deadline &deadline)
{
    const QByteArray host = QUrl::toAce(name);
    if (host.isEmpty() || host.contains('\0'))
        return std::nullopt;
    // The C library's own asynchronous lookup: the wait is ours, bounded by
    // the deadline, and a lookup no longer wanted is left to end by itself.
    auto *lookup = new Lookup;
    lookup->host = host;
    lookup->hints.ai_family = AF_INET;
    lookup->hints.ai_socktype = SOCK_STREAM;
    lookup->request.ar_name = lookup->host.constData();
    lookup->request.ar_request = &lookup->hints;
    sigevent notify{};
    notify.sigev_notify = SIGEV_THREAD;
    notify.sigev_notify_function = &Lookup::completed;
    notify.sigev_value.sival_ptr = lookup;
    gaicb *list[] = {&lookup->request};
    if (::getaddrinfo_a(GAI_NOWAIT, list, 1, &notify) != 0) {
        lookup->references = 1; // no completion will come
        lookup->release();
        return std::nullopt;
    }
    std::optional<Ipv4Address> found;
    for (;;) {
        const int state = ::gai_error(&lookup->request);
        if (state != EAI_INPROGRESS) {
            if (state == 0 && lookup->request.ar_result)
                found = Ipv4Address::fromNetworkOrder(
                    reinterpret_cast<const sockaddr_in *>(lookup->request.ar_result->ai_addr)->sin_addr.s_addr);
            break;
        }
        const int ms = deadline.waitMs();
        if (ms == 0) {
            // A lookup taken off the queue before it ran never completes.
            if (::gai_cancel(&lookup->request) == EAI_CANCELED)
                lookup->release();
            break;
        }
        const timespec slice{ms / 1000, (ms % 1000) * 1000000L};
        ::gai_suspend(list, 1, &slice);
    }
    lookup->release();
    return found;
}
