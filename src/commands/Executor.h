#pragma once

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

    static QString unreachableMessage();

private:
    enum class Outcome { Next, Return };
    Outcome exchangeLine(const QString &line, const QString &code);
    bool writeDailyReport(const QString &line);
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
};

} // namespace norvvelm
