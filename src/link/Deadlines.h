#pragma once

#include <QObject>
#include <QTimer>

#include <functional>
#include <map>
#include <unordered_map>

namespace norvvelm {

class Clock;

// Actions due at a time on a Clock. A deadline is compared with the clock's
// nowMs() whenever check() runs, never with a timer of its own. On a clock
// that follows the wall a single-shot QTimer only wakes the check at the next
// due time (early or late, the clock decides what is due); on a virtual clock
// whoever moves it calls check(): a test after it advances, the station when
// its event pump runs.
class Deadlines : public QObject {
    Q_OBJECT
public:
    using Id = quint64; // 0 names no deadline

    explicit Deadlines(Clock &clock, QObject *parent = nullptr);
    ~Deadlines() override;

    Clock &clock() const { return m_clock; }
    qint64 nowMs() const;
    // `action` runs once, at the first check `ms` or more after now.
    Id after(qint64 ms, std::function<void()> action);
    // Never runs; an id that already ran or was cancelled is ignored.
    void cancel(Id id);
    bool pending(Id id) const { return m_due.count(id) != 0; }
    int count() const { return int(m_due.size()); }
    // Runs what is due, earliest first (an action may add or cancel
    // deadlines; one added already due runs in the same check); how many ran.
    // A check inside an action's check does nothing.
    int check();

private:
    void wake();

    Clock &m_clock;
    std::map<std::pair<qint64, Id>, std::function<void()>> m_queue; // by due time, then order added
    std::unordered_map<Id, qint64> m_due;
    Id m_last = 0;
    bool m_checking = false;
    QTimer m_wall;
};

} // namespace norvvelm
