#pragma once

#include <QObject>
#include <QString>

namespace norvvelm {

// The last exchange with the register as the runner and the executor left
// it: the answer, its status, the status of the enquiry before it, and the
// text that explained a failed command.
class LastExchange : public QObject {
    Q_OBJECT
public:
    explicit LastExchange(QObject *parent = nullptr) : QObject(parent) {}

    QString lastAnswer() const { return m_lastAnswer; }
    void setLastAnswer(const QString &answer);
    int lastStatus() const { return m_lastStatus; }
    void setLastStatus(int status);
    int enquiryStatus() const { return m_enquiryStatus; }
    void setEnquiryStatus(int status);
    QString statusText() const { return m_statusText; }
    void setStatusText(const QString &text);

signals:
    void lastAnswerChanged(const QString &answer);
    void lastStatusChanged(int status);
    void enquiryStatusChanged(int status);
    void statusTextChanged(const QString &text);

private:
    QString m_lastAnswer;
    int m_lastStatus = 0;
    int m_enquiryStatus = 0;
    QString m_statusText;
};

} // namespace norvvelm
