#include "shell/MainWindowLogic.h"

#include "commands/Prompter.h"
#include "commands/Session.h"
#include "shell/Startup.h"

#include <QStandardPaths>

namespace norvvelm::mainwindow {

WindowMode EffectiveWindowMode(WindowMode wanted, bool trayAvailable) {
    if (wanted == WindowMode::Iconized && !trayAvailable)
        return WindowMode::Minimized;
    return wanted;
}

QString NoTrayNotice() {
    return QStringLiteral(
        "Area di notifica assente: la finestra resta ridotta a icona invece di nascondersi");
}

QString Caption() {
    return QStringLiteral(" NorvVelm - Versione : ") + Startup::version();
}

QString StatusPageAddress(const QString &address, int port) {
    QString host = address.trimmed();
    if (host.isEmpty() || host == QLatin1String("0.0.0.0"))
        host = QStringLiteral("127.0.0.1");
    else if (host == QLatin1String("::") || host == QLatin1String("::0"))
        host = QStringLiteral("::1");
    if (host.contains(u':') && !host.startsWith(u'['))
        host = u'[' + host + u']';
    return QStringLiteral("http://") + host + (port == 80 ? QString() : u':' + QString::number(port)) + u'/';
}

bool IsTestModeCommandLine(const QStringList &arguments) {
    return arguments.join(u' ').toUpper() == QLatin1String("/TESTMODE");
}

QStringList ComPortNames() {
    QStringList names;
    for (int i = 1; i <= 32; ++i)
        names.append(PortName(i));
    return names;
}

QStringList SpeedNames() {
    return {QStringLiteral("9600"), QStringLiteral("115200"), QStringLiteral("230400")};
}

QStringList WindowModeNames() {
    return {WindowModeName(WindowMode::Normal), WindowModeName(WindowMode::Minimized),
            WindowModeName(WindowMode::Iconized), WindowModeName(WindowMode::VirtualEcr)};
}

void AzzeraDati(Session &session) {
    session.runState().setTechnicianMode(false);
}

bool TechnicianTabAtStart(bool passwordEmpty, bool configurationLoaded) {
    return passwordEmpty && !configurationLoaded;
}

bool ConfirmExit(const Session &session, Prompter &prompter) {
    if (!session.runState().receiptOpen())
        return true;
    return prompter.ask(QStringLiteral("Scontrino Aperto !\r\n\r\nProseguo ?"), QStringLiteral("ATTENZIONE"),
                        Prompter::Icon::Critical, Prompter::Buttons::YesNo, Prompter::Answer::No,
                        Prompter::Answer::No) == Prompter::Answer::Yes;
}

void ShowStato(const Session &session, Prompter &prompter) {
    if (!session.statusBar().panel(2).trimmed().isEmpty()) {
        prompter.message(session.statusBar().panel(2), session.statusBar().panel(1),
                         Prompter::Icon::Critical);
        return;
    }
    prompter.message(QStringLiteral("Status OK : ") + session.statusBar().panel(3),
                     QStringLiteral("Norv Velm"), Prompter::Icon::Information);
}

void ShowStatusBarError(const Session &session, Prompter &prompter) {
    if (!session.statusBar().panel(1).trimmed().isEmpty())
        prompter.message(session.statusBar().panel(2), session.statusBar().panel(1),
                         Prompter::Icon::Critical);
}

QString SystemInfoProgram() {
#ifdef Q_OS_WIN
    const QStringList candidates{QStringLiteral("msinfo32")};
#else
    const QStringList candidates{QStringLiteral("hardinfo2"), QStringLiteral("hardinfo"),
                                 QStringLiteral("kinfocenter"), QStringLiteral("gnome-system-monitor")};
#endif
    for (const QString &name : candidates) {
        const QString path = QStandardPaths::findExecutable(name);
        if (!path.isEmpty())
            return path;
    }
    return {};
}

QString SystemInfoUnavailable() {
    return QStringLiteral("System Information Is Unavailable At This Time");
}

ConfigForm KeepStoredChoices(const ConfigForm &form, const PcConfig &stored) {
    ConfigForm values = form;
    if (values.model.trimmed().isEmpty())
        values.model = stored.Modello;
    if (values.port.trimmed().isEmpty() && stored.Porta > 0)
        values.port = PortName(stored.Porta);
    return values;
}

} // namespace norvvelm::mainwindow
