// norvvelm-cmd LINE...: sends each command line to the configured register
// and prints its status and answer, one line each:
//   <line> -> <status> <answer>
// Exit code 0 when every line was accepted, 1 otherwise, 2 for an incomplete
// configuration, 3 when the port cannot be opened.

#include "commands/Prompter.h"
#include "commands/Runner.h"
#include "commands/Session.h"
#include "link/SerialComPort.h"
#include "link/SerialFunz2.h"
#include "shell/Config.h"
#include "shell/Startup.h"

#include <QCoreApplication>

#include <cstdio>

using namespace norvvelm;

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    const QStringList lines = app.arguments().mid(1);
    if (lines.isEmpty() || lines.first() == QLatin1String("--help")) {
        WriteConsoleLine(
            stderr, QStringLiteral("usage: norvvelm-cmd LINE... (for example: norvvelm-cmd \"?/\" \"a/\")"));
        return 2;
    }
    Session session;
    session.programDir = ProgramHome();
    StatusTexts status;
    if (!LoadConfiguration(session.programDir + QStringLiteral("/NorvVelm.ini"), session.programDir,
                           session.config, session.forbidden, status)) {
        WriteConsoleLine(stderr, status.type + QStringLiteral(": ") + status.message);
        return 2;
    }
    SerialComPort port;
    RealClock clock;
    SerialFunz2 link(port, clock);
    const QString device = PortDevice(session.config.IniPath, session.config.Porta);
    if (device.isEmpty() || !link.OpenComPort(device, session.config.Velocita)) {
        WriteConsoleLine(stderr, QStringLiteral("Impossibile Aprire Porta ") + session.config.Porta +
                                     QStringLiteral(" (") + device + QStringLiteral(") ") + port.errorText());
        return 3;
    }
    Runner runner(session, link);
    int rc = 0;
    for (const QString &line : lines) {
        const int result = runner.SendAndCheck(line);
        WriteConsoleLine(stdout,
                         line + QStringLiteral(" -> ") + QString::number(result) + u' ' + session.lastAnswer);
        if (!session.statusText.isEmpty())
            WriteConsoleLine(stderr, session.statusText);
        if (result != 0)
            rc = 1;
    }
    link.CloseComPort();
    return rc;
}
