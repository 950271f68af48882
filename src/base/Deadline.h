#pragma once

#include <algorithm>
#include <chrono>
#include <stop_token>

// When a blocking wait (on the network, on a helper program) ends: at a
// fixed time, or at once when its owner asks it to stop (the window closes
// while a query waits, the program ends).
class Deadline {
public:
    using Clock = std::chrono::steady_clock;

    explicit Deadline(std::chrono::milliseconds in, std::stop_token stop = {})
        : m_at(Clock::now() + in), m_stop(std::move(stop))
    {
    }

    // The earlier of this deadline and IN from now, stopped with it.
    Deadline sooner(std::chrono::milliseconds in) const
    {
        Deadline d = *this;
        d.m_at = std::min(m_at, Clock::now() + in);
        return d;
    }

    const std::stop_token &stopToken() const { return m_stop; }
    bool cancelled() const { return m_stop.stop_requested(); }
    bool passed() const { return cancelled() || Clock::now() >= m_at; }

    // Milliseconds left, at most SLICE so that a stop is seen soon; 0 once passed.
    int waitMs(int slice = 50) const
    {
        if (passed())
            return 0;
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(m_at - Clock::now()).count();
        return int(std::clamp<long long>(left, 1, slice));
    }

private:
    Clock::time_point m_at;
    std::stop_token m_stop;
};
