#pragma once

#include <QByteArray>
#include <QtGlobal>

// What proved a host up whose echo got no answer: found by the probes,
// kept in a row's record.
struct ProbeProof {
    enum class Kind {
        TcpConnected, // a port took the connection
        TcpRefused,   // a port refused it (RST): the host is there
        Neighbour,    // the host answered ARP on a directly connected subnet
    };
    Kind kind = Kind::TcpConnected;
    quint16 port = 0;        // the TCP port that answered first
    QByteArray mac;          // the neighbour's link-layer address, six bytes
    qint64 microseconds = 0; // from the probe's start to the answer

    friend bool operator==(const ProbeProof &, const ProbeProof &) = default;
};
