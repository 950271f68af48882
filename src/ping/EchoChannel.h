#pragma once

#include "base/Ipv4.h"
#include "ping/EchoSettings.h"
#include "ping/IcmpTypes.h"

#include <QByteArray>
#include <QString>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>

// One echo request as it goes on the wire.
struct EchoRequest {
    Ipv4Address target;
    QByteArray data;
    int ttl = EchoSettings{}.ttl; // 1..255; 0 means the system's default
    int flags = 0;                // IP_FLAG_DF asks for no fragmentation
    std::uint32_t timeoutMs = EchoSettings{}.timeoutMs;
};

// What came back: a count of replies (0 or 1) and the reply record. A
// failure has no reply and its status in the record.
struct EchoOutcome {
    int replies = 0;
    IcmpEchoReply reply;
    // The round trip of a reply to the microsecond; the record's
    // RoundTripTime holds it in whole milliseconds.
    qint64 roundTripMicroseconds = 0;
};

// An open ICMP echo endpoint: the platform side of the echo service. Any
// number of requests may be in flight on it at once, each with its own
// deadline; every reply and error report goes to the request it answers.
class EchoChannel {
public:
    using Done = std::function<void(const EchoOutcome &)>;

    virtual ~EchoChannel() = default;
    // Sends one request without waiting. Its outcome (a reply, an error
    // report or the timeout) reaches `done` once it is known: inside this
    // call when the send failed or the answer came back while sending (on a
    // fast network it may), otherwise later from the event loop. Answers to
    // other requests may be reported inside the call too. Returns the
    // request's ticket (> 0).
    virtual int send(const EchoRequest &request, Done done) = 0;
    // Forgets a request in flight: its outcome is never reported.
    virtual void cancel(int ticket) = 0;
    // Ends every request in flight at once; each reports a timeout.
    virtual void abort() = 0;

    // Blocks the calling thread, without running its event loop, until a
    // request in flight has its outcome or MAX has passed; the outcomes
    // known by then are reported as usual. For the one blocking echo
    // (TICMP::Ping); everything else waits on the event loop.
    virtual void wait(std::chrono::milliseconds max) = 0;
};

// Why the echo service could not start.
enum class EchoFailure {
    SocketsUnavailable, // the system has no IPv4 sockets at all
    NoHandle,           // no socket could be had, for a reason other than permission
    NotPermitted,       // neither kind of ICMP socket is allowed to this user
    SetupFailed,        // a socket was opened but could not be set up
};

// The message a failure is reported with, as the echo service always worded it.
constexpr const char *EchoFailureMessage(EchoFailure failure)
{
    switch (failure) {
    case EchoFailure::SocketsUnavailable:
        return "Error initialising Winsock";
    case EchoFailure::NoHandle:
        return "Unable to get ping handle";
    case EchoFailure::NotPermitted:
        return "Unable to register icmp.dll";
    case EchoFailure::SetupFailed:
        return "Error loading dll functions";
    }
    return "Unable to get ping handle";
}

// Why no channel could be opened; `what()` is the failure's message,
// `detail()` says what the system said.
class EchoChannelError : public std::runtime_error {
public:
    EchoChannelError(EchoFailure failure, QString detail)
        : std::runtime_error(EchoFailureMessage(failure)), m_failure(failure), m_detail(std::move(detail))
    {
    }
    EchoFailure failure() const { return m_failure; }
    const QString &detail() const { return m_detail; }

private:
    EchoFailure m_failure;
    QString m_detail;
};

// Opens the echo channels TICMP uses; tests put a fake in its place.
class EchoChannelFactory {
public:
    virtual ~EchoChannelFactory() = default;
    virtual std::unique_ptr<EchoChannel> open() = 0; // throws EchoChannelError
};
