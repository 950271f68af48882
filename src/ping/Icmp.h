#pragma once

#include "base/Exception.h"
#include "ping/EchoChannel.h"
#include "ping/EchoSettings.h"
#include "ping/IcmpTypes.h"

#include <QTimer>
#include <algorithm>
#include <chrono>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>

class HostResolver;

// The echo service failed to start. The message is the failure's text; the
// detail says in plain words what the system refused.
class TICMPException : public Exception {
public:
    TICMPException(EchoFailure failure, QString detail)
        : Exception(QString::fromLatin1(EchoFailureMessage(failure))), m_failure(failure), m_detail(std::move(detail))
    {
    }
    EchoFailure failure() const { return m_failure; }
    const QString &detail() const { return m_detail; }

private:
    EchoFailure m_failure;
    QString m_detail;
};

// The outcome of one request sent without waiting.
struct EchoResult {
    int replies = 0;                  // 0 or 1
    IcmpEchoReply reply;              // a failure has its status here
    std::uint32_t error = 0;          // what LastError() would hold: 0 after a reply
    QString errorText;                // what ErrorText() would say
    qint64 roundTripMicroseconds = 0; // a reply's round trip to the microsecond
};

// What a request sent without waiting reports.
struct EchoHandlers {
    std::function<void(int size)> sending;        // just before it goes out, with its data size
    std::function<void(const EchoResult &)> done; // its outcome
};

// ICMP echo requests to IPv4 hosts and their outcomes: one at a time with
// Ping(), or many at once with send().
class TICMP {
public:
    // The payload phrase; a request carries its first Size() characters,
    // padded with spaces when Size() is larger.
    static constexpr const char *kPayload = "Echo payload sent by the reachability checker";

    TICMP(EchoChannelFactory &channels, HostResolver &resolver); // throws TICMPException
    ~TICMP();

    QString Address() const { return m_address; }
    void setAddress(const QString &address);
    int Size() const { return m_settings.size; }
    void setSize(int size) { m_settings.size = size; }
    std::uint32_t Timeout() const { return std::uint32_t(m_settings.timeoutMs); }
    // A timeout beyond the range the settings take is the longest they take.
    void setTimeout(std::uint32_t timeout)
    {
        m_settings.timeoutMs = int(std::min<std::uint32_t>(timeout, EchoLimits::kMaxTimeout));
    }
    int TTL() const { return m_settings.ttl; }
    void setTTL(int ttl) { m_settings.ttl = ttl; }
    int Flags() const { return m_flags; }
    void setFlags(int flags) { m_flags = flags; }
    const EchoSettings &settings() const { return m_settings; }
    void setSettings(const EchoSettings &settings) { m_settings = settings; }

    void ResolveAddress();
    // Sends one request to Address() and waits for it on the event loop;
    // returns the number of replies (0 or 1).
    int Ping();

    // Sends one request to `address` (a dotted address, or a name resolved
    // as ResolveAddress does) with the current settings, without waiting.
    // The handlers run when the request leaves and when its outcome is
    // known, which may be inside this call (see EchoChannel::send). An
    // address that cannot be used is refused without a send: `done` then
    // runs inside this call with "Bad Destination", and 0 is returned;
    // otherwise the request's ticket.
    int send(const QString &address, EchoHandlers handlers);
    // Forgets a request: neither of its handlers runs any more.
    void cancel(int ticket);

    // Requests leave one this long after another (0: at once), on average:
    // a request whose turn came late goes at once, so that a timer firing
    // late does not slow the rate down, but no more than three ever leave
    // together. Those sent meanwhile wait for their turn in order.
    std::chrono::microseconds sendGap() const { return m_gap; }
    void setSendGap(std::chrono::microseconds gap) { m_gap = gap; }

    IcmpEchoReply LastReply() const { return m_lastReply; }
    std::uint32_t LastError() const { return m_lastError; }
    QString ErrorText() const { return IcmpErrorText(m_lastError); }
    bool resolved() const { return m_resolved; }
    Ipv4Address targetIP() const { return m_targetIP; }

    // The request data for a size: the phrase, cut or padded with spaces.
    static QByteArray requestData(int size);

    std::function<void(TICMP *, const QString &)> OnDisplay;
    std::function<void(TICMP *)> OnEchoRequest;
    std::function<void(TICMP *, int replies)> OnEchoReply;

private:
    struct Queued {
        int ticket;
        int size; // the setting, as the request's notice names it
        EchoRequest request;
        EchoHandlers handlers;
    };
    std::optional<Ipv4Address> lookUpTarget(const QString &address, std::uint32_t &error);
    EchoRequest request(Ipv4Address target) const;
    int enqueue(EchoRequest request, EchoHandlers handlers);
    void pump();

    std::unique_ptr<EchoChannel> m_channel;
    HostResolver &m_resolver;
    QString m_address;
    EchoSettings m_settings;
    int m_flags = 0;
    IcmpEchoReply m_lastReply;
    std::uint32_t m_lastError = 0;
    Ipv4Address m_targetIP;
    bool m_resolved = false;

    // Requests waiting for their turn, and those awaiting their answer (by
    // our ticket, with the channel's).
    std::deque<Queued> m_queue;
    std::map<int, int> m_awaiting;
    int m_nextTicket = 1;
    std::chrono::microseconds m_gap{0};
    std::chrono::steady_clock::time_point m_lastSend;
    std::chrono::steady_clock::time_point m_nextSend; // when the next request may leave
    // How many gaps a late timer may be made up for at once.
    static constexpr int kCatchUp = 2;
    bool m_sentBefore = false;
    QTimer m_pace;
};
