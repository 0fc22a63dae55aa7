#include "commands/Runner.h"

#include "commands/CommandLanguage.h"
#include "commands/Session.h"
#include "link/SerialFunz2.h"

namespace norvvelm {

QString FormatCommandError(QString &code, const QString &command) {
    const int value =
        16 * HexDigitValue(QStringView(code).left(1)) + HexDigitValue(QStringView(code).right(1));
    code = QString::number(value);
    return QStringLiteral("Comando '") + command + QStringLiteral("' - Errore N. ") + code;
}

int Runner::SendAndCheck(const QString &line) {
    Session &s = m_session;
    int status = 0;
    QString answer;
    QString text;
    s.setLastStatus(0);
    s.setLastAnswer(QString());
    SerialFunz2::Exchange exchange(m_link);
    if (!m_link.isOpen()) {
        status = link::NoPort;
        text = QStringLiteral("Err. 9999 : Comunicazione Impossibile");
    } else if (!exchange.acquired()) {
        // Asked from an event that ran inside another exchange's wait: the
        // bytes of two exchanges must never mix on the line.
        status = link::LineBusy;
        text = QStringLiteral("Err. 9998 : Linea occupata da un altro comando");
    } else {
        status = m_link.ExchangeCommand(line, answer);
        s.setPanel(1, QString());
        s.setPanel(2, QString());
        if (status != 0) {
            text = QStringLiteral("Err. ") + QString::number(status) +
                   QStringLiteral(" : Comunicazione Impossibile");
        } else if (!AnswerAccepted(answer)) {
            status = AnswerErrorValue(answer);
            text =
                QStringLiteral("Err. ") + QString::number(status) + QStringLiteral(" : Comunicazione errata");
        }
    }
    s.setLastAnswer(answer);
    s.setLastStatus(status);
    s.setStatusText(text);
    if (!text.isEmpty()) {
        s.setPanel(1, QStringLiteral("Attenzione!"));
        s.setPanel(2, text);
    }
    return status;
}

int Runner::RequestStatus() {
    Session &s = m_session;
    SerialFunz2::Exchange exchange(m_link);
    if (!exchange.acquired()) {
        s.setEnquiryStatus(link::LineBusy);
        return link::LineBusy;
    }
    int status = m_link.SendEnquiry();
    if (status == 0)
        status = m_link.SendCommandFrame(StatusRequestLine());
    if (status == 0) {
        QString answer;
        status = m_link.ReceiveAnswer(answer);
        s.setLastAnswer(answer);
        if (status == 0) {
            QString code = AnswerErrorCode(answer);
            if (!AnswerAccepted(answer))
                FormatCommandError(code, StatusRequestLine());
            status = AnswerAccepted(answer) ? 0 : code.toInt();
        }
    }
    s.setEnquiryStatus(status);
    return status;
}

} // namespace norvvelm
