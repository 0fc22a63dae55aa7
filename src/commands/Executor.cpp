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

void Executor::gaveUp(const QString &line, const QString &message, bool requeue) {
    monitor(kEcr + message);
    log(message, line);
    m_prompter.message(message, QStringLiteral("Attenzione"), Prompter::Icon::Critical);
    if (requeue)
        m_s.pushFrontToQueue(line);
}

void Executor::ExecuteReceiptQueue() {
    while (!m_s.stopRequested() && !m_s.queue().isEmpty()) {
        const QString taken = m_s.takeFirstFromQueue();
        monitor(kPc + taken);
        if (taken.trimmed().isEmpty())
            continue;
        QString line = CompleteLine(taken);
        const QString code = CommandCode(line);
        ReceiptRule rule = ReceiptRuleFor(code);
        if (rule == ReceiptRule::KeyCode && line != QLatin1String(")/5/") && line != QLatin1String(")/120/"))
            rule = ReceiptRule::NotHandled;

        const bool openBefore = m_s.receiptOpen();
        switch (rule) {
        case ReceiptRule::DailyReport:
            if (!writeDailyReport(line))
                return;
            continue;
        case ReceiptRule::NotHandled:
            log(u'"' + code + QStringLiteral("\" - Comando non gestito !"), line);
            monitor(kEcr + QStringLiteral("Comando ") + code + QStringLiteral(" non gestito."));
            return;
        case ReceiptRule::EndsOpen:
            if (!m_s.receiptOpen()) {
                monitor(kEcr + QStringLiteral("Scontrino non aperto"));
                continue;
            }
            m_s.setReceiptOpen(false);
            break;
        case ReceiptRule::ClosedOnly:
            if (m_s.receiptOpen()) {
                log(u'"' + code + QStringLiteral("\" - Comando non gestito con scontrino aperto !"), line);
                monitor(kEcr + QStringLiteral("Comando non gestito con scontrino aperto"));
                continue;
            }
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
        case ReceiptRule::Closes:
            m_s.setReceiptOpen(false);
            break;
        case ReceiptRule::Neutral:
        case ReceiptRule::KeyCode:
            break;
        }

        const qsizetype queuedBefore = m_s.queue().size();
        if (exchangeLine(line, code) == Outcome::Return) {
            // A line that went back to the queue was never taken by the
            // register: its receipt state is not changed yet either.
            if (m_s.queue().size() > queuedBefore)
                m_s.setReceiptOpen(openBefore);
            return;
        }
    }
}

Executor::Outcome Executor::exchangeLine(const QString &line, const QString &code) {
    int naks = 0, busy = 0, paperStatus = 0, empty = 0;
    for (;;) {
        if (m_s.stopRequested()) {
            m_s.pushFrontToQueue(line);
            return Outcome::Return;
        }
        SerialFunz2::Exchange exchange(m_link);
        if (!exchange.acquired()) {
            m_s.pushFrontToQueue(line);
            return Outcome::Return;
        }
        m_s.setEnquiryStatus(m_link.SendEnquiry());
        if (m_s.enquiryStatus() != 0) {
            // Never sent: the line waits at the head of the queue.
            reportUnreachable(line);
            m_s.pushFrontToQueue(line);
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
                gaveUp(line, QStringLiteral("Rotolo non sostituito: la coda riprende pi\u00f9 tardi"), true);
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
                       true);
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
                m_s.pushFrontToQueue(line);
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

bool Executor::writeDailyReport(const QString &line) {
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
            m_s.pushFrontToQueue(line);
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
