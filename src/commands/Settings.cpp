#include "commands/Settings.h"

namespace norvvelm {

Settings::Settings(QObject *parent) : QObject(parent) {
    m_vatTable.fill(-1);
}

void Settings::setConfig(const PcConfig &config) {
    m_config = config;
    m_selectedModel = m_models.find(m_config.Modello);
    if (m_selectedModel >= 0) {
        m_config.DescrWidth1 = m_models.rows[size_t(m_selectedModel)].descrWidth1;
        m_config.DescrWidth2 = m_models.rows[size_t(m_selectedModel)].descrWidth2;
    }
    emit configChanged();
}

bool Settings::applySavedConfig(const PcConfig &saved) {
    m_config.ServerStato = saved.ServerStato;
    m_config.ServerDir = saved.ServerDir;
    m_config.ServerFile = saved.ServerFile;
    m_config.ServerLog = saved.ServerLog;
    m_config.WrapDescription = saved.WrapDescription;
    m_config.AlIvaAuto = saved.AlIvaAuto;
    m_config.ApiStato = saved.ApiStato;
    m_config.ApiIndirizzo = saved.ApiIndirizzo;
    m_config.ApiPorta = saved.ApiPorta;
    m_config.ChiusuraAutomatica = saved.ChiusuraAutomatica;
    m_config.ApiRigheDirette = saved.ApiRigheDirette;
    const bool restart = saved.Porta != m_config.Porta || saved.Velocita != m_config.Velocita ||
                         saved.Modello != m_config.Modello || saved.ServerModalita != m_config.ServerModalita;
    emit configChanged();
    if (restart != m_restartNeeded) {
        m_restartNeeded = restart;
        emit restartNeededChanged(restart);
    }
    return restart;
}

void Settings::setApiRigheDirette(bool on) {
    if (m_config.ApiRigheDirette == on)
        return;
    m_config.ApiRigheDirette = on;
    emit configChanged();
}

void Settings::setLogEnabled(bool on) {
    if (m_config.ServerLog == on)
        return;
    m_config.ServerLog = on;
    emit configChanged();
}

void Settings::setIdentity(const RegisterIdentity &identity) {
    m_config.identity = identity;
    emit identityChanged(identity);
}

const ModelRow &Settings::modelRow() const {
    return m_models.rows[size_t(m_selectedModel >= 0 ? m_selectedModel : 0)];
}

void Settings::setVatTable(const VatTable &table, const QStringList &texts) {
    m_vatTable = table;
    m_vatRateTexts = texts;
    emit vatTableChanged();
}

} // namespace norvvelm
