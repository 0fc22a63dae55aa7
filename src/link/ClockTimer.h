#pragma once

#include "link/Deadlines.h"

#include <functional>

namespace norvvelm {

// One restartable deadline on a Deadlines, for an object that waits for one
// thing at a time; stopped when it is destroyed.
class ClockTimer {
public:
    ClockTimer(Deadlines &deadlines, std::function<void()> action);
    ~ClockTimer();
    ClockTimer(const ClockTimer &) = delete;
    ClockTimer &operator=(const ClockTimer &) = delete;

    // Due `ms` from now, in place of any earlier start.
    void start(qint64 ms);
    void stop();
    bool isActive() const { return m_id != 0 && m_deadlines.pending(m_id); }

private:
    Deadlines &m_deadlines;
    std::function<void()> m_action;
    Deadlines::Id m_id = 0;
};

} // namespace norvvelm
