#include "application/HostWatch.h"

HostWatch::Change HostWatch::round(bool up)
{
    if (up) {
        m_failed = 0;
        const bool wasDown = m_state == State::Down;
        m_state = State::Up;
        return wasDown ? Change::CameUp : Change::None;
    }
    ++m_failed;
    if (m_state != State::Down && m_failed >= m_roundsToDown) {
        m_state = State::Down;
        return Change::WentDown;
    }
    return Change::None;
}
