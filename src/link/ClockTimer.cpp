#include "link/ClockTimer.h"

#include <utility>

namespace norvvelm {

ClockTimer::ClockTimer(Deadlines &deadlines, std::function<void()> action)
    : m_deadlines(deadlines), m_action(std::move(action)) {}

ClockTimer::~ClockTimer() {
    stop();
}

void ClockTimer::start(qint64 ms) {
    stop();
    m_id = m_deadlines.after(ms, [this] {
        m_id = 0;
        m_action();
    });
}

void ClockTimer::stop() {
    m_deadlines.cancel(std::exchange(m_id, 0));
}

} // namespace norvvelm
