#pragma once

#include "commands/DailyLog.h"
#include "commands/LastExchange.h"
#include "commands/Monitor.h"
#include "commands/RegisterOwner.h"
#include "commands/RunState.h"
#include "commands/Settings.h"
#include "commands/StatusBar.h"

#include <QDateTime>

#include <functional>

namespace norvvelm {

// The state the main window shares with the core, without a window, in its
// parts: each changes on its own and says so through its signals, which a
// window (or the daemon) observes.
class Session {
public:
    Session() = default;
    Session(const Session &) = delete;
    Session &operator=(const Session &) = delete;

    // The configuration, models, identity and folders the program runs with.
    Settings &settings() { return m_settings; }
    const Settings &settings() const { return m_settings; }
    // The last exchange's answer and statuses.
    LastExchange &lastExchange() { return m_lastExchange; }
    const LastExchange &lastExchange() const { return m_lastExchange; }
    // The status-bar panels.
    StatusBar &statusBar() { return m_statusBar; }
    const StatusBar &statusBar() const { return m_statusBar; }
    // The runtime monitor.
    Monitor &monitor() { return m_monitor; }
    const Monitor &monitor() const { return m_monitor; }
    // The queue mirror, the stop request, the technician mode, the line.
    RunState &runState() { return m_runState; }
    const RunState &runState() const { return m_runState; }
    // The daily log's name part and outage.
    DailyLog &dailyLog() { return m_dailyLog; }
    const DailyLog &dailyLog() const { return m_dailyLog; }
    // Who may talk to the register: the print server or the operator.
    RegisterOwner &registerOwner() { return m_registerOwner; }
    const RegisterOwner &registerOwner() const { return m_registerOwner; }

    // The clock of log lines and report names (tests fix it).
    QDateTime now() const { return m_now(); }
    void setNow(std::function<QDateTime()> now) { m_now = std::move(now); }

private:
    Settings m_settings;
    LastExchange m_lastExchange;
    StatusBar m_statusBar;
    Monitor m_monitor;
    RunState m_runState;
    DailyLog m_dailyLog;
    RegisterOwner m_registerOwner;
    std::function<QDateTime()> m_now = [] { return QDateTime::currentDateTime(); };
};

} // namespace norvvelm
