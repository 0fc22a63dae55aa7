#include "commands/Session.h"

namespace norvvelm {

Session::Session(QObject *parent) : QObject(parent) {
    m_vatTable.fill(-1);
}

void Session::setConfig(const PcConfig &config) {
    m_config = config;
    m_selectedModel = m_models.find(m_config.Modello);
    if (m_selectedModel >= 0) {
        m_config.DescrWidth1 = m_models.rows[size_t(m_selectedModel)].descrWidth1;
        m_config.DescrWidth2 = m_models.rows[size_t(m_selectedModel)].descrWidth2;
    }
    emit configChanged();
}

bool Session::applySavedConfig(const PcConfig &saved) {
    m_config.ServerStato = saved.ServerStato;
    m_config.ServerDir = saved.ServerDir;
    m_config.ServerFile = saved.ServerFile;
    m_config.ServerLog = saved.ServerLog;
    m_config.WrapDescription = saved.WrapDescription;
    m_config.AlIvaAuto = saved.AlIvaAuto;
    m_config.ApiStato = saved.ApiStato;
    m_config.ApiIndirizzo = saved.ApiIndirizzo;
    m_config.ApiPorta = saved.ApiPorta;
    const bool restart = saved.Porta != m_config.Porta || saved.Velocita != m_config.Velocita ||
                         saved.Modello != m_config.Modello || saved.ServerModalita != m_config.ServerModalita;
    emit configChanged();
    if (restart != m_restartNeeded) {
        m_restartNeeded = restart;
        emit restartNeededChanged(restart);
    }
    return restart;
}

void Session::setIdentity(const RegisterIdentity &identity) {
    m_config.identity = identity;
    emit identityChanged(identity);
}

const ModelRow &Session::modelRow() const {
    return m_models.rows[size_t(m_selectedModel >= 0 ? m_selectedModel : 0)];
}

void Session::setLogEnabled(bool on) {
    if (m_config.ServerLog == on)
        return;
    m_config.ServerLog = on;
    emit configChanged();
}

void Session::setLastAnswer(const QString &answer) {
    m_lastAnswer = answer;
    emit lastAnswerChanged(answer);
}

void Session::setLastStatus(int status) {
    m_lastStatus = status;
    emit lastStatusChanged(status);
}

void Session::setEnquiryStatus(int status) {
    m_enquiryStatus = status;
    emit enquiryStatusChanged(status);
}

void Session::setStatusText(const QString &text) {
    m_statusText = text;
    emit statusTextChanged(text);
}

void Session::setReceiptOpen(bool open) {
    if (open == m_receiptOpen)
        return;
    m_receiptOpen = open;
    emit receiptOpenChanged(open);
}

void Session::setVatTable(const VatTable &table, const QStringList &texts) {
    m_vatTable = table;
    m_vatRateTexts = texts;
    emit vatTableChanged();
}

void Session::requestStop() {
    if (m_stopRequested)
        return;
    m_stopRequested = true;
    emit stopRequestedChanged();
}

void Session::setTechnicianMode(bool on) {
    if (on == m_technicianMode)
        return;
    m_technicianMode = on;
    emit technicianModeChanged(on);
}

void Session::setLineBusy(bool busy) {
    if (busy == m_lineBusy)
        return;
    m_lineBusy = busy;
    emit lineBusyChanged(busy);
}

void Session::beginBusy() {
    if (m_busyDepth++ == 0)
        emit busyChanged(true);
}

void Session::endBusy() {
    if (m_busyDepth > 0 && --m_busyDepth == 0)
        emit busyChanged(false);
}

void Session::mirrorQueue(const QStringList &queue) {
    if (m_queue == queue)
        return;
    m_queue = queue;
    emit queueChanged();
}

void Session::setMonitorEnabled(bool on) {
    if (on == m_monitorEnabled)
        return;
    m_monitorEnabled = on;
    emit monitorEnabledChanged(on);
}

void Session::AddMonitorLine(const QString &text) {
    if (!m_monitorEnabled)
        return;
    m_monitor.prepend(text);
    if (m_monitor.size() > kMonitorLimit)
        m_monitor.removeLast();
    emit monitorLineAdded(text);
}

void Session::clearMonitor() {
    m_monitor.clear();
    emit monitorCleared();
}

QString Session::panel(int n) const {
    if (n < 1 || n > 4)
        return {};
    return m_panels[size_t(n - 1)];
}

void Session::setPanel(int n, const QString &text) {
    if (n < 1 || n > 4)
        return;
    m_panels[size_t(n - 1)] = text;
    emit panelChanged(n, text);
}

MonitorExplanation ExplainMonitorLine(const QString &line) {
    if (line.size() < 13)
        return {QStringLiteral("Trasmissione Non Coerente"), line, true};
    // Both prefixes are skipped as 12 characters: an answer keeps one blank.
    if (line.startsWith(QLatin1String("ECR")))
        return {QStringLiteral("Messaggio Da ECR a PC"), line.mid(12), false};
    return {QStringLiteral("Messaggio Da PC a ECR"), line.mid(12), false};
}

QString LogFileExplanation() {
    return QStringList{
        QStringLiteral("Il file di log si trova nella stessa directory degli scontrini del server. "),
        QStringLiteral("Il suo nome dipende dalla regola di identificazione del file :"),
        QStringLiteral(
            "  1) se il file e' unico si chiama come il file di attesa, con postfisso = giorno.log."),
        QStringLiteral(
            "  2) se si usa una mascheratura del tipo *nomefile allora si chiama come la parte di"),
        QStringLiteral("     mascheratura dei files, con postfisso = giorno.log."),
        QStringLiteral("  3) se si e' usata una mascheratura globale '*' allora si chiamer\u00e0 VELM "),
        QStringLiteral("     sempre con postfisso = giorno.log."),
    }
        .join(u'\r');
}

} // namespace norvvelm
