#include "commands/TechnicianTools.h"

#include "commands/CommandLanguage.h"
#include "commands/Prompter.h"
#include "commands/RegisterOwner.h"
#include "commands/Runner.h"
#include "commands/SequentialItems.h"
#include "commands/Session.h"
#include "commands/TechnicianPassword.h"

#include <QFile>
#include <QFileInfo>

namespace norvvelm {

namespace {
const QString kAttenzione = QStringLiteral("Attenzione");
}

bool TechnicianTools::login(const QString &typed) {
    const bool ok = m_password.matches(typed);
    if (!ok)
        m_prompter.message(QStringLiteral("Password Errata"), kAttenzione, Prompter::Icon::Critical);
    m_s.runState().setTechnicianMode(ok);
    return ok;
}

void TechnicianTools::cancel() {
    m_s.runState().setTechnicianMode(false);
}

TechnicianTools::Change TechnicianTools::changePassword(const QString &current, const QString &newPassword,
                                                        const QString &repeated) {
    if (!m_password.matches(current)) {
        m_s.runState().setTechnicianMode(false);
        m_prompter.message(QStringLiteral("Password corrente errata"), kAttenzione, Prompter::Icon::Critical);
        return Change::WrongCurrent;
    }
    if (newPassword != repeated) {
        m_prompter.message(QStringLiteral("Nuova Password Errata"), kAttenzione, Prompter::Icon::Critical);
        m_s.runState().setTechnicianMode(false);
        return Change::Mismatch;
    }
    // The technician knew the current password: the page opens even when the
    // new one could not be stored, but that is said rather than hidden.
    m_s.runState().setTechnicianMode(true);
    if (!m_password.change(newPassword)) {
        m_prompter.message(QStringLiteral("Impossibile memorizzare la nuova password"), kAttenzione,
                           Prompter::Icon::Critical);
        return Change::NotStored;
    }
    return Change::Changed;
}

QString TechnicianTools::answerBoxText(const QString &answer) {
    return AnswerAcceptedField(answer) ? answer : QStringLiteral("Errore");
}

QString TechnicianTools::sendCommand(int index, const QString &single, const QString &filePath) {
    switch (index) {
    case 0:
        return sendSingle(single);
    case 1:
        return sendFile(filePath);
    default:
        return QStringLiteral("Errore!");
    }
}

int SendRawLine(Session &session, Runner &runner, const QString &line) {
    const int status = runner.SendAndCheck(line);
    RegisterOwner &owner = session.registerOwner();
    owner.setRawReceiptOpen(ReceiptOpenAfterKey(LineReceiptEffect(line), session.lastExchange().lastAnswer(),
                                                owner.rawReceiptOpen()));
    return status;
}

QString TechnicianTools::sendSingle(const QString &typed) {
    // The technician types the command without its final slash.
    const RegisterLease lease(m_s, RegisterOwner::Use::Changes, &m_prompter);
    if (!lease)
        return {};
    SendRawLine(m_s, m_runner, TypedCommandLine(typed));
    return answerBoxText(m_s.lastExchange().lastAnswer());
}

QString TechnicianTools::sendFile(const QString &path) {
    const QString name = path.trimmed();
    if (name.isEmpty())
        return {};
    const QFileInfo info(name);
    if (!info.exists() || info.isDir())
        return QStringLiteral("File inesistente");
    QFile f(name);
    QByteArray content;
    if (f.open(QIODevice::ReadOnly))
        content = f.readAll(); // read errors leave what was read
    // The whole file is one sequence: the print server waits until it ends.
    const RegisterLease lease(m_s, RegisterOwner::Use::Changes, &m_prompter);
    if (!lease)
        return {};
    QString shown;
    for (const QString &item : ReadSequentialFileItems(content)) {
        // A blank line is no command: a lone "/" is never sent.
        if (item.trimmed().isEmpty())
            continue;
        SendRawLine(m_s, m_runner, CommandFileLine(item));
        shown = answerBoxText(m_s.lastExchange().lastAnswer());
    }
    return shown;
}

} // namespace norvvelm
