#pragma once

// A machine on a loopback address that answers each datagram it is sent on
// one UDP port with the datagrams ANSWER makes of it, from a thread of its
// own, until it is destroyed. Ports below 1024 need root: bound() says
// whether the machine is there.

#include "base/Ipv4.h"

#include <QByteArray>
#include <QList>

#include <arpa/inet.h>
#include <atomic>
#include <functional>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

class LoopbackResponder {
public:
    using Answer = std::function<QList<QByteArray>(const QByteArray &request)>;

    LoopbackResponder(Ipv4Address address, quint16 port, Answer answer) : m_answer(std::move(answer))
    {
        m_fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        sockaddr_in sa{};
        sa.sin_family = AF_INET;
        sa.sin_port = htons(port);
        sa.sin_addr.s_addr = address.networkOrder();
        m_bound = ::bind(m_fd, reinterpret_cast<sockaddr *>(&sa), sizeof sa) == 0;
        if (m_bound)
            m_thread = std::thread([this] { serve(); });
    }
    ~LoopbackResponder()
    {
        m_stop = true;
        if (m_thread.joinable())
            m_thread.join();
        ::close(m_fd);
    }
    LoopbackResponder(const LoopbackResponder &) = delete;
    LoopbackResponder &operator=(const LoopbackResponder &) = delete;

    bool bound() const { return m_bound; }

private:
    void serve()
    {
        char buffer[2048];
        while (!m_stop) {
            pollfd p{m_fd, POLLIN, 0};
            if (::poll(&p, 1, 20) <= 0)
                continue;
            sockaddr_in from{};
            socklen_t length = sizeof from;
            const ssize_t n = ::recvfrom(m_fd, buffer, sizeof buffer, 0, reinterpret_cast<sockaddr *>(&from), &length);
            if (n <= 0)
                continue;
            for (const QByteArray &reply : m_answer(QByteArray(buffer, n)))
                ::sendto(m_fd, reply.constData(), size_t(reply.size()), 0, reinterpret_cast<sockaddr *>(&from), length);
        }
    }

    Answer m_answer;
    int m_fd = -1;
    bool m_bound = false;
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};
