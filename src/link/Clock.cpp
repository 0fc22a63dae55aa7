#include "link/Clock.h"

#include <QDateTime>
#include <QThread>

#include <time.h>

namespace norvvelm {

namespace {
qint64 monotonicMs() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return qint64(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}
} // namespace

RealClock::RealClock() : m_origin(monotonicMs()) {}

qint64 RealClock::nowMs() const {
    return monotonicMs() - m_origin;
}

void RealClock::sleepMs(int ms) {
    if (ms > 0)
        QThread::msleep(ulong(ms));
}

} // namespace norvvelm
