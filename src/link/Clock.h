#pragma once

#include <QtGlobal>

namespace norvvelm {

// Time as the link sees it: a millisecond tick count and a sleep. The real
// clock follows the wall; tests use a virtual one so a 2000 ms time-out costs
// no real time.
class Clock {
public:
    virtual ~Clock() = default;
    virtual qint64 nowMs() const = 0;
    virtual void sleepMs(int ms) = 0;
    // Time passes on its own, as on the wall (a virtual clock moves only when told).
    virtual bool followsWall() const { return false; }
};

class RealClock final : public Clock {
public:
    RealClock();
    qint64 nowMs() const override;
    void sleepMs(int ms) override;
    bool followsWall() const override { return true; }

private:
    qint64 m_origin;
};

} // namespace norvvelm
