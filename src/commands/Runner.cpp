#include "commands/Runner.h"

#include "commands/CommandLanguage.h"
#include "commands/Session.h"
#include "link/SerialFunz2.h"

namespace norvvelm {

int CommandErrorNumber(const QString &code) {
    return 16 * HexDigitValue(QStringView(code).left(1)) + HexDigitValue(QStringView(code).right(1));
}

QString CommandErrorText(const QString &code, const QString &command) {
    return QStringLiteral("Comando '") + command + QStringLiteral("' - Errore N. ") +
           QString::number(CommandErrorNumber(code));
}

QString FormatCommandError(QString &code, const QString &command) {
    const QString text = CommandErrorText(code, command);
    code = QString::number(CommandErrorNumber(code));
    return text;
}

int Runner::SendAndCheck(const QString &line) {
    Session &s = m_session;
    s.lastExchange().setLastStatus(0);
    s.lastExchange().setLastAnswer(QString());
    const Reply reply = m_link.exchange(line);
    int status = statusNumber(reply.status);
    QString text;
    if (reply.status == LinkStatus::NoPort) {
        text = QStringLiteral("Err. 9999 : Comunicazione Impossibile");
    } else if (reply.status == LinkStatus::LineBusy) {
        // Asked from an event that ran inside another exchange's wait: the
        // bytes of two exchanges must never mix on the line.
        text = QStringLiteral("Err. 9998 : Linea occupata da un altro comando");
    } else {
        s.statusBar().setMessage(QString(), QString());
        if (status != 0) {
            text = QStringLiteral("Err. ") + QString::number(status) +
                   QStringLiteral(" : Comunicazione Impossibile");
        } else if (!AnswerAccepted(reply.answer)) {
            status = AnswerErrorValue(reply.answer);
            text =
                QStringLiteral("Err. ") + QString::number(status) + QStringLiteral(" : Comunicazione errata");
        }
    }
    s.lastExchange().setLastAnswer(reply.answer);
    s.lastExchange().setLastStatus(status);
    s.lastExchange().setStatusText(text);
    if (!text.isEmpty()) {
        s.statusBar().setMessage(QStringLiteral("Attenzione!"), text);
    }
    return status;
}

int Runner::RequestStatus() {
    Session &s = m_session;
    const Reply reply = m_link.exchange(StatusRequestLine());
    if (reply.listened)
        s.lastExchange().setLastAnswer(reply.answer);
    int status = statusNumber(reply.status);
    if (status == 0 && !AnswerAccepted(reply.answer))
        status = CommandErrorNumber(AnswerErrorCode(reply.answer));
    s.lastExchange().setEnquiryStatus(status);
    return status;
}

} // namespace norvvelm
