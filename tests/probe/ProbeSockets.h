#pragma once

#include <arpa/inet.h>
#include <dirent.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

// Loopback ports for the prober's tests, and a count of what is open.
namespace ProbeSockets {

// Descriptors this process has open now.
// Read without sorting or copying names, as a sampler that runs while
// thousands are open needs it.
inline int openDescriptors()
{
    DIR *dir = ::opendir("/proc/self/fd");
    if (!dir)
        return -1;
    int n = 0;
    while (const dirent *entry = ::readdir(dir))
        n += entry->d_name[0] != '.';
    ::closedir(dir);
    return n - 1; // the directory's own descriptor
}

// A TCP socket on 127.0.0.1, listening with BACKLOG, or bound only (a port
// nobody listens on, so it refuses, and no other test can take it
// meanwhile) when BACKLOG is negative. The port is in port().
class LoopbackPort {
public:
    explicit LoopbackPort(int backlog)
    {
        m_fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in sa{};
        sa.sin_family = AF_INET;
        sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof sa;
        if (::bind(m_fd, reinterpret_cast<sockaddr *>(&sa), sizeof sa) == 0
            && ::getsockname(m_fd, reinterpret_cast<sockaddr *>(&sa), &length) == 0)
            m_port = ntohs(sa.sin_port);
        if (backlog >= 0)
            ::listen(m_fd, backlog);
    }
    ~LoopbackPort()
    {
        if (m_filler >= 0)
            ::close(m_filler);
        ::close(m_fd);
    }
    LoopbackPort(const LoopbackPort &) = delete;
    LoopbackPort &operator=(const LoopbackPort &) = delete;

    quint16 port() const { return m_port; }

    // Makes a port that listens with a backlog of 0 silent: one connection
    // fills its queue (nobody accepts it), and the kernel drops every SYN
    // after it, as a firewall that drops would.
    bool fill()
    {
        m_filler = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in sa{};
        sa.sin_family = AF_INET;
        sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        sa.sin_port = htons(m_port);
        return ::connect(m_filler, reinterpret_cast<sockaddr *>(&sa), sizeof sa) == 0;
    }

private:
    int m_fd = -1;
    int m_filler = -1;
    quint16 m_port = 0;
};

} // namespace ProbeSockets
