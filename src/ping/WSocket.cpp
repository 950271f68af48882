#include "ping/WSocket.h"

#include "ping/HostResolver.h"

TWSocket::TWSocket(HostResolver &resolver) : m_resolver(resolver) {}

TWSocket::~TWSocket()
{
    *m_alive = false;
    if (m_lookupHandle)
        m_resolver.abort(m_lookupHandle);
}

void TWSocket::reportError(const QString &message)
{
    if (OnError) {
        OnError(this);
        return;
    }
    throw ESocketException(message);
}

void TWSocket::DnsLookup(const QString &hostName)
{
    if (hostName.isEmpty()) {
        reportError(QStringLiteral("DNS lookup: invalid host name."));
        if (OnDnsLookupDone)
            OnDnsLookupDone(this, WSAEINVAL_NAME);
        return;
    }
    if (m_lookupHandle) {
        m_resolver.abort(m_lookupHandle);
        m_lookupHandle = 0;
    }
    m_dnsResult.clear();
    m_dnsResultList.clear();
    const std::uint32_t a = InetAddr(hostName);
    if (a != INADDR_NONE_VALUE) {
        m_dnsResult = InetNtoa(a);
        if (OnDnsLookupDone)
            OnDnsLookupDone(this, 0);
        return;
    }
    std::weak_ptr<bool> alive = m_alive;
    const int id = m_resolver.lookup(hostName, [this, alive](int id, const LookupResult &r) {
        if (!alive.expired())
            lookupDone(id, r.error, r.addresses);
    });
    if (id == 0) {
        reportError(QStringLiteral("%1: can't start DNS lookup, error #%2").arg(hostName).arg(WSATRY_AGAIN));
        return;
    }
    m_lookupHandle = id;
}

void TWSocket::lookupDone(int id, int error, const QList<std::uint32_t> &addresses)
{
    if (id != m_lookupHandle)
        return;
    m_lookupHandle = 0;
    if (error == RESOLVE_OK) {
        for (std::uint32_t a : addresses)
            m_dnsResultList.append(InetNtoa(a));
        m_dnsResult = m_dnsResultList.value(0);
    }
    if (!OnDnsLookupDone)
        return;
    // A failing handler never reaches the user: the component gives up the lookup.
    try {
        OnDnsLookupDone(this, std::uint16_t(error));
    } catch (...) {
        m_lookupHandle = 0;
    }
}

void TWSocket::CancelDnsLookup()
{
    if (!m_lookupHandle)
        return;
    m_resolver.abort(m_lookupHandle);
    m_lookupHandle = 0;
    if (OnDnsLookupDone)
        OnDnsLookupDone(this, WSAEINTR_CANCELLED);
}

std::optional<QString> WSocketGetHostByAddr(HostResolver &resolver, const QString &address)
{
    if (address.isEmpty() || address.size() > 256)
        throw ESocketException(QStringLiteral("WSocketGetHostByAddr: Invalid address."));
    return resolver.reverse(InetAddr(address));
}
