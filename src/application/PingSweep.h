#pragma once

#include <QDateTime>
#include <QString>
#include <cstdint>
#include <exception>
#include <functional>

class QEventLoop;
class ResourceList;
class TICMP;
class TPing;

// What the sweep needs of the window around the list.
class SweepView {
public:
    virtual ~SweepView() = default;
    // Selects the row and scrolls it fully into view.
    virtual void showRow(int row) = 0;
    // Status panel 6.
    virtual void setMessage(const QString &text) = 0;
};

// The ping sweep: every ticked row in turn is looked up, then sent one echo
// request, and the outcome is written into that row. Rows are followed by
// id, so edits made while the sweep waits never send one host's outcome to
// another host's row: a removed row is skipped and its outcome dropped.
class PingSweep {
public:
    PingSweep(ResourceList &list, TPing &ping, SweepView &view);
    ~PingSweep();

    // Runs the whole sweep. A second call while one runs does nothing: the
    // running sweep already covers the list. Throws what the lookup start or
    // a handler raised; the remaining rows are then not tested.
    void run();
    bool running() const { return m_running; }
    // Stops a running sweep promptly (the window is closing).
    void abort();

    // The clock for Last Test (written in the list's locale); tests set a fixed one.
    std::function<QDateTime()> now = [] { return QDateTime::currentDateTime(); };

    // Handlers of the ping component's events.
    void PingDnsLookupDone(TPing *sender, std::uint16_t error);
    void PingEchoRequest(TPing *sender, TICMP *icmp);
    void PingEchoReply(TPing *sender, TICMP *icmp, int replies);

private:
    int currentRow() const;
    void endRow();
    void failRow(int row, const QString &message);
    template <typename Fn> void guarded(Fn &&fn);

    ResourceList &m_list;
    TPing &m_ping;
    SweepView &m_view;
    // The row under test: its index when the test began and its id, which
    // finds it again after the list changed meanwhile.
    int m_pingIndex = -1;
    std::uint64_t m_rowId = 0;
    bool m_pingDone = true;
    QString m_hostName;
    bool m_running = false;
    bool m_aborted = false;
    QEventLoop *m_wait = nullptr;
    std::exception_ptr m_failure;
};
