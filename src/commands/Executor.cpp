#include "commands/Executor.h"

#include "commands/CommandLanguage.h"
#include "commands/DailyLog.h"
#include "commands/Prompter.h"
#include "commands/Runner.h"
#include "commands/Session.h"
#include "commands/WriteFailure.h"
#include "link/Ansi.h"
#include "link/EcrErrors.h"
#include "link/SerialFunz2.h"

#include <QFile>

namespace norvvelm {

namespace {
const QString kEcr = QStringLiteral("ECR        : ");
const QString kPc = QStringLiteral("PC -> ECR : ");
const QString kPaper = QStringLiteral("Sostituire rotolo scontrino");
const QString kSerious = QStringLiteral("errore grave. Chiamare Casa madre");
} // namespace

QString Executor::unreachableMessage() {
    return QStringLiteral("Comunicazione impossibile ! Cassa spenta o ") +
           QStringLiteral("cavo interrotto o velocit\u00e0 errata");
}

void Executor::log(const QString &message, const QString &line) {
    WriteLogLine(m_s, message, line);
}

void Executor::monitor(const QString &text) {
    m_s.AddMonitorLine(text);
}

void Executor::reportUnreachable(const QString &line) {
    // Said once per outage: the server calls again at every tick while the
    // queue waits, and one message is enough for the operator.
    if (m_s.unreachableReported())
        return;
    m_s.setUnreachableReported(true);
    const QString message = unreachableMessage();
    monitor(kEcr + message);
    log(message, line);
    m_prompter.message(message, QStringLiteral("Attenzione"), Prompter::Icon::Critical);
}

void Executor::gaveUp(const QString &line, const QString &message, bool) {
    monitor(kEcr + message);
    log(message, line);
    m_prompter.message(message, QStringLiteral("Attenzione"), Prompter::Icon::Critical);
}

// ---------------------------------------------------------------- bookkeeping

QueueState Executor::snapshot() const {
    QueueState st = m_state;
    st.queue = m_s.queue();
    st.receiptOpen = m_s.receiptOpen();
    return st;
}

void Executor::journalFailed() {
    if (m_journalFailureSaid || !m_journal)
        return;
    m_journalFailureSaid = true;
    ReportWriteFailure(m_s, QStringLiteral("il giornale della coda"), m_journal->path());
    log(m_s.panel(2), QString());
}

void Executor::resume(const QueueState &state) {
    m_state = state;
    m_state.queue.clear();
    for (const QString &l : state.queue)
        m_s.appendToQueue(l);
    m_s.setReceiptOpen(state.receiptOpen);
    m_recover = state.inFlight || state.receiptOpen;
}

bool Executor::enqueue(const QStringList &lines, const QString &workingCopy) {
    if (m_journal && !m_journal->appended(lines, workingCopy)) {
        journalFailed();
        return false;
    }
    m_journalFailureSaid = false;
    for (const QString &l : lines)
        m_s.appendToQueue(l);
    return true;
}

bool Executor::beginLine(const QString &taken, bool openBefore, int receiptsBefore) {
    // On the disk before it goes out wherever its loss would change the
    // recovery: a receipt's first line, a closing line, a line that changes
    // the register outside a receipt. A sale in the middle of a receipt is
    // only handed to the system (a crash of the program keeps it): were it
    // lost with the machine, the recovery is the same, the open receipt
    // voided and sent again from its first line.
    const ReceiptRule rule = ReceiptRuleFor(CommandCode(CompleteLine(taken)));
    const bool sync = openBefore ? rule != ReceiptRule::Opens && rule != ReceiptRule::Neutral
                                 : rule != ReceiptRule::Neutral;
    if (m_journal && !m_journal->sending(taken, openBefore, receiptsBefore, sync)) {
        journalFailed();
        m_s.pushFrontToQueue(taken);
        return false;
    }
    m_state.inFlight = true;
    m_state.inFlightLine = taken;
    m_state.inFlightOpenBefore = openBefore;
    m_state.receiptsBefore = receiptsBefore;
    return true;
}

void Executor::skipLine(const QString &taken) {
    if (m_journal)
        m_journal->skipped(taken);
}

// The line in flight has ended; the receipt state now says where it belongs.
void Executor::finishLine() {
    const bool openAfter = m_s.receiptOpen();
    // The end of a receipt is synced: nothing of it may be sent again.
    if (m_journal)
        m_journal->done(openAfter, m_state.inFlightOpenBefore && !openAfter);
    if (openAfter) {
        if (!m_state.inFlightOpenBefore)
            m_state.receipt.clear();
        m_state.receipt.append(m_state.inFlightLine);
    } else {
        if (!m_state.receipt.isEmpty() || m_state.inFlightOpenBefore)
            m_resends = 0;
        m_state.receipt.clear();
    }
    m_state.receiptOpen = openAfter;
    m_state.inFlight = false;
    if (m_journal && !m_journal->compact(snapshot()))
        journalFailed();
}

void Executor::putBack(const QString &taken) {
    if (m_journal)
        m_journal->putBack(taken);
    m_state.inFlight = false;
    m_s.pushFrontToQueue(taken);
}

void Executor::refuseLine(const QString &line, const QString &problem) {
    const QString message = QStringLiteral("Riga rifiutata, non inviata alla cassa: ") + problem;
    monitor(kEcr + message);
    log(message, line.left(200));
    if (!m_refusalSaid)
        m_prompter.message(message, QStringLiteral("Attenzione"), Prompter::Icon::Critical);
    m_refusalSaid = true;
}

// ---------------------------------------------------------------- the queue

void Executor::ExecuteReceiptQueue() {
    m_refusalSaid = false;
    if (m_recover) {
        if (!recover())
            return;
        m_recover = false;
    }
    while (!m_s.stopRequested() && !m_s.queue().isEmpty()) {
        const QString taken = m_s.takeFirstFromQueue();
        monitor(kPc + taken.left(kMaxLineChars));
        if (taken.trimmed().isEmpty()) {
            skipLine(taken);
            continue;
        }
        QString line = CompleteLine(taken);
        if (const QString problem = LineProblem(line); !problem.isEmpty()) {
            skipLine(taken);
            refuseLine(line, problem);
            continue;
        }
        const QString code = CommandCode(line);
        ReceiptRule rule = ReceiptRuleFor(code);
        if (rule == ReceiptRule::KeyCode && line != QLatin1String(")/5/") && line != QLatin1String(")/120/"))
            rule = ReceiptRule::NotHandled;

        const bool openBefore = m_s.receiptOpen();
        int receiptsBefore = -1;
        switch (rule) {
        case ReceiptRule::DailyReport:
            if (!writeDailyReport(taken))
                return;
            skipLine(taken);
            continue;
        case ReceiptRule::NotHandled:
            skipLine(taken);
            log(u'"' + code + QStringLiteral("\" - Comando non gestito !"), line);
            monitor(kEcr + QStringLiteral("Comando ") + code + QStringLiteral(" non gestito."));
            return;
        case ReceiptRule::EndsOpen:
            if (!m_s.receiptOpen()) {
                skipLine(taken);
                monitor(kEcr + QStringLiteral("Scontrino non aperto"));
                continue;
            }
            break;
        case ReceiptRule::ClosedOnly:
            if (m_s.receiptOpen()) {
                skipLine(taken);
                log(u'"' + code + QStringLiteral("\" - Comando non gestito con scontrino aperto !"), line);
                monitor(kEcr + QStringLiteral("Comando non gestito con scontrino aperto"));
                continue;
            }
            break;
        case ReceiptRule::Closes:
            // What the register can tell afterwards, should the answer be lost:
            // its count of receipts closed.
            if (openBefore && readCountsBeforeClosing) {
                bool reached = true;
                receiptsBefore = readReceiptCount(reached);
                if (!reached) {
                    m_s.pushFrontToQueue(taken);
                    return;
                }
            }
            break;
        default:
            break;
        }
        if (!beginLine(taken, openBefore, receiptsBefore))
            return;
        switch (rule) {
        case ReceiptRule::EndsOpen:
        case ReceiptRule::Closes:
            m_s.setReceiptOpen(false);
            break;
        case ReceiptRule::Opens:
            if (code == QLatin1String("j/")) {
                line = NormalizeCustomerHeader(line);
            } else if (code == QLatin1String("3/")) {
                SaleRewrite how;
                how.wrapDescription = m_s.config().wrapOn();
                how.width1 = m_s.config().DescrWidth1;
                how.width2 = m_s.config().DescrWidth2;
                how.autoVat = m_s.config().autoVatOn();
                how.vatTable = &m_s.vatTable();
                line = RewriteSaleLine(line, how);
            }
            m_s.setReceiptOpen(true);
            break;
        default:
            break;
        }

        switch (exchangeLine(taken, line, code)) {
        case Outcome::Next:
            if (m_state.inFlight)
                finishLine();
            break;
        case Outcome::Return:
            // A line that went back to the queue was never taken by the
            // register: its receipt state is not changed yet either.
            if (!m_state.inFlight)
                m_s.setReceiptOpen(openBefore);
            else
                finishLine();
            return;
        case Outcome::Uncertain:
            m_s.setReceiptOpen(openBefore);
            if (!recover()) {
                m_recover = true;
                return;
            }
            break;
        }
    }
}

// ---------------------------------------------------------------- recovery

Executor::Quiet Executor::quietExchange(const QString &line, QString &answer) {
    int naks = 0, busy = 0, empty = 0;
    while (!m_s.stopRequested()) {
        SerialFunz2::Exchange exchange(m_link);
        if (!exchange.acquired())
            return Quiet::Unreachable;
        m_s.setEnquiryStatus(m_link.SendEnquiry());
        if (m_s.enquiryStatus() != 0) {
            reportUnreachable(line);
            return Quiet::Unreachable;
        }
        m_s.setUnreachableReported(false);
        if (m_link.SendCommandFrame(line) == link::FrameNak) {
            if (++naks > limits.nakRepeats)
                return Quiet::Unreachable;
            m_link.WaitMs(1000);
            continue;
        }
        answer = receiveAnswer();
        if (answer.isEmpty()) {
            if (++empty > limits.emptyAnswerRepeats)
                return Quiet::Unreachable;
            m_link.WaitMs(100);
            continue;
        }
        if (AnswerAccepted(answer) && AnswerNeedsPaper(answer)) {
            monitor(kEcr + kPaper);
            m_link.WaitMs(2000);
            continue;
        }
        if (AnswerAccepted(answer))
            return Quiet::Answered;
        const EcrError error = DescribeEcrError(AnswerErrorCode(answer));
        if (error.errorClass == ErrorClass::Busy) {
            if (++busy > limits.busyRepeats)
                return Quiet::Unreachable;
            m_link.WaitMs(100);
            continue;
        }
        if (error.errorClass == ErrorClass::Paper) {
            waitForOperator();
            continue;
        }
        return Quiet::Answered;
    }
    return Quiet::Unreachable;
}

int Executor::readReceiptCount(bool &reached) {
    QString answer;
    reached = quietExchange(TotalsReadLine(), answer) == Quiet::Answered;
    return reached ? ReceiptsInTotals(answer) : -1;
}

bool Executor::recover() {
    const auto say = [this](const QString &message, const QString &line) {
        monitor(kEcr + message);
        log(message, line);
    };
    if (m_state.inFlight) {
        const QString line = CompleteLine(m_state.inFlightLine);
        const ReceiptRule rule = ReceiptRuleFor(CommandCode(line));
        const bool inReceipt = m_state.inFlightOpenBefore || rule == ReceiptRule::Opens;
        if (!inReceipt) {
            if (rule == ReceiptRule::Neutral) {
                // A read or a text outside a receipt: sending it again is harmless.
                say(QStringLiteral("Risposta persa: ripeto il comando"), line);
                putBack(m_state.inFlightLine);
                return true;
            }
            // It changes the register outside a receipt (a report, a closing,
            // a withdrawal): it may have been carried out, so it is not repeated.
            const QString message =
                QStringLiteral("Risposta persa: comando non ripetuto, verificare la cassa");
            say(message, line);
            m_prompter.message(message + QStringLiteral(" (") + line + u')', QStringLiteral("Attenzione"),
                               Prompter::Icon::Critical);
            finishLine();
            return true;
        }
        if (rule == ReceiptRule::Closes && m_state.receiptsBefore >= 0) {
            bool reached = true;
            const int now = readReceiptCount(reached);
            if (!reached)
                return false;
            if (now > m_state.receiptsBefore) {
                say(QStringLiteral("Risposta persa: la cassa ha chiuso lo scontrino"), line);
                m_s.setReceiptOpen(false);
                finishLine();
                return true;
            }
        }
    } else if (!m_s.receiptOpen()) {
        return true;
    }

    // A receipt may be open on the register with part of its lines: it is
    // voided, and sent again from its first line.
    monitor(kPc + VoidReceiptLine());
    QString answer;
    if (quietExchange(VoidReceiptLine(), answer) != Quiet::Answered)
        return false;
    log(answer, VoidReceiptLine());
    monitor(kEcr + answer);
    const bool wasOpen = AnswerAccepted(answer);
    if (m_state.inFlight) {
        const ReceiptRule rule = ReceiptRuleFor(CommandCode(CompleteLine(m_state.inFlightLine)));
        const bool closing = rule == ReceiptRule::Closes || rule == ReceiptRule::EndsOpen;
        if (rule == ReceiptRule::EndsOpen || (closing && m_state.receiptsBefore < 0 && !wasOpen)) {
            // The receipt was to be voided, or nothing was left open to void:
            // the closing line was carried out.
            m_s.setReceiptOpen(false);
            finishLine();
            return true;
        }
    }
    m_s.setReceiptOpen(false);
    if (++m_resends > limits.receiptResends) {
        const QString message =
            QStringLiteral("Scontrino annullato e non ristampato dopo %1 tentativi: righe "
                           "scartate")
                .arg(limits.receiptResends);
        for (const QString &l : std::as_const(m_state.receipt))
            log(message, l);
        say(message, m_state.inFlight ? m_state.inFlightLine : QString());
        m_prompter.message(message, QStringLiteral("Attenzione"), Prompter::Icon::Critical);
        if (m_journal)
            m_journal->dropReceipt();
        m_state = QueueState{};
        m_resends = 0;
        // The rest of that receipt goes too: alone it would make a receipt of its own.
        while (!m_s.queue().isEmpty()) {
            const QString rest = m_s.takeFirstFromQueue();
            skipLine(rest);
            log(message, rest);
            const ReceiptRule r = ReceiptRuleFor(CommandCode(CompleteLine(rest)));
            if (r == ReceiptRule::Closes || r == ReceiptRule::EndsOpen)
                break;
        }
        return true;
    }
    say(QStringLiteral("Scontrino interrotto annullato: lo rimando dalla prima riga"), QString());
    QStringList lines = m_state.receipt;
    if (m_state.inFlight)
        lines.append(m_state.inFlightLine);
    if (m_journal)
        m_journal->resend(m_state.inFlight);
    for (auto it = lines.crbegin(); it != lines.crend(); ++it)
        m_s.pushFrontToQueue(*it);
    m_state = QueueState{};
    return true;
}

Executor::Outcome Executor::exchangeLine(const QString &taken, const QString &line, const QString &code) {
    int naks = 0, busy = 0, paperStatus = 0, empty = 0;
    // Sending it again cannot change a receipt: a read, or a text outside one.
    const bool repeatable = !m_state.inFlightOpenBefore && ReceiptRuleFor(code) == ReceiptRule::Neutral;
    for (;;) {
        if (m_s.stopRequested()) {
            putBack(taken);
            return Outcome::Return;
        }
        SerialFunz2::Exchange exchange(m_link);
        if (!exchange.acquired()) {
            putBack(taken);
            return Outcome::Return;
        }
        m_s.setEnquiryStatus(m_link.SendEnquiry());
        if (m_s.enquiryStatus() != 0) {
            // Never sent: the line waits at the head of the queue.
            reportUnreachable(line);
            putBack(taken);
            return Outcome::Return;
        }
        m_s.setUnreachableReported(false);

        if (m_link.SendCommandFrame(line) == link::FrameNak) {
            if (++naks > limits.nakRepeats) {
                gaveUp(line,
                       QStringLiteral("Comando rifiutato dalla cassa (NAK) per %1 volte: riga scartata")
                           .arg(limits.nakRepeats),
                       false);
                return Outcome::Next;
            }
            m_link.WaitMs(1000);
            continue;
        }
        const QString answer = receiveAnswer();

        if (answer.isEmpty()) {
            // The register may have carried the line out: only a line that
            // cannot change a receipt is sent again blindly.
            if (!repeatable)
                return Outcome::Uncertain;
            if (++empty > limits.emptyAnswerRepeats) {
                gaveUp(line, QStringLiteral("Nessuna risposta dalla cassa: riga scartata"), false);
                return Outcome::Next;
            }
            m_link.SendEnquiry();
            m_link.WaitMs(100);
            m_link.SendCommandFrame(StatusRequestLine());
            if (AnswerAccepted(receiveAnswer()))
                continue;
            return Outcome::Next;
        }

        if (AnswerNeedsPaper(answer)) {
            monitor(kEcr + kPaper);
            m_link.WaitMs(2000);
            log(kPaper, line);
            if (++paperStatus > limits.paperStatusRepeats) {
                gaveUp(line, QStringLiteral("Rotolo non sostituito: la coda riprende pi\u00f9 tardi"), false);
                putBack(taken);
                return Outcome::Return;
            }
            continue;
        }

        QString errorCode = AnswerErrorCode(answer);
        if (AnswerAccepted(answer)) {
            log(answer, line);
            monitor(kEcr + answer);
            return Outcome::Next;
        }
        const EcrError error = DescribeEcrError(errorCode);
        const QString message = FormatCommandError(errorCode, code);
        switch (error.errorClass) {
        case ErrorClass::Busy:
            log(message, line);
            monitor(QStringLiteral("ECR-errore :") + errorCode + u'-' + message +
                    QStringLiteral(" Ripeto comando"));
            m_link.PumpEvents();
            m_link.WaitMs(100);
            if (++busy > limits.busyRepeats) {
                gaveUp(line, QStringLiteral("Cassa occupata troppo a lungo: la coda riprende pi\u00f9 tardi"),
                       false);
                putBack(taken);
                return Outcome::Return;
            }
            continue;
        case ErrorClass::Refused:
            log(message, line);
            monitor(QStringLiteral("ECR-errore :") + errorCode + u'-' + message +
                    QStringLiteral(" Ignoro l'errore"));
            m_link.PumpEvents();
            return Outcome::Next;
        case ErrorClass::Paper:
            log(message, line);
            monitor(QStringLiteral("ECR-errore :") + errorCode + u'-' + message +
                    QStringLiteral(" Ricontrollo stato ECR e ripeto comando"));
            waitForOperator();
            if (m_s.stopRequested()) {
                putBack(taken);
                return Outcome::Return;
            }
            m_link.WaitMs(3000);
            continue;
        case ErrorClass::Serious:
            log(message, line);
            log(kSerious, line);
            m_prompter.message(kSerious, QStringLiteral("ATTENZIONE"), Prompter::Icon::Critical);
            m_s.clearQueue();
            m_s.setReceiptOpen(false);
            if (m_journal)
                m_journal->cleared();
            m_state = QueueState{};
            m_resends = 0;
            return Outcome::Next;
        case ErrorClass::None:
            log(answer, line);
            monitor(kEcr + answer);
            return Outcome::Next;
        }
    }
}

void Executor::waitForOperator() {
    // Paper out or cover open: the operator fixes the printer; there is no
    // bound, only a stop request ends the wait early.
    while (!m_s.stopRequested()) {
        m_link.SendEnquiry();
        m_link.WaitMs(3000);
        m_link.SendCommandFrame(StatusRequestLine());
        if (AnswerAccepted(receiveAnswer()))
            return;
        m_link.WaitMs(500);
    }
}

QString Executor::receiveAnswer() {
    QString answer;
    m_link.ReceiveAnswer(answer);
    m_s.setLastAnswer(answer);
    return answer;
}

bool Executor::writeDailyReport(const QString &taken) {
    const QString line = CompleteLine(taken);
    QString dir = m_s.config().ServerDir;
    if (dir.size() < 2)
        dir = m_s.programDir();
    if (!dir.endsWith(u'/') && !dir.endsWith(u'\\'))
        dir += u'/';
    const QString name = dir + m_s.identity().sn.trimmed() + m_s.now().toString(QStringLiteral("yyyyMMdd")) +
                         QStringLiteral(".FMN");
    // The report of the day is written anew: an old one that cannot be
    // replaced, or a file that cannot be written, is said and the queue goes on.
    if (QFile::exists(name))
        QFile::remove(name);
    QFile file(name);
    if (QFile::exists(name) || !file.open(QIODevice::WriteOnly)) {
        ReportWriteFailure(m_s, QStringLiteral("il rapporto giornaliero"), name);
        log(m_s.panel(2), line);
        return true;
    }
    bool written = true;
    for (const QString &q : DailyReportQueries()) {
        m_link.WaitMs(50);
        SerialFunz2::Exchange exchange(m_link);
        m_s.setEnquiryStatus(exchange.acquired() ? m_link.SendEnquiry() : link::LineBusy);
        if (m_s.enquiryStatus() != 0) {
            reportUnreachable(line);
            file.close();
            m_s.pushFrontToQueue(taken);
            return false;
        }
        m_s.setUnreachableReported(false);
        m_link.WaitMs(50);
        m_link.SendCommandFrame(q);
        const QString answer = receiveAnswer();
        const QString tag = u'<' + q.left(1) + u'>';
        const QByteArray row =
            toAnsi(QString(tag + (answer.isEmpty() ? QStringLiteral("?") : answer))) + "\r\n";
        written = file.write(row) == row.size() && written;
    }
    if (!file.flush() || !written) {
        ReportWriteFailure(m_s, QStringLiteral("il rapporto giornaliero"), name);
        log(m_s.panel(2), line);
    }
    return true;
}

} // namespace norvvelm
