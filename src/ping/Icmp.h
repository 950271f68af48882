#pragma once

#include "base/Exception.h"
#include "ping/EchoChannel.h"
#include "ping/IcmpTypes.h"

#include <functional>
#include <memory>

class HostResolver;

// The echo service failed to start. The message is the failure's text; the
// detail says in plain words what the system refused.
class TICMPException : public Exception {
public:
    TICMPException(EchoFailure failure, QString detail)
        : Exception(QString::fromLatin1(EchoFailureMessage(failure))), m_failure(failure), m_detail(std::move(detail)) {}
    EchoFailure failure() const { return m_failure; }
    const QString &detail() const { return m_detail; }

private:
    EchoFailure m_failure;
    QString m_detail;
};

// One ICMP echo request to one IPv4 host at a time, and its outcome.
class TICMP {
public:
    // The payload phrase; a request carries its first Size() characters,
    // padded with spaces when Size() is larger.
    static constexpr const char *kPayload = "Echo payload sent by the reachability checker";

    TICMP(EchoChannelFactory &channels, HostResolver &resolver); // throws TICMPException
    ~TICMP();

    QString Address() const { return m_address; }
    void setAddress(const QString &address);
    int Size() const { return m_size; }
    void setSize(int size) { m_size = size; }
    std::uint32_t Timeout() const { return m_timeout; }
    void setTimeout(std::uint32_t timeout) { m_timeout = timeout; }
    int TTL() const { return m_ttl; }
    void setTTL(int ttl) { m_ttl = ttl; }
    int Flags() const { return m_flags; }
    void setFlags(int flags) { m_flags = flags; }

    void ResolveAddress();
    // Sends one request and returns the number of replies (0 or 1).
    int Ping();
    // Ends a pending request at once (the program is closing).
    void abort();

    IcmpEchoReply LastReply() const { return m_lastReply; }
    std::uint32_t LastError() const { return m_lastError; }
    QString ErrorText() const { return IcmpErrorText(m_lastError); }
    bool resolved() const { return m_resolved; }
    std::uint32_t targetIP() const { return m_targetIP; }

    // The request data for a size: the phrase, cut or padded with spaces.
    static QByteArray requestData(int size);

    std::function<void(TICMP *, const QString &)> OnDisplay;
    std::function<void(TICMP *)> OnEchoRequest;
    std::function<void(TICMP *, int replies)> OnEchoReply;

private:
    std::unique_ptr<EchoChannel> m_channel;
    HostResolver &m_resolver;
    QString m_address;
    int m_size = 56;
    std::uint32_t m_timeout = 4000;
    int m_ttl = 64;
    int m_flags = 0;
    IcmpEchoReply m_lastReply;
    std::uint32_t m_lastError = 0;
    std::uint32_t m_targetIP = 0;
    bool m_resolved = false;
};
