#include "commands/ReceiptQueue.h"

#include "commands/DailyLog.h"
#include "commands/ReceiptJournal.h"
#include "commands/Session.h"

#include <QDir>

namespace norvvelm {

void ReceiptQueue::resume(const QueueState &state) {
    m_state = state;
    mirror();
    if (m_observer)
        m_observer();
}

QList<QueueEvent> ReceiptQueue::stamped(QList<QueueEvent> events) const {
    // A problem belongs to the receipt of the line out, or of the one that ended last.
    const QDateTime now = m_s.now();
    for (QueueEvent &e : events) {
        if (e.kind == QueueEvent::Kind::Problem && e.id == 0)
            e.id = m_state.inFlight ? m_state.inFlightOwner : m_state.lastEnded;
        e.at = now;
    }
    return events;
}

bool ReceiptQueue::record(const QList<QueueEvent> &eventsIn, bool kept) {
    const QList<QueueEvent> events = stamped(eventsIn);
    keepJournalInPlace();
    const bool written = !m_journal || m_journal->append(events, m_state);
    if (!written) {
        if (m_failed)
            m_failed();
        if (kept)
            return false;
    }
    bool ended = false;
    for (const QueueEvent &e : events) {
        ApplyQueueEvent(m_state, e);
        ended = ended || e.kind == QueueEvent::Kind::Done;
    }
    if (m_observer)
        m_observer();
    // A line's end is where the records may be folded into the state alone.
    if (ended && m_journal && !m_journal->compact(m_state) && m_failed)
        m_failed();
    mirror();
    return written;
}

bool ReceiptQueue::take(const QStringList &lines, const ReceiptSource &source, const QString &workingCopy,
                        quint64 *id) {
    // A receipt without lines has nothing to wait for: it is never queued.
    const quint64 taken = lines.isEmpty() ? 0 : m_state.nextId;
    QList<QueueEvent> events;
    if (taken != 0)
        events.append(QueueEvent::receiptArrives(taken, source));
    for (const QString &l : lines)
        events.append(QueueEvent::line(l));
    if (!workingCopy.isEmpty())
        events.append(QueueEvent::workingCopy(workingCopy));
    if (taken != 0)
        events.append(QueueEvent::taken(taken));
    if (id)
        *id = 0;
    if (!record(events, true))
        return false;
    if (id)
        *id = taken;
    return true;
}

void ReceiptQueue::keepJournalInPlace() {
    // Removed or replaced while the program runs (a clean-up, a restore):
    // written anew under its name, or a later crash would find nothing of
    // the receipt under way.
    if (!m_journal || !m_journal->replacedOnDisk())
        return;
    const bool rewritten = m_journal->start(m_state);
    const QString text =
        QStringLiteral("Giornale della coda rimosso o sostituito mentre il programma "
                       "lavorava: ") +
        (rewritten ? QStringLiteral("riscritto ") : QStringLiteral("impossibile riscriverlo: ")) +
        QDir::toNativeSeparators(m_journal->path());
    m_s.monitor().AddMonitorLine(MonitorFromRegister() + text);
    WriteLogLine(m_s, text, QString());
    m_s.statusBar().setMessage(QStringLiteral("Giornale della coda"), text);
}

void ReceiptQueue::mirror() {
    m_s.runState().mirrorQueue(m_state.queue);
    m_s.runState().setReceiptOpen(m_state.receiptOpenAsShown());
}

} // namespace norvvelm
