#include "remote/MachineFinder.h"

#include "netbios/NameQuery.h"
#include "remote/AnsiText.h"
#include "remote/Sockets.h"

#include <QRandomGenerator>
#include <QUrl>

#include <arpa/inet.h>
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

QList<quint32> LocalNetbios::broadcasts() const
{
    QList<quint32> out;
    for (const Ipv4Subnet &s : subnets)
        if (s.hasBroadcast() && !out.contains(s.broadcast()))
            out.append(s.broadcast());
    return out;
}

MachineFinder::MachineFinder(LocalNetbios local, Deadline deadline, QList<quint32> hints)
    : m_local(std::move(local)), m_deadline(deadline), m_hints(std::move(hints))
{
}

std::optional<quint32> MachineFinder::find(const QString &machine) const
{
    if (const auto dotted = dottedAddress(machine))
        return dotted;
    if (const auto name = netbiosName(machine)) {
        if (!m_hints.isEmpty()) {
            if (const auto found = queryName(*name, m_hints, false, m_local.subnets, m_deadline))
                return found;
        }
        if (const QList<quint32> broadcasts = m_local.broadcasts(); !broadcasts.isEmpty()) {
            if (const auto found = queryName(*name, broadcasts, true, m_local.subnets, m_deadline))
                return found;
        }
    }
    return systemLookup(machine, m_deadline);
}

std::optional<quint32> dottedAddress(const QString &text)
{
    in_addr a{};
    if (::inet_pton(AF_INET, text.toLatin1().constData(), &a) != 1 || text.contains(QChar(0)))
        return std::nullopt;
    return ntohl(a.s_addr);
}

std::optional<QByteArray> netbiosName(const QString &machine)
{
    const QByteArray name = toAnsi(machine);
    if (name.isEmpty() || name.size() > netbios::kNameLength || name.contains('.'))
        return std::nullopt;
    return name;
}

bool answerSourceAccepted(quint32 source, const QList<quint32> &targets, bool broadcast, const QList<Ipv4Subnet> &local)
{
    if (!broadcast)
        return targets.contains(source);
    for (const Ipv4Subnet &s : local)
        if (s.hasBroadcast() && targets.contains(s.broadcast()) && s.contains(source))
            return true;
    return false;
}

std::optional<quint32> queryName(const QByteArray &name, const QList<quint32> &targets, bool broadcast,
                                 const QList<Ipv4Subnet> &local, const Deadline &deadline)
{
    Socket socket = Socket::udp(broadcast);
    if (!socket.valid())
        return std::nullopt;
    const auto id = static_cast<quint16>(QRandomGenerator::global()->generate());
    const QByteArray query = netbios::buildNameQuery(id, name, netbios::kWorkstation, broadcast);
    const netbios::Name asked{name, netbios::kWorkstation};
    for (int attempt = 0; attempt < kQueryTries && !deadline.passed(); ++attempt) {
        for (const quint32 target : targets)
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
            for (const quint32 address : reply->addresses)
                if (isOtherUnicastHost(address, local))
                    return address;
        }
    }
    return std::nullopt;
}

std::optional<quint32> systemLookup(const QString &name, const Deadline &deadline)
{
    struct Lookup {
        std::mutex mutex;
        std::condition_variable done;
        bool finished = false;
        std::optional<quint32> address;
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
        std::optional<quint32> found;
        if (::getaddrinfo(host.constData(), nullptr, &hints, &list) == 0) {
            for (const addrinfo *ai = list; ai && !found; ai = ai->ai_next)
                found = ntohl(reinterpret_cast<const sockaddr_in *>(ai->ai_addr)->sin_addr.s_addr);
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
