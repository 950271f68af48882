#include "ping/Ping.h"

#include "ping/HostResolver.h"

TPing::TPing(EchoChannelFactory &channels, HostResolver &resolver) : m_resolver(resolver)
{
    try {
        m_icmp = std::make_unique<TICMP>(channels, resolver);
    } catch (const TICMPException &e) {
        m_unavailableMessage = e.message();
        m_unavailableDetail = e.detail();
        return;
    }
    m_icmp->OnDisplay = [this](TICMP *icmp, const QString &msg) { if (OnDisplay) OnDisplay(this, icmp, msg); };
    m_icmp->OnEchoRequest = [this](TICMP *icmp) { if (OnEchoRequest) OnEchoRequest(this, icmp); };
    m_icmp->OnEchoReply = [this](TICMP *icmp, int replies) { if (OnEchoReply) OnEchoReply(this, icmp, replies); };
}

TPing::~TPing()
{
    // Going away: the pending lookup is dropped without a report.
    *m_alive = false;
    if (m_lookupHandle)
        m_resolver.abort(m_lookupHandle);
}

QString TPing::Address() const { return m_icmp ? m_icmp->Address() : QString(); }
void TPing::setAddress(const QString &address) { if (m_icmp) m_icmp->setAddress(address); }
int TPing::Size() const { return m_icmp ? m_icmp->Size : 0; }
void TPing::setSize(int size) { if (m_icmp) m_icmp->Size = size; }
std::uint32_t TPing::Timeout() const { return m_icmp ? m_icmp->Timeout : 0; }
void TPing::setTimeout(std::uint32_t timeout) { if (m_icmp) m_icmp->Timeout = timeout; }
int TPing::TTL() const { return m_icmp ? m_icmp->TTL : 0; }
void TPing::setTTL(int ttl) { if (m_icmp) m_icmp->TTL = ttl; }
int TPing::Flags() const { return m_icmp ? m_icmp->Flags : 0; }
void TPing::setFlags(int flags) { if (m_icmp) m_icmp->Flags = flags; }

void TPing::DnsLookup(const QString &hostName)
{
    if (m_lookupHandle) {
        m_resolver.abort(m_lookupHandle); // the replaced lookup never reports
        m_lookupHandle = 0;
    }
    m_dnsResult.clear();
    const std::uint32_t a = InetAddr(hostName);
    if (a != INADDR_NONE_VALUE) {
        m_dnsResult = InetNtoa(a);
        if (OnDnsLookupDone)
            OnDnsLookupDone(this, 0);
        return;
    }
    std::weak_ptr<bool> alive = m_alive;
    const int id = m_resolver.lookup(hostName, [this, alive](int id, const LookupResult &r) {
        if (alive.expired())
            return;
        lookupDone(id, r.error, r.addresses.isEmpty() ? INADDR_NONE_VALUE : r.addresses.first());
    });
    if (id == 0)
        throw Exception(QStringLiteral("%1: can't start DNS lookup, error #%2").arg(hostName).arg(WSATRY_AGAIN));
    m_lookupHandle = id;
}

void TPing::lookupDone(int id, int error, std::uint32_t firstAddress)
{
    if (id != m_lookupHandle)
        return; // replaced or cancelled
    m_lookupHandle = 0;
    if (error == RESOLVE_OK)
        m_dnsResult = InetNtoa(firstAddress);
    if (OnDnsLookupDone)
        OnDnsLookupDone(this, std::uint16_t(error));
}

void TPing::CancelDnsLookup()
{
    if (!m_lookupHandle)
        return;
    m_resolver.abort(m_lookupHandle);
    m_lookupHandle = 0;
    if (OnDnsLookupDone)
        OnDnsLookupDone(this, WSAEINTR_CANCELLED);
}

int TPing::Ping() { return m_icmp ? m_icmp->Ping() : 0; }
void TPing::abortPing() { if (m_icmp) m_icmp->abort(); }
IcmpEchoReply TPing::Reply() const { return m_icmp ? m_icmp->LastReply : IcmpEchoReply{}; }
QString TPing::ErrorText() const { return m_icmp ? m_icmp->ErrorText() : QString(); }

QString EchoUnavailableText(const TPing &ping, const QString &programPath)
{
    QString text = QStringLiteral("Pinging is not available on this computer: %1.").arg(ping.unavailableDetail());
    // Only a refused permission has a cure the user can apply.
    if (ping.unavailableMessage() == QLatin1String("Unable to register icmp.dll"))
        text += QStringLiteral("\n\nTo let every user ping, either give the program the right to open raw sockets:\n"
                               "    sudo setcap cap_net_raw+ep %1\n"
                               "or allow unprivileged ICMP sockets for all groups:\n"
                               "    sudo sysctl -w net.ipv4.ping_group_range=\"0 2147483647\"\n"
                               "and start Lumeo again.").arg(programPath);
    text += QStringLiteral("\n\nEvery other command works as usual. Meanwhile a sweep marks each ticked row "
                           "\"Echo service not available\".");
    return text;
}
