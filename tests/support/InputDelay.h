#pragma once

// What the benchmarks measure of the program's responsiveness and memory.

#include <QByteArray>
#include <QFile>
#include <QMetaObject>
#include <QObject>

#include <atomic>
#include <chrono>
#include <thread>

// Resident memory (VmRSS) or its peak (VmHWM) in MiB, from /proc.
inline double statusMiB(const char *field)
{
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : f.readAll().split('\n'))
        if (line.startsWith(field))
            return line.mid(int(qstrlen(field)) + 1).trimmed().split(' ').value(0).toDouble() / 1024.0;
    return -1;
}

// Posts an event to the main thread every 5 ms from a thread of its own and
// keeps the longest any of them waited: what a key press or a click would
// have waited meanwhile. Bounded: it stops posting after LIMIT.
class InputDelay {
public:
    explicit InputDelay(QObject *context, std::chrono::milliseconds limit = std::chrono::minutes(10))
        : m_context(context)
    {
        m_thread = std::thread([this, ticks = limit / std::chrono::milliseconds(5)] {
            for (qint64 i = 0; i < ticks && !m_stop.load(); ++i) {
                const auto sent = std::chrono::steady_clock::now();
                QMetaObject::invokeMethod(
                    m_context,
                    [this, sent] {
                        const double ms =
                            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - sent).count();
                        double worst = m_worstMs.load();
                        while (ms > worst && !m_worstMs.compare_exchange_weak(worst, ms)) {
                        }
                    },
                    Qt::QueuedConnection);
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
            }
        });
    }
    ~InputDelay()
    {
        m_stop = true;
        m_thread.join();
    }
    InputDelay(const InputDelay &) = delete;
    InputDelay &operator=(const InputDelay &) = delete;
    double worstMs() const { return m_worstMs.load(); }

private:
    QObject *m_context;
    std::atomic<bool> m_stop{false};
    std::atomic<double> m_worstMs{0};
    std::thread m_thread;
};
