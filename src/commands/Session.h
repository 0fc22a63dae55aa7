#pragma once

#include "commands/ForbiddenExtensions.h"
#include "commands/PcConfig.h"

#include <QDateTime>
#include <QObject>
#include <QStringList>

#include <array>
#include <functional>

namespace norvvelm {

// The main window's shared state, without a window. Core objects change it;
// a window (or the daemon) observes it through the signals.
class Session : public QObject {
    Q_OBJECT
public:
    static constexpr int kMonitorLimit = 10000;

    explicit Session(QObject *parent = nullptr);

    // --- configuration and the register ---
    PcConfig config;
    ModelTable models = setupModelli();
    int selectedModel = -1; // row of `models`, -1 when none matched
    ForbiddenExtensions forbidden;
    QString programDir;
    // The window's own copies, taken at load and refreshed by a save.
    QString portCopy;
    qint32 speedCopy = 0;
    QString serverDirCopy;
    QString serverFileCopy;
    bool testMode = false;
    // chkLog: the daily log file is written while ticked.
    bool logEnabled = false;

    // --- last exchange ---
    QString lastAnswer;
    int lastStatus = 0;
    int enquiryStatus = 0;
    QString statusText;

    // --- the executor's state ---
    bool receiptOpen = false; // ReceiptOpen
    std::array<int, 21> vatTable;
    QString logPrefix; // LogPrefix
    // Set by a stop request (SIGTERM): waits give up, lines stay queued.
    bool stopRequested = false;
    // The last unreachable-register report, so it is said once per outage.
    bool unreachableReported = false;

    // The clock of log lines and report names (tests fix it).
    std::function<QDateTime()> now = [] { return QDateTime::currentDateTime(); };

    // --- the receipt queue lstScontrino ---
    const QStringList &queue() const { return m_queue; }
    void appendToQueue(const QString &line);
    QString takeFirstFromQueue();
    void pushFrontToQueue(const QString &line);
    void clearQueue();

    // --- the runtime monitor lstRunTime ---
    bool monitorEnabled = false; // chkRunTimeLog
    const QStringList &monitor() const { return m_monitor; }
    // AddMonitorLine: newest first, at most 10000 lines, only while enabled.
    void AddMonitorLine(const QString &text);
    void clearMonitor();

    // --- status bar sbMain, panels 1 to 4 ---
    QString panel(int n) const { return m_panels[size_t(n - 1)]; }
    void setPanel(int n, const QString &text);

    // The description widths of the selected model.
    void selectModel();

    // --- technician mode: the technician page is unlocked ---
    bool technicianMode() const { return m_technicianMode; }
    void setTechnicianMode(bool on);

signals:
    void queueChanged();
    void monitorLineAdded(const QString &line);
    void monitorCleared();
    void panelChanged(int panel, const QString &text);
    void technicianModeChanged(bool on);

private:
    QStringList m_queue;
    QStringList m_monitor;
    std::array<QString, 4> m_panels;
    bool m_technicianMode = false;
};

// How a monitor line explains itself when double-clicked.
struct MonitorExplanation {
    QString title;
    QString text;
    bool critical = false;
};
MonitorExplanation ExplainMonitorLine(const QString &line);
// The rule of the log file's name, as shown by its help button.
QString LogFileExplanation();

} // namespace norvvelm
