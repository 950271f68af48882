#pragma once

#include "base/FileDescriptor.h"
#include "probe/ProbeParts.h"

#include <QHash>
#include <QList>
#include <QObject>

class QSocketNotifier;

// The kernel's IPv4 neighbour table over rtnetlink, on one socket for all
// probes: opened at the first watch, it dumps the table once into a copy of
// its own and from then on hears every change the kernel announces, so
// that a probe costs a look-up in that copy instead of a request. Entries
// change as the kernel learns (an ARP answer to the echo or to the probe's
// own handshake turns an entry being resolved into a reachable one), and
// the kernel announces each change that matters here, so a watched
// address needs no polling. When the socket's buffer overflows and
// announcements are lost, the table is dumped again.
class NetlinkNeighbours : public NeighbourSource {
public:
    NetlinkNeighbours();
    ~NetlinkNeighbours() override;
    NetlinkNeighbours(const NetlinkNeighbours &) = delete;
    NetlinkNeighbours &operator=(const NetlinkNeighbours &) = delete;

    void setSeen(Seen seen) override { m_seen = std::move(seen); }
    void watch(Ipv4Address address) override;
    void unwatch(Ipv4Address address) override;

private:
    bool open();
    void requestDump();
    void readable();
    void apply(const NeighbourEntry &entry);
    void reportCached();

    FileDescriptor m_socket;
    bool m_opened = false;
    bool m_dumping = false;
    bool m_dumpAgain = false;
    quint32 m_sequence = 0;
    QHash<Ipv4Address, QList<NeighbourEntry>> m_table; // one entry per interface
    QHash<Ipv4Address, int> m_watched;                 // how many watch each address
    QList<Ipv4Address> m_toReport;                     // newly watched, reported from the event loop
    Seen m_seen;
    QObject m_context;
    QSocketNotifier *m_notifier = nullptr;
};
