#include "link/Deadlines.h"

#include "link/Clock.h"

#include <algorithm>
#include <limits>

namespace norvvelm {

Deadlines::Deadlines(Clock &clock, QObject *parent) : QObject(parent), m_clock(clock) {
    m_wall.setSingleShot(true);
    connect(&m_wall, &QTimer::timeout, this, [this] {
        check();
        wake();
    });
}

Deadlines::~Deadlines() = default;

qint64 Deadlines::nowMs() const {
    return m_clock.nowMs();
}

Deadlines::Id Deadlines::after(qint64 ms, std::function<void()> action) {
    const Id id = ++m_last;
    const qint64 due = m_clock.nowMs() + qMax<qint64>(0, ms);
    m_queue.emplace(std::make_pair(due, id), std::move(action));
    m_due.emplace(id, due);
    wake();
    return id;
}

void Deadlines::cancel(Id id) {
    const auto it = m_due.find(id);
    if (it == m_due.end())
        return;
    m_queue.erase({it->second, id});
    m_due.erase(it);
}

int Deadlines::check() {
    if (m_checking)
        return 0;
    m_checking = true;
    int ran = 0;
    while (!m_queue.empty() && m_queue.begin()->first.first <= m_clock.nowMs()) {
        auto node = m_queue.extract(m_queue.begin());
        m_due.erase(node.key().second);
        ++ran;
        if (node.mapped())
            node.mapped()();
    }
    m_checking = false;
    if (ran > 0)
        wake();
    return ran;
}

void Deadlines::wake() {
    if (!m_clock.followsWall() || m_queue.empty()) {
        m_wall.stop();
        return;
    }
    const qint64 wait = std::clamp<qint64>(m_queue.begin()->first.first - m_clock.nowMs(), 0,
                                           std::numeric_limits<int>::max());
    // Started again only when the next deadline moved earlier or the timer
    // sleeps: a busy server does not restart it for every deadline added.
    if (!m_wall.isActive() || m_wall.remainingTime() > wait)
        m_wall.start(int(wait));
}

} // namespace norvvelm
