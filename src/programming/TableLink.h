#pragma once

#include "commands/Runner.h"
#include "commands/Session.h"

#include <QString>

namespace norvvelm {

// What a programming table talks through: the interactive runner for one
// exchange at a time, and the session where the answer and the settings file
// are found.
struct TableLink {
    Runner &runner;
    Session &session;

    // SendAndCheck: 0 or the failure status; the answer is then answer().
    int send(const QString &line) const { return runner.SendAndCheck(line); }
    QString answer() const { return session.lastExchange().lastAnswer(); }
    int status() const { return session.lastExchange().lastStatus(); }
    QString iniPath() const {
        return session.settings().config().IniPath.isEmpty() ? session.settings().iniPath()
                                                             : session.settings().config().IniPath;
    }
};

// The register could not be reached at all (no answer arrived): a link
// failure, no port, or another exchange holding the line. Anything else is
// the register's own refusal.
bool IsLinkFailure(int status);

} // namespace norvvelm
