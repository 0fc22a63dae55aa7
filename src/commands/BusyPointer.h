#pragma once

#include "commands/Session.h"

namespace norvvelm {

// The busy pointer around a sequence of exchanges a button runs: the session
// says it is busy from construction to destruction (nested ones count).
class BusyPointer {
public:
    explicit BusyPointer(Session &session) : m_session(session) { m_session.runState().beginBusy(); }
    ~BusyPointer() { m_session.runState().endBusy(); }
    BusyPointer(const BusyPointer &) = delete;
    BusyPointer &operator=(const BusyPointer &) = delete;

private:
    Session &m_session;
};

} // namespace norvvelm
