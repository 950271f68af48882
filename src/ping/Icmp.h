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
    // The payload phrase; a request carries its first Size characters,
    // padded with spaces when Size is larger.
    static constexpr const char *kPayload = "Echo payload sent by the reachability checker";

    TICMP(EchoChannelFactory &channels, HostResolver &resolver); // throws TICMPException
    ~TICMP();

    QString Address() const { return m_address; }
    void setAddress(const QString &address);
    int Size = 56;
    std::uint32_t Timeout = 4000;
    int TTL = 64;
    int Flags = 0;

    void ResolveAddress();
    // Sends one request and returns the number of replies (0 or 1).
    int Ping();
    // Ends a pending request at once (the program is closing).
    void abort();

    IcmpEchoReply LastReply;
    std::uint32_t LastError = 0;
    QString ErrorText() const { return IcmpErrorText(LastError); }
    bool resolved() const { return m_resolved; }
    std::uint32_t targetIP() const { return m_targetIP; }

    // The request data for a size: the phrase, cut or padded with spaces.
    static QByteArray requestData(int size);

    std::function<void(TICMP *, const QString &)> OnDisplay;
    std::function<void(TICMP *)> OnEchoRequest;
    std::function<void(TICMP *, int)> OnEchoReply;

private:
    std::unique_ptr<EchoChannel> m_channel;
    HostResolver &m_resolver;
    QString m_address;
    std::uint32_t m_targetIP = 0;
    bool m_resolved = false;
};
