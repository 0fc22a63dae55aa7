#pragma once

#include <QString>

namespace norvvelm {

class Prompter;
class Runner;
class Session;
class TechnicianPassword;

// The technician's login, password change and raw commands. The login
// dialog and the technician page only move values between their boxes and
// this unit.
class TechnicianTools {
public:
    TechnicianTools(Session &session, Runner &runner, Prompter &prompter, const TechnicianPassword &password)
        : m_s(session), m_runner(runner), m_prompter(prompter), m_password(password) {}

    // OK (or Enter): technician mode follows the comparison; a wrong password
    // says "Password Errata". Returns the new mode.
    bool login(const QString &typed);
    // Cancel: technician mode off.
    void cancel();

    enum class Change { Changed, WrongCurrent, Mismatch, NotStored };
    // The current password must match; the two new boxes must hold exactly
    // the same text. Each refusal has its message and turns technician mode off.
    Change changePassword(const QString &current, const QString &newPassword, const QString &repeated);

    // The answer box's text after a command: the answer when the register
    // accepted it ("00/"), else "Errore".
    static QString answerBoxText(const QString &answer);

    // cmdSendCommand: index 0 sends the typed command with its final "/"
    // added, index 1 every item of the command file. Returns the answer box's
    // new text (empty when nothing was sent).
    QString sendCommand(int index, const QString &single, const QString &filePath);
    QString sendSingle(const QString &typed);
    QString sendFile(const QString &path);

private:
    Session &m_s;
    Runner &m_runner;
    Prompter &m_prompter;
    const TechnicianPassword &m_password;
};

// One raw command line sent as the technician's commands send it, as it is,
// with no check of the executor's: a receipt it opens on the register holds
// the register until a line of them closes it (a payment, the void key), as
// one rung up on the console does. Returns the runner's status; the
// register's answer is the session's last. The caller holds the register.
int SendRawLine(Session &session, Runner &runner, const QString &line);

} // namespace norvvelm
