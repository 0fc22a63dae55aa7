#pragma once

#include "commands/CommandLanguage.h"
#include "commands/ForbiddenExtensions.h"
#include "commands/PcConfig.h"
#include "commands/RegisterIdentity.h"

#include <QObject>
#include <QStringList>

#include <array>

namespace norvvelm {

using VatTable = std::array<int, kDepartments>;

// What the program runs with: the configuration and the model it selects,
// the forbidden extensions, the program's folder, and what the connected
// register said of itself (its identity and VAT rates).
class Settings : public QObject {
    Q_OBJECT
public:
    explicit Settings(QObject *parent = nullptr);

    // The one copy of the configuration the program runs with.
    const PcConfig &config() const { return m_config; }
    // A loaded configuration: every value takes effect, the model row is
    // selected and its description widths taken.
    void setConfig(const PcConfig &config);
    // A saved configuration. The server state, folder, file, log and the two
    // sale-line options take effect at once; port, speed, model and window
    // mode only at the next start (the running values stay). True when the
    // saved values differ from the running ones in one of those.
    bool applySavedConfig(const PcConfig &saved);
    bool restartNeeded() const { return m_restartNeeded; }
    // chkLog: the daily log file is written while ticked.
    bool logEnabled() const { return m_config.ServerLog; }
    void setLogEnabled(bool on);
    // chkApiRigheDirette: the local interface takes raw command lines while ticked.
    void setApiRigheDirette(bool on);

    void setIdentity(const RegisterIdentity &identity);
    const RegisterIdentity &identity() const { return m_config.identity; }

    const ModelTable &models() const { return m_models; }
    int selectedModel() const { return m_selectedModel; } // -1 when none matched
    // The selected model row, or row 0 when none matched: pages take its shape.
    const ModelRow &modelRow() const;

    const ForbiddenExtensions &forbidden() const { return m_forbidden; }
    void setForbidden(const ForbiddenExtensions &forbidden) { m_forbidden = forbidden; }

    QString programDir() const { return m_programDir; }
    void setProgramDir(const QString &dir) { m_programDir = dir; }
    QString iniPath() const { return m_programDir + QStringLiteral("/NorvVelm.ini"); }
    bool testMode() const { return m_testMode; }
    void setTestMode(bool on) { m_testMode = on; }

    // The register's VAT rate of each department (-1 until read).
    const VatTable &vatTable() const { return m_vatTable; }
    // The five rates as the register sent them (empty until a read
    // succeeds), for the rate boxes.
    const QStringList &vatRateTexts() const { return m_vatRateTexts; }
    void setVatTable(const VatTable &table, const QStringList &texts = {});

signals:
    void configChanged();
    void restartNeededChanged(bool needed);
    void identityChanged(const norvvelm::RegisterIdentity &identity);
    void vatTableChanged();

private:
    PcConfig m_config;
    ModelTable m_models = setupModelli();
    int m_selectedModel = -1;
    ForbiddenExtensions m_forbidden;
    QString m_programDir;
    bool m_testMode = false;
    bool m_restartNeeded = false;
    VatTable m_vatTable;
    QStringList m_vatRateTexts;
};

} // namespace norvvelm
