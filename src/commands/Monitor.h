#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

namespace norvvelm {

// The monitor's prefixes: a line to the register, a line from it.
inline QString MonitorToRegister() {
    return QStringLiteral("PC -> ECR : ");
}
inline QString MonitorFromRegister() {
    return QStringLiteral("ECR        : ");
}

// The runtime monitor lstRunTime: the exchanges and events, newest first,
// kept only while it is switched on (chkRunTimeLog).
class Monitor : public QObject {
    Q_OBJECT
public:
    static constexpr int kMonitorLimit = 10000;

    explicit Monitor(QObject *parent = nullptr) : QObject(parent) {}

    bool monitorEnabled() const { return m_monitorEnabled; } // chkRunTimeLog
    void setMonitorEnabled(bool on);
    const QStringList &lines() const { return m_lines; }
    // AddMonitorLine: newest first, at most 10000 lines, only while enabled.
    void AddMonitorLine(const QString &text);
    void clearMonitor();

signals:
    void monitorEnabledChanged(bool on);
    void monitorLineAdded(const QString &line);
    void monitorCleared();

private:
    bool m_monitorEnabled = false;
    QStringList m_lines;
};

} // namespace norvvelm
