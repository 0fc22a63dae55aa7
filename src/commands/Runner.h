#pragma once

#include "commands/CommandLanguage.h"

#include <QString>

namespace norvvelm {

class Session;
class SerialFunz2;

// The register's two-character error code as its number.
int CommandErrorNumber(const QString &code);
// "Comando '<command>' - Errore N. <decimal>".
QString CommandErrorText(const QString &code, const QString &command);
// The same; `code` becomes its decimal text.
QString FormatCommandError(QString &code, const QString &command);

// Single commands sent while the operator watches: one exchange, a report on
// the status bar, one number back.
class Runner {
public:
    Runner(Session &session, SerialFunz2 &link) : m_session(session), m_link(link) {}

    // Returns `last status`: 0, a link status, 9999 without a port, 9998 when
    // another exchange holds the line, or the register's error code.
    int SendAndCheck(const QString &line);
    // The "?/" status request: 0, a link status, or the register's error code.
    int RequestStatus();

private:
    Session &m_session;
    SerialFunz2 &m_link;
};

} // namespace norvvelm
