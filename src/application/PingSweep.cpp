#include "application/PingSweep.h"

#include "ping/Ping.h"
#include "resources/CellText.h"
#include "resources/ResourceList.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>

PingSweep::PingSweep(ResourceList &list, TPing &ping, SweepView &view) : m_list(list), m_ping(ping), m_view(view)
{
    m_ping.OnDnsLookupDone = [this](TPing *s, std::uint16_t e) { guarded([&] { PingDnsLookupDone(s, e); }); };
    m_ping.OnEchoRequest = [this](TPing *s, TICMP *i) { guarded([&] { PingEchoRequest(s, i); }); };
    m_ping.OnEchoReply = [this](TPing *s, TICMP *i, int replies) { guarded([&] { PingEchoReply(s, i, replies); }); };
}

PingSweep::~PingSweep()
{
    m_ping.OnDnsLookupDone = nullptr;
    m_ping.OnEchoRequest = nullptr;
    m_ping.OnEchoReply = nullptr;
}

// Handlers run from the event loop, which no exception may cross: a failure
// ends the row and is raised again by the sweep once its wait returns.
template <typename Fn>
void PingSweep::guarded(Fn &&fn)
{
    try {
        fn();
    } catch (...) {
        if (!m_failure)
            m_failure = std::current_exception();
        endRow();
    }
}

int PingSweep::currentRow() const
{
    return m_list.rowOfId(m_rowId, m_pingIndex);
}

void PingSweep::endRow()
{
    m_pingDone = true;
    if (m_wait)
        m_wait->quit();
}

void PingSweep::failRow(int row, const QString &message)
{
    if (row < 0)
        return;
    m_list.setImageIndex(row, imgFailure);
    m_list.setSubItem(row, siMessage, message);
    m_list.setSubItem(row, siLastTest, DateTimeText(now(), m_list.localeFormats()));
}

void PingSweep::run()
{
    if (m_running)
        return;
    m_running = true;
    m_aborted = false;
    m_failure = nullptr;
    struct Reset {
        PingSweep *s;
        ~Reset() { s->m_running = false; s->m_wait = nullptr; }
    } reset{this};

    m_view.setMessage(QStringLiteral("Pinging resources..."));
    // The rows to visit are fixed at the start; rows added later wait for the next sweep.
    std::vector<std::uint64_t> ids;
    ids.reserve(std::size_t(m_list.count()));
    for (const ResourceRow &r : m_list.rows())
        ids.push_back(r.id);

    int hint = 0;
    QElapsedTimer sinceEvents;
    sinceEvents.start();
    for (std::uint64_t id : ids) {
        if (m_aborted)
            return;
        // Hosts that answer at once never make the sweep wait: let the window
        // repaint and take input now and then all the same.
        if (sinceEvents.elapsed() >= 40) {
            QCoreApplication::processEvents();
            sinceEvents.restart();
            if (m_aborted)
                return;
        }
        const int row = m_list.rowOfId(id, hint);
        if (row < 0)
            continue; // removed meanwhile
        hint = row + 1;
        m_view.showRow(row);
        const ResourceRow &r = m_list.row(row);
        if (!r.checked)
            continue;
        m_hostName = r.subItem(siAddress).isEmpty() ? r.subItem(siResource) : r.subItem(siAddress);
        m_list.setSubItem(row, siMessage, QStringLiteral("Resolving hostname..."));
        m_pingIndex = row;
        m_rowId = id;
        m_pingDone = false;
        m_ping.DnsLookup(m_hostName);
        if (!m_pingDone && !m_aborted) {
            // Wait on the event loop: the window stays live, the processor idle.
            QEventLoop loop;
            m_wait = &loop;
            loop.exec();
            m_wait = nullptr;
        }
        if (m_failure)
            std::rethrow_exception(std::exchange(m_failure, nullptr));
        if (!m_pingDone) {
            // The wait was ended from outside (the application is quitting).
            m_ping.CancelDnsLookup();
            return;
        }
    }
    if (!m_aborted)
        m_view.setMessage(QStringLiteral("Done"));
}

void PingSweep::abort()
{
    if (!m_running)
        return;
    m_aborted = true;
    m_ping.abortPing();
    m_ping.CancelDnsLookup();
    endRow();
}

void PingSweep::PingDnsLookupDone(TPing *, std::uint16_t error)
{
    if (m_aborted) {
        endRow();
        return;
    }
    int row = currentRow();
    if (error != 0) {
        if (row >= 0) {
            m_list.setSubItem(row, siMessage, QStringLiteral("Unknown host"));
            m_list.setImageIndex(row, imgFailure);
        }
        endRow();
        return;
    }
    if (row < 0) {
        endRow(); // the row went away while its name was looked up
        return;
    }
    m_ping.setAddress(m_ping.DnsResult());
    m_list.setSubItem(row, siAddress, m_ping.Address());
    m_ping.Ping();
    if (!m_pingDone) {
        // The echo was refused without a send (broadcast address), or the
        // echo service is unavailable: neither echo handler ran.
        const QString reason = m_ping.available() ? m_ping.ErrorText() : QStringLiteral("Echo service not available");
        failRow(currentRow(), QStringLiteral("Cannot ping host : ") + reason);
        endRow();
    }
}

void PingSweep::PingEchoRequest(TPing *, TICMP *)
{
    const int row = currentRow();
    if (row >= 0 && !m_aborted)
        m_list.setSubItem(row, siMessage, QStringLiteral("Sending %1 bytes...").arg(m_ping.Size()));
}

void PingSweep::PingEchoReply(TPing *, TICMP *, int replies)
{
    const int row = currentRow();
    if (row >= 0 && !m_aborted) {
        if (replies != 0) {
            const IcmpEchoReply reply = m_ping.Reply();
            m_list.setSubItem(row, siMessage, QStringLiteral("Received %1 bytes in %2 ms").arg(reply.DataSize).arg(reply.RoundTripTime));
            m_list.setImageIndex(row, imgReply);
            m_list.setSubItem(row, siLastTest, DateTimeText(now(), m_list.localeFormats()));
        } else {
            failRow(row, QStringLiteral("Cannot ping host : ") + m_ping.ErrorText());
        }
    }
    endRow();
}
