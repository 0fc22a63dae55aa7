#include "commands/LastExchange.h"

namespace norvvelm {

void LastExchange::setLastAnswer(const QString &answer) {
    m_lastAnswer = answer;
    emit lastAnswerChanged(answer);
}

void LastExchange::setLastStatus(int status) {
    m_lastStatus = status;
    emit lastStatusChanged(status);
}

void LastExchange::setEnquiryStatus(int status) {
    m_enquiryStatus = status;
    emit enquiryStatusChanged(status);
}

void LastExchange::setStatusText(const QString &text) {
    m_statusText = text;
    emit statusTextChanged(text);
}

} // namespace norvvelm
