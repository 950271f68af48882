#include "remote/MachineFinder.h"

#include "netbios/NameQuery.h"
#include "remote/AnsiText.h"
#include "remote/Sockets.h"

#include <QRandomGenerator>
#include <QUrl>

#include <condition_variable>
#include <memory>
#include <mutex>
#include <netdb.h>
#include <thread>

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

std::optional<Ipv4Address> systemLookup(const QString &name, const Deadline &deadline)
{
    struct Lookup {
        std::mutex mutex;
        std::condition_variable done;
        bool finished = false;
        std::optional<Ipv4Address> address;
    };
    const QByteArray host = QUrl::toAce(name);
    if (host.isEmpty() || host.contains('\0'))
        return std::nullopt;
    auto lookup = std::make_shared<Lookup>();
    std::thread([lookup, host] {
        addrinfo hints{};
        hints.ai_family = AF_INET;
        hints.ai_socktype = SOCK_STREAM;
        addrinfo *list = nullptr;
        std::optional<Ipv4Address> found;
        if (::getaddrinfo(host.constData(), nullptr, &hints, &list) == 0) {
            for (const addrinfo *ai = list; ai && !found; ai = ai->ai_next)
                found =
                    Ipv4Address::fromNetworkOrder(reinterpret_cast<const sockaddr_in *>(ai->ai_addr)->sin_addr.s_addr);
            ::freeaddrinfo(list);
        }
        const std::lock_guard<std::mutex> lock(lookup->mutex);
        lookup->address = found;
        lookup->finished = true;
        lookup->done.notify_all();
    }).detach();

    std::unique_lock<std::mutex> lock(lookup->mutex);
    while (!lookup->finished) {
        const int ms = deadline.waitMs();
        if (ms == 0)
            return std::nullopt;
        lookup->done.wait_for(lock, std::chrono::milliseconds(ms));
    }
    return lookup->address;
}
