#include "probe/NetlinkNeighbours.h"

#include "probe/NeighbourMessages.h"

#include <QSocketNotifier>
#include <QTimer>

#include <cerrno>
#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <sys/socket.h>

namespace {

// The kernel's table holds at most gc_thresh3 entries (1024 unless raised);
// a copy never grows past this, whatever the socket says.
constexpr qsizetype kMostAddresses = 65536;
constexpr int kReadsPerWakeUp = 64;
// A dump comes in pieces of up to a page or so each; a change notice is
// much smaller.
constexpr int kReadSize = 65536;
// Room for announcements while the event loop is busy elsewhere; the
// kernel may grant less, and an overflow makes a dump again.
constexpr int kReceiveBuffer = 1 << 20;

} // namespace

NetlinkNeighbours::NetlinkNeighbours() = default;

NetlinkNeighbours::~NetlinkNeighbours() { delete m_notifier; }

bool NetlinkNeighbours::open()
{
    if (m_opened)
        return m_socket.valid();
    m_opened = true;
    m_socket.reset(::socket(AF_NETLINK, SOCK_RAW | SOCK_NONBLOCK | SOCK_CLOEXEC, NETLINK_ROUTE));
    if (!m_socket.valid())
        return false;
    sockaddr_nl local{};
    local.nl_family = AF_NETLINK;
    local.nl_groups = RTMGRP_NEIGH;
    const int size = kReceiveBuffer;
    ::setsockopt(m_socket.get(), SOL_SOCKET, SO_RCVBUF, &size, sizeof size);
    if (::bind(m_socket.get(), reinterpret_cast<const sockaddr *>(&local), sizeof local) != 0) {
        m_socket.reset();
        return false;
    }
    m_notifier = new QSocketNotifier(qintptr(m_socket.get()), QSocketNotifier::Read, &m_context);
    QObject::connect(m_notifier, &QSocketNotifier::activated, &m_context, [this] { readable(); });
    requestDump();
    return true;
}

void NetlinkNeighbours::requestDump()
{
    // One dump at a time on a socket: another one waits for its end.
    if (m_dumping) {
        m_dumpAgain = true;
        return;
    }
    sockaddr_nl kernel{};
    kernel.nl_family = AF_NETLINK;
    const QByteArray request = neighbourDumpRequest(++m_sequence);
    if (::sendto(m_socket.get(), request.constData(), size_t(request.size()), 0,
                 reinterpret_cast<const sockaddr *>(&kernel), sizeof kernel)
        != request.size())
        return;
    // What the dump does not bring again is gone from the table, or was
    // never seen when announcements were lost.
    m_table.clear();
    m_dumping = true;
}

void NetlinkNeighbours::watch(Ipv4Address address)
{
    if (!open())
        return;
    ++m_watched[address];
    // What the copy holds now, for every new watcher (an earlier one may be
    // waiting on an entry that proves nothing); while a dump runs, its later
    // messages bring the rest.
    if (m_toReport.isEmpty())
        QTimer::singleShot(0, &m_context, [this] { reportCached(); });
    m_toReport.append(address);
}

void NetlinkNeighbours::unwatch(Ipv4Address address)
{
    const auto it = m_watched.find(address);
    if (it != m_watched.end() && --*it <= 0)
        m_watched.erase(it);
}

void NetlinkNeighbours::reportCached()
{
    const QList<Ipv4Address> addresses = std::exchange(m_toReport, {});
    for (const Ipv4Address address : addresses) {
        if (!m_watched.contains(address))
            continue;
        const QList<NeighbourEntry> entries = m_table.value(address);
        for (const NeighbourEntry &entry : entries)
            if (m_seen)
                m_seen(entry);
    }
}

void NetlinkNeighbours::apply(const NeighbourEntry &entry)
{
    auto it = m_table.find(entry.address);
    if (entry.removed) {
        if (it != m_table.end()) {
            it->removeIf([&](const NeighbourEntry &e) { return e.interfaceIndex == entry.interfaceIndex; });
            if (it->isEmpty())
                m_table.erase(it);
        }
    } else {
        if (it == m_table.end()) {
            if (m_table.size() >= kMostAddresses)
                return;
            it = m_table.insert(entry.address, {});
        }
        auto same = std::find_if(it->begin(), it->end(),
                                 [&](const NeighbourEntry &e) { return e.interfaceIndex == entry.interfaceIndex; });
        if (same != it->end())
            *same = entry;
        else if (it->size() < 16)
            it->append(entry);
    }
    if (m_seen && m_watched.contains(entry.address))
        m_seen(entry);
}

void NetlinkNeighbours::readable()
{
    QByteArray buffer(kReadSize, Qt::Uninitialized);
    for (int round = 0; round < kReadsPerWakeUp; ++round) {
        const ssize_t n = ::recv(m_socket.get(), buffer.data(), size_t(buffer.size()), MSG_DONTWAIT);
        if (n < 0) {
            if (errno == ENOBUFS) {
                // Announcements were lost: the copy may be wrong from here on.
                requestDump();
                continue;
            }
            return; // nothing more to read for now
        }
        const NeighbourMessages messages = parseNeighbourMessages(QByteArrayView(buffer.constData(), n));
        for (const NeighbourEntry &entry : messages.entries)
            apply(entry);
        if (messages.dumpInterrupted)
            m_dumpAgain = true;
        if (messages.dumpDone || (m_dumping && messages.error != 0)) {
            m_dumping = false;
            if (std::exchange(m_dumpAgain, false))
                requestDump();
        }
    }
}
