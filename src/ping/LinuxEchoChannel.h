#pragma once

#include "base/Liveness.h"
#include "ping/EchoChannel.h"
#include "ping/IcmpPacket.h"

#include <QObject>
#include <QTimer>
#include <chrono>
#include <ctime>
#include <map>
#include <vector>

class QSocketNotifier;

// ICMP echo over a Linux socket: an unprivileged ICMP datagram socket when
// net.ipv4.ping_group_range allows it, otherwise a raw socket (CAP_NET_RAW).
// Every request in flight has a sequence number of its own on the one
// socket; a reply or error report is judged against the request its
// sequence names, so out-of-order answers each find their request.
class LinuxEchoChannel : public EchoChannel {
public:
    using Kind = IcmpSocketKind;
    enum class Preference {
        Any,
        DatagramOnly,
        RawOnly
    };

    // Throws EchoChannelError when no socket can be had.
    static std::unique_ptr<LinuxEchoChannel> open(Preference preference = Preference::Any);
    ~LinuxEchoChannel() override;

    int send(const EchoRequest &request, Done done) override;
    void cancel(int ticket) override;
    void abort() override;
    void wait(std::chrono::milliseconds max) override;
    Kind kind() const { return m_kind; }
    int inFlight() const { return int(m_inFlight.size()); }

    // The status code of a failed send or a local error report.
    static std::uint32_t statusOfErrno(int error);

private:
    struct Request {
        int ticket = 0;
        std::uint32_t target = 0; // network byte order, as the reply record and the packets keep it
        timespec sentAt{};        // the system clock, as the kernel stamps received packets
        std::chrono::steady_clock::time_point deadline;
        EchoOutcome outcome;
        Done done;
    };
    using Finished = std::vector<std::pair<Done, EchoOutcome>>;

    LinuxEchoChannel(int fd, Kind kind);
    void configure(const EchoRequest &request);
    void drain();
    std::uint16_t freeSequence();
    void readable();
    void readErrorQueue(Finished &finished);
    void readReplies(Finished &finished);
    void expire();
    void finish(std::map<std::uint16_t, Request>::iterator it, Finished &finished);
    // Arms the socket and the deadline timer for what is in flight, then
    // reports the finished requests.
    void settle(Finished &finished);
    EchoIdentity identity(std::uint16_t sequence, const Request &request) const;

    int m_fd = -1;
    Kind m_kind;
    std::uint16_t m_id = 0;
    std::uint16_t m_seq = 0;
    int m_nextTicket = 1;
    int m_ttlSet = -2;
    int m_pmtuSet = -1;

    std::map<std::uint16_t, Request> m_inFlight; // by sequence number
    QObject m_context;                           // the notifier's and the timer's callbacks die with it
    QSocketNotifier *m_notifier = nullptr;
    QTimer m_deadlines; // the earliest deadline in flight
    Liveness m_liveness;
};

class LinuxEchoChannelFactory : public EchoChannelFactory {
public:
    explicit LinuxEchoChannelFactory(LinuxEchoChannel::Preference preference = LinuxEchoChannel::Preference::Any)
        : m_preference(preference)
    {
    }
    std::unique_ptr<EchoChannel> open() override { return LinuxEchoChannel::open(m_preference); }

private:
    LinuxEchoChannel::Preference m_preference;
};
