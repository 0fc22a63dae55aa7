#pragma once

#include "link/Clock.h"

#include <functional>

namespace testsupport {

// Time that moves only when someone waits: a 2000 ms time-out costs nothing.
class VirtualClock final : public norvvelm::Clock {
public:
    qint64 nowMs() const override { return m_now; }
    void sleepMs(int ms) override { advance(ms); }
    void advance(qint64 ms) {
        if (ms > 0)
            m_now += ms;
        if (onAdvance)
            onAdvance(m_now);
    }
    void advanceTo(qint64 t) { advance(t - m_now); }
    // Called after every move (tests hook timed events here).
    std::function<void(qint64)> onAdvance;

private:
    qint64 m_now = 0;
};

} // namespace testsupport
