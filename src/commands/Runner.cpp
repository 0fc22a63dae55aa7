#include "commands/Runner.h"

#include "commands/CommandLanguage.h"
#include "commands/Session.h"
#include "link/SerialFunz2.h"

namespace norvvelm {

int HexDigitValue(QStringView c) {
    if (c.size() != 1)
        return 0;
    const char16_t u = c.at(0).unicode();
    if (u >= u'0' && u <= u'9')
        return u - u'0';
    if (u >= u'A' && u <= u'F')
        return u - 55;
    return 0;
}

QString FormatCommandError(QString &code, const QString &command) {
    const int value =
        16 * HexDigitValue(QStringView(code).left(1)) + HexDigitValue(QStringView(code).right(1));
    code = QString::number(value);
    return QStringLiteral("Comando '") + command + QStringLiteral("' - Errore N. ") + code;
}

int Runner::SendAndCheck(const QString &line) {
    Session &s = m_session;
    s.lastStatus = 0;
    s.lastAnswer.clear();
    SerialFunz2::Exchange exchange(m_link);
    if (!m_link.isOpen()) {
        s.lastStatus = link::NoPort;
        s.statusText = QStringLiteral("Err. 9999 : Comunicazione Impossibile");
    } else if (!exchange.acquired()) {
        // Asked from an event that ran inside another exchange's wait: the
        // bytes of two exchanges must never mix on the line.
        s.lastStatus = link::LineBusy;
        s.statusText = QStringLiteral("Err. 9998 : Linea occupata da un altro comando");
    } else {
        s.lastStatus = m_link.ExchangeCommand(line, s.lastAnswer);
        s.statusText.clear();
        s.setPanel(1, QString());
        s.setPanel(2, QString());
        if (s.lastStatus != 0) {
            s.statusText = QStringLiteral("Err. ") + QString::number(s.lastStatus) +
                           QStringLiteral(" : Comunicazione Impossibile");
        } else if (AnswerErrorCode(s.lastAnswer) != QLatin1String("00")) {
            const QStringView a(s.lastAnswer);
            s.lastStatus = 16 * HexDigitValue(a.mid(0, 1)) + HexDigitValue(a.mid(1, 1));
            s.statusText = QStringLiteral("Err. ") + QString::number(s.lastStatus) +
                           QStringLiteral(" : Comunicazione errata");
        }
    }
    if (!s.statusText.isEmpty()) {
        s.setPanel(1, QStringLiteral("Attenzione!"));
        s.setPanel(2, s.statusText);
    }
    return s.lastStatus;
}

int Runner::RequestStatus() {
    Session &s = m_session;
    SerialFunz2::Exchange exchange(m_link);
    if (!exchange.acquired())
        return s.enquiryStatus = link::LineBusy;
    s.enquiryStatus = m_link.SendEnquiry();
    if (s.enquiryStatus != 0)
        return s.enquiryStatus;
    s.enquiryStatus = m_link.SendCommandFrame(QStringLiteral("?/"));
    if (s.enquiryStatus != 0)
        return s.enquiryStatus;
    s.lastAnswer.clear();
    s.enquiryStatus = m_link.ReceiveAnswer(s.lastAnswer);
    if (s.enquiryStatus != 0)
        return s.enquiryStatus;
    QString code = AnswerErrorCode(s.lastAnswer);
    if (code != QLatin1String("00"))
        FormatCommandError(code, QStringLiteral("?/"));
    s.enquiryStatus = code == QLatin1String("00") ? 0 : code.toInt();
    return s.enquiryStatus;
}

} // namespace norvvelm
