#include "ping/HostResolver.h"

#include <QHash>
#include <QHostAddress>
#include <QHostInfo>
#include <QObject>
#include <QPointer>
#include <QTimer>

#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>

std::optional<Ipv4Address> addressWithoutLookup(const QString &text)
{
    const auto address = Ipv4Address::fromInetAddrText(text);
    if (!address || *address == kLimitedBroadcast)
        return std::nullopt;
    return address;
}

void PendingLookup::drop()
{
    if (m_id)
        m_resolver.abort(m_id);
    m_id = 0;
}

bool PendingLookup::start(const QString &name, std::function<void(const LookupResult &)> done)
{
    drop();
    const int id = m_resolver.lookup(
        name, [this, alive = m_liveness.guard(), done = std::move(done)](int id, const LookupResult &r) {
            if (!alive.alive() || id != m_id)
                return;
            m_id = 0;
            done(r);
        });
    m_id = id;
    return id != 0;
}

struct SystemResolver::Private {
    QObject context;         // completions are delivered while this lives
    QHash<int, int> pending; // our id -> Qt's lookup id (0 for literals)
    int nextId = 1;
};

SystemResolver::SystemResolver() : m_d(std::make_unique<Private>()) {}

SystemResolver::~SystemResolver()
{
    for (auto it = m_d->pending.cbegin(); it != m_d->pending.cend(); ++it)
        if (it.value() > 0)
            QHostInfo::abortHostLookup(it.value());
}

int SystemResolver::lookup(const QString &name, Completion done)
{
    const int id = m_d->nextId++;
    if (m_d->nextId <= 0)
        m_d->nextId = 1;
    if (const auto literal = Ipv4Address::fromInetAddrText(name)) {
        // A literal (255.255.255.255 is one) would make Qt ask for its name:
        // answer it directly, but still through the event loop.
        m_d->pending.insert(id, 0);
        QTimer::singleShot(0, &m_d->context, [this, id, done, a = *literal] {
            if (m_d->pending.remove(id))
                done(id, LookupResult{RESOLVE_OK, {a}});
        });
        return id;
    }
    const int qtId = QHostInfo::lookupHost(name, &m_d->context, [this, id, done](const QHostInfo &info) {
        // An aborted lookup may still deliver, from Qt's cache: drop it.
        if (!m_d->pending.remove(id))
            return;
        LookupResult r;
        if (info.error() == QHostInfo::HostNotFound) {
            r.error = WSAHOST_NOT_FOUND;
        } else if (info.error() != QHostInfo::NoError) {
            r.error = WSATRY_AGAIN;
        } else {
            for (const QHostAddress &a : info.addresses())
                if (a.protocol() == QAbstractSocket::IPv4Protocol)
                    r.addresses.append(Ipv4Address::fromHostOrder(a.toIPv4Address()));
            if (r.addresses.isEmpty())
                r.error = WSANO_DATA;
        }
        done(id, r);
    });
    m_d->pending.insert(id, qtId);
    return id;
}

void SystemResolver::abort(int id)
{
    const auto it = m_d->pending.find(id);
    if (it == m_d->pending.end())
        return;
    if (it.value() > 0)
        QHostInfo::abortHostLookup(it.value());
    m_d->pending.erase(it);
}

LookupResult SystemResolver::resolve(const QString &name)
{
    LookupResult r;
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_RAW;
    addrinfo *list = nullptr;
    const QByteArray bytes = name.toUtf8();
    const int rc = bytes.contains('\0') ? EAI_NONAME : ::getaddrinfo(bytes.constData(), nullptr, &hints, &list);
    switch (rc) {
    case 0:
        for (const addrinfo *ai = list; ai; ai = ai->ai_next)
            r.addresses.append(
                Ipv4Address::fromNetworkOrder(reinterpret_cast<const sockaddr_in *>(ai->ai_addr)->sin_addr.s_addr));
        ::freeaddrinfo(list);
        if (r.addresses.isEmpty())
            r.error = WSANO_DATA;
        break;
    case EAI_NONAME:
        r.error = WSAHOST_NOT_FOUND;
        break;
    case EAI_AGAIN:
        r.error = WSATRY_AGAIN;
        break;
#ifdef EAI_NODATA
    case EAI_NODATA:
        r.error = WSANO_DATA;
        break;
#endif
#ifdef EAI_ADDRFAMILY
    case EAI_ADDRFAMILY:
        r.error = WSANO_DATA;
        break;
#endif
    default:
        r.error = WSANO_RECOVERY;
        break;
    }
    return r;
}

std::optional<QString> SystemResolver::reverse(Ipv4Address address)
{
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_addr.s_addr = address.networkOrder();
    char host[NI_MAXHOST];
    if (::getnameinfo(reinterpret_cast<const sockaddr *>(&sa), sizeof sa, host, sizeof host, nullptr, 0, NI_NAMEREQD)
        != 0)
        return std::nullopt;
    return QString::fromUtf8(host);
}
