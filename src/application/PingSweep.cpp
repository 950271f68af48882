#include "application/PingSweep.h"

#include "ping/Ping.h"
#include "resources/CellText.h"
#include "resources/ResourceList.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>

#include <algorithm>
#include <vector>

PingSweep::PingSweep(ResourceList &list, TPing &ping, SweepView &view) : m_list(list), m_ping(ping), m_view(view) {}

PingSweep::~PingSweep() { dropAll(); }

void PingSweep::setParallel(int rows) { m_parallel = std::clamp(rows, SweepParallel::kMin, SweepParallel::kMax); }

// Handlers run from the event loop, which no exception may cross: a failure
// ends the row and is raised again by the sweep once its rows have ended.
template <typename Fn>
void PingSweep::guarded(int id, Fn &&fn)
{
    try {
        fn();
    } catch (...) {
        if (!m_failure)
            m_failure = std::current_exception();
        if (Slot *s = slot(id)) {
            m_ping.cancelLookup(s->lookupId);
            m_ping.cancelEcho(s->echoTicket);
            endRow(id);
        }
    }
}

PingSweep::Slot *PingSweep::slot(int id)
{
    const auto it = m_slots.find(id);
    return it == m_slots.end() ? nullptr : &it->second;
}

int PingSweep::rowOf(const Slot &s) const { return m_list.rowOfId(s.rowId, s.pingIndex); }

void PingSweep::endRow(int id)
{
    m_slots.erase(id);
    m_rowEnded = true;
    if (m_wait)
        m_wait->quit();
}

void PingSweep::dropAll()
{
    for (const auto &[id, s] : m_slots) {
        m_ping.cancelLookup(s.lookupId);
        m_ping.cancelEcho(s.echoTicket);
    }
    m_slots.clear();
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
        ~Reset()
        {
            s->dropAll();
            s->m_running = false;
            s->m_wait = nullptr;
        }
    } reset{this};

    m_view.setMessage(QStringLiteral("Pinging resources..."));
    // The rows to visit are fixed at the start; rows added later wait for the next sweep.
    std::vector<std::uint64_t> ids;
    ids.reserve(std::size_t(m_list.count()));
    for (const ResourceRow &r : m_list.rows())
        ids.push_back(r.id);

    std::size_t next = 0;
    int hint = 0;
    QElapsedTimer sinceEvents;
    sinceEvents.start();
    for (;;) {
        // Start rows in list order while there is room.
        while (!m_aborted && !m_failure && next < ids.size() && int(m_slots.size()) < m_parallel) {
            // Hosts that answer at once never make the sweep wait: let the
            // window repaint and take input now and then all the same.
            if (sinceEvents.elapsed() >= 40) {
                QCoreApplication::processEvents();
                sinceEvents.restart();
                continue; // the window may have changed what is allowed
            }
            const std::uint64_t id = ids[next++];
            const int row = m_list.rowOfId(id, hint);
            if (row < 0)
                continue; // removed meanwhile
            hint = row + 1;
            m_view.showRow(row);
            if (!m_list.row(row).checked)
                continue;
            m_ping.setSendGap(m_parallel > 1 ? m_sendGap : std::chrono::microseconds(0));
            try {
                startRow(id, row);
            } catch (...) {
                // No more rows start; those in flight still get their outcome.
                m_failure = std::current_exception();
            }
        }
        if (m_aborted)
            return;
        if (m_slots.empty()) {
            if (m_failure || next >= ids.size())
                break;
            continue;
        }
        // Wait on the event loop until a row ends: the window stays live,
        // the processor idle.
        m_rowEnded = false;
        QEventLoop loop;
        m_wait = &loop;
        loop.exec();
        m_wait = nullptr;
        if (!m_rowEnded && !m_aborted)
            return; // the wait was ended from outside (the application is quitting)
    }
    if (m_failure)
        std::rethrow_exception(std::exchange(m_failure, nullptr));
    m_view.setMessage(QStringLiteral("Done"));
}

void PingSweep::startRow(std::uint64_t rowId, int row)
{
    const ResourceRow &r = m_list.row(row);
    const QString hostName = r.subItem(siAddress).isEmpty() ? r.subItem(siResource) : r.subItem(siAddress);
    m_list.setSubItem(row, siMessage, QStringLiteral("Resolving hostname..."));
    const int id = m_nextSlot++;
    m_slots.emplace(id, Slot{rowId, row, 0, 0});
    int lookupId = 0;
    try {
        // A dotted address completes inside the call, its echo sent or queued.
        lookupId = m_ping.lookUp(hostName, [this, id](std::uint16_t error, const QString &address) {
            guarded(id, [&] { PingDnsLookupDone(id, error, address); });
        });
    } catch (...) {
        m_slots.erase(id); // the row keeps "Resolving hostname..."
        throw;
    }
    if (Slot *s = slot(id))
        s->lookupId = lookupId;
}

void PingSweep::abort()
{
    if (!m_running)
        return;
    m_aborted = true;
    dropAll();
    if (m_wait)
        m_wait->quit();
}

void PingSweep::PingDnsLookupDone(int id, std::uint16_t error, const QString &address)
{
    Slot *s = slot(id);
    if (!s)
        return;
    s->lookupId = 0;
    const int row = rowOf(*s);
    if (error != 0) {
        if (row >= 0) {
            m_list.setSubItem(row, siMessage, QStringLiteral("Unknown host"));
            m_list.setImageIndex(row, imgFailure);
        }
        endRow(id);
        return;
    }
    if (row < 0) {
        endRow(id); // the row went away while its name was looked up
        return;
    }
    // A row that had only a name gains the address found, and a typed
    // address is rewritten in canonical dotted form.
    m_list.setSubItem(row, siAddress, address);
    EchoHandlers handlers;
    handlers.sending = [this, id](int size) { guarded(id, [&] { PingEchoRequest(id, size); }); };
    handlers.done = [this, id](const EchoResult &result) { guarded(id, [&] { PingEchoReply(id, result); }); };
    // A refused address, or no echo service, ends the row inside the call.
    const int ticket = m_ping.sendEcho(address, std::move(handlers));
    if (Slot *still = slot(id))
        still->echoTicket = ticket;
}

void PingSweep::PingEchoRequest(int id, int size)
{
    const Slot *s = slot(id);
    const int row = s ? rowOf(*s) : -1;
    if (row >= 0)
        m_list.setSubItem(row, siMessage, QStringLiteral("Sending %1 bytes...").arg(size));
}

void PingSweep::PingEchoReply(int id, const EchoResult &result)
{
    const Slot *s = slot(id);
    if (!s)
        return;
    const int row = rowOf(*s);
    if (row >= 0) {
        if (result.replies != 0) {
            m_list.setSubItem(row, siMessage,
                              QStringLiteral("Received %1 bytes in %2 ms")
                                  .arg(result.reply.DataSize)
                                  .arg(result.reply.RoundTripTime));
            m_list.setImageIndex(row, imgReply);
            m_list.setSubItem(row, siLastTest, DateTimeText(now(), m_list.localeFormats()));
        } else {
            failRow(row, QStringLiteral("Cannot ping host : ") + result.errorText);
        }
    }
    endRow(id);
}
