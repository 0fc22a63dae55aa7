#pragma once

#include "commands/ForbiddenExtensions.h"
#include "commands/PcConfig.h"
#include "commands/TechnicianPassword.h"
#include "commands/WriteFailure.h"

#include <QString>
#include <QStringList>

namespace norvvelm {

// Reads section "Parametri" in order and then FileExt.ini beside it. False
// when the model or the port is missing; nothing after the failing key is
// read then.
bool LoadConfiguration(const QString &iniPath, const QString &programDir, PcConfig &cfg,
                       ForbiddenExtensions &forbidden, StatusTexts &status);

// Values of sections "Parametri" and "Porte" that look as if they carried a
// comment after them ("Com1=/dev/ttyUSB0   ; the adapter"): the loader keeps
// the whole text as the value, so each is said once at start, as
// "Com1=/dev/ttyUSB0   ; the adapter".
QStringList CommentLikeValues(const QString &iniPath);
// The sentence that says one of them.
QString CommentLikeValueText(const QString &iniPath, const QString &entry);

// Which configuration file a program read, for the line that says the load
// failed: "file /srv/x/NorvVelm.ini", or that it is not there (with the
// variable that moves the home folder).
QString ConfigurationFileNote(const QString &iniPath);

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
    QString closingTime;  // txtChiusuraAutomatica, "HH:MM" or empty
};

// Writes the tab's values to section "Parametri", each right after it is
// taken, in the fixed order; `cfg` follows. Clears the status panels; false, with the panels saying what
// could not be written where, when a value did not reach the file.
bool SaveConfiguration(const ConfigForm &form, PcConfig &cfg, StatusTexts &status);

// The technician's switch of the raw command lines over the local interface
// (key ApiRigheDirette), written at once; `cfg` follows only when it reached
// the file. False, with the panels' texts saying where, when it did not.
bool SaveApiRigheDirette(bool on, PcConfig &cfg, StatusTexts &status);

// Section "Current": the connected register's identity and our version.
// False when a value did not reach the file.
bool WriteCurrentSection(const QString &iniPath, const RegisterIdentity &id, const QString &version);

// The words of the file for the typed values of the record.
// A switch: "On" or "Off".
QString SwitchText(bool on);
// ServerModalita: "Normal", "Minimized", "Iconized", "VirtualECR"; a text
// naming none of them (letter case aside) reads as Normal.
QString WindowModeName(WindowMode mode);
WindowMode ParseWindowMode(const QString &mode);
// A port as the program shows it: "Com<N>".
QString PortName(int porta);
// The number a port text names, "Com12" (as shown) or "12" (as in the file):
// a whole number from 1 written plainly; 0 when it names no port.
int PortNumber(const QString &porta);

// The device behind a configured port: key Com<N> of section "Porte", else
// /dev/ttyS<N-1> (COM<N> on Windows). Empty when the port is 0.
QString PortDevice(const QString &iniPath, int porta);
// The same for a port text ("Com<N>" or "<N>"); empty when it names no port.
QString PortDevice(const QString &iniPath, const QString &porta);

// Stores the device behind a port (key Com<N> of section "Porte"). False
// when the port text names no port or the device is blank.
bool SetPortDevice(const QString &iniPath, const QString &porta, const QString &device);

// The program's home folder: $NORVVELM_HOME; else the executable's folder when
// NorvVelm.ini lies there; else ~/.config/NorvVelm.
QString ProgramHome();

} // namespace norvvelm
