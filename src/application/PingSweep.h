#pragma once

#include <QDateTime>
#include <QString>
#include <chrono>
#include <cstdint>
#include <exception>
#include <functional>
#include <map>

class QEventLoop;
class ResourceList;
class TPing;
struct EchoResult;

// What the sweep needs of the window around the list.
class SweepView {
public:
    virtual ~SweepView() = default;
    // Selects the row and scrolls it fully into view.
    virtual void showRow(int row) = 0;
    // Status panel 6.
    virtual void setMessage(const QString &text) = 0;
};

// How many rows a sweep tests at once: each is looked up, then sent one
// echo request, and stays "in flight" until its outcome is written.
namespace SweepParallel {
constexpr int kMin = 1; // one after another
constexpr int kMax = 64;
// A sweep takes about one timeout as long as no more than this many of the
// ticked hosts are silent; the send gap keeps the rate on the wire the same
// whatever the number.
constexpr int kDefault = 64;
// With rows in flight together, echo requests leave at least this long
// after one another: at most 1000 a second, the rate Linux allows its own
// ICMP messages by default, so a router that limits ICMP like that lets
// every request through. One row at a time needs no gap: each request
// waits for the answer to the one before.
constexpr std::chrono::microseconds kSendGap{1000};
} // namespace SweepParallel

// The ping sweep: the ticked rows are started in list order, at most
// parallel() at a time, and each one's outcome is written into that row.
// Rows are followed by id, so edits made while the sweep waits never send
// one host's outcome to another host's row: a row that went away is
// skipped and its outcome dropped.
class PingSweep {
public:
    PingSweep(ResourceList &list, TPing &ping, SweepView &view);
    ~PingSweep();
    PingSweep(const PingSweep &) = delete;
    PingSweep &operator=(const PingSweep &) = delete;

    // Runs the whole sweep. A second call while one runs does nothing: the
    // running sweep already covers the list. Throws what a lookup start or
    // a handler raised, once the rows already started have ended; the rows
    // not started then are not tested.
    void run();
    bool running() const { return m_running; }
    // Stops a running sweep at once (Abort, or the window is closing): every
    // row in flight is dropped and keeps what it shows.
    void abort();

    // At most this many rows in flight (SweepParallel::kMin .. kMax; values
    // outside are brought within). It applies from the next row started.
    int parallel() const { return m_parallel; }
    void setParallel(int rows);
    // The gap between requests when rows are in flight together.
    std::chrono::microseconds sendGap() const { return m_sendGap; }
    void setSendGap(std::chrono::microseconds gap) { m_sendGap = gap; }

    // The clock for Last Test (written in the list's locale); tests set a fixed one.
    std::function<QDateTime()> now = [] { return QDateTime::currentDateTime(); };

private:
    // One row between its start and its outcome.
    struct Slot {
        std::uint64_t rowId = 0;
        int pingIndex = -1; // where the row was: the first place to look for it
        int lookupId = 0;   // the pending lookup, if any
        int echoTicket = 0; // the echo waiting or in flight, if any
    };

    void startRow(std::uint64_t id, int row);
    void endRow(int slot);
    void dropAll();
    Slot *slot(int id);
    int rowOf(const Slot &s) const;
    void failRow(int row, const QString &message);
    template <typename Fn>
    void guarded(int slot, Fn &&fn);

    // Handlers of the ping component's reports, one row's each.
    void PingDnsLookupDone(int slot, std::uint16_t error, const QString &address);
    void PingEchoRequest(int slot, int size);
    void PingEchoReply(int slot, const EchoResult &result);

    ResourceList &m_list;
    TPing &m_ping;
    SweepView &m_view;
    std::map<int, Slot> m_slots;
    int m_nextSlot = 1;
    int m_parallel = SweepParallel::kDefault;
    std::chrono::microseconds m_sendGap = SweepParallel::kSendGap;
    bool m_running = false;
    bool m_aborted = false;
    bool m_rowEnded = false; // a row ended while the sweep waited
    QEventLoop *m_wait = nullptr;
    std::exception_ptr m_failure;
};
