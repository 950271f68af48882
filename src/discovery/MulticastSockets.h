#pragma once

#include "base/Deadline.h"
#include "base/FileDescriptor.h"
#include "base/Ipv4.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>

#include <memory>
#include <vector>

// One UDP socket on each local IPv4 interface, from which a question goes
// to a multicast group of the local link and on which the answers come
// back, by unicast to the socket's own port. Only answers from the
// interface's own subnet are taken: the services asked live on the link.
class MulticastSockets {
public:
    struct Datagram {
        int socket = 0; // which interface it came in on
        Ipv4Address from;
        quint16 port = 0;
        QByteArray data;
    };

    // Loopback interfaces are left out, and each address is used once.
    explicit MulticastSockets(const QList<Ipv4Subnet> &interfaces);
    int count() const { return int(m_sockets.size()); }
    const Ipv4Subnet &interfaceOf(int socket) const { return m_interfaces[socket]; }

    // Sends DATA from socket SOCKET, or from every socket where it is -1, to
    // TO:PORT; says how many sends went out.
    int send(int socket, Ipv4Address to, quint16 port, QByteArrayView data);
    // The datagrams that arrive before DEADLINE's next slice (at most
    // SLICEMS) ends, at most MAX of them.
    QList<Datagram> receive(const Deadline &deadline, int sliceMs, int max = 64);

private:
    QList<Ipv4Subnet> m_interfaces;
    std::vector<std::unique_ptr<FileDescriptor>> m_sockets;
};
