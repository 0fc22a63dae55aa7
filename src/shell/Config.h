#pragma once

#include "shell/ForbiddenExtensions.h"

#include <QString>

#include <array>
#include <bitset>

namespace norvvelm {

struct RegisterIdentity {
    QString campo; // field value
    QString sn;    // serial number
    QString fw;    // firmware
    QString num;   // number
};

// The configuration record, filled from section "Parametri" of NorvVelm.ini.
struct PcConfig {
    QString Modello;
    QString Porta; // "Com<N>" after a load, "<N>" after a save
    qint32 Velocita = 0;
    QString ServerStato = QStringLiteral("Off");
    QString ServerModalita = QStringLiteral("Normal");
    QString ServerDir;
    QString ServerFile;
    QString ServerLog = QStringLiteral("Off");
    QString IniPath;
    RegisterIdentity identity;
    QString WrapDescription = QStringLiteral("Off");
    QString AlIvaAuto = QStringLiteral("Off");
    int DescrWidth1 = 0;
    int DescrWidth2 = 0;
    bool technicianEnabled = false;

    bool serverOn() const { return ServerStato == QLatin1String("On"); }
    bool logOn() const { return ServerLog == QLatin1String("On"); }
    bool wrapOn() const { return WrapDescription.compare(QLatin1String("ON"), Qt::CaseInsensitive) == 0; }
    bool autoVatOn() const { return AlIvaAuto.compare(QLatin1String("ON"), Qt::CaseInsensitive) == 0; }
};

struct ModelRow {
    QString name; // rows without a name are not offered
    int headerLines = 0;
    int footerLines = 0;
    bool logo1 = false;
    bool logo2 = false;
    int paymentRows = 0;
    int messageRows = 0;
    std::bitset<26> sFlags;
    int descrWidth1 = 0;
    int descrWidth2 = 0;
};

// The register models the program knows, rows 0 to 30.
struct ModelTable {
    std::array<ModelRow, 31> rows;
    // The row whose name equals the model exactly; -1 when none.
    int find(const QString &model) const;
};
ModelTable setupModelli();

// The two status-bar panels a load reports into (1: title, 2: text).
struct StatusTexts {
    QString type;
    QString message;
};

// Reads section "Parametri" in order and then FileExt.ini beside it. False
// when the model or the port is missing; nothing after the failing key is
// read then.
bool LoadConfiguration(const QString &iniPath, const QString &programDir, PcConfig &cfg,
                       ForbiddenExtensions &forbidden, StatusTexts &status);

// The values of the configuration tab, as plain text and ticks.
struct ConfigForm {
    QString model;        // cmbModello
    QString port;         // cmbComPort, "Com1".."Com32"
    QString speed;        // cmbSpeed
    bool server = false;  // chkSRV(0)
    QString mode;         // cmbSRVModalita
    QString folder;       // txtSRVDir
    QString file;         // txtSRVFile
    bool log = false;     // chkLog
    bool wrap = false;    // chkWrapDescription
    bool autoVat = false; // chkAlIvaAuto
};

// Writes the tab's values to section "Parametri", each right after it is
// taken, in the fixed order; the record follows. Clears the status panels.
void SaveConfiguration(const ConfigForm &form, PcConfig &cfg, StatusTexts &status);

// Section "Current": the connected register's identity and our version.
void WriteCurrentSection(const QString &iniPath, const RegisterIdentity &id, const QString &version);

// The device behind a configured port "Com<N>" (or "<N>"): key Com<N> of
// section "Porte", else /dev/ttyS<N-1> (COM<N> on Windows). Empty when the
// port text names no port.
QString PortDevice(const QString &iniPath, const QString &porta);

// The program's home folder: $NORVVELM_HOME; else the executable's folder when
// NorvVelm.ini lies there; else ~/.config/NorvVelm.
QString ProgramHome();

// The technician password, in the per-user settings store ("Norv-VELM",
// group "Tecnico", key "Password"), readable by its owner alone.
class TechnicianPassword {
public:
    // An explicit settings file for tests; empty for the user's own store.
    explicit TechnicianPassword(QString settingsFile = {}) : m_file(std::move(settingsFile)) {}
    QString read() const;
    bool write(const QString &password) const;

private:
    QString m_file;
};

} // namespace norvvelm
