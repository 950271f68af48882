#pragma once

#include <memory>
#include <mutex>

// Whether the owner of a callback is still there when the callback comes:
// the one way the program answers that question. The owner keeps a
// Liveness as its last member (so it goes first) and hands a guard to
// whatever calls back later: a lookup completing, an echo's outcome, a
// result from a worker thread.
//
// A guard is read on the owner's thread with alive(); from another thread
// with ifAlive(), which runs its function only while the owner cannot go
// away (it holds the lock the owner's end takes), so that posting an event
// to the owner from a worker is safe.
class Liveness {
    struct State {
        std::mutex mutex;
        bool alive = true;
    };

public:
    class Guard {
    public:
        Guard() = default;
        bool alive() const
        {
            if (!m_state)
                return false;
            const std::lock_guard lock(m_state->mutex);
            return m_state->alive;
        }
        // Runs F under the owner's lock when the owner is alive; returns
        // whether it ran. F must not wait for the owner's thread.
        template <typename F>
        bool ifAlive(F &&f) const
        {
            if (!m_state)
                return false;
            const std::lock_guard lock(m_state->mutex);
            if (!m_state->alive)
                return false;
            f();
            return true;
        }

    private:
        friend class Liveness;
        explicit Guard(std::shared_ptr<State> state) : m_state(std::move(state)) {}
        std::shared_ptr<State> m_state;
    };

    Liveness() = default;
    ~Liveness() { end(); }
    Liveness(const Liveness &) = delete;
    Liveness &operator=(const Liveness &) = delete;

    Guard guard() const { return Guard(m_state); }
    // From now on no guard calls the owner alive. Waits for a callback that
    // runs under ifAlive() on another thread to end.
    void end()
    {
        const std::lock_guard lock(m_state->mutex);
        m_state->alive = false;
    }

private:
    std::shared_ptr<State> m_state = std::make_shared<State>();
};
