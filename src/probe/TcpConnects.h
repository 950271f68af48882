#pragma once

#include "base/FileDescriptor.h"
#include "probe/ProbeParts.h"

#include <QObject>

#include <unordered_map>
#include <vector>

class QSocketNotifier;

// TCP connects on Linux, thousands at a time: every socket waits in one
// epoll set, and the event loop watches only that set's descriptor, so a
// wake-up costs what is ready, not what is open.
//
// A socket is closed with a reset (SO_LINGER 0): a probe only wants to
// know that the host answered, and a sweep opens tens of thousands of
// connections, each of which an orderly close would keep in FIN_WAIT and
// TIME_WAIT for a minute, holding kernel memory and a local port. The host
// sees a client that went away, which costs a service nothing. An attempt
// still connecting sends nothing when closed.
class TcpConnects : public ConnectAttempts {
public:
    TcpConnects();
    ~TcpConnects() override;
    TcpConnects(const TcpConnects &) = delete;
    TcpConnects &operator=(const TcpConnects &) = delete;

    void setEnded(Ended ended) override { m_ended = std::move(ended); }
    bool start(quint64 attempt, Ipv4Address target, quint16 port) override;
    void close(quint64 attempt) override;

    // Sockets open now.
    int open() const { return int(m_sockets.size()); }

private:
    void readable();
    // Reports the attempts whose connect ended inside start().
    void reportEarly();
    int openSocket();

    FileDescriptor m_epoll;
    std::unordered_map<quint64, int> m_sockets; // attempt -> its socket, -1 once closed and waiting for its report
    std::vector<std::pair<quint64, ConnectEnd>> m_early;
    bool m_limitRaised = false;
    Ended m_ended;
    QObject m_context; // the notifier's and the posted reports' callbacks die with it
    QSocketNotifier *m_notifier = nullptr;
};
