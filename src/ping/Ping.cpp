#include "ping/Ping.h"

#include "ping/HostResolver.h"

TPing::TPing(EchoChannelFactory &channels, HostResolver &resolver) : m_lookup(resolver), m_resolver(resolver)
{
    try {
        m_icmp = std::make_unique<TICMP>(channels, resolver);
    } catch (const TICMPException &e) {
        m_unavailableDetail = e.detail();
        m_unavailableKind = e.failure();
        return;
    }
    m_icmp->OnDisplay = [this](TICMP *icmp, const QString &msg) {
        if (OnDisplay)
            OnDisplay(this, icmp, msg);
    };
    m_icmp->OnEchoRequest = [this](TICMP *icmp) {
        if (OnEchoRequest)
            OnEchoRequest(this, icmp);
    };
    m_icmp->OnEchoReply = [this](TICMP *icmp, int replies) {
        if (OnEchoReply)
            OnEchoReply(this, icmp, replies);
    };
}

// Going away, the pending lookups are dropped without a report.
TPing::~TPing()
{
    for (const int id : std::as_const(m_lookups))
        m_resolver.abort(id);
}

QString TPing::Address() const { return m_icmp ? m_icmp->Address() : QString(); }
void TPing::setAddress(const QString &address)
{
    if (m_icmp)
        m_icmp->setAddress(address);
}
// Without an echo service the settings are still held, so that they are
// shown and stored as the user chose them.
int TPing::Size() const { return m_icmp ? m_icmp->Size() : m_settings.size; }
void TPing::setSize(int size)
{
    m_settings.size = size;
    if (m_icmp)
        m_icmp->setSize(size);
}
std::uint32_t TPing::Timeout() const { return m_icmp ? m_icmp->Timeout() : std::uint32_t(m_settings.timeoutMs); }
void TPing::setTimeout(std::uint32_t timeout)
{
    m_settings.timeoutMs = int(std::min<std::uint32_t>(timeout, EchoLimits::kMaxTimeout));
    if (m_icmp)
        m_icmp->setTimeout(timeout);
}
int TPing::TTL() const { return m_icmp ? m_icmp->TTL() : m_settings.ttl; }
void TPing::setTTL(int ttl)
{
    m_settings.ttl = ttl;
    if (m_icmp)
        m_icmp->setTTL(ttl);
}
int TPing::Flags() const { return m_icmp ? m_icmp->Flags() : m_flags; }
void TPing::setFlags(int flags)
{
    m_flags = flags;
    if (m_icmp)
        m_icmp->setFlags(flags);
}
EchoSettings TPing::settings() const { return m_icmp ? m_icmp->settings() : m_settings; }
void TPing::setSettings(const EchoSettings &settings)
{
    m_settings = settings;
    if (m_icmp)
        m_icmp->setSettings(settings);
}

void TPing::DnsLookup(const QString &hostName)
{
    m_lookup.drop(); // the replaced lookup never reports
    m_dnsResult.clear();
    if (const auto literal = addressWithoutLookup(hostName)) {
        m_dnsResult = literal->toString();
        lookupDone(RESOLVE_OK);
        return;
    }
    const bool started = m_lookup.start(hostName, [this](const LookupResult &r) {
        if (r.error == RESOLVE_OK)
            m_dnsResult = r.addresses.value(0, kLimitedBroadcast).toString(); // only the first address counts
        lookupDone(std::uint16_t(r.error));
    });
    if (!started)
        throw Exception(QStringLiteral("%1: can't start DNS lookup, error #%2").arg(hostName).arg(WSATRY_AGAIN));
}

void TPing::lookupDone(std::uint16_t error)
{
    if (OnDnsLookupDone)
        OnDnsLookupDone(this, error);
}

void TPing::CancelDnsLookup()
{
    if (!m_lookup.pending())
        return;
    m_lookup.drop();
    lookupDone(WSAEINTR_CANCELLED);
}

int TPing::Ping() { return m_icmp ? m_icmp->Ping() : 0; }
IcmpEchoReply TPing::Reply() const { return m_icmp ? m_icmp->LastReply() : IcmpEchoReply{}; }
QString TPing::ErrorText() const { return m_icmp ? m_icmp->ErrorText() : QString(); }

int TPing::lookUp(const QString &hostName, LookupDone done)
{
    if (const auto literal = addressWithoutLookup(hostName)) {
        done(RESOLVE_OK, literal->toString());
        return 0;
    }
    const int id = m_resolver.lookup(hostName, [this, alive = m_liveness.guard(), done](int id, const LookupResult &r) {
        // A cancelled lookup may still deliver (from Qt's cache): dropped.
        if (!alive.alive() || !m_lookups.remove(id))
            return;
        if (r.error == RESOLVE_OK)
            done(RESOLVE_OK, r.addresses.value(0, kLimitedBroadcast).toString()); // only the first address counts
        else
            done(std::uint16_t(r.error), QString());
    });
    if (id == 0)
        throw Exception(QStringLiteral("%1: can't start DNS lookup, error #%2").arg(hostName).arg(WSATRY_AGAIN));
    m_lookups.insert(id);
    return id;
}

void TPing::cancelLookup(int id)
{
    if (m_lookups.remove(id))
        m_resolver.abort(id);
}

int TPing::sendEcho(const QString &address, EchoHandlers handlers)
{
    if (m_icmp)
        return m_icmp->send(address, std::move(handlers));
    EchoResult unavailable;
    unavailable.error = IP_GENERAL_FAILURE;
    unavailable.errorText = QString::fromLatin1(kEchoUnavailableReason);
    if (handlers.done)
        handlers.done(unavailable);
    return 0;
}

void TPing::cancelEcho(int ticket)
{
    if (m_icmp && ticket)
        m_icmp->cancel(ticket);
}

void TPing::setSendGap(std::chrono::microseconds gap)
{
    m_sendGap = gap;
    if (m_icmp)
        m_icmp->setSendGap(gap);
}

QString EchoUnavailableText(const TPing &ping, const QString &programPath)
{
    QString text = QStringLiteral("Pinging is not available on this computer: %1.").arg(ping.unavailableDetail());
    // Only a refused permission has a cure the user can apply.
    if (ping.unavailableKind() == EchoFailure::NotPermitted)
        text += QStringLiteral("\n\nTo let every user ping, either give the program the right to open raw sockets:\n"
                               "    sudo setcap cap_net_raw+ep %1\n"
                               "or allow unprivileged ICMP sockets for all groups:\n"
                               "    sudo sysctl -w net.ipv4.ping_group_range=\"0 2147483647\"\n"
                               "and start Lumeo again.")
                    .arg(programPath);
    text += QStringLiteral("\n\nEvery other command works as usual. Meanwhile a sweep marks each ticked row "
                           "\"%1\".")
                .arg(QLatin1String(kEchoUnavailableReason));
    return text;
}
