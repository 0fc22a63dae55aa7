#pragma once

#include "commands/ForbiddenExtensions.h"
#include "commands/PasswordHash.h"
#include "commands/PcConfig.h"
#include "commands/WriteFailure.h"

#include <QString>

namespace norvvelm {

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
    bool api = true;      // chkApi
    QString apiAddress;   // txtApiIndirizzo
    QString apiPort;      // txtApiPorta
};

// Writes the tab's values to section "Parametri", each right after it is
// taken, in the fixed order; `cfg` follows (the port as "Com<N>", the file
// holds "<N>"). Clears the status panels; false, with the panels saying what
// could not be written where, when a value did not reach the file.
bool SaveConfiguration(const ConfigForm &form, PcConfig &cfg, StatusTexts &status);

// Section "Current": the connected register's identity and our version.
// False when a value did not reach the file.
bool WriteCurrentSection(const QString &iniPath, const RegisterIdentity &id, const QString &version);

// The device behind a configured port "Com<N>" (the file's "<N>" too): key Com<N> of
// section "Porte", else /dev/ttyS<N-1> (COM<N> on Windows). Empty when the
// port text names no port.
QString PortDevice(const QString &iniPath, const QString &porta);

// Stores the device behind a port (key Com<N> of section "Porte"). False
// when the port text names no port or the device is blank.
bool SetPortDevice(const QString &iniPath, const QString &porta, const QString &device);

// The program's home folder: $NORVVELM_HOME; else the executable's folder when
// NorvVelm.ini lies there; else ~/.config/NorvVelm.
QString ProgramHome();

// The technician password, in the per-user settings store ("Norv-VELM",
// group "Tecnico", key "Password"), readable by its owner alone. The store
// holds a salted hash of the trimmed, upper-cased password; a plain value
// left by an older installation still counts until the next change.
class TechnicianPassword {
public:
    // An explicit settings file for tests; empty for the user's own store.
    explicit TechnicianPassword(QString settingsFile = {}) : m_file(std::move(settingsFile)) {}
    // The stored value as it is (a hash, a plain value or empty).
    QString read() const;
    bool write(const QString &password) const;

    // No password set: the stored value is absent or blank.
    bool isEmpty() const { return read().trimmed().isEmpty(); }
    // What the technician typed against the stored password, without regard
    // to surrounding blanks and letter case.
    bool matches(const QString &typed) const;
    // Stores the new password (trimmed) as its hash; a blank one clears it.
    bool change(const QString &password) const;

    // The hash's cost; tests lower it.
    int iterations = passwordhash::kDefaultIterations;

private:
    QString m_file;
};

} // namespace norvvelm
