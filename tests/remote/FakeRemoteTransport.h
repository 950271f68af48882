#pragma once

#include "application/RemoteActions.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <condition_variable>
#include <mutex>

// The network side of the remote commands, answering from the test. While
// `hold` is set a call waits (on the worker) until release() or until its
// deadline passes; it records what it was asked.
class FakeRemoteTransport : public RemoteTransport {
public:
    struct Call {
        QString machine;
        QList<Ipv4Address> hints;
        QString text; // the message; empty for a clock
    };
    bool sent = true;
    quint32 status = NERR_Success;
    TIME_OF_DAY_INFO info;
    bool hold = false;

    bool SendMailslotMessage(const QString &machine, const QList<Ipv4Address> &hints, const QString &text,
                             const Deadline &deadline) override
    {
        record({machine, hints, text}, deadline);
        return sent;
    }
    quint32 NetRemoteTOD(const QString &server, const QList<Ipv4Address> &hints, TIME_OF_DAY_INFO &out,
                         const Deadline &deadline) override
    {
        record({server, hints, QString()}, deadline);
        if (deadline.passed())
            return ERROR_SEM_TIMEOUT;
        out = info;
        return status;
    }

    void release()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        hold = false;
        m_changed.notify_all();
    }
    QList<Call> calls() const
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_calls;
    }

private:
    void record(const Call &call, const Deadline &deadline)
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        m_calls << call;
        while (hold && !deadline.passed())
            m_changed.wait_for(lock, std::chrono::milliseconds(deadline.waitMs()));
    }

    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    QList<Call> m_calls;
};

// Runs the event loop until DONE holds, for at most MS milliseconds.
template <typename Done>
bool processEventsUntil(Done done, int ms = 2000)
{
    QElapsedTimer t;
    t.start();
    while (!done() && t.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    return done();
}
