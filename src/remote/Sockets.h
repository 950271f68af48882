#pragma once

#include "base/Deadline.h"
#include "base/Ipv4.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QtGlobal>

#include <optional>

// IPv4 sockets with every wait bounded by a Deadline. Blocking on purpose:
// they run on a worker thread, never on the window's.

struct Endpoint {
    Ipv4Address address;
    quint16 port = 0;

    friend bool operator==(const Endpoint &, const Endpoint &) = default;
};

class Socket {
public:
    Socket() = default;
    ~Socket();
    Socket(Socket &&other) noexcept;
    Socket &operator=(Socket &&other) noexcept;
    Socket(const Socket &) = delete;
    Socket &operator=(const Socket &) = delete;

    bool valid() const { return m_fd >= 0; }

    // A UDP socket on a port of the system's choice; BROADCAST lets it send
    // to broadcast addresses.
    static Socket udp(bool broadcast);
    // A TCP connection to TO, or an invalid socket when it is not made
    // before the deadline (or is refused).
    static Socket connectTcp(Endpoint to, const Deadline &deadline);

    // UDP: fixes the peer, so that the system picks the local address and
    // port a datagram to TO would leave from (local() then tells them).
    bool connectUdp(Endpoint to);
    std::optional<Endpoint> local() const;

    // Sends one datagram; the number of bytes that went out, -1 on failure.
    qsizetype send(QByteArrayView bytes);
    bool sendTo(Endpoint to, QByteArrayView bytes);
    // One datagram and its sender, or nothing when none came in time.
    std::optional<QByteArray> receiveFrom(Endpoint &from, const Deadline &deadline);

    // TCP: sends all of BYTES before the deadline.
    bool sendAll(QByteArrayView bytes, const Deadline &deadline);
    enum class Read {
        Data,
        Closed,
        TimedOut,
        Failed
    };
    // Appends what has arrived (at most MAX bytes) to BUFFER.
    Read receiveSome(QByteArray &buffer, qsizetype max, const Deadline &deadline);

private:
    explicit Socket(int fd) : m_fd(fd) {}
    // Waits for EVENTS on the socket; false when the deadline passes first.
    bool wait(short events, const Deadline &deadline) const;

    int m_fd = -1;
};
