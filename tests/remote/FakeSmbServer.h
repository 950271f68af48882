#pragma once

// A server on 127.0.0.1 that plays one scripted part per connection, for
// the clock exchange's ways of going wrong. Every wait is bounded, and it
// stops when the test ends.

#include "remote/Sockets.h"

#include <QByteArray>
#include <QList>

#include <arpa/inet.h>
#include <atomic>
#include <mutex>
#include <poll.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

class FakeSmbServer {
public:
    struct Part {
        enum Kind {
            Reply,
            Close,
            Silent
        };
        Part(Kind k, QByteArray r = {}, bool oneByteAtATime = false)
            : kind(k), reply(std::move(r)), byteByByte(oneByteAtATime)
        {
        }
        Kind kind;
        QByteArray reply;
        bool byteByByte;
    };

    explicit FakeSmbServer(QList<Part> parts) : m_parts(std::move(parts))
    {
        sockaddr_in sa{};
        sa.sin_family = AF_INET;
        sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof sa;
        m_listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
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

    Endpoint endpoint() const { return Endpoint{Ipv4Address::fromHostOrder(INADDR_LOOPBACK), m_port}; }
    QList<QByteArray> requests() const
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_requests;
    }

private:
    // Waits up to five seconds for input on FD; false when stopped or late.
    bool readable(int fd) const
    {
        for (int slice = 0; slice < 250 && !m_stop; ++slice) {
            pollfd p{fd, POLLIN, 0};
            if (::poll(&p, 1, 20) > 0)
                return true;
        }
        return false;
    }

    void serve()
    {
        for (const Part &part : m_parts) {
            const int fd = readable(m_listener) ? ::accept4(m_listener, nullptr, nullptr, SOCK_CLOEXEC) : -1;
            if (fd < 0)
                return;
            QByteArray request;
            char buffer[4096];
            ssize_t n;
            while ((request.size() < 4 || request.size() < 4 + ((quint8(request[2]) << 8) | quint8(request[3])))
                   && readable(fd) && (n = ::recv(fd, buffer, sizeof buffer, 0)) > 0)
                request.append(buffer, n);
            {
                std::lock_guard<std::mutex> lock(m_mutex);
                m_requests << request;
            }
            const qsizetype step = part.byteByByte ? 1 : std::max<qsizetype>(part.reply.size(), 1);
            for (qsizetype at = 0; part.kind == Part::Reply && at < part.reply.size(); at += step) {
                ::send(fd, part.reply.constData() + at, size_t(step), MSG_NOSIGNAL);
                std::this_thread::sleep_for(std::chrono::microseconds(part.byteByByte ? 1000 : 0));
            }
            // Holds the connection until the client is done with it.
            while (part.kind != Part::Close && readable(fd) && ::recv(fd, buffer, sizeof buffer, 0) > 0) {
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
