#include "shell/Startup.h"

#include "commands/CommandLanguage.h"
#include "commands/Prompter.h"
#include "commands/Runner.h"
#include "commands/Session.h"
#include "link/SerialFunz2.h"
#include "programming/VatRates.h"
#include "shell/Config.h"

namespace norvvelm {

namespace {
QString linkFailureText(int status) {
    return QStringLiteral("Errore : ") + QString::number(status) +
           QStringLiteral(" - Comunicazione impossibile !\r\n\r\nCassa spenta o \r\nCavo interrotto o\r\n"
                          " Velocit\u00e0 errata");
}
} // namespace

Startup::Startup(Session &session, SerialFunz2 &link, Runner &runner, Prompter &prompter, QObject *parent)
    : QObject(parent), m_s(session), m_link(link), m_runner(runner), m_prompter(prompter) {
    connect(&m_timer, &QTimer::timeout, this, &Startup::checkNow);
}

QString Startup::version() {
    return QString::number(NORVVELM_VERSION_MAJOR) + u'.' + QString::number(NORVVELM_VERSION_MINOR) + u'.' +
           QString::number(NORVVELM_VERSION_PATCH);
}

bool Startup::loadConfiguration() {
    StatusTexts status;
    const QString ini = m_s.programDir + QStringLiteral("/NorvVelm.ini");
    const bool ok = LoadConfiguration(ini, m_s.programDir, m_s.config, m_s.forbidden, status);
    m_s.setPanel(1, status.type);
    m_s.setPanel(2, status.message);
    if (!ok)
        return false;
    m_s.portCopy = m_s.config.Porta;
    m_s.speedCopy = m_s.config.Velocita;
    m_s.serverDirCopy = m_s.config.ServerDir;
    m_s.serverFileCopy = m_s.config.ServerFile;
    m_s.logEnabled = m_s.config.logOn();
    m_s.selectModel();
    return true;
}

void Startup::report(const QString &problem) {
    if (problem == m_lastProblem)
        return;
    m_lastProblem = problem;
    m_prompter.message(problem, QStringLiteral("Attenzione"), Prompter::Icon::Critical);
}

void Startup::setReady(bool ready) {
    if (ready == m_ready)
        return;
    m_ready = ready;
    emit readyChanged(ready);
}

bool Startup::connectRegister() {
    if (m_link.lineBusy())
        return m_ready;
    if (!m_link.isOpen()) {
        const QString device = PortDevice(m_s.config.IniPath, m_s.portCopy);
        if (device.isEmpty() || !m_link.OpenComPort(device, m_s.speedCopy)) {
            report(QStringLiteral("Impossibile Aprire Porta ") + m_s.portCopy);
            return false;
        }
        const int status = m_runner.RequestStatus();
        if (link::isLinkFailure(status)) {
            report(linkFailureText(status));
        } else if (status != 0) {
            report(QStringLiteral("Errore ") + QString::number(status));
        }
        m_link.WaitMs(100);
    }
    {
        SerialFunz2::Exchange exchange(m_link);
        if (!exchange.acquired())
            return m_ready;
        m_s.lastStatus = m_link.ExchangeCommand(QStringLiteral("a/"), m_s.lastAnswer);
    }
    const Identification id = ParseIdentification(m_s.lastAnswer);
    // Only an accepted answer with a serial number identifies the register.
    if (m_s.lastStatus != 0 || AnswerErrorCode(m_s.lastAnswer) != QLatin1String("00") ||
        id.serialNumber.isEmpty()) {
        const int status = m_s.lastStatus;
        report(link::isLinkFailure(status)
                   ? linkFailureText(status)
                   : QString(QStringLiteral("Identificazione cassa non riuscita: ") + m_s.lastAnswer));
        setReady(false);
        return false;
    }
    m_s.config.identity = {id.field, id.serialNumber, id.firmware, id.number};
    WriteCurrentSection(m_s.config.IniPath, m_s.config.identity, version());
    m_s.setPanel(3, id.field + u'-' + id.serialNumber);
    m_s.setPanel(4, id.firmware);
    ReadVatRates(m_runner, m_s);
    m_s.unreachableReported = false;
    if (!m_lastProblem.isEmpty()) {
        m_lastProblem.clear();
        m_prompter.message(QStringLiteral("Cassa collegata: S/N ") + id.serialNumber,
                           QStringLiteral("Norv Velm"), Prompter::Icon::Information);
    }
    setReady(true);
    return true;
}

void Startup::probeUnreachable() {
    // The executor could not reach the register and its lines wait: ask the
    // status every few seconds; once it answers, the server carries on.
    if (!m_s.unreachableReported || (m_sinceAttempt.isValid() && m_sinceAttempt.elapsed() < m_retryMs))
        return;
    m_sinceAttempt.start();
    if (m_runner.RequestStatus() == 0) {
        m_s.unreachableReported = false;
        m_prompter.message(QStringLiteral("Comunicazione con la cassa ripristinata"),
                           QStringLiteral("Norv Velm"), Prompter::Icon::Information);
    }
}

void Startup::supervise(int checkMs, int retryMs) {
    m_retryMs = retryMs;
    m_timer.start(checkMs);
}

void Startup::checkNow() {
    if (m_link.lineBusy())
        return;
    if (m_ready) {
        m_link.port().bytesQueued(); // lets a hang-up show
        if (m_link.isOpen()) {
            probeUnreachable();
            return;
        }
        setReady(false);
        report(QStringLiteral("Porta ") + m_s.portCopy + QStringLiteral(" scollegata"));
    } else if (m_sinceAttempt.isValid() && m_sinceAttempt.elapsed() < m_retryMs) {
        return;
    }
    m_sinceAttempt.start();
    connectRegister();
}

} // namespace norvvelm
