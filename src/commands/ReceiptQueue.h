#pragma once

#include "commands/QueueModel.h"
#include "commands/ReceiptJournal.h"

#include <QList>

#include <functional>

namespace norvvelm {

class ReceiptJournal;
class Session;

// The receipt queue: one state, changed only by recording events. Each event
// goes to the journal (when there is one) before it changes the state in
// memory; the session mirrors the result for the window.
class ReceiptQueue {
public:
    explicit ReceiptQueue(Session &session) : m_s(session) {}

    void setJournal(ReceiptJournal *journal) { m_journal = journal; }
    ReceiptJournal *journal() const { return m_journal; }
    // Told when the journal did not take a record (its path is the journal's).
    void setFailureObserver(std::function<void()> observer) { m_failed = std::move(observer); }

    const QueueState &state() const { return m_state; }
    // Its records can be kept: no journal (the queue in memory alone), or
    // one that takes them.
    bool writable() const { return !m_journal || m_journal->writable(); }
    // Told after every change, before the journal may fold finished receipts
    // away: a reader of their outcomes keeps them first.
    void setObserver(std::function<void()> observer) { m_observer = std::move(observer); }
    // A state read back from the journal at start.
    void resume(const QueueState &state);

    // Records events in order: on disk first, then in memory. With `kept`,
    // nothing changes when the disk did not take them; otherwise the program
    // goes on in memory. False when the disk did not take them.
    bool record(const QList<QueueEvent> &events, bool kept = false);
    bool record(const QueueEvent &event, bool kept = false) { return record(QList<QueueEvent>{event}, kept); }

    // A receipt's lines at the end of the queue, with the working copy they
    // came from; false (nothing queued) when the journal could not keep them.
    // `id` is given the receipt's identity (0 when it has no lines).
    bool take(const QStringList &lines, const ReceiptSource &source, const QString &workingCopy = {},
              quint64 *id = nullptr);

    bool empty() const { return m_state.queue.isEmpty(); }
    QString head() const { return m_state.queue.value(0); }

private:
    // The events as they are recorded: stamped with the time, and a problem
    // with its receipt.
    QList<QueueEvent> stamped(QList<QueueEvent> events) const;
    void mirror();
    void keepJournalInPlace();

    Session &m_s;
    ReceiptJournal *m_journal = nullptr;
    std::function<void()> m_failed;
    std::function<void()> m_observer;
    QueueState m_state;
};

} // namespace norvvelm
