#include "shell/Startup.h"

#include "commands/CommandLanguage.h"
#include "commands/Prompter.h"
#include "commands/Runner.h"
#include "commands/Session.h"
#include "commands/WriteFailure.h"
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
    PcConfig config;
    ForbiddenExtensions forbidden;
    const bool ok = LoadConfiguration(m_s.iniPath(), m_s.programDir(), config, forbidden, status);
    m_s.setPanel(1, status.type);
    m_s.setPanel(2, status.message);
    if (!ok)
        return false;
    m_s.setForbidden(forbidden);
    m_s.setConfig(config);
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
    const bool ready = tryConnect();
    // The next retry counts from the end of this attempt: a register whose
    // time-outs take seconds is not asked again at once.
    m_lastAttemptMs = m_link.clock().nowMs();
    return ready;
}

bool Startup::tryConnect() {
    if (m_link.lineBusy())
        return m_ready;
    if (!m_link.isOpen()) {
        const QString device = PortDevice(m_s.config().IniPath, m_s.config().Porta);
        if (device.isEmpty() || !m_link.OpenComPort(device, m_s.config().Velocita)) {
            report(QStringLiteral("Impossibile Aprire Porta ") + m_s.config().Porta);
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
    const Reply reply = m_link.exchange(IdentifyLine());
    if (reply.status == LinkStatus::LineBusy)
        return m_ready;
    const QString &answer = reply.answer;
    const int status = statusNumber(reply.status);
    m_s.setLastAnswer(answer);
    m_s.setLastStatus(status);
    const Identification id = ParseIdentification(answer);
    // Only an accepted answer with a serial number identifies the register.
    if (status != 0 || !AnswerAccepted(answer) || id.serialNumber.isEmpty()) {
        report(link::isLinkFailure(status)
                   ? linkFailureText(status)
                   : QString(QStringLiteral("Identificazione cassa non riuscita: ") + answer));
        setReady(false);
        return false;
    }
    m_s.setIdentity({id.field, id.serialNumber, id.firmware, id.number});
    m_s.setPanel(3, id.field + u'-' + id.serialNumber);
    m_s.setPanel(4, id.firmware);
    const bool written = WriteCurrentSection(m_s.config().IniPath, m_s.identity(), version());
    ReadVatRates(m_runner, m_s);
    // Said after the VAT read, whose exchange clears the panels.
    if (!written)
        ReportWriteFailure(m_s, QStringLiteral("la sezione Current"), m_s.config().IniPath);
    m_s.setUnreachableReported(false);
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
    if (!m_s.unreachableReported() || !retryDue())
        return;
    const int status = m_runner.RequestStatus();
    m_lastAttemptMs = m_link.clock().nowMs();
    if (status == 0) {
        m_s.setUnreachableReported(false);
        m_prompter.message(QStringLiteral("Comunicazione con la cassa ripristinata"),
                           QStringLiteral("Norv Velm"), Prompter::Icon::Information);
    }
}

bool Startup::retryDue() const {
    return m_lastAttemptMs < 0 || m_link.clock().nowMs() - m_lastAttemptMs >= m_retryMs;
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
        report(QStringLiteral("Porta ") + m_s.config().Porta + QStringLiteral(" scollegata"));
    } else if (!retryDue()) {
        return;
    }
    connectRegister();
}

} // namespace norvvelm
