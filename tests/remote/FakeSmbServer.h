#pragma once

// A server on 127.0.0.1 that plays one scripted part per connection, for
// the clock exchange's ways of going wrong. It never waits long: every
// wait is bounded, and it stops when the test ends.

#include "remote/Sockets.h"

#include <QByteArray>
#include <QList>

#include <arpa/inet.h>
#include <atomic>
#include <mutex>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

class FakeSmbServer {
public:
    struct Part {
        enum Kind { Reply, Close, Silent };
        Part(Kind k, QByteArray r = {}, bool oneByteAtATime = false) : kind(k), reply(std::move(r)), byteByByte(oneByteAtATime) {}
        Kind kind;
        QByteArray reply;
        bool byteByByte;
    };

    explicit FakeSmbServer(QList<Part> parts) : m_parts(std::move(parts))
    {
        m_listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in sa{};
        sa.sin_family = AF_INET;
        sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof sa;
        if (::bind(m_listener, reinterpret_cast<sockaddr *>(&sa), len) == 0 && ::listen(m_listener, 4) == 0
            && ::getsockname(m_listener, reinterpret_cast<sockaddr *>(&sa), &len) == 0)
            m_port = ntohs(sa.sin_port);
        m_thread = std::thread([this] { serve(); });
    }
    ~FakeSmbServer()
    {
        m_stop = true;
        m_thread.join();
        ::close(m_listener);
    }

    Endpoint endpoint() const { return Endpoint{INADDR_LOOPBACK, m_port}; }
    QList<QByteArray> requests() const
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_requests;
    }

private:
    // Waits up to five seconds for EVENTS on FD; false when stopped or late.
    bool wait(int fd, short events) const
    {
        for (int slice = 0; slice < 250 && !m_stop; ++slice) {
            pollfd p{fd, events, 0};
            if (::poll(&p, 1, 20) > 0)
                return true;
        }
        return false;
    }

    QByteArray readRequest(int fd) const
    {
        QByteArray in;
        char buffer[4096];
        while (wait(fd, POLLIN)) {
            const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
            if (n <= 0)
                break;
            in.append(buffer, n);
            if (in.size() >= 4 && in.size() >= 4 + ((quint8(in[1]) << 16) | (quint8(in[2]) << 8) | quint8(in[3])))
                break;
        }
        return in;
    }

    void serve()
    {
        for (const Part &part : m_parts) {
            if (!wait(m_listener, POLLIN))
                return;
            const int fd = ::accept4(m_listener, nullptr, nullptr, SOCK_CLOEXEC);
            if (fd < 0)
                return;
            const QByteArray request = readRequest(fd);
            {
                std::lock_guard<std::mutex> lock(m_mutex);
                m_requests << request;
            }
            if (part.kind == Part::Reply) {
                const qsizetype step = part.byteByByte ? 1 : part.reply.size();
                for (qsizetype at = 0; at < part.reply.size(); at += step) {
                    ::send(fd, part.reply.constData() + at, size_t(step), MSG_NOSIGNAL);
                    if (part.byteByByte)
                        std::this_thread::sleep_for(std::chrono::milliseconds(1));
                }
            }
            // Holds the connection until the client is done with it.
            if (part.kind != Part::Close) {
                char c;
                while (wait(fd, POLLIN) && ::recv(fd, &c, 1, 0) > 0) {
                }
            }
            ::close(fd);
        }
    }

    QList<Part> m_parts;
    int m_listener = -1;
    quint16 m_port = 0;
    std::atomic<bool> m_stop{false};
    mutable std::mutex m_mutex;
    QList<QByteArray> m_requests;
    std::thread m_thread;
};
