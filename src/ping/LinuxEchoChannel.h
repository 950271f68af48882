#pragma once

#include "ping/EchoChannel.h"
#include "ping/IcmpPacket.h"

#include <chrono>

class QEventLoop;

// ICMP echo over a Linux socket: an unprivileged ICMP datagram socket when
// net.ipv4.ping_group_range allows it, otherwise a raw socket (CAP_NET_RAW).
class LinuxEchoChannel : public EchoChannel {
public:
    using Kind = IcmpSocketKind;
    enum class Preference { Any, DatagramOnly, RawOnly };

    // Throws EchoChannelError when no socket can be had.
    static std::unique_ptr<LinuxEchoChannel> open(Preference preference = Preference::Any);
    ~LinuxEchoChannel() override;

    EchoOutcome exchange(const EchoRequest &request) override;
    void abort() override;
    Kind kind() const { return m_kind; }

    // The status code of a failed send or a local error report.
    static std::uint32_t statusOfErrno(int error);

private:
    LinuxEchoChannel(int fd, Kind kind);
    void configure(const EchoRequest &request);
    void drain();
    void readErrorQueue();
    void readReplies();
    void finishWithReply(std::uint32_t from, std::size_t dataSize, int ttl, int tos, int flags);
    void finishWithError(std::uint32_t from, std::uint32_t status);
    // The request in progress, as its replies and error reports must match it.
    EchoIdentity identity() const;

    int m_fd = -1;
    Kind m_kind;
    std::uint16_t m_id = 0;
    std::uint16_t m_seq = 0;
    int m_ttlSet = -2;
    int m_pmtuSet = -1;

    // The exchange in progress.
    bool m_busy = false;
    bool m_done = false;
    std::uint32_t m_target = 0;
    std::chrono::steady_clock::time_point m_sentAt;
    EchoOutcome m_outcome;
    QEventLoop *m_loop = nullptr;
};

class LinuxEchoChannelFactory : public EchoChannelFactory {
public:
    explicit LinuxEchoChannelFactory(LinuxEchoChannel::Preference preference = LinuxEchoChannel::Preference::Any)
        : m_preference(preference) {}
    std::unique_ptr<EchoChannel> open() override { return LinuxEchoChannel::open(m_preference); }

private:
    LinuxEchoChannel::Preference m_preference;
};
