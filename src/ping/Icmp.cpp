#include "ping/Icmp.h"

#include "ping/HostResolver.h"

#include <cstring>

TICMP::TICMP(EchoChannelFactory &channels, HostResolver &resolver) : m_resolver(resolver)
{
    try {
        m_channel = channels.open();
    } catch (const EchoChannelError &e) {
        throw TICMPException(e.failure(), e.detail());
    }
    if (!m_channel)
        throw TICMPException(EchoFailure::NoHandle, QStringLiteral("no echo channel"));
}

TICMP::~TICMP() = default;

void TICMP::setAddress(const QString &address)
{
    if (address == m_address)
        return;
    m_address = address;
    m_resolved = false;
}

void TICMP::ResolveAddress()
{
    m_targetIP = InetAddr(m_address);
    if (m_targetIP != INADDR_NONE_VALUE) {
        m_resolved = true;
        return;
    }
    const LookupResult r = m_resolver.resolve(m_address);
    if (r.error != RESOLVE_OK || r.addresses.isEmpty()) {
        m_lastError = std::uint32_t(r.error != RESOLVE_OK ? r.error : WSANO_DATA);
        if (OnDisplay)
            OnDisplay(this, QStringLiteral("Unable to resolve ") + m_address);
        return;
    }
    m_targetIP = r.addresses.first();
    m_resolved = true;
}

QByteArray TICMP::requestData(int size)
{
    const int length = size & 0xFFFF; // the request length is 16 bits wide
    QByteArray data(length, ' ');
    std::memcpy(data.data(), kPayload, std::size_t(std::min<qsizetype>(length, qsizetype(std::strlen(kPayload)))));
    return data;
}

int TICMP::Ping()
{
    m_lastError = 0;
    if (!m_resolved)
        ResolveAddress();
    if (m_targetIP == INADDR_NONE_VALUE) {
        m_lastError = IP_BAD_DESTINATION;
        if (OnDisplay)
            OnDisplay(this, QStringLiteral("Invalid host address"));
        return 0;
    }
    EchoRequest request;
    request.target = m_targetIP;
    request.data = requestData(m_size);
    request.ttl = m_ttl & 0xFF;
    request.flags = m_flags & 0xFF;
    request.timeoutMs = m_timeout;
    if (OnEchoRequest)
        OnEchoRequest(this);
    const EchoOutcome outcome = m_channel->exchange(request);
    m_lastError = outcome.replies > 0 ? IP_SUCCESS : outcome.reply.Status;
    m_lastReply = outcome.reply;
    if (OnEchoReply)
        OnEchoReply(this, outcome.replies);
    return outcome.replies;
}

void TICMP::abort()
{
    m_channel->abort();
}
