#pragma once

#include "commands/CommandLanguage.h"
#include "commands/ExchangePolicy.h"
#include "commands/ReceiptJournal.h"
#include "commands/ReceiptQueue.h"

#include <QString>

#include <functional>
#include <optional>

namespace norvvelm {

class Prompter;
class Session;
class SerialFunz2;
struct ReceiptRuleRow;

// Sends the receipt queue to the register line by line, keeping the receipt
// state and recovering by error class.
class Executor {
public:
    Executor(Session &session, SerialFunz2 &link, Prompter &prompter);

    // Returns when the queue is empty, when a line is refused as not handled,
    // when the register cannot be reached (the line goes back to the head of
    // the queue), or when a stop was requested.
    void ExecuteReceiptQueue();

    void setLimits(const ExecutorLimits &limits) { m_limits = limits; }
    const ExecutorLimits &limits() const { return m_limits; }
    // Before a line that closes a receipt, the register's count of receipts
    // is read, so that a lost answer to it can be judged from the count.
    // Without it the void key's answer judges (nothing open: it closed).
    bool readCountsBeforeClosing = true;

    static QString unreachableMessage();
    // The register could not be reached and that was said: it is said once
    // per outage, and the outage lasts until the register answers again.
    bool unreachableReported() const { return m_unreachableReported; }
    void registerAnswered() { m_unreachableReported = false; }

    // The queue on disk: every line taken, every line about to go out and
    // its end are recorded there before the program acts on them. Without a
    // journal the same bookkeeping is kept in memory only.
    void setJournal(ReceiptJournal *journal) { m_queue.setJournal(journal); }
    // A state read back from the journal at start: it becomes the queue, and
    // the register is brought to a known state before any further line goes out.
    void resume(const QueueState &state);
    // Lines of a receipt, queued; false (nothing queued) when the journal
    // could not keep them. `id` is given the receipt's identity.
    bool enqueue(const QStringList &lines, const QString &workingCopy = {}, const ReceiptSource &source = {},
                 quint64 *id = nullptr);
    // The journal takes records: while it does not, no receipt is taken and
    // no line goes out.
    bool journalWritable() const { return m_queue.writable(); }
    // The journal written anew from the queue's state after a failure; false
    // while it still cannot be written.
    bool mendJournal();
    // Once the register has been brought to a known state (the void key
    // answered), its totals read and handed to `judge`, once: what a lost
    // history is judged by.
    void judgeAfterRecovery(std::function<void(const ReceiptTotals &)> judge) { m_judge = std::move(judge); }
    // The journal cannot be read or written: said once, until it is mended.
    void sayJournalProblem(const QString &problem);
    void journalMended();
    // The register's state is not known yet (a line went out and its answer
    // was lost, or the program stopped in the middle of a receipt), or a
    // receipt given up still waits for its void key.
    bool recoveryPending() const { return m_recover || m_queue.state().abandonedPending() != 0; }
    // A request's receipt none of whose lines went out, withdrawn for `why`.
    enum class Withdrawal { Withdrawn, Started, Ended, Unknown, NotKept };
    Withdrawal withdraw(quint64 id, const QString &code, const QString &why);
    // Requests whose time to start ran out are withdrawn (said as expired).
    void expireQueued();
    // The register's figures of the day, read now: only while the queue
    // stands idle and nothing is being sent; false otherwise or when the
    // register cannot be reached. Every read of the figures is kept with its
    // time (`lastFigures`), those around each closing included.
    bool readFigures(ReceiptTotals &out);
    struct FiguresRead {
        ReceiptTotals totals;
        QDateTime at;
    };
    const std::optional<FiguresRead> &lastFigures() const { return m_lastFigures; }
    // Nothing tells what the register holds (the journal lost, cut or set
    // aside): before any line goes out, its void key, which a register with no
    // receipt open answers harmlessly.
    void assumeReceiptMayBeOpen();
    const QueueState &state() const { return m_queue.state(); }
    // Told after every change of the queue's state.
    void setQueueObserver(std::function<void()> observer) { m_queue.setObserver(std::move(observer)); }

private:
    enum class Outcome { Next, Return, Uncertain };
    enum class Step { Next, Stop };
    Step takeLine();
    bool fromRequest(quint64 id) const;
    bool figuresBefore();
    std::optional<Step> journalBefore(const QString &taken);
    void figuresAfter(quint64 owner);
    std::optional<Step> beforeRequest();
    void expire(quint64 id);
    Step afterRequestLine(quint64 owner, bool faulted);
    Step abandon(quint64 id, const QString &code, const QString &why);
    bool voidAbandoned();
    Step skipRefused(const LineVerdict &verdict, const QString &taken);
    Step sendLine(const ReceiptRuleRow &row, const QString &taken, const QString &line);
    Step lineOutcome(Outcome outcome, const ReceiptRuleRow &row, bool openBefore, const ReceiptTotals &before,
                     bool fromChain);
    bool endLine(const ReceiptRuleRow &row, bool openBefore, const ReceiptTotals &before);
    bool chainFresh() const;
    bool totalsBefore(const ReceiptRuleRow &row, bool openBefore, ReceiptTotals &before);
    QString rewritten(const ReceiptRuleRow &row, const QString &line) const;
    Outcome exchangeLine(const QString &line, bool repeatable);
    Outcome lineEnded(const Sent &sent, const QString &line, bool repeatable);
    void seriousFault(const QString &line, const QString &code);
    // Brings the register to a known state; false when it cannot be reached.
    bool recover();
    enum class Known { Yes, No, Unreachable };
    Known closingInFlight();
    Known judgeInFlight();
    Known closedOnRegister();
    bool voidOpenReceipt();
    bool pressVoidKey(QString &answer);
    void dropReceipt();
    // One exchange of the program's own (a read, the void key), repeated
    // while the register is busy or its answer is lost; false when the
    // register could not be reached.
    bool ownExchange(const QString &line, QString &answer);
    ReceiptTotals readTotals(bool &reached);
    // The line in flight has ended; the receipt state says where it belongs.
    void finishLine(bool openAfter);
    bool closeReceipt();
    static std::optional<qint64> totalClosed(const QueuedReceipt *r, const ReceiptTotals &after,
                                             std::optional<qint64> salesBefore);
    void closedAt(const ReceiptTotals &after);
    void skipLine(const QString &taken, const QString &problem = {});
    void journalFailed();
    void refuseLine(const QString &line, const QString &problem);
    bool writeDailyReport(const QString &taken);
    ExchangeHooks hooks(const QString &line, const QString &code, bool receiptLine);
    void sayAttempt(AnswerKind kind, const Reply &reply, const QString &line, const QString &code);
    void reportUnreachable(const QString &line);
    void gaveUp(const QString &line, const QString &message);
    void log(const QString &message, const QString &line);
    void monitor(const QString &text);

    // The totals read after a closing, kept for the next receipt: one that the
    // very next line opens, at once, starts from them instead of reading them
    // again before its own closing. In between nobody else spoke to the
    // register, and no receipt can be rung up and closed on its keyboard in
    // that time; from its first line on the register holds our receipt.
    struct ChainedTotals {
        ReceiptTotals totals;
        quint64 linesSent = 0; // the link's count when they were read
        qint64 atMs = 0;
    };
    static constexpr qint64 kChainedTotalsMs = 50;
    std::optional<ChainedTotals> m_chain;
    bool m_chainHolds = false; // the open receipt started from m_chain
    void dropChain() {
        m_chain.reset();
        m_chainHolds = false;
    }

    ExecutorLimits m_limits;
    Session &m_s;
    SerialFunz2 &m_link;
    Prompter &m_prompter;
    ReceiptQueue m_queue;
    bool m_recover = false;
    std::function<void(const ReceiptTotals &)> m_judge;
    void judgeRecovered();
    bool m_unreachableReported = false;
    bool m_unknown = false;
    bool m_refusalSaid = false;
    bool m_journalFailureSaid = false;
    std::optional<FiguresRead> m_lastFigures;
    bool m_busy = false;      // the queue is being sent: its head is the loop's
    bool m_lineFault = false; // the line that went out was refused or dropped
};

} // namespace norvvelm
