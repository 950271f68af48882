#include "ping/WSocket.h"

#include "ping/HostResolver.h"

TWSocket::TWSocket(HostResolver &resolver) : m_lookup(resolver) {}

// Going away, the pending lookup is dropped without a report.
TWSocket::~TWSocket() = default;

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
        lookupDone(WSAEINVAL_NAME);
        return;
    }
    m_lookup.drop();
    m_dnsResult.clear();
    m_dnsResultList.clear();
    if (const auto literal = addressWithoutLookup(hostName)) {
        m_dnsResult = literal->toString(); // the list stays empty for a dotted address
        lookupDone(RESOLVE_OK);
        return;
    }
    const bool started = m_lookup.start(hostName, [this](const LookupResult &r) {
        if (r.error == RESOLVE_OK) {
            for (const Ipv4Address a : r.addresses)
                m_dnsResultList.append(a.toString());
            m_dnsResult = m_dnsResultList.value(0);
        }
        // A failing handler never reaches the user: the component gives up the lookup.
        try {
            lookupDone(std::uint16_t(r.error));
        } catch (...) {
            m_lookup.drop();
        }
    });
    if (!started)
        reportError(QStringLiteral("%1: can't start DNS lookup, error #%2").arg(hostName).arg(WSATRY_AGAIN));
}

void TWSocket::lookupDone(std::uint16_t error)
{
    if (OnDnsLookupDone)
        OnDnsLookupDone(this, error);
}

void TWSocket::CancelDnsLookup()
{
    if (!m_lookup.pending())
        return;
    m_lookup.drop();
    lookupDone(WSAEINTR_CANCELLED);
}

std::optional<QString> WSocketGetHostByAddr(HostResolver &resolver, const QString &address)
{
    if (address.isEmpty() || address.size() > 256)
        throw ESocketException(QStringLiteral("WSocketGetHostByAddr: Invalid address."));
    // A text that names no address asks for the name of inet_addr's failure
    // value, 255.255.255.255, as it always has.
    return resolver.reverse(Ipv4Address::fromInetAddrText(address).value_or(kLimitedBroadcast));
}
