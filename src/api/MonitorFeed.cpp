#include "api/MonitorFeed.h"

#include "commands/Session.h"

#include <algorithm>

namespace norvvelm {

MonitorFeed::MonitorFeed(Session &session, QObject *parent) : QObject(parent) {
    connect(&session.monitor(), &Monitor::monitorLineAdded, this, &MonitorFeed::add);
}

void MonitorFeed::add(const QString &text) {
    m_lines.append({m_next++, text});
    if (m_lines.size() > kKept)
        m_lines.remove(0, m_lines.size() - kKept);
}

QList<MonitorFeed::Line> MonitorFeed::after(qint64 since) const {
    const auto first = std::upper_bound(m_lines.cbegin(), m_lines.cend(), since,
                                        [](qint64 s, const Line &l) { return s < l.seq; });
    const qsizetype start = first - m_lines.cbegin();
    return m_lines.mid(start, kPerAnswer);
}

} // namespace norvvelm
