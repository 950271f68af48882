#pragma once

#include "ping/HostResolver.h"
#include "ping/Icmp.h"

#include <QString>
#include <functional>
#include <memory>
#include <optional>

// The ping component: one echo service and a name lookup that does not
// block the window. Its events fire only when bound.
class TPing {
public:
    // Never throws: when the echo service cannot start, the component still
    // resolves names, Ping() returns 0 and unavailable() says why.
    TPing(EchoChannelFactory &channels, HostResolver &resolver);
    ~TPing();
    TPing(const TPing &) = delete;
    TPing &operator=(const TPing &) = delete;

    // Settings of the echo service; without one they are still kept (the
    // address is then empty).
    QString Address() const;
    void setAddress(const QString &address);
    int Size() const;
    void setSize(int size);
    std::uint32_t Timeout() const;
    void setTimeout(std::uint32_t timeout);
    int TTL() const;
    void setTTL(int ttl);
    int Flags() const;
    void setFlags(int flags);

    // Starts a lookup; a dotted address completes before this returns.
    // Throws when the resolver cannot start the lookup.
    void DnsLookup(const QString &hostName);
    void CancelDnsLookup();
    QString DnsResult() const { return m_dnsResult; }
    bool lookupPending() const { return m_lookup.pending(); }

    int Ping();
    void abortPing();
    IcmpEchoReply Reply() const;
    QString ErrorText() const;

    // Why pinging is unavailable (empty when it is available).
    bool available() const { return m_icmp != nullptr; }
    QString unavailableMessage() const
    {
        return m_unavailableKind ? QString::fromLatin1(EchoFailureMessage(*m_unavailableKind)) : QString();
    }
    QString unavailableDetail() const { return m_unavailableDetail; }
    std::optional<EchoFailure> unavailableKind() const { return m_unavailableKind; }

    std::function<void(TPing *, std::uint16_t error)> OnDnsLookupDone;
    std::function<void(TPing *, TICMP *)> OnEchoRequest;
    std::function<void(TPing *, TICMP *, int replies)> OnEchoReply;
    std::function<void(TPing *, TICMP *, const QString &)> OnDisplay;

private:
    void lookupDone(std::uint16_t error);

    std::unique_ptr<TICMP> m_icmp;
    // The echo settings, kept here too for when there is no echo service.
    struct {
        int size = 56;
        std::uint32_t timeout = 4000;
        int ttl = 64;
        int flags = 0;
    } m_settings;
    QString m_unavailableDetail;
    std::optional<EchoFailure> m_unavailableKind;
    PendingLookup m_lookup;
    QString m_dnsResult;
};

// What the user is told, once, when pinging is unavailable: why, and how to
// enable it for the program at `programPath`.
QString EchoUnavailableText(const TPing &ping, const QString &programPath);
