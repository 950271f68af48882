#pragma once

// Whether a watched host is up or down, decided so that alerts do not flap:
// a host is down after K consecutive failed rounds and up again after one
// answered round (a host a probe proved up counts as answered). A host that
// fails every other round never goes down.
class HostWatch {
public:
    enum class State {
        Unknown, // not yet decided: watching has just begun
        Up,
        Down,
    };
    enum class Change {
        None,
        WentDown, // after K failed rounds in a row
        CameUp,   // the first answered round after being down
    };

    explicit HostWatch(int roundsToDown = 3) : m_roundsToDown(roundsToDown < 1 ? 1 : roundsToDown) {}

    // One round's outcome for the host; what changed. A host found up at
    // the start has not changed: nothing is said.
    Change round(bool up);

    State state() const { return m_state; }
    int failedInARow() const { return m_failed; }
    int roundsToDown() const { return m_roundsToDown; }

private:
    int m_roundsToDown;
    int m_failed = 0;
    State m_state = State::Unknown;
};
