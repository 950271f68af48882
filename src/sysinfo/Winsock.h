#pragma once

#include <QString>
#include <cstdint>

class NetworkProbe;

// The socket layer the program works on: on Linux the kernel's sockets
// and the C library in front of them.
class TWinsock {
public:
    // Fills the description ("Linux 6.1 sockets, glibc 2.36"), the kernel's
    // major and minor number and the status: "Running" when an IPv4 socket
    // opens. When none opens only the status is set, to the reason.
    void GetInfo(const NetworkProbe &probe);

    const QString &Description() const { return m_description; }
    const QString &Status() const { return m_status; }
    std::uint16_t MajorVersion() const { return m_majorVersion; }
    std::uint16_t MinorVersion() const { return m_minorVersion; }

private:
    QString m_description;
    QString m_status;
    std::uint16_t m_majorVersion = 0;
    std::uint16_t m_minorVersion = 0;
};
