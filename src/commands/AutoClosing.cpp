#include "commands/AutoClosing.h"

namespace norvvelm {

std::optional<QTime> AutoClosingTime(const QString &setting) {
    const QString t = setting.trimmed();
    if (t.isEmpty())
        return std::nullopt;
    for (const QString &format : {QStringLiteral("HH:mm"), QStringLiteral("H:mm")}) {
        const QTime time = QTime::fromString(t, format);
        if (time.isValid())
            return time;
    }
    return std::nullopt;
}

QString AutoClosing::KeyOf(QDate day, int attempt) {
    return QStringLiteral("chiusura-automatica-") + day.toString(QStringLiteral("yyyyMMdd")) + u'-' +
           QString::number(attempt);
}

AutoClosing::Step AutoClosing::step(const QDateTime &now, const QString &setting, bool idle) {
    const std::optional<QTime> at = AutoClosingTime(setting);
    if (!at)
        return Step::Off;
    // A new day starts with its first attempt; what was not closed by
    // midnight is not tried the next day under the old day's key.
    if (m_today.day != now.date()) {
        m_today = Today{};
        m_today.day = now.date();
    }
    if (m_today.done)
        return Step::Done;
    if (now.time() < *at)
        return Step::NotYet;
    if (m_today.retryAt.isValid() && now < m_today.retryAt)
        return Step::Wait;
    return idle ? Step::Queue : Step::Wait;
}

void AutoClosing::printed(const QDateTime &at) {
    m_today.done = true;
    m_today.problem.clear();
    m_today.closedAt = at;
}

void AutoClosing::failed(const QDateTime &at, const QString &why) {
    ++m_today.attempt;
    m_today.problem = why;
    m_today.retryAt = at.addSecs(kRetryMinutes * 60);
}

void AutoClosing::nothingToClose() {
    m_today.done = true;
    m_today.problem.clear();
}

} // namespace norvvelm
