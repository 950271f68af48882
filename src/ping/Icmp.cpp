#include "ping/Icmp.h"

#include "ping/HostResolver.h"

#include <cstring>
#include <thread>

TICMP::TICMP(EchoChannelFactory &channels, HostResolver &resolver) : m_resolver(resolver)
{
    try {
        m_channel = channels.open();
    } catch (const EchoChannelError &e) {
        throw TICMPException(e.failure(), e.detail());
    }
    if (!m_channel)
        throw TICMPException(EchoFailure::NoHandle, QStringLiteral("no echo channel"));
    m_pace.setSingleShot(true);
    m_pace.setTimerType(Qt::PreciseTimer);
    QObject::connect(&m_pace, &QTimer::timeout, &m_pace, [this] { pump(); });
}

// Requests still waiting or in flight are dropped without a report.
TICMP::~TICMP() = default;

void TICMP::setAddress(const QString &address)
{
    if (address == m_address)
        return;
    m_address = address;
    m_resolved = false;
}

std::optional<Ipv4Address> TICMP::lookUpTarget(const QString &address, std::uint32_t &error)
{
    if (const auto literal = addressWithoutLookup(address))
        return literal;
    const LookupResult r = m_resolver.resolve(address);
    if (r.error != RESOLVE_OK || r.addresses.isEmpty()) {
        error = std::uint32_t(r.error != RESOLVE_OK ? r.error : WSANO_DATA);
        if (OnDisplay)
            OnDisplay(this, QStringLiteral("Unable to resolve ") + address);
        return std::nullopt;
    }
    return r.addresses.first(); // may be 255.255.255.255: refused when sent
}

void TICMP::ResolveAddress()
{
    const std::optional<Ipv4Address> target = lookUpTarget(m_address, m_lastError);
    m_targetIP = target.value_or(kLimitedBroadcast);
    m_resolved = target.has_value();
}

QByteArray TICMP::requestData(int size)
{
    const int length = size & 0xFFFF; // the request length is 16 bits wide
    QByteArray data(length, ' ');
    std::memcpy(data.data(), kPayload, std::size_t(std::min<qsizetype>(length, qsizetype(std::strlen(kPayload)))));
    return data;
}

EchoRequest TICMP::request(Ipv4Address target) const
{
    EchoRequest r;
    r.target = target;
    r.data = requestData(m_settings.size);
    r.ttl = m_settings.ttl & 0xFF;
    r.flags = m_flags & 0xFF;
    r.timeoutMs = std::uint32_t(m_settings.timeoutMs);
    return r;
}

int TICMP::Ping()
{
    m_lastError = 0;
    if (!m_resolved)
        ResolveAddress();
    if (m_targetIP == kLimitedBroadcast) {
        m_lastError = IP_BAD_DESTINATION;
        if (OnDisplay)
            OnDisplay(this, QStringLiteral("Invalid host address"));
        return 0;
    }
    // The one blocking echo: the thread waits, without an event loop, for
    // the request's turn after the send gap and then for its outcome.
    if (m_sentBefore && m_gap.count() > 0)
        std::this_thread::sleep_until(m_lastSend + m_gap);
    std::optional<EchoResult> result;
    const int ticket = enqueue(request(m_targetIP), EchoHandlers{[this](int) {
                                                                     if (OnEchoRequest)
                                                                         OnEchoRequest(this);
                                                                 },
                                                                 [&result](const EchoResult &r) { result = r; }});
    // The channel ends the request at its timeout; the margin only guards
    // against a channel that never does.
    const auto giveUp =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(m_settings.timeoutMs) + std::chrono::seconds(1);
    while (!result && std::chrono::steady_clock::now() < giveUp) {
        if (!m_queue.empty())
            pump(); // another request waited for its turn before ours
        m_channel->wait(std::chrono::milliseconds(10));
    }
    if (!result) {
        cancel(ticket);
        result = EchoResult{};
        result->error = result->reply.Status = IP_REQ_TIMED_OUT;
    }
    m_lastError = result->error;
    m_lastReply = result->reply;
    if (OnEchoReply)
        OnEchoReply(this, result->replies);
    return result->replies;
}

int TICMP::send(const QString &address, EchoHandlers handlers)
{
    std::uint32_t error = 0;
    const std::optional<Ipv4Address> target = lookUpTarget(address, error);
    if (!target || *target == kLimitedBroadcast) {
        if (OnDisplay)
            OnDisplay(this, QStringLiteral("Invalid host address"));
        EchoResult refused;
        refused.error = IP_BAD_DESTINATION;
        refused.errorText = IcmpErrorText(refused.error);
        if (handlers.done)
            handlers.done(refused);
        return 0;
    }
    return enqueue(request(*target), std::move(handlers));
}

int TICMP::enqueue(EchoRequest request, EchoHandlers handlers)
{
    const int ticket = m_nextTicket++;
    if (m_nextTicket <= 0)
        m_nextTicket = 1;
    m_queue.push_back(Queued{ticket, m_settings.size, std::move(request), std::move(handlers)});
    pump();
    return ticket;
}

void TICMP::cancel(int ticket)
{
    for (auto it = m_queue.begin(); it != m_queue.end(); ++it) {
        if (it->ticket == ticket) {
            m_queue.erase(it);
            return;
        }
    }
    if (const auto it = m_awaiting.find(ticket); it != m_awaiting.end()) {
        m_channel->cancel(it->second);
        m_awaiting.erase(it);
    }
}

void TICMP::pump()
{
    while (!m_queue.empty()) {
        const auto now = std::chrono::steady_clock::now();
        if (m_sentBefore && now < m_nextSend) {
            if (!m_pace.isActive())
                m_pace.start(std::chrono::ceil<std::chrono::milliseconds>(m_nextSend - now));
            return;
        }
        Queued q = std::move(m_queue.front());
        m_queue.pop_front();
        // Requests keep to their schedule, one gap after another: a timer
        // that fires late is made up for by the next request leaving at
        // once, so that the rate is one per gap on average. After a long
        // stall no more than kCatchUp + 1 requests leave back to back.
        m_nextSend =
            m_sentBefore && m_gap.count() > 0 ? std::max(m_nextSend, now - kCatchUp * m_gap) + m_gap : now + m_gap;
        m_lastSend = now;
        m_sentBefore = true;
        if (q.handlers.sending)
            q.handlers.sending(q.size);
        const int ticket = q.ticket;
        // Awaited from now on; an answer inside send() ends that at once.
        m_awaiting.emplace(ticket, 0);
        const int channelTicket =
            m_channel->send(q.request, [this, ticket, done = std::move(q.handlers.done)](const EchoOutcome &o) {
                m_awaiting.erase(ticket);
                EchoResult r;
                r.replies = o.replies;
                r.reply = o.reply;
                r.roundTripMicroseconds = o.roundTripMicroseconds;
                r.error = o.replies > 0 ? std::uint32_t(IP_SUCCESS) : o.reply.Status;
                r.errorText = IcmpErrorText(r.error);
                if (done)
                    done(r);
            });
        if (const auto it = m_awaiting.find(ticket); it != m_awaiting.end())
            it->second = channelTicket;
    }
}
