#include "commands/RunState.h"

namespace norvvelm {

void RunState::setReceiptOpen(bool open) {
    if (open == m_receiptOpen)
        return;
    m_receiptOpen = open;
    emit receiptOpenChanged(open);
}

void RunState::mirrorQueue(const QStringList &queue) {
    if (m_queue == queue)
        return;
    m_queue = queue;
    emit queueChanged();
}

void RunState::requestStop() {
    if (m_stopRequested)
        return;
    m_stopRequested = true;
    emit stopRequestedChanged();
}

void RunState::setTechnicianMode(bool on) {
    if (on == m_technicianMode)
        return;
    m_technicianMode = on;
    emit technicianModeChanged(on);
}

void RunState::setLineBusy(bool busy) {
    if (busy == m_lineBusy)
        return;
    m_lineBusy = busy;
    emit lineBusyChanged(busy);
}

void RunState::beginBusy() {
    if (m_busyDepth++ == 0)
        emit busyChanged(true);
}

void RunState::endBusy() {
    if (m_busyDepth > 0 && --m_busyDepth == 0)
        emit busyChanged(false);
}

void RunState::setJournalProblem(const QString &problem) {
    if (problem == m_journalProblem)
        return;
    m_journalProblem = problem;
    emit journalProblemChanged(problem);
}

} // namespace norvvelm
