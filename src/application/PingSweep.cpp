#include "application/PingSweep.h"

#include "ping/EchoSettings.h"
#include "ping/Ping.h"
#include "probe/HostProber.h"
#include "resources/CellText.h"
#include "resources/ResourceList.h"

#include <QElapsedTimer>
#include <QMetaObject>

#include <algorithm>

namespace {

// Hosts that answer at once never give the event loop a turn; after this
// long the sweep goes on from the event loop, so that the window repaints
// and takes input meanwhile.
constexpr qint64 kLongestRunMs = 40;

} // namespace

PingOutcome outcomeOfEcho(const EchoResult &result, bool echoServiceAvailable)
{
    if (result.replies != 0)
        return PingOutcome::Reply;
    if (!echoServiceAvailable)
        return PingOutcome::NoEchoService;
    switch (result.error) {
    case IP_REQ_TIMED_OUT:
        return PingOutcome::TimedOut;
    case IP_DEST_NET_UNREACHABLE:
        return PingOutcome::NetUnreachable;
    case IP_DEST_HOST_UNREACHABLE:
        return PingOutcome::HostUnreachable;
    case IP_DEST_PROT_UNREACHABLE:
        return PingOutcome::ProtocolUnreachable;
    case IP_DEST_PORT_UNREACHABLE:
        return PingOutcome::PortUnreachable;
    case IP_TTL_EXPIRED_TRANSIT:
    case IP_TTL_EXPIRED_REASSEM:
        return PingOutcome::TtlExpired;
    case IP_PACKET_TOO_BIG:
        return PingOutcome::PacketTooBig;
    case IP_BAD_DESTINATION:
        return PingOutcome::BadDestination;
    default:
        return PingOutcome::Failed;
    }
}

PingSweep::PingSweep(ResourceList &list, TPing &ping, HostProber *prober, QObject *parent)
    : QObject(parent), m_list(list), m_ping(ping), m_prober(prober), m_probePorts(EchoSettings{}.probePorts),
      m_parallel(EchoSettings{}.parallel), m_sendGap(EchoLimits::kSendGap)
{
}

PingSweep::~PingSweep() { dropAll(); }

void PingSweep::setParallel(int rows)
{
    m_parallel = std::clamp(rows, EchoLimits::kMinParallel, EchoLimits::kMaxParallel);
}

// Handlers run from the event loop, which no exception may cross: a failure
// ends the row and is reported once the rows in flight have ended.
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
            if (m_prober && s->probeTicket)
                m_prober->cancel(s->probeTicket);
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

PingResult PingSweep::resultFor(const Slot &s, PingOutcome outcome) const
{
    PingResult r;
    r.outcome = outcome;
    r.host = s.host;
    r.address = Ipv4Address::fromText(s.address);
    r.when = now().toUTC();
    return r;
}

void PingSweep::record(int row, const PingResult &result)
{
    m_list.setResult(row, result);
    emit rowFinished(row, result);
}

bool PingSweep::start(Presence presence)
{
    if (m_running)
        return false;
    m_running = true;
    m_shown = presence == Presence::Shown;
    m_failure = nullptr;
    if (m_shown)
        emit message(QStringLiteral("Pinging resources..."));
    m_ids.clear();
    m_ids.reserve(std::size_t(m_list.count()));
    for (const ResourceRow &r : m_list.rows())
        m_ids.push_back(r.id);
    m_next = 0;
    m_hint = 0;
    pump();
    return true;
}

// Starts rows in list order while there is room. It may be reached again
// from inside itself (an answer that comes inside the send ends its row,
// which makes room): the outer call then goes on.
void PingSweep::pump()
{
    if (m_pumping) {
        m_pumpAgain = true;
        return;
    }
    m_pumping = true;
    QElapsedTimer busy;
    busy.start();
    bool yielded = false;
    do {
        m_pumpAgain = false;
        while (m_running && !m_failure && m_next < m_ids.size() && int(m_slots.size()) < m_parallel) {
            if (busy.elapsed() >= kLongestRunMs) {
                yielded = true;
                break;
            }
            const std::uint64_t id = m_ids[m_next++];
            int row = m_list.rowOfId(id, m_hint);
            if (row < 0)
                continue; // removed meanwhile
            m_hint = row + 1;
            if (m_shown)
                emit rowVisited(row);
            row = m_list.rowOfId(id, row); // whoever watched may have changed the list
            if (row < 0 || !m_list.row(row).checked)
                continue;
            m_ping.setSendGap(m_parallel > 1 ? m_sendGap : std::chrono::microseconds(0));
            try {
                startRow(id, row);
            } catch (...) {
                // No more rows start; those in flight still get their outcome.
                m_failure = std::current_exception();
            }
        }
    } while (m_pumpAgain && m_running && !yielded);
    m_pumping = false;
    if (yielded && !m_pumpQueued) {
        m_pumpQueued = true;
        QMetaObject::invokeMethod(
            this,
            [this] {
                m_pumpQueued = false;
                pump();
            },
            Qt::QueuedConnection);
        return;
    }
    if (m_running && m_slots.empty() && (m_failure || m_next >= m_ids.size()))
        finish();
}

void PingSweep::finish()
{
    m_running = false;
    dropAll();
    if (m_failure)
        emit failed(std::exchange(m_failure, nullptr));
    else if (m_shown)
        emit message(QStringLiteral("Done"));
    emit finished();
}

void PingSweep::endRow(int id)
{
    m_slots.erase(id);
    if (m_running)
        pump();
}

void PingSweep::dropAll()
{
    for (const auto &[id, s] : m_slots) {
        m_ping.cancelLookup(s.lookupId);
        m_ping.cancelEcho(s.echoTicket);
        if (m_prober && s.probeTicket)
            m_prober->cancel(s.probeTicket);
    }
    m_slots.clear();
}

void PingSweep::startRow(std::uint64_t rowId, int row)
{
    const ResourceRow &r = m_list.row(row);
    const QString hostName = r.subItem(siAddress).isEmpty() ? r.subItem(siResource) : r.subItem(siAddress);
    m_list.setSubItem(row, siMessage, QStringLiteral("Resolving hostname..."));
    const int id = m_nextSlot++;
    m_slots.emplace(id, Slot{rowId, row, 0, 0, 0, hostName, QString(), nullptr});
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
    // The rows in flight keep what they show; their records say why they
    // have no outcome.
    for (const auto &[id, s] : m_slots) {
        const int row = rowOf(s);
        if (row >= 0)
            record(row, resultFor(s, PingOutcome::Aborted));
    }
    m_running = false;
    m_failure = nullptr;
    dropAll();
    emit finished();
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
            PingResult r = resultFor(*s, PingOutcome::UnknownHost);
            r.status = error;
            r.detail = QStringLiteral("Unknown host");
            record(row, r);
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
    s->address = address;
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
    Slot *s = slot(id);
    if (!s)
        return;
    s->echoTicket = 0;
    const int row = rowOf(*s);
    if (row >= 0) {
        if (startProbes(*s, id, result))
            return; // the row ends when the probes do
        writeEchoOutcome(row, *s, result);
    }
    endRow(id);
}

// The row's echo outcome, as designed: the reply, or the failure's reason.
void PingSweep::writeEchoOutcome(int row, const Slot &s, const EchoResult &result)
{
    const QDateTime at = now();
    PingResult r = resultFor(s, outcomeOfEcho(result, m_ping.available()));
    r.when = at.toUTC();
    r.status = result.error;
    if (result.replies != 0) {
        m_list.setSubItem(
            row, siMessage,
            QStringLiteral("Received %1 bytes in %2 ms").arg(result.reply.DataSize).arg(result.reply.RoundTripTime));
        m_list.setImageIndex(row, imgReply);
        r.roundTripMicroseconds = result.roundTripMicroseconds;
        r.replySize = result.reply.DataSize;
        r.ttl = result.reply.Options.Ttl;
    } else {
        m_list.setImageIndex(row, imgFailure);
        m_list.setSubItem(row, siMessage, QStringLiteral("Cannot ping host : ") + result.errorText);
        r.detail = result.errorText;
    }
    m_list.setSubItem(row, siLastTest, DateTimeText(at, m_list.localeFormats()));
    record(row, r);
}

// An echo that got no answer, or that the target itself refused (its own
// firewall), is not the end: the probes ask the host in other ways, and
// end at most kProbeBudget later.
bool PingSweep::startProbes(Slot &s, int id, const EchoResult &result)
{
    if (!m_prober || m_probePorts.isEmpty() || result.replies != 0 || !m_ping.available())
        return false;
    const auto target = Ipv4Address::fromText(s.address);
    if (!target)
        return false;
    const bool timedOut = result.error == IP_REQ_TIMED_OUT;
    const bool refusedByTarget = (result.error == IP_DEST_HOST_UNREACHABLE || result.error == IP_DEST_PROT_UNREACHABLE
                                  || result.error == IP_DEST_PORT_UNREACHABLE)
                                 && result.reply.Address == target->networkOrder();
    if (!timedOut && !refusedByTarget)
        return false;
    s.silentEcho = std::make_shared<EchoResult>(result);
    const ProbeRequest request{*target, m_probePorts, true, EchoLimits::kProbeBudget};
    s.probeTicket = m_prober->probe(
        request, [this, id](const std::optional<ProbeProof> &proof) { guarded(id, [&] { probesDone(id, proof); }); });
    return true;
}

void PingSweep::probesDone(int id, const std::optional<ProbeProof> &proof)
{
    Slot *s = slot(id);
    if (!s)
        return;
    s->probeTicket = 0;
    const int row = rowOf(*s);
    if (row >= 0) {
        if (!proof) {
            writeEchoOutcome(row, *s, *s->silentEcho);
        } else {
            const QDateTime at = now();
            const QString how =
                proof->kind == ProbeProof::Kind::Neighbour
                    ? QStringLiteral("answers ARP as %1").arg(QString::fromLatin1(proof->mac.toHex(':')))
                    : QStringLiteral("TCP %1 answered in %2 ms").arg(proof->port).arg(proof->microseconds / 1000);
            const QString message = QStringLiteral("No echo reply; ") + how;
            m_list.setImageIndex(row, imgComputer);
            m_list.setSubItem(row, siMessage, message);
            m_list.setSubItem(row, siLastTest, DateTimeText(at, m_list.localeFormats()));
            PingResult r = resultFor(*s, PingOutcome::UpWithoutEcho);
            r.when = at.toUTC();
            r.status = s->silentEcho->error;
            r.detail = message;
            r.probe = *proof;
            record(row, r);
        }
    }
    endRow(id);
}
