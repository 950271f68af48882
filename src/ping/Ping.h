#pragma once

#include "base/Liveness.h"
#include "ping/HostResolver.h"
#include "ping/Icmp.h"

#include <QSet>
#include <QString>
#include <chrono>
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
    // All of them at once, as the settings hold them.
    EchoSettings settings() const;
    void setSettings(const EchoSettings &settings);

    // Starts a lookup; a dotted address completes before this returns.
    // Throws when the resolver cannot start the lookup.
    void DnsLookup(const QString &hostName);
    void CancelDnsLookup();
    QString DnsResult() const { return m_dnsResult; }
    bool lookupPending() const { return m_lookup.pending(); }

    int Ping();
    IcmpEchoReply Reply() const;
    QString ErrorText() const;

    // Many hosts at once (the sweep): every lookup and every echo reports to
    // its own handler, never to the events above, and never replaces
    // another. A cancelled one reports nothing.
    using LookupDone = std::function<void(std::uint16_t error, const QString &address)>;
    // Looks a host up. A dotted address completes inside the call (and 0 is
    // returned); a name later, from the event loop, with the first address
    // found in dotted form. Throws when the resolver cannot start it.
    int lookUp(const QString &hostName, LookupDone done);
    void cancelLookup(int id);
    // Sends one echo request with the current settings (see TICMP::send).
    // Without an echo service `done` runs inside the call with the reason.
    int sendEcho(const QString &address, EchoHandlers handlers);
    void cancelEcho(int ticket);
    // The least time between two requests (TICMP::sendGap).
    std::chrono::microseconds sendGap() const { return m_sendGap; }
    void setSendGap(std::chrono::microseconds gap);

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
    EchoSettings m_settings;
    int m_flags = 0;
    QString m_unavailableDetail;
    std::optional<EchoFailure> m_unavailableKind;
    PendingLookup m_lookup;
    QString m_dnsResult;
    HostResolver &m_resolver;
    QSet<int> m_lookups; // the many-at-once lookups pending
    std::chrono::microseconds m_sendGap{0};
    Liveness m_liveness;
};

// The reason a row is not pinged when there is no echo service.
inline const char *const kEchoUnavailableReason = "Echo service not available";

// What the user is told, once, when pinging is unavailable: why, and how to
// enable it for the program at `programPath`.
QString EchoUnavailableText(const TPing &ping, const QString &programPath);
