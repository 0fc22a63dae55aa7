#pragma once

#include "commands/CommandLanguage.h"
#include "commands/ForbiddenExtensions.h"
#include "commands/PcConfig.h"
#include "commands/RegisterOwner.h"

#include <QDateTime>
#include <QObject>
#include <QStringList>

#include <array>
#include <functional>

namespace norvvelm {

using VatTable = std::array<int, kDepartments>;

// The main window's shared state, without a window. Core objects change it
// through its setters; a window (or the daemon) observes it through the
// signals, one for each change.
class Session : public QObject {
    Q_OBJECT
public:
    static constexpr int kMonitorLimit = 10000;

    explicit Session(QObject *parent = nullptr);

    // --- the settings: one copy, the one the program runs with ---
    const PcConfig &config() const { return m_config; }
    // A loaded configuration: every value takes effect, the model row is
    // selected and its description widths taken.
    void setConfig(const PcConfig &config);
    // A saved configuration. The server state, folder, file, log and the two
    // sale-line options take effect at once; port, speed, model and window
    // mode only at the next start (the running values stay). True when the
    // saved values differ from the running ones in one of those.
    bool applySavedConfig(const PcConfig &saved);
    bool restartNeeded() const { return m_restartNeeded; }
    void setIdentity(const RegisterIdentity &identity);
    const RegisterIdentity &identity() const { return m_config.identity; }

    const ModelTable &models() const { return m_models; }
    int selectedModel() const { return m_selectedModel; } // -1 when none matched
    // The selected model row, or row 0 when none matched: pages take its shape.
    const ModelRow &modelRow() const;

    const ForbiddenExtensions &forbidden() const { return m_forbidden; }
    void setForbidden(const ForbiddenExtensions &forbidden) { m_forbidden = forbidden; }

    QString programDir() const { return m_programDir; }
    void setProgramDir(const QString &dir) { m_programDir = dir; }
    QString iniPath() const { return m_programDir + QStringLiteral("/NorvVelm.ini"); }
    bool testMode() const { return m_testMode; }
    void setTestMode(bool on) { m_testMode = on; }
    // chkLog: the daily log file is written while ticked.
    bool logEnabled() const { return m_config.ServerLog; }
    void setLogEnabled(bool on);

    // --- last exchange ---
    QString lastAnswer() const { return m_lastAnswer; }
    void setLastAnswer(const QString &answer);
    int lastStatus() const { return m_lastStatus; }
    void setLastStatus(int status);
    int enquiryStatus() const { return m_enquiryStatus; }
    void setEnquiryStatus(int status);
    QString statusText() const { return m_statusText; }
    void setStatusText(const QString &text);

    // --- the executor's state ---
    // ReceiptOpen, as the executor's queue shows it.
    bool receiptOpen() const { return m_receiptOpen; }
    void setReceiptOpen(bool open);
    const VatTable &vatTable() const { return m_vatTable; }
    // The five rates as the register sent them (empty until a read
    // succeeds), for the rate boxes.
    const QStringList &vatRateTexts() const { return m_vatRateTexts; }
    void setVatTable(const VatTable &table, const QStringList &texts = {});
    QString logPrefix() const { return m_logPrefix; } // LogPrefix
    void setLogPrefix(const QString &prefix) { m_logPrefix = prefix; }
    // Set by a stop request (SIGTERM): waits give up, lines stay queued.
    bool stopRequested() const { return m_stopRequested; }
    void requestStop();
    // The last unreachable-register report, so it is said once per outage.
    bool unreachableReported() const { return m_unreachableReported; }
    void setUnreachableReported(bool reported) { m_unreachableReported = reported; }
    // The daily log could not be written, so its outage is said once.
    bool dailyLogFailing() const { return m_dailyLogFailing; }
    void setDailyLogFailing(bool failing) { m_dailyLogFailing = failing; }

    // --- technician mode and the line ---
    bool technicianMode() const { return m_technicianMode; }
    void setTechnicianMode(bool on);
    // One exchange holds the line: buttons that would send wait.
    bool lineBusy() const { return m_lineBusy; }
    void setLineBusy(bool busy);
    // Who may talk to the register: the print server or the operator.
    RegisterOwner &registerOwner() { return m_registerOwner; }
    const RegisterOwner &registerOwner() const { return m_registerOwner; }
    // A sequence of exchanges runs for a button: the busy pointer shows.
    bool busy() const { return m_busyDepth > 0; }
    void beginBusy();
    void endBusy();

    // The clock of log lines and report names (tests fix it).
    QDateTime now() const { return m_now(); }
    void setNow(std::function<QDateTime()> now) { m_now = std::move(now); }

    // --- the receipt queue lstScontrino: a mirror of the executor's queue ---
    const QStringList &queue() const { return m_queue; }
    void mirrorQueue(const QStringList &queue);

    // --- the runtime monitor lstRunTime ---
    bool monitorEnabled() const { return m_monitorEnabled; } // chkRunTimeLog
    void setMonitorEnabled(bool on);
    const QStringList &monitor() const { return m_monitor; }
    // AddMonitorLine: newest first, at most 10000 lines, only while enabled.
    void AddMonitorLine(const QString &text);
    void clearMonitor();

    // --- status bar sbMain, panels 1 to 4 ---
    QString panel(int n) const;
    void setPanel(int n, const QString &text);

signals:
    void configChanged();
    void restartNeededChanged(bool needed);
    void identityChanged(const norvvelm::RegisterIdentity &identity);
    void lastAnswerChanged(const QString &answer);
    void lastStatusChanged(int status);
    void enquiryStatusChanged(int status);
    void statusTextChanged(const QString &text);
    void receiptOpenChanged(bool open);
    void vatTableChanged();
    void technicianModeChanged(bool on);
    void lineBusyChanged(bool busy);
    void busyChanged(bool busy);
    void stopRequestedChanged();
    void queueChanged();
    void monitorEnabledChanged(bool on);
    void monitorLineAdded(const QString &line);
    void monitorCleared();
    void panelChanged(int panel, const QString &text);

private:
    PcConfig m_config;
    ModelTable m_models = setupModelli();
    int m_selectedModel = -1;
    ForbiddenExtensions m_forbidden;
    QString m_programDir;
    bool m_testMode = false;
    bool m_restartNeeded = false;

    QString m_lastAnswer;
    int m_lastStatus = 0;
    int m_enquiryStatus = 0;
    QString m_statusText;

    bool m_receiptOpen = false;
    VatTable m_vatTable;
    QStringList m_vatRateTexts;
    QString m_logPrefix;
    bool m_stopRequested = false;
    bool m_unreachableReported = false;
    bool m_dailyLogFailing = false;
    bool m_technicianMode = false;
    bool m_lineBusy = false;
    int m_busyDepth = 0;
    RegisterOwner m_registerOwner;
    std::function<QDateTime()> m_now = [] { return QDateTime::currentDateTime(); };

    QStringList m_queue;
    bool m_monitorEnabled = false;
    QStringList m_monitor;
    std::array<QString, 4> m_panels;
};

// The monitor's prefixes: a line to the register, a line from it.
inline QString MonitorToRegister() {
    return QStringLiteral("PC -> ECR : ");
}
inline QString MonitorFromRegister() {
    return QStringLiteral("ECR        : ");
}

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
