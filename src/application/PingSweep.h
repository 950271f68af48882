#pragma once

#include "base/ProbeProof.h"
#include "resources/PingResult.h"

#include <QDateTime>
#include <QObject>
#include <QString>

#include <chrono>
#include <cstdint>
#include <exception>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <vector>

class HostProber;
class ResourceList;
class TPing;
struct EchoResult;

// The ping sweep: the ticked rows are started in list order, at most
// parallel() at a time, and each one's outcome is written into that row,
// as the cells' words and as a typed record (ResourceRow::result).
//
// It never waits in a loop of its own: start() begins, the event loop
// carries the lookups and echoes, and finished() says when it is over.
// Rows are followed by id, so edits made meanwhile never send one host's
// outcome to another host's row: a row that went away is skipped and its
// outcome dropped. Whoever wants to know what happens listens to its
// signals (the window, the command line, a log).
class PingSweep : public QObject {
    Q_OBJECT
public:
    // PROBER asks a host whose echo got no answer in other ways; without
    // one (or without probe ports) a silent row is down, as designed.
    PingSweep(ResourceList &list, TPing &ping, HostProber *prober = nullptr, QObject *parent = nullptr);
    ~PingSweep() override;
    PingSweep(const PingSweep &) = delete;
    PingSweep &operator=(const PingSweep &) = delete;

    // How a sweep shows itself: as the Ping command does, moving the
    // selection to each row and saying "Pinging resources..." and "Done"; or
    // quietly, as the monitor's rounds do, so that the list stays the
    // user's while it runs (the rows' cells show their progress either way).
    enum class Presence {
        Shown,
        Quiet,
    };
    // Starts a sweep of the list as it is now (rows added later wait for
    // the next one). Returns false, and changes nothing, while one runs:
    // the running sweep already covers the list.
    bool start(Presence presence = Presence::Shown);
    bool running() const { return m_running; }
    // Stops a running sweep at once (Abort, or the window is closing): every
    // row in flight is dropped and keeps what its cells show; its record
    // says it was aborted.
    void abort();

    // At most this many rows in flight (EchoLimits::kMinParallel ..
    // kMaxParallel; values outside are brought within). It applies from the
    // next row started.
    int parallel() const { return m_parallel; }
    void setParallel(int rows);
    // The TCP ports a silent row's probes ask; none: no probes at all.
    const QList<quint16> &probePorts() const { return m_probePorts; }
    void setProbePorts(QList<quint16> ports) { m_probePorts = std::move(ports); }
    // The gap between requests when rows are in flight together.
    std::chrono::microseconds sendGap() const { return m_sendGap; }
    void setSendGap(std::chrono::microseconds gap) { m_sendGap = gap; }

    // The clock for Last Test (written in the list's locale) and for the
    // records (in UTC); tests set a fixed one.
    std::function<QDateTime()> now = [] { return QDateTime::currentDateTime(); };

signals:
    // The sweep came to ROW: the view selects it and scrolls it into view.
    void rowVisited(int row);
    // A tested row has its outcome (in its cells and in RESULT).
    void rowFinished(int row, const PingResult &result);
    // Status panel 6: "Pinging resources..." at the start, "Done" at a
    // complete end.
    void message(const QString &text);
    // A lookup start or a handler raised FAILURE; rows already started
    // still end, no more start, and the sweep then finishes without "Done".
    void failed(std::exception_ptr failure);
    // The sweep is over: every row is done, or it failed or was aborted.
    void finished();

private:
    // One row between its start and its outcome.
    struct Slot {
        std::uint64_t rowId = 0;
        int pingIndex = -1;                     // where the row was: the first place to look for it
        int lookupId = 0;                       // the pending lookup, if any
        int echoTicket = 0;                     // the echo waiting or in flight, if any
        int probeTicket = 0;                    // the probes after a silent echo, if any
        QString host;                           // what was asked for
        QString address;                        // the address found, once it is
        std::shared_ptr<EchoResult> silentEcho; // the echo's outcome while the probes ask further
    };

    void pump();
    void startRow(std::uint64_t id, int row);
    void endRow(int slot);
    void dropAll();
    void finish();
    Slot *slot(int id);
    int rowOf(const Slot &s) const;
    void record(int row, const PingResult &result);
    PingResult resultFor(const Slot &s, PingOutcome outcome) const;
    template <typename Fn>
    void guarded(int slot, Fn &&fn);

    // Handlers of the ping component's reports, one row's each.
    void PingDnsLookupDone(int slot, std::uint16_t error, const QString &address);
    void PingEchoRequest(int slot, int size);
    void PingEchoReply(int slot, const EchoResult &result);
    bool startProbes(Slot &slot, int id, const EchoResult &result);
    void probesDone(int slot, const std::optional<ProbeProof> &proof);
    void writeEchoOutcome(int row, const Slot &s, const EchoResult &result);

    ResourceList &m_list;
    TPing &m_ping;
    HostProber *m_prober;
    QList<quint16> m_probePorts;
    std::map<int, Slot> m_slots;
    int m_nextSlot = 1;
    int m_parallel;
    std::chrono::microseconds m_sendGap;
    std::vector<std::uint64_t> m_ids; // the rows this sweep visits
    std::size_t m_next = 0;           // the next of them to start
    int m_hint = 0;
    bool m_running = false;
    bool m_shown = true;
    bool m_pumping = false;
    bool m_pumpAgain = false;
    bool m_pumpQueued = false;
    std::exception_ptr m_failure;
};

// The typed outcome of an echo's result.
PingOutcome outcomeOfEcho(const EchoResult &result, bool echoServiceAvailable);
