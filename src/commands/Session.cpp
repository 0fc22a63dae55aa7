#include "commands/Session.h"

namespace norvvelm {

Session::Session(QObject *parent) : QObject(parent) {
    vatTable.fill(-1);
}

void Session::appendToQueue(const QString &line) {
    m_queue.append(line);
    emit queueChanged();
}

QString Session::takeFirstFromQueue() {
    if (m_queue.isEmpty())
        return {};
    const QString line = m_queue.takeFirst();
    emit queueChanged();
    return line;
}

void Session::pushFrontToQueue(const QString &line) {
    m_queue.prepend(line);
    emit queueChanged();
}

void Session::clearQueue() {
    m_queue.clear();
    emit queueChanged();
}

void Session::AddMonitorLine(const QString &text) {
    if (!monitorEnabled)
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

void Session::setPanel(int n, const QString &text) {
    if (n < 1 || n > 4)
        return;
    m_panels[size_t(n - 1)] = text;
    emit panelChanged(n, text);
}

void Session::selectModel() {
    selectedModel = models.find(config.Modello);
    if (selectedModel >= 0) {
        config.DescrWidth1 = models.rows[size_t(selectedModel)].descrWidth1;
        config.DescrWidth2 = models.rows[size_t(selectedModel)].descrWidth2;
    }
}

void Session::setTechnicianMode(bool on) {
    if (on == m_technicianMode)
        return;
    m_technicianMode = on;
    emit technicianModeChanged(on);
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
