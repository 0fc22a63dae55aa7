#pragma once

#include "commands/ReceiptJournal.h"

#include <QString>

namespace norvvelm {

class Prompter;
class Session;
class SerialFunz2;

// Bounds on the repeats the register can otherwise keep going forever.
struct ExecutorLimits {
    int nakRepeats = 10;          // NAK to the frame, 1000 ms apart: then the line is dropped
    int busyRepeats = 300;        // busy answers, 100 ms apart: then the queue waits for a later call
    int paperStatusRepeats = 150; // paper status, 2000 ms apart: then the queue waits for a later call
    int emptyAnswerRepeats = 5;   // empty answers while the status is fine: then the line is dropped
    int receiptResends = 3;       // a receipt voided and sent again so often is given up
};

// Sends the receipt queue to the register line by line, keeping the receipt
// state and recovering by error class.
class Executor {
public:
    Executor(Session &session, SerialFunz2 &link, Prompter &prompter)
        : m_s(session), m_link(link), m_prompter(prompter) {}

    // Returns when the queue is empty, when a line is refused as not handled,
    // when the register cannot be reached (the line goes back to the head of
    // the queue), or when a stop was requested.
    void ExecuteReceiptQueue();

    ExecutorLimits limits;
    // Before a line that closes a receipt, the register's count of receipts
    // is read, so that a lost answer to it can be judged from the count.
    // Without it the void key's answer judges (nothing open: it closed).
    bool readCountsBeforeClosing = true;

    static QString unreachableMessage();

    // The queue on disk: every line taken, every line about to go out and
    // its end are recorded there before the program acts on them. Without a
    // journal the same bookkeeping is kept in memory only.
    void setJournal(ReceiptJournal *journal) { m_journal = journal; }
    // A state read back from the journal at start: its queue joins the
    // session's, and the register is brought to a known state before any
    // further line goes out.
    void resume(const QueueState &state);
    // Lines of a receipt file, queued; false (nothing queued) when the
    // journal could not keep them.
    bool enqueue(const QStringList &lines, const QString &workingCopy = {});
    // The register's state is not known yet (a line went out and its answer
    // was lost, or the program stopped in the middle of a receipt).
    bool recoveryPending() const { return m_recover; }
    const QueueState &state() const { return m_state; }

private:
    enum class Outcome { Next, Return, Uncertain };
    Outcome exchangeLine(const QString &taken, const QString &line, const QString &code);
    // Brings the register to a known state; false when it cannot be reached.
    bool recover();
    enum class Quiet { Answered, Unreachable };
    // One exchange of the program's own (a read, the void key), repeated
    // while the register is busy or its answer is lost.
    Quiet quietExchange(const QString &line, QString &answer);
    int readReceiptCount(bool &reached);
    // The bookkeeping of the line in flight, in memory and on disk.
    bool beginLine(const QString &taken, bool openBefore, int receiptsBefore);
    void skipLine(const QString &taken);
    void finishLine();
    void putBack(const QString &taken);
    void journalFailed();
    QueueState snapshot() const;
    void refuseLine(const QString &line, const QString &problem);
    bool writeDailyReport(const QString &taken);
    // The answer to the frame just sent, kept as the last answer.
    QString receiveAnswer();
    void reportUnreachable(const QString &line);
    void waitForOperator();
    void gaveUp(const QString &line, const QString &message, bool requeue);
    void log(const QString &message, const QString &line);
    void monitor(const QString &text);

    Session &m_s;
    SerialFunz2 &m_link;
    Prompter &m_prompter;
    ReceiptJournal *m_journal = nullptr;
    QueueState m_state; // its queue is the session's
    int m_resends = 0;
    bool m_recover = false;
    bool m_refusalSaid = false;
    bool m_journalFailureSaid = false;
};

} // namespace norvvelm
