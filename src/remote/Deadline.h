#pragma once

#include <algorithm>
#include <atomic>
#include <chrono>

// When a wait on the network ends: at a fixed time, or at once when the
// owner of the wait gives up (the window closes while a query waits).
class Deadline {
public:
    using Clock = std::chrono::steady_clock;

    explicit Deadline(std::chrono::milliseconds in, const std::atomic<bool> *cancelled = nullptr)
        : m_at(Clock::now() + in), m_cancelled(cancelled)
    {
    }

    // The earlier of this deadline and IN from now, cancelled with it.
    Deadline sooner(std::chrono::milliseconds in) const
    {
        Deadline d = *this;
        d.m_at = std::min(m_at, Clock::now() + in);
        return d;
    }

    bool cancelled() const { return m_cancelled && m_cancelled->load(); }
    bool passed() const { return cancelled() || Clock::now() >= m_at; }

    // Milliseconds left, at most SLICE so that a cancel is seen soon; 0 once passed.
    int waitMs(int slice = 50) const
    {
        if (passed())
            return 0;
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(m_at - Clock::now()).count();
        return int(std::clamp<long long>(left, 1, slice));
    }

private:
    Clock::time_point m_at;
    const std::atomic<bool> *m_cancelled;
};
