#pragma once

#include <QObject>
#include <QString>
#include <QTimer>

#include <functional>

namespace norvvelm {

class Executor;
class Prompter;
class Runner;
class Session;
class SerialFunz2;
struct RegisterIdentity;

// The start-up steps that bring the register under control, and the watch
// that brings it back: load the configuration, open the port, ask its
// status, identify it ("a/"), read its VAT rates ("e/").
class Startup : public QObject {
    Q_OBJECT
public:
    // The executor says whether the register was found unreachable; the
    // watch tells it when the register answers again.
    Startup(Session &session, SerialFunz2 &link, Runner &runner, Executor &executor, Prompter &prompter,
            QObject *parent = nullptr);

    static QString version();

    // LoadConfiguration into the session, which selects the model row. False
    // when the model or port is missing (panels 1 and 2 say why).
    bool loadConfiguration();

    // Opens the port when it is closed, asks the status and identifies the
    // register; true when it answered "a/" with its serial number.
    bool connectRegister();
    bool ready() const { return m_ready; }
    // Read at each identification with the VAT rates, before it is ready.
    void setTablesRead(std::function<void()> read) { m_tablesRead = std::move(read); }
    // Why the register is not under control, as last said (empty: nothing said).
    QString lastProblem() const { return m_lastProblem; }

    // Looks at the port every checkMs (a port that disappeared is noticed at
    // once) and retries every retryMs while the register is not identified.
    // Each problem is said once.
    void supervise(int checkMs, int retryMs);
    void stopSupervising() { m_timer.stop(); }
    void checkNow();

signals:
    void readyChanged(bool ready);
    // The watch looked: at each of its checks.
    void watched();

private:
    void setReady(bool ready);
    bool tryConnect();
    // Opens the configured port and asks the register's status; false (said)
    // when the port cannot be opened.
    bool openPort();
    // The register answered with its identity: shown, written, and said.
    void identified(const RegisterIdentity &id);
    void probeUnreachable();
    void report(const QString &problem);
    // The retry interval has passed since the last attempt (on the link's clock).
    bool retryDue() const;

    Session &m_s;
    SerialFunz2 &m_link;
    Runner &m_runner;
    Executor &m_executor;
    Prompter &m_prompter;
    QTimer m_timer;
    qint64 m_lastAttemptMs = -1;
    int m_retryMs = 0;
    bool m_ready = false;
    QString m_lastProblem;
    std::function<void()> m_tablesRead;
};

} // namespace norvvelm
