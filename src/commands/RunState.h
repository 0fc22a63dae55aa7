#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

namespace norvvelm {

// What the program is doing now: the receipt queue lstScontrino and whether
// a receipt is open, as the executor shows them; a stop request; the
// technician mode; the line held by an exchange; the busy pointer.
class RunState : public QObject {
    Q_OBJECT
public:
    explicit RunState(QObject *parent = nullptr) : QObject(parent) {}

    // ReceiptOpen, as the executor's queue shows it.
    bool receiptOpen() const { return m_receiptOpen; }
    void setReceiptOpen(bool open);
    // A mirror of the executor's queue, for the window.
    const QStringList &queue() const { return m_queue; }
    void mirrorQueue(const QStringList &queue);

    // Set by a stop request (SIGTERM): waits give up, lines stay queued.
    bool stopRequested() const { return m_stopRequested; }
    void requestStop();

    bool technicianMode() const { return m_technicianMode; }
    void setTechnicianMode(bool on);
    // One exchange holds the line: buttons that would send wait.
    bool lineBusy() const { return m_lineBusy; }
    void setLineBusy(bool busy);
    // A sequence of exchanges runs for a button: the busy pointer shows.
    bool busy() const { return m_busyDepth > 0; }
    void beginBusy();
    void endBusy();
    // Why the queue's journal cannot be read or written; empty while it can.
    // No new receipt is taken meanwhile.
    QString journalProblem() const { return m_journalProblem; }
    void setJournalProblem(const QString &problem);

signals:
    void receiptOpenChanged(bool open);
    void queueChanged();
    void stopRequestedChanged();
    void technicianModeChanged(bool on);
    void lineBusyChanged(bool busy);
    void busyChanged(bool busy);
    void journalProblemChanged(const QString &problem);

private:
    bool m_receiptOpen = false;
    QStringList m_queue;
    bool m_stopRequested = false;
    bool m_technicianMode = false;
    bool m_lineBusy = false;
    int m_busyDepth = 0;
    QString m_journalProblem;
};

} // namespace norvvelm
