#include "commands/Monitor.h"

namespace norvvelm {

void Monitor::setMonitorEnabled(bool on) {
    if (on == m_monitorEnabled)
        return;
    m_monitorEnabled = on;
    emit monitorEnabledChanged(on);
}

void Monitor::AddMonitorLine(const QString &text) {
    if (!m_monitorEnabled)
        return;
    m_lines.prepend(text);
    if (m_lines.size() > kMonitorLimit)
        m_lines.removeLast();
    emit monitorLineAdded(text);
}

void Monitor::clearMonitor() {
    m_lines.clear();
    emit monitorCleared();
}

} // namespace norvvelm
