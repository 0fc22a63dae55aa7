#include "shell/Startup.h"

#include "commands/CommandLanguage.h"
#include "commands/Executor.h"
#include "commands/Prompter.h"
#include "commands/Runner.h"
#include "commands/Session.h"
#include "commands/VatTableRead.h"
#include "commands/WriteFailure.h"
#include "link/SerialComPort.h"
#include "link/SerialFunz2.h"
#include "shell/Config.h"

namespace norvvelm {

namespace {
const QString kNotReadyTitle = QStringLiteral("Cassa non pronta");

QString linkFailureText(int status) {
    return QStringLiteral("Errore : ") + QString::number(status) +
           QStringLiteral(" - Comunicazione impossibile !\r\n\r\nCassa spenta o \r\nCavo interrotto o\r\n"
                          " Velocit\u00e0 errata");
}
} // namespace

Startup::Startup(Session &session, SerialFunz2 &link, Runner &runner, Executor &executor, Prompter &prompter,
                 QObject *parent)
    : QObject(parent), m_s(session), m_link(link), m_runner(runner), m_executor(executor),
      m_prompter(prompter) {
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
    const bool ok =
        LoadConfiguration(m_s.settings().iniPath(), m_s.settings().programDir(), config, forbidden, status);
    for (const QString &entry : CommentLikeValues(m_s.settings().iniPath()))
        m_prompter.message(CommentLikeValueText(m_s.settings().iniPath(), entry),
                           QStringLiteral("Attenzione"), Prompter::Icon::Warning);
    m_s.statusBar().setMessage(status.type, status.message);
    if (!ok)
        return false;
    m_s.settings().setForbidden(forbidden);
    m_s.settings().setConfig(config);
    return true;
}

void Startup::report(const QString &problem) {
    if (problem != m_lastProblem) {
        m_lastProblem = problem;
        m_prompter.message(problem, QStringLiteral("Attenzione"), Prompter::Icon::Critical);
    }
    // Kept on the status bar until the register answers, so that "Stato"
    // and a click on the bar say it long after the message went.
    m_s.statusBar().setMessage(kNotReadyTitle, problem);
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

bool Startup::openPort() {
    const QString device = PortDevice(m_s.settings().config().IniPath, m_s.settings().config().Porta);
    if (device.isEmpty() || !m_link.OpenComPort(device, m_s.settings().config().Velocita)) {
        report(
            CannotOpenPortText(PortName(m_s.settings().config().Porta), device, m_link.port().errorText()));
        return false;
    }
    const int status = m_runner.RequestStatus();
    if (link::isLinkFailure(status)) {
        report(linkFailureText(status));
    } else if (status != 0) {
        report(QStringLiteral("Errore ") + QString::number(status));
    }
    m_link.WaitMs(100);
    return true;
}

bool Startup::tryConnect() {
    if (m_link.lineBusy())
        return m_ready;
    if (!m_link.isOpen() && !openPort())
        return false;
    const Reply reply = m_link.exchange(IdentifyLine());
    if (reply.status == LinkStatus::LineBusy)
        return m_ready;
    const QString &answer = reply.answer;
    const int status = statusNumber(reply.status);
    m_s.lastExchange().setLastAnswer(answer);
    m_s.lastExchange().setLastStatus(status);
    const RegisterIdentity id = ParseIdentification(answer);
    // Only an accepted answer with a serial number identifies the register.
    if (status != 0 || !AnswerAccepted(answer) || id.sn.isEmpty()) {
        report(link::isLinkFailure(status)
                   ? linkFailureText(status)
                   : QString(QStringLiteral("Identificazione cassa non riuscita: ") + answer));
        setReady(false);
        return false;
    }
    identified(id);
    return true;
}

void Startup::identified(const RegisterIdentity &id) {
    // The register answered: a start-up failure on the status bar is over.
    if (m_s.statusBar().panel(1) == kNotReadyTitle) {
        m_s.statusBar().setMessage(QString(), QString());
    }
    m_s.settings().setIdentity(id);
    m_s.statusBar().setPanel(3, id.campo + u'-' + id.sn);
    m_s.statusBar().setPanel(4, id.fw);
    const bool written =
        WriteCurrentSection(m_s.settings().config().IniPath, m_s.settings().identity(), version());
    ReadVatRates(m_runner, m_s);
    // The other tables read at each identification, before the register
    // counts as ready.
    if (m_tablesRead)
        m_tablesRead();
    // Said after the VAT read, whose exchange clears the panels.
    if (!written)
        ReportWriteFailure(m_s, QStringLiteral("la sezione Current"), m_s.settings().config().IniPath);
    m_executor.registerAnswered();
    const QString connected = QStringLiteral("Cassa collegata: S/N ") + id.sn;
    if (!m_lastProblem.isEmpty()) {
        m_lastProblem.clear();
        m_prompter.message(connected, QStringLiteral("Norv Velm"), Prompter::Icon::Information);
    } else if (!m_ready) {
        // The first connection, or one after a quiet outage: said in the
        // monitor, without a box to close.
        m_s.monitor().AddMonitorLine(QStringLiteral("ECR        : ") + connected);
    }
    setReady(true);
}

void Startup::probeUnreachable() {
    // The executor could not reach the register and its lines wait: ask the
    // status every few seconds; once it answers, the server carries on.
    if (!m_executor.unreachableReported() || !retryDue())
        return;
    const int status = m_runner.RequestStatus();
    m_lastAttemptMs = m_link.clock().nowMs();
    if (status == 0) {
        m_executor.registerAnswered();
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
    emit watched();
    // Nothing goes between the exchanges of an operator's sequence.
    if (m_link.lineBusy() || m_s.registerOwner().sequenceUnderWay())
        return;
    if (m_ready) {
        m_link.port().bytesQueued(); // lets a hang-up show
        if (m_link.isOpen()) {
            probeUnreachable();
            return;
        }
        setReady(false);
        report(QStringLiteral("Porta ") + PortName(m_s.settings().config().Porta) +
               QStringLiteral(" scollegata"));
    } else if (!retryDue()) {
        return;
    }
    connectRegister();
}

} // namespace norvvelm
