#include "commands/Executor.h"

#include "commands/CommandLanguage.h"
#include "commands/DailyLog.h"
#include "commands/DocumentLines.h"
#include "commands/Prompter.h"
#include "commands/Runner.h"
#include "commands/Session.h"
#include "commands/WriteFailure.h"
#include "link/Ansi.h"
#include "link/EcrErrors.h"
#include "link/SerialFunz2.h"

#include <QDir>
#include <QFile>
#include <QScopedValueRollback>

#include <utility>

namespace norvvelm {

namespace {
const QString kPaper = QStringLiteral("Sostituire rotolo scontrino");
const QString kSerious = QStringLiteral("errore grave. Chiamare Casa madre");
// The documents whose outcome carries the day's figures: the sales report
// and the daily closing (which then says whether it set them to zero).
const QString kSalesReport = QStringLiteral("sales_report");
const QString kDailyClosing = QStringLiteral("daily_closing");
// A credit note adds to the register's returns, not to its sales: its total
// is what the returns rose by, from the figures read before it.
const QString kCreditNote = QStringLiteral("credit_note");
const QString kReprintLast = QStringLiteral("reprint_last");

bool closing(const QString &line, bool composed) {
    const ReceiptRule r = ReceiptRuleOfLine(CompleteLine(line), composed).rule;
    return r == ReceiptRule::Closes || r == ReceiptRule::EndsOpen;
}
} // namespace

Executor::Executor(Session &session, SerialFunz2 &link, Prompter &prompter)
    : m_s(session), m_link(link), m_prompter(prompter), m_queue(session) {
    m_queue.setFailureObserver([this] { journalFailed(); });
}

QString Executor::unreachableMessage() {
    return QStringLiteral("Comunicazione impossibile ! Cassa spenta o ") +
           QStringLiteral("cavo interrotto o velocit\u00e0 errata");
}

void Executor::log(const QString &message, const QString &line) {
    WriteLogLine(m_s, message, line);
}

void Executor::monitor(const QString &text) {
    m_s.monitor().AddMonitorLine(text);
}

void Executor::reportUnreachable(const QString &line) {
    // Said once per outage: the server calls again at every tick while the
    // queue waits, and one message is enough for the operator.
    if (m_unreachableReported)
        return;
    m_unreachableReported = true;
    const QString message = unreachableMessage();
    monitor(MonitorFromRegister() + message);
    log(message, line);
    m_prompter.message(message, QStringLiteral("Attenzione"), Prompter::Icon::Critical);
}

void Executor::gaveUp(const QString &line, const QString &message) {
    m_queue.record(QueueEvent::problem(message));
    monitor(MonitorFromRegister() + message);
    log(message, line);
    m_prompter.message(message, QStringLiteral("Attenzione"), Prompter::Icon::Critical);
}

// ---------------------------------------------------------------- bookkeeping

// Said once per outage, on the monitor, the daily log and the status bar;
// until the journal is mended no receipt is taken and no line goes out.
void Executor::journalFailed() {
    ReceiptJournal *journal = m_queue.journal();
    if (m_journalFailureSaid || !journal)
        return;
    ReportWriteFailure(m_s, QStringLiteral("il giornale della coda"), journal->path());
    sayJournalProblem(m_s.statusBar().panel(2) + QStringLiteral(" (") + journal->error() + u')');
}

void Executor::sayJournalProblem(const QString &problem) {
    if (std::exchange(m_journalFailureSaid, true))
        return;
    const QString text =
        problem +
        QStringLiteral(": nessuno scontrino accettato finch\u00e9 il giornale non torna scrivibile");
    monitor(MonitorFromRegister() + text);
    log(text, QString());
    m_s.runState().setJournalProblem(text);
}

void Executor::judgeRecovered() {
    if (!m_judge)
        return;
    bool reached = true;
    const ReceiptTotals now = readTotals(reached);
    if (reached)
        std::exchange(m_judge, {})(now);
}

bool Executor::mendJournal() {
    ReceiptJournal *journal = m_queue.journal();
    if (!journal || journal->writable())
        return true;
    if (!journal->start(m_queue.state()))
        return false;
    journalMended();
    return true;
}

void Executor::journalMended() {
    if (!std::exchange(m_journalFailureSaid, false))
        return;
    const QString text = QStringLiteral("Giornale della coda di nuovo scrivibile: ") +
                         QDir::toNativeSeparators(m_queue.journal()->path());
    monitor(MonitorFromRegister() + text);
    log(text, QString());
    m_s.statusBar().setMessage(QStringLiteral("Giornale della coda"), text);
    m_s.runState().setJournalProblem({});
}

void Executor::resume(const QueueState &state) {
    m_queue.resume(state);
    m_recover = m_unknown || state.inFlight || state.receiptOpen;
}

void Executor::assumeReceiptMayBeOpen() {
    m_unknown = true;
    m_recover = true;
}

bool Executor::enqueue(const QStringList &lines, const QString &workingCopy, const ReceiptSource &source,
                       quint64 *id) {
    return m_queue.take(lines, source, workingCopy, id);
}

void Executor::skipLine(const QString &taken, const QString &problem) {
    QList<QueueEvent> events{QueueEvent::skipped(taken)};
    if (!problem.isEmpty())
        events.append(QueueEvent::problem(problem));
    m_queue.record(events);
}

void Executor::finishLine(bool openAfter) {
    m_queue.record(QueueEvent::done(openAfter));
}

// A closing line ended: the register, not the line, says whether it closed
// the receipt. Its count of receipts rises when it does, and its totals then
// give the receipt its number and total; a payment short of the total (the
// first of several) leaves it open. False when the totals could not be read:
// the line stays in flight, judged when the register answers again.
bool Executor::closeReceipt() {
    bool reached = true;
    const ReceiptTotals after = readTotals(reached);
    if (!reached)
        return false;
    const QueueState &s = m_queue.state();
    if (after.receipts < 0) {
        // An answer without a count: the line's rule judges.
        finishLine(false);
        return true;
    }
    if (after.receipts <= s.receiptsBefore) {
        finishLine(true);
        return true;
    }
    closedAt(after);
    m_chain = ChainedTotals{after, m_link.linesSent(), m_link.clock().nowMs()};
    return true;
}

// What a receipt closed on the register came to: its sales, or for a credit
// note the returns it added; none when the figures to tell are missing.
std::optional<qint64> Executor::totalClosed(const QueuedReceipt *r, const ReceiptTotals &after,
                                            std::optional<qint64> salesBefore) {
    if (r && r->source.document == kCreditNote) {
        if (r->figures && r->figures->returnsCents && after.returnsCents)
            return *after.returnsCents - *r->figures->returnsCents;
        return std::nullopt;
    }
    if (after.salesCents && salesBefore)
        return *after.salesCents - *salesBefore;
    return std::nullopt;
}

void Executor::closedAt(const ReceiptTotals &after) {
    const QueueState &s = m_queue.state();
    const std::optional<qint64> total = totalClosed(s.find(s.inFlightOwner), after, s.salesBefore);
    m_queue.record(QueueEvent::closed(after.receipts, total));
}

void Executor::refuseLine(const QString &line, const QString &problem) {
    const QString message = QStringLiteral("Riga rifiutata, non inviata alla cassa: ") + problem;
    monitor(MonitorFromRegister() + message);
    log(message, line.left(200));
    if (!m_refusalSaid)
        m_prompter.message(message, QStringLiteral("Attenzione"), Prompter::Icon::Critical);
    m_refusalSaid = true;
}

// ---------------------------------------------------------------- the queue

void Executor::ExecuteReceiptQueue() {
    m_refusalSaid = false;
    // A receipt left open by an earlier call reads its totals afresh.
    m_chainHolds = false;
    // No line goes out that the journal could not keep.
    if (!m_queue.writable())
        return;
    const QScopedValueRollback busy(m_busy, true);
    expireQueued();
    // A receipt given up whose void key did not go yet: before anything else.
    if (!voidAbandoned())
        return;
    if (m_recover) {
        if (!recover())
            return;
        m_recover = false;
    }
    judgeRecovered();
    while (!m_s.runState().stopRequested() && !m_queue.empty() && m_queue.writable()) {
        if (takeLine() == Step::Stop)
            return;
    }
}

Executor::Step Executor::takeLine() {
    if (const std::optional<Step> before = beforeRequest())
        return *before;
    const QString taken = m_queue.head();
    monitor(MonitorToRegister() + taken.left(kMaxLineChars));
    const LineVerdict v = JudgeReceiptLine(taken, m_queue.state().receiptOpen,
                                           m_queue.state().composed(m_queue.state().queueOwners.value(0)));
    if (!v.goesOut())
        return skipRefused(v, taken);
    if (v.row->rule == ReceiptRule::DailyReport) {
        if (!writeDailyReport(taken))
            return Step::Stop;
        skipLine(taken);
        return Step::Next;
    }
    return sendLine(*v.row, taken, v.line);
}

// A line the register never sees: blank, unfit to travel, or refused by its
// rule in the receipt state it meets.
Executor::Step Executor::skipRefused(const LineVerdict &v, const QString &taken) {
    const QString code = CommandCode(v.line);
    const quint64 owner = m_queue.state().queueOwners.value(0);
    switch (v.why) {
    case LineVerdict::Why::None:
    case LineVerdict::Why::Blank:
        skipLine(taken);
        return afterRequestLine(owner, false);
    case LineVerdict::Why::Unfit:
        skipLine(taken, v.detail);
        refuseLine(v.line, v.detail);
        return afterRequestLine(owner, true);
    case LineVerdict::Why::NotHandled: {
        const QString message = u'"' + code + QStringLiteral("\" - Comando non gestito !");
        skipLine(taken, message);
        log(message, v.line);
        monitor(MonitorFromRegister() + QStringLiteral("Comando ") + code + QStringLiteral(" non gestito."));
        return fromRequest(owner) ? afterRequestLine(owner, true) : Step::Stop;
    }
    case LineVerdict::Why::NotOpen:
        skipLine(taken, QStringLiteral("Scontrino non aperto"));
        monitor(MonitorFromRegister() + QStringLiteral("Scontrino non aperto"));
        return afterRequestLine(owner, true);
    case LineVerdict::Why::OpenReceipt: {
        const QString message =
            u'"' + code + QStringLiteral("\" - Comando non gestito con scontrino aperto !");
        skipLine(taken, message);
        log(message, v.line);
        monitor(MonitorFromRegister() + QStringLiteral("Comando non gestito con scontrino aperto"));
        return afterRequestLine(owner, true);
    }
    }
    return Step::Next;
}

// ---------------------------------------------------------------- requests

bool Executor::fromRequest(quint64 id) const {
    const QueuedReceipt *r = m_queue.state().find(id);
    return r && r->source.kind == ReceiptSource::Kind::Request;
}

// Before the first line of a request's receipt: one whose time ran out is
// withdrawn, and a receipt that a file left open on the register is voided
// first, so that no line of a request joins it. Nothing to do: no step.
std::optional<Executor::Step> Executor::beforeRequest() {
    const QueueState &s = m_queue.state();
    const quint64 id = s.queueOwners.value(0);
    const QueuedReceipt *r = s.find(id);
    if (!r || r->source.kind != ReceiptSource::Kind::Request || r->state != QueuedReceipt::State::Queued)
        return std::nullopt;
    if (r->source.expires.isValid() && m_s.now() >= r->source.expires) {
        expire(id);
        return m_queue.writable() ? Step::Next : Step::Stop;
    }
    if (!s.receiptOpen || s.receiptOwners.contains(id))
        return std::nullopt;
    const quint64 left = s.receiptOwners.value(0);
    QString answer;
    if (!pressVoidKey(answer))
        return Step::Stop;
    const QString message = QStringLiteral("Scontrino lasciato aperto da un file annullato: ") +
                            QStringLiteral("uno scontrino dell'interfaccia non vi si aggiunge");
    monitor(MonitorFromRegister() + message);
    log(message, VoidReceiptLine());
    return m_queue.record({QueueEvent::problem(message, left), QueueEvent::givenUp()}, true) ? Step::Next
                                                                                             : Step::Stop;
}

void Executor::expire(quint64 id) {
    const QString why = QStringLiteral("Scaduto prima che la cassa lo potesse stampare: non stampato");
    if (m_queue.record(QueueEvent::cancelled(id, QStringLiteral("expired"), why), true)) {
        monitor(MonitorFromRegister() + why);
        log(why, QString());
    }
}

void Executor::expireQueued() {
    const QDateTime now = m_s.now();
    QList<quint64> due;
    for (const QueuedReceipt &r : m_queue.state().receipts) {
        if (r.state == QueuedReceipt::State::Queued && r.source.expires.isValid() && now >= r.source.expires)
            due.append(r.id);
    }
    for (const quint64 id : std::as_const(due)) {
        // The receipt about to go out is the sending loop's to judge.
        if (!(m_busy && m_queue.state().queueOwners.value(0) == id))
            expire(id);
    }
}

Executor::Withdrawal Executor::withdraw(quint64 id, const QString &code, const QString &why) {
    const QueuedReceipt *r = m_queue.state().find(id);
    if (!r)
        return Withdrawal::Unknown;
    if (IsFinal(r->outcome))
        return Withdrawal::Ended;
    if (r->state != QueuedReceipt::State::Queued || (m_busy && m_queue.state().queueOwners.value(0) == id))
        return Withdrawal::Started;
    if (!m_queue.writable() || !m_queue.record(QueueEvent::cancelled(id, code, why), true))
        return m_queue.writable() ? Withdrawal::Started : Withdrawal::NotKept;
    monitor(MonitorFromRegister() + why);
    log(why, QString());
    return Withdrawal::Withdrawn;
}

// After a line of a request's receipt: a line the register refused (or that
// could not go) stops the receipt, and a receipt whose lines all went with
// the register's receipt still open (a payment refused or short of the
// total, none at all) is voided: a request prints what it asked, or nothing.
Executor::Step Executor::afterRequestLine(quint64 owner, bool faulted) {
    const QueueState &s = m_queue.state();
    const QueuedReceipt *r = s.find(owner);
    if (!r || r->source.kind != ReceiptSource::Kind::Request ||
        (r->state != QueuedReceipt::State::Queued && r->state != QueuedReceipt::State::Printing))
        return Step::Next;
    if (faulted)
        return abandon(owner, QStringLiteral("line_refused"),
                       QStringLiteral("Riga rifiutata: scontrino annullato sulla cassa, non stampato"));
    if (s.queueOwners.contains(owner) || !s.receiptOpen || !s.receiptOwners.contains(owner))
        return Step::Next;
    return abandon(
        owner, QStringLiteral("left_open"),
        QStringLiteral("Scontrino rimasto aperto sulla cassa (pagamento rifiutato, insufficiente o "
                       "assente): annullato, non stampato"));
}

Executor::Step Executor::abandon(quint64 id, const QString &code, const QString &why) {
    monitor(MonitorFromRegister() + why);
    log(why, QString());
    if (!m_queue.record(QueueEvent::abandoned(id, code, why), true))
        return Step::Stop;
    return voidAbandoned() ? Step::Next : Step::Stop;
}

// The void key for a receipt given up: whether it held a receipt open or
// none (it answers so), the receipt ends failed, and nothing of it is sent
// again. False when the register could not be reached: tried again first
// thing when it answers.
bool Executor::voidAbandoned() {
    const quint64 id = m_queue.state().abandonedPending();
    if (id == 0)
        return true;
    QString answer;
    if (!pressVoidKey(answer))
        return false;
    dropChain();
    return m_queue.record(QueueEvent::givenUp(id), true);
}

// The totals read after the last closing may stand for the receipt the next
// line opens: nothing else went to the register since, and little time passed.
bool Executor::chainFresh() const {
    return m_chain && m_chain->linesSent == m_link.linesSent() &&
           m_link.clock().nowMs() - m_chain->atMs <= kChainedTotalsMs;
}

// What the register can tell afterwards, should the answer to a closing be
// lost: its count of receipts closed (and its sales total, for the receipt's
// own). False when the register could not be reached.
bool Executor::totalsBefore(const ReceiptRuleRow &row, bool openBefore, ReceiptTotals &before) {
    if (!row.countsBefore || !openBefore || !readCountsBeforeClosing)
        return true;
    if (std::exchange(m_chainHolds, false)) {
        before = m_chain->totals;
        return true;
    }
    bool reached = true;
    before = readTotals(reached);
    return reached;
}

// A sale line as the configuration wants it on the register.
QString Executor::rewritten(const ReceiptRuleRow &row, const QString &line) const {
    if (!row.rewritten)
        return line;
    SaleRewrite how;
    how.wrapDescription = m_s.settings().config().WrapDescription;
    how.width1 = m_s.settings().config().DescrWidth1;
    how.width2 = m_s.settings().config().DescrWidth2;
    how.autoVat = m_s.settings().config().AlIvaAuto;
    how.vatTable = &m_s.settings().vatTable();
    return RewriteReceiptLine(line, how);
}

Executor::Step Executor::sendLine(const ReceiptRuleRow &row, const QString &taken, const QString &lineIn) {
    const bool openBefore = m_queue.state().receiptOpen;
    bool fromChain = false;
    if (!openBefore) {
        fromChain = chainFresh();
        m_chainHolds = false;
    }
    if (!figuresBefore())
        return Step::Stop;
    if (const std::optional<Step> refused = journalBefore(taken))
        return *refused;
    ReceiptTotals before;
    if (!totalsBefore(row, openBefore, before))
        return Step::Stop;
    if (!m_queue.record(QueueEvent::sending(taken, openBefore, before.receipts, before.salesCents), true))
        return Step::Stop;
    const QString line = rewritten(row, lineIn);
    // Sending it again cannot change a receipt: a read, or a text outside one.
    const bool repeatable = !openBefore && row.rule == ReceiptRule::Neutral;
    const quint64 owner = m_queue.state().inFlightOwner;
    m_lineFault = false;
    const Step step = lineOutcome(exchangeLine(line, repeatable), row, openBefore, before, fromChain);
    return step == Step::Next ? afterRequestLine(owner, std::exchange(m_lineFault, false)) : step;
}

// Before the report or closing a request asked for: the day's figures, read
// once, so that its outcome tells what it counted. False when the register
// could not be reached.
bool Executor::figuresBefore() {
    const quint64 owner = m_queue.state().queueOwners.value(0);
    const QueuedReceipt *r = m_queue.state().find(owner);
    if (!r || r->figures ||
        (r->source.document != kSalesReport && r->source.document != kDailyClosing &&
         r->source.document != kCreditNote))
        return true;
    bool reached = true;
    const ReceiptTotals now = readTotals(reached);
    if (!reached)
        return false;
    if (now.read())
        m_queue.record(QueueEvent::figuresOf(owner, now, false));
    return true;
}

// Before the copy of the last receipt a request asked for: the journal's
// setting read, and written when it lacks it, as the register page does
// before the same key. No step when the key may go; the document given up
// when the journal cannot be read or set (the page then sends nothing
// either).
std::optional<Executor::Step> Executor::journalBefore(const QString &taken) {
    const quint64 owner = m_queue.state().queueOwners.value(0);
    const QueuedReceipt *r = m_queue.state().find(owner);
    if (!r || r->source.document != kReprintLast || CompleteLine(taken) != ReprintKeyLine())
        return std::nullopt;
    QString answer;
    for (const QString &line : {JournalReadLine(), JournalWriteLine()}) {
        monitor(MonitorToRegister() + line);
        if (!ownExchange(line, answer))
            return Step::Stop;
        log(answer, line);
        monitor(MonitorFromRegister() + answer);
        if (line == JournalWriteLine() ? !AnswerAccepted(answer) : !JournalAnswerReadable(answer))
            return abandon(owner, QStringLiteral("line_refused"),
                           QStringLiteral("Giornale elettronico non leggibile o non impostabile: copia non "
                                          "stampata"));
        if (!ReprintLines(answer).contains(JournalWriteLine()))
            break;
    }
    return std::nullopt;
}

void Executor::figuresAfter(quint64 owner) {
    const QueuedReceipt *r = m_queue.state().find(owner);
    if (!r || r->source.document != kDailyClosing || r->figuresReset)
        return;
    bool reached = true;
    const ReceiptTotals now = readTotals(reached);
    if (reached && now.read())
        m_queue.record(QueueEvent::figuresOf(owner, now, true));
}

// Where the line that went out leaves the queue: ended (a closing with the
// register's totals after it), back at the head, or to be recovered.
Executor::Step Executor::lineOutcome(Outcome outcome, const ReceiptRuleRow &row, bool openBefore,
                                     const ReceiptTotals &before, bool fromChain) {
    switch (outcome) {
    case Outcome::Next:
        if (m_queue.state().inFlight && !endLine(row, openBefore, before)) {
            m_recover = true;
            return Step::Stop;
        }
        if (!openBefore && m_queue.state().receiptOpen)
            m_chainHolds = fromChain;
        return Step::Next;
    case Outcome::Return:
        dropChain();
        // A line that went back to the queue was never taken by the
        // register: its receipt state is not changed yet either.
        if (m_queue.state().inFlight)
            finishLine(ReceiptOpenAfter(row, openBefore));
        return Step::Stop;
    case Outcome::Uncertain:
        dropChain();
        if (recover())
            return Step::Next;
        m_recover = true;
        return Step::Stop;
    }
    return Step::Stop;
}

// The line in flight was answered: where it leaves the register's receipt.
// False when that cannot be known yet.
bool Executor::endLine(const ReceiptRuleRow &row, bool openBefore, const ReceiptTotals &before) {
    if (m_lineFault) {
        // Refused or never taken: the register's receipt is as it was.
        finishLine(openBefore);
        return true;
    }
    // Kept before the line ends, so that its outcome carries them.
    figuresAfter(m_queue.state().inFlightOwner);
    if (row.rule == ReceiptRule::Closes && before.receipts >= 0)
        return closeReceipt();
    finishLine(ReceiptOpenAfter(row, openBefore));
    return true;
}

// ---------------------------------------------------------------- exchanges

void Executor::sayAttempt(AnswerKind kind, const Reply &reply, const QString &line, const QString &code) {
    const QString &answer = reply.answer;
    const QString message = CommandErrorText(AnswerErrorCode(answer), code);
    const QString error = QStringLiteral("ECR-errore :") +
                          QString::number(CommandErrorNumber(AnswerErrorCode(answer))) + u'-' + message;
    switch (kind) {
    case AnswerKind::PaperStatus:
        monitor(MonitorFromRegister() + kPaper);
        log(kPaper, line);
        return;
    case AnswerKind::Accepted:
    case AnswerKind::Unknown:
        log(answer, line);
        monitor(MonitorFromRegister() + answer);
        return;
    case AnswerKind::Busy:
        log(message, line);
        monitor(error + QStringLiteral(" Ripeto comando"));
        m_link.PumpEvents();
        return;
    case AnswerKind::Refused:
        log(message, line);
        monitor(error + QStringLiteral(" Ignoro l'errore"));
        m_link.PumpEvents();
        return;
    case AnswerKind::PaperOut:
        log(message, line);
        monitor(error + QStringLiteral(" Ricontrollo stato ECR e ripeto comando"));
        return;
    case AnswerKind::Serious:
        log(message, line);
        return;
    default:
        return;
    }
}

ExchangeHooks Executor::hooks(const QString &line, const QString &code, bool receiptLine) {
    ExchangeHooks h;
    h.stopRequested = [this] { return m_s.runState().stopRequested(); };
    h.answered = [this](const QString &answer) { m_s.lastExchange().setLastAnswer(answer); };
    h.attempted = [this, line, code, receiptLine](AnswerKind kind, const Reply &reply) {
        m_s.lastExchange().setEnquiryStatus(statusNumber(reply.enquiry));
        if (reply.enquiry == LinkStatus::Ok)
            registerAnswered();
        if (kind == AnswerKind::Unreachable)
            reportUnreachable(line);
        if (receiptLine)
            sayAttempt(kind, reply, line, code);
        else if (kind == AnswerKind::PaperStatus)
            monitor(MonitorFromRegister() + kPaper);
    };
    return h;
}

Executor::Outcome Executor::exchangeLine(const QString &line, bool repeatable) {
    const ExchangePolicy &policy = repeatable ? RepeatableLinePolicy() : ReceiptLinePolicy();
    return lineEnded(SendWithRetries(m_link, line, policy, m_limits, hooks(line, CommandCode(line), true)),
                     line, repeatable);
}

Executor::Outcome Executor::lineEnded(const Sent &sent, const QString &line, bool repeatable) {
    const auto requeue = [this] {
        m_queue.record(QueueEvent::putBack(m_queue.state().inFlightLine));
        return Outcome::Return;
    };
    if (sent.stopped)
        return requeue();
    switch (sent.kind) {
    case AnswerKind::LineBusy:
    case AnswerKind::Unreachable:
        // Never sent: the line waits at the head of the queue.
        return requeue();
    case AnswerKind::FrameNak:
        gaveUp(line, QStringLiteral("Comando rifiutato dalla cassa (NAK) per %1 volte: riga scartata")
                         .arg(m_limits.nakRepeats));
        m_lineFault = true;
        return Outcome::Next;
    case AnswerKind::Lost:
        // The register may have carried the line out: only a line that
        // cannot change a receipt is sent again blindly.
        if (!repeatable)
            return Outcome::Uncertain;
        if (sent.exhausted) {
            gaveUp(line, QStringLiteral("Nessuna risposta dalla cassa: riga scartata"));
            m_lineFault = true;
        }
        return Outcome::Next;
    case AnswerKind::PaperStatus:
        gaveUp(line, QStringLiteral("Rotolo non sostituito: la coda riprende pi\u00f9 tardi"));
        return requeue();
    case AnswerKind::Busy:
        if (!sent.exhausted)
            return Outcome::Next;
        gaveUp(line, QStringLiteral("Cassa occupata troppo a lungo: la coda riprende pi\u00f9 tardi"));
        return requeue();
    case AnswerKind::Serious:
        seriousFault(line, AnswerErrorCode(sent.reply.answer));
        return Outcome::Next;
    case AnswerKind::Refused: {
        // Kept with its receipt: the register's code, its text, the line.
        const QString code = AnswerErrorCode(sent.reply.answer);
        m_queue.record(QueueEvent::problem(
            ReceiptError{0, code, CommandErrorNumber(code), DescribeEcrError(code).message}));
        m_lineFault = true;
        return Outcome::Next;
    }
    default:
        return Outcome::Next;
    }
}

void Executor::seriousFault(const QString &line, const QString &code) {
    log(kSerious, line);
    m_prompter.message(kSerious, QStringLiteral("ATTENZIONE"), Prompter::Icon::Critical);
    // Kept with the register's code and the line that met it, like a refusal.
    const QString described = DescribeEcrError(code).message;
    const QString text = described.isEmpty() ? kSerious : described + QStringLiteral(": ") + kSerious;
    m_queue.record(
        {QueueEvent::problem(ReceiptError{0, code, CommandErrorNumber(code), text}), QueueEvent::cleared()});
}

bool Executor::ownExchange(const QString &line, QString &answer) {
    const Sent sent =
        SendWithRetries(m_link, line, OwnReadPolicy(), m_limits, hooks(line, CommandCode(line), false));
    answer = sent.reply.answer;
    return !sent.stopped && !sent.exhausted && sent.kind != AnswerKind::LineBusy &&
           sent.kind != AnswerKind::Unreachable;
}

ReceiptTotals Executor::readTotals(bool &reached) {
    QString answer;
    reached = ownExchange(TotalsReadLine(), answer);
    if (!reached)
        return {};
    const ReceiptTotals totals = TotalsOfAnswer(answer);
    if (totals.read())
        m_lastFigures = FiguresRead{totals, m_s.now()};
    return totals;
}

bool Executor::readFigures(ReceiptTotals &out) {
    if (m_busy || m_recover || !m_queue.state().idle() || !m_queue.writable())
        return false;
    const QScopedValueRollback busy(m_busy, true);
    // Nothing is sent meanwhile; the read leaves the next receipt nothing to
    // chain from.
    dropChain();
    bool reached = true;
    out = readTotals(reached);
    return reached && out.read();
}

// ---------------------------------------------------------------- recovery

// What the line in flight did, when that can be known without voiding.
Executor::Known Executor::judgeInFlight() {
    const QueueState &s = m_queue.state();
    const QString line = CompleteLine(s.inFlightLine);
    const ReceiptRuleRow &row = ReceiptRuleOfLine(line, s.composed(s.inFlightOwner));
    const auto say = [this, &line](const QString &message) {
        monitor(MonitorFromRegister() + message);
        log(message, line);
    };
    const bool inReceipt = s.inFlightOpenBefore || row.rule == ReceiptRule::Opens;
    if (!inReceipt && row.rule == ReceiptRule::Neutral) {
        // A read or a text outside a receipt: sending it again is harmless.
        say(QStringLiteral("Risposta persa: ripeto il comando"));
        m_queue.record(QueueEvent::putBack(s.inFlightLine));
        return Known::Yes;
    }
    if (!inReceipt && row.rule == ReceiptRule::ClosedOnly) {
        switch (closingInFlight()) {
        case Known::Yes:
            return Known::Yes;
        case Known::Unreachable:
            return Known::Unreachable;
        case Known::No:
            break;
        }
    }
    if (!inReceipt) {
        // It changes the register outside a receipt (a report, a closing, a
        // withdrawal): it may have been carried out, so it is not repeated.
        const QString message = QStringLiteral("Risposta persa: comando non ripetuto, verificare la cassa");
        say(message);
        m_prompter.message(message + QStringLiteral(" (") + line + u')', QStringLiteral("Attenzione"),
                           Prompter::Icon::Critical);
        m_queue.record(QueueEvent::problem(message));
        finishLine(s.receiptOpen);
        return Known::Yes;
    }
    if (row.rule != ReceiptRule::Closes || s.receiptsBefore < 0)
        return Known::No;
    bool reached = true;
    const int before = s.receiptsBefore;
    const ReceiptTotals now = readTotals(reached);
    if (!reached)
        return Known::Unreachable;
    if (now.receipts <= before)
        return Known::No;
    say(QStringLiteral("Risposta persa: la cassa ha chiuso lo scontrino"));
    closedAt(now);
    return Known::Yes;
}

// A daily closing asked for through the interface whose answer was lost:
// the day's figures read before it tell. Set to zero, the register closed
// the day: done. As they were (and not zero), it did not: sent again. Else
// not known.
Executor::Known Executor::closingInFlight() {
    const QueueState &s = m_queue.state();
    const QueuedReceipt *r = s.find(s.inFlightOwner);
    if (!r || r->source.document != kDailyClosing || !r->figures || r->figures->receipts <= 0 ||
        CompleteLine(s.inFlightLine) != DailyClosingLine())
        return Known::No;
    bool reached = true;
    const ReceiptTotals now = readTotals(reached);
    if (!reached)
        return Known::Unreachable;
    const auto say = [this](const QString &message) {
        monitor(MonitorFromRegister() + message);
        log(message, DailyClosingLine());
    };
    if (now.receipts == 0 && now.salesCents.value_or(-1) == 0) {
        say(QStringLiteral("Risposta persa: la cassa ha fatto la chiusura giornaliera"));
        m_queue.record(QueueEvent::figuresOf(s.inFlightOwner, now, true));
        finishLine(false);
        return Known::Yes;
    }
    if (now.receipts == r->figures->receipts && now.salesCents == r->figures->salesCents) {
        say(QStringLiteral("Risposta persa: chiusura giornaliera non fatta, la rimando"));
        m_queue.record(QueueEvent::putBack(s.inFlightLine));
        return Known::Yes;
    }
    return Known::No;
}

// The void key, shown and logged with its answer; false when the register
// could not be reached.
bool Executor::pressVoidKey(QString &answer) {
    monitor(MonitorToRegister() + VoidReceiptLine());
    if (!ownExchange(VoidReceiptLine(), answer))
        return false;
    log(answer, VoidReceiptLine());
    monitor(MonitorFromRegister() + answer);
    return true;
}

// A receipt whose closing went out (the register's count before it is kept
// with it) may have been closed although the records that said so were lost
// with the journal: the count read now tells, and such a receipt is never
// sent again.
Executor::Known Executor::closedOnRegister() {
    const QueueState &s = m_queue.state();
    const quint64 head = !s.receiptOwners.isEmpty() ? s.receiptOwners.first()
                         : s.inFlight               ? s.inFlightOwner
                                                    : s.queueOwners.value(0);
    const QueuedReceipt *r = s.find(head);
    if (!r || r->receiptsBefore < 0)
        return Known::No;
    bool reached = true;
    const ReceiptTotals now = readTotals(reached);
    if (!reached)
        return Known::Unreachable;
    if (now.receipts != r->receiptsBefore + 1)
        return Known::No;
    const QString message =
        QStringLiteral("La cassa aveva gi\u00e0 chiuso lo scontrino interrotto: non lo rimando");
    monitor(MonitorFromRegister() + message);
    log(message, QString());
    m_queue.record(QueueEvent::closedOnRegister(head, now.receipts, totalClosed(r, now, r->salesBefore)));
    return Known::Yes;
}

bool Executor::recover() {
    dropChain();
    if (m_unknown) {
        // Whatever the register holds from before is voided first: no line
        // of ours may join it.
        QString answer;
        if (!pressVoidKey(answer))
            return false;
        m_unknown = false;
        if (AnswerAccepted(answer) && !m_queue.state().receiptOpen && !m_queue.state().inFlight) {
            const QString message = QStringLiteral("Scontrino lasciato aperto sulla cassa annullato");
            monitor(MonitorFromRegister() + message);
            log(message, VoidReceiptLine());
        }
        // What an earlier run left may have been closed by the register.
        switch (closedOnRegister()) {
        case Known::Yes:
            return true;
        case Known::Unreachable:
            m_unknown = true; // voided again, harmlessly, when it answers
            return false;
        case Known::No:
            break;
        }
    }
    if (m_queue.state().inFlight) {
        switch (judgeInFlight()) {
        case Known::Yes:
            return true;
        case Known::Unreachable:
            return false;
        case Known::No:
            break;
        }
    } else if (!m_queue.state().receiptOpen) {
        return true;
    }
    return voidOpenReceipt();
}

// A receipt may be open on the register with part of its lines: it is
// voided, and sent again from its first line.
bool Executor::voidOpenReceipt() {
    QString answer;
    if (!pressVoidKey(answer))
        return false;
    const bool wasOpen = AnswerAccepted(answer);
    const QueueState &s = m_queue.state();
    if (s.inFlight) {
        const bool composed = s.composed(s.inFlightOwner);
        const ReceiptRule rule = ReceiptRuleOfLine(CompleteLine(s.inFlightLine), composed).rule;
        if (rule == ReceiptRule::EndsOpen ||
            (closing(s.inFlightLine, composed) && s.receiptsBefore < 0 && !wasOpen)) {
            // The receipt was to be voided, or nothing was left open to void:
            // the closing line was carried out.
            finishLine(false);
            return true;
        }
    }
    // The count is the queue's, in the journal: a restart does not reset it.
    if (m_queue.state().resends + 1 > m_limits.receiptResends) {
        dropReceipt();
        return true;
    }
    monitor(MonitorFromRegister() +
            QStringLiteral("Scontrino interrotto annullato: lo rimando dalla prima riga"));
    log(QStringLiteral("Scontrino interrotto annullato: lo rimando dalla prima riga"), QString());
    m_queue.record(QueueEvent::resent(s.inFlight));
    return true;
}

void Executor::dropReceipt() {
    const QString message = QStringLiteral("Scontrino annullato e non ristampato dopo %1 tentativi: righe "
                                           "scartate")
                                .arg(m_limits.receiptResends);
    const QueueState &s = m_queue.state();
    for (const QString &l : s.receipt)
        log(message, l);
    monitor(MonitorFromRegister() + message);
    log(message, s.inFlight ? s.inFlightLine : QString());
    m_prompter.message(message, QStringLiteral("Attenzione"), Prompter::Icon::Critical);
    m_queue.record({QueueEvent::problem(message), QueueEvent::givenUp()});
    // The rest of that receipt goes too: alone it would make a receipt of its own.
    while (!m_queue.empty()) {
        const QString rest = m_queue.head();
        const bool composed = m_queue.state().composed(m_queue.state().queueOwners.value(0));
        skipLine(rest);
        log(message, rest);
        if (closing(rest, composed))
            break;
    }
}

// ---------------------------------------------------------------- daily report

bool Executor::writeDailyReport(const QString &taken) {
    const QString line = CompleteLine(taken);
    const QString name = ServerFolder(m_s.settings().config(), m_s.settings().programDir()) +
                         m_s.settings().identity().sn.trimmed() +
                         m_s.now().toString(QStringLiteral("yyyyMMdd")) + QStringLiteral(".FMN");
    // The report of the day is written anew: an old one that cannot be
    // replaced, or a file that cannot be written, is said and the queue goes on.
    if (QFile::exists(name))
        QFile::remove(name);
    QFile file(name);
    if (QFile::exists(name) || !file.open(QIODevice::WriteOnly)) {
        ReportWriteFailure(m_s, QStringLiteral("il rapporto giornaliero"), name);
        log(m_s.statusBar().panel(2), line);
        return true;
    }
    bool written = true;
    for (const QString &q : DailyReportQueries()) {
        const Sent sent = SendWithRetries(m_link, q, DailyReportPolicy(), m_limits, hooks(line, q, false));
        if (sent.kind == AnswerKind::LineBusy || sent.kind == AnswerKind::Unreachable) {
            reportUnreachable(line);
            return false;
        }
        const QString &answer = sent.reply.answer;
        const QString tag = u'<' + q.left(1) + u'>';
        const QByteArray row =
            toAnsi(QString(tag + (answer.isEmpty() ? QStringLiteral("?") : answer))) + "\r\n";
        written = file.write(row) == row.size() && written;
    }
    if (!file.flush() || !written) {
        ReportWriteFailure(m_s, QStringLiteral("il rapporto giornaliero"), name);
        log(m_s.statusBar().panel(2), line);
    }
    return true;
}

} // namespace norvvelm
