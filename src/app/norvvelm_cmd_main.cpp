// norvvelm-cmd LINE...: sends each command line to the configured register
// and prints its status and answer, one line each:
//   <line> -> <status> <answer>
// A line the register refuses is also said on standard error with its
// number (the status) and the register's own code:
//   Errore N. <number> (codice cassa <code>): <meaning>
// Exit code 0 when every line was accepted, 1 otherwise, 2 for an incomplete
// configuration, 3 when the port cannot be opened, 4 when another program of
// the home holds the register or its print server has work left.
// norvvelm-cmd --detect [DEVICE...]: looks for registers on the serial ports,
// one line a port: <device> <speed> <serial> <number> <firmware>, or the
// device and why no register is there; exit 0 when one answered, 1 if none.

#include "api/ApiToken.h"
#include "app/Station.h"
#include "commands/CommandLanguage.h"
#include "commands/Prompter.h"
#include "commands/RegisterOwner.h"
#include "commands/Runner.h"
#include "commands/Session.h"
#include "link/DeviceComPort.h"
#include "link/EcrErrors.h"
#include "link/SerialComPort.h"
#include "link/SerialPortList.h"
#include "shell/Config.h"
#include "shell/InfoOptions.h"
#include "shell/MainWindowLogic.h"
#include "shell/NewRegister.h"
#include "shell/RegisterDetection.h"
#include "shell/SingleInstance.h"

#include <QCoreApplication>
#include <QDir>

#include <cstdio>

using namespace norvvelm;

const char kUsage[] = "usage: norvvelm-cmd [--] LINE... | --api-token | --detect [DEVICE...] |\n"
                      "       --new-register NAME --port DEVICE [--root DIR] [--spool DIR] [--from INI]\n"
                      "Sends each register command line to the register configured in NorvVelm.ini\n"
                      "of the home folder ($NORVVELM_HOME, else ~/.config/NorvVelm) and prints\n"
                      "\"<line> -> <status> <answer>\" for each; a line the register refuses is said\n"
                      "on standard error as \"Errore N. <status> (codice cassa <code>): ...\".\n"
                      "For example: norvvelm-cmd \"?/\" \"a/\"\n"
                      "  --api-token    print the key of the local HTTP interface (NorvVelm.token):\n"
                      "                 $NORVVELM_HOME's when set; else the installed service's\n"
                      "                 (/var/lib/norvvelm, for members of the group norvvelm-api:\n"
                      "                 sudo adduser $USER norvvelm-api, then log in again); else\n"
                      "                 ~/.config/NorvVelm's, creating it when it is missing\n"
                      "  --new-register NAME --port DEVICE\n"
                      "                 make the home of one more register's print server,\n"
                      "                 DIR/NAME (DIR /var/lib/norvvelm), run by norvvelmd@NAME:\n"
                      "                 its NorvVelm.ini from INI (the package's example) with\n"
                      "                 DEVICE as Com1, its receipt folder under --spool\n"
                      "                 (/var/spool/norvvelm), a free API port and its key\n"
                      "  --detect       look for registers on the serial ports (or on the DEVICEs\n"
                      "                 given), writing only the enquiry and \"a/\"; one line a port:\n"
                      "                 \"<port> <speed> <serial> <number> <firmware>\", or the port\n"
                      "                 and why no register is there; a port another program holds\n"
                      "                 is left alone. Exit 0 when a register answered, 1 if none\n"
                      "  -h, --help     show this text\n"
                      "  -V, --version  show the version\n"
                      "Exit status: 0 every line accepted, 1 a line refused or the link failed,\n"
                      "2 no line or an incomplete configuration, 3 the port cannot be opened,\n"
                      "4 the register is another NorvVelm program's, or its print server has work left.";

namespace {

// --new-register NAME --port DEVICE [--root DIR] [--spool DIR] [--from INI].
int newRegister(const QStringList &args) {
    NewRegister wanted;
    for (qsizetype i = 0; i < args.size(); i += 2) {
        const QString option = args.at(i);
        const QString value = args.value(i + 1);
        if (i + 1 >= args.size()) {
            WriteConsoleLine(stderr,
                             QStringLiteral("norvvelm-cmd: ") + option + QStringLiteral(": manca il valore"));
            return 2;
        }
        if (option == u"--new-register")
            wanted.name = value;
        else if (option == u"--port")
            wanted.device = value;
        else if (option == u"--root")
            wanted.root = value;
        else if (option == u"--spool")
            wanted.spool = value;
        else if (option == u"--from")
            wanted.templateIni = value;
        else {
            WriteConsoleLine(stderr, QStringLiteral("norvvelm-cmd: opzione sconosciuta ") + option);
            return 2;
        }
    }
    const NewRegisterResult made = CreateRegisterInstance(wanted);
    if (!made.ok()) {
        WriteConsoleLine(stderr, QStringLiteral("norvvelm-cmd: ") + made.error);
        return 1;
    }
    WriteConsoleLine(stdout,
                     QStringLiteral("%1: %2, API port %3; start it with: systemctl enable --now norvvelmd@%1")
                         .arg(wanted.name, QDir::toNativeSeparators(made.home))
                         .arg(made.apiPort));
    return 0;
}

// The packaged service's home folder.
constexpr char kServiceHome[] = "/var/lib/norvvelm";

// --api-token: the key of the local HTTP interface: the named home's
// (NORVVELM_HOME), else the installed service's (a till's user reads it as
// a member of its group), else the user's own home's, made when missing.
int printApiToken() {
    QString error;
    const QByteArray token = ApiToken::forClient(qEnvironmentVariable("NORVVELM_HOME"),
                                                 QString::fromLatin1(kServiceHome), &ProgramHome, &error);
    if (token.isEmpty()) {
        WriteConsoleLine(stderr, QStringLiteral("norvvelm-cmd: ") + ApiToken::fileName() +
                                     QStringLiteral(": ") + error);
        return 2;
    }
    WriteConsoleLine(stdout, QString::fromLatin1(token));
    return 0;
}

// --detect: every port given, or the machine's, at each speed the
// configuration offers; 0 when a register answered.
int detectRegisters(QStringList devices) {
    if (devices.isEmpty())
        for (const SerialPortChoice &c : AvailableSerialPorts())
            devices.append(c.preferred());
    RealClock clock;
    RegisterDetection detection(clock, [] { return std::make_unique<SerialComPort>(); });
    const QList<DetectedPort> found =
        detection.DetectRegisters(devices, RegisterDetection::SpeedsFromNames(mainwindow::SpeedNames()));
    if (found.isEmpty())
        WriteConsoleLine(stderr, QStringLiteral("norvvelm-cmd: nessuna porta seriale"));
    bool any = false;
    for (const DetectedPort &port : found) {
        WriteConsoleLine(stdout, DetectionLine(port));
        any = any || port.found();
    }
    return any ? 0 : 1;
}

// Why the register of `home` is not the command's to use.
QString lockRefusal(const InstanceLock &lock, const QString &home) {
    if (lock.state == InstanceLock::State::AlreadyRunning)
        return QStringLiteral("NorvVelm o norvvelmd lavora gi\u00e0 sulla cassa di %1: "
                              "fermarlo, o mandare i comandi dal pannello del tecnico")
            .arg(QDir::toNativeSeparators(home));
    return InstanceLockRefusal(lock);
}

// A register's refusal as the monitor and the daily log number it, with the
// register's own two hexadecimal digits and their meaning.
QString registerErrorText(const QString &answer) {
    const QString code = AnswerErrorCode(answer);
    const QString meaning = DescribeEcrError(code).message;
    return QStringLiteral("Errore N. %1 (codice cassa %2)").arg(CommandErrorNumber(code)).arg(code) +
           (meaning.isEmpty() ? QString() : QStringLiteral(": ") + meaning);
}

// Each line to the register, with its status and answer; 1 when one was not
// accepted.
int sendLines(Station &station, const QStringList &lines) {
    Session &session = station.session();
    int rc = 0;
    for (const QString &line : lines) {
        const int result = station.runner().SendAndCheck(line);
        const QString answer = session.lastExchange().lastAnswer();
        WriteConsoleLine(stdout, line + QStringLiteral(" -> ") + QString::number(result) + u' ' + answer);
        if (!session.lastExchange().statusText().isEmpty())
            WriteConsoleLine(stderr, session.lastExchange().statusText());
        if (!answer.isEmpty() && !AnswerAccepted(answer))
            WriteConsoleLine(stderr, registerErrorText(answer));
        if (result != 0)
            rc = 1;
    }
    return rc;
}

// The lines through a station of `home`, once its configuration is read, its
// port open and its queue idle; the exit code.
int runLines(const QString &home, const QStringList &lines) {
    DeviceComPort port;
    RealClock clock;
    StderrPrompter prompter;
    Station station(port, clock, prompter);
    Session &session = station.session();
    session.settings().setProgramDir(home);
    if (!station.loadConfiguration()) {
        WriteConsoleLine(stderr, session.statusBar().panel(1) + QStringLiteral(": ") +
                                     session.statusBar().panel(2) + QStringLiteral(" (") +
                                     ConfigurationFileNote(session.settings().iniPath()) + u')');
        return 2;
    }
    const PcConfig &cfg = session.settings().config();
    const QString device = PortDevice(cfg.IniPath, cfg.Porta);
    if (device.isEmpty() || !station.link().OpenComPort(device, cfg.Velocita)) {
        WriteConsoleLine(stderr, CannotOpenPortText(PortName(cfg.Porta), device, port.errorText()));
        return 3;
    }
    // A receipt the print server left unfinished, or lines it still has to
    // send: the raw lines would join them.
    const RegisterLease lease(session, RegisterOwner::Use::Changes, &prompter);
    if (!lease) {
        station.stop();
        return 4;
    }
    const int rc = sendLines(station, lines);
    station.stop();
    return rc;
}

} // namespace

int main(int argc, char **argv) {
    if (const auto rc =
            answerInfoOption(argc, argv, QStringLiteral("norvvelm-cmd"), QString::fromUtf8(kUsage)))
        return *rc;
    QCoreApplication app(argc, argv);
    QStringList lines = app.arguments().mid(1);
    if (!lines.isEmpty() && lines.first() == QLatin1String("--"))
        lines.removeFirst();
    if (lines.size() == 1 && lines.first() == QLatin1String("--api-token"))
        return printApiToken();
    if (!lines.isEmpty() && lines.first() == QLatin1String("--new-register"))
        return newRegister(lines);
    if (!lines.isEmpty() && lines.first() == QLatin1String("--detect") &&
        app.arguments().at(1) != QLatin1String("--"))
        return detectRegisters(lines.mid(1));
    if (lines.isEmpty()) {
        WriteConsoleLine(stderr, QString::fromUtf8(kUsage));
        return 2;
    }
    // The register and the queue of this home are the running program's
    // (the print server or the window): nothing goes out beside it. Marked
    // as a command, so that a print server started meanwhile waits for it.
    const QString home = ProgramHome();
    const InstanceLock lock = LockSingleInstance(QStringLiteral("NorvVelm"), home, LockHolder::Command);
    if (!lock) {
        WriteConsoleLine(stderr, QStringLiteral("norvvelm-cmd: ") + lockRefusal(lock, home));
        return 4;
    }
    return runLines(home, lines);
}
