#pragma once

#include <QObject>
#include <QString>
#include <QTimer>

namespace norvvelm {

class Prompter;
class Runner;
class Session;
class SerialFunz2;

// The start-up steps that bring the register under control, and the watch
// that brings it back: load the configuration, open the port, ask its
// status, identify it ("a/"), read its VAT rates ("e/").
class Startup : public QObject {
    Q_OBJECT
public:
    Startup(Session &session, SerialFunz2 &link, Runner &runner, Prompter &prompter,
            QObject *parent = nullptr);

    static QString version();

    // LoadConfiguration into the session, the model row and the window's
    // copies. False when the model or port is missing (panels 1 and 2 say why).
    bool loadConfiguration();

    // Opens the port when it is closed, asks the status and identifies the
    // register; true when it answered "a/" with its serial number.
    bool connectRegister();
    bool ready() const { return m_ready; }

    // Retries every intervalMs while the register is not identified, and
    // notices a port that disappeared. Each problem is said once.
    void supervise(int intervalMs);
    void checkNow();

signals:
    void readyChanged(bool ready);

private:
    void setReady(bool ready);
    void report(const QString &problem);

    Session &m_s;
    SerialFunz2 &m_link;
    Runner &m_runner;
    Prompter &m_prompter;
    QTimer m_timer;
    bool m_ready = false;
    QString m_lastProblem;
};

} // namespace norvvelm
