#pragma once

#include "shell/Config.h"

#include <QString>
#include <QStringList>

namespace norvvelm {

class Prompter;
class Session;

// The main window's decisions, without a window: the window only moves
// values between its controls and these.
namespace mainwindow {

using norvvelm::ParseWindowMode;
using norvvelm::WindowMode;
// Without a notification area an iconized window could never be reached
// again: it then opens minimised.
WindowMode EffectiveWindowMode(WindowMode wanted, bool trayAvailable);
// Said once on the status bar when "Iconized" had to open minimised.
QString NoTrayNotice();

// " NorvVelm - Versione : 1.0.0"
QString Caption();
// Test mode: the whole command line, upper-cased, is "/TESTMODE".
bool IsTestModeCommandLine(const QStringList &arguments);

// The lists of the configuration tab.
QStringList ComPortNames(); // Com1 .. Com32
QStringList SpeedNames();   // 9600, 115200, 230400
QStringList WindowModeNames();

// Resets the run-time values shared with the executor and the console: the
// technician mode starts off.
void AzzeraDati(Session &session);

// Tab 3 stays shown after start-up only when no password is stored and the
// configuration did not load (the list filling hides it otherwise).
bool TechnicianTabAtStart(bool passwordEmpty, bool configurationLoaded);

// Exit from the File menu: with a receipt open, asks "Scontrino Aperto !"
// (No the default). True to go on with the shutdown.
bool ConfirmExit(const Session &session, Prompter &prompter);
// The tray menu's "Stato": the last failure, or "Status OK : " and the S/N.
void ShowStato(const Session &session, Prompter &prompter);
// A click on the status bar: the last failure, when there is one.
void ShowStatusBarError(const Session &session, Prompter &prompter);

// The About box's "System Info...": a system-information program on the
// PATH; empty when there is none.
QString SystemInfoProgram();
QString SystemInfoUnavailable(); // "System Information Is Unavailable At This Time"

// The status page's address for a browser on this PC, for the API listening
// on `address` and `port`: "http://127.0.0.1:8714/". An IPv6 address goes in
// brackets; the any-address is reached through loopback.
QString StatusPageAddress(const QString &address, int port);

// The configuration tab's values as they are saved: a list left without a
// choice (a stored model or port the lists do not offer) keeps the stored
// value rather than wiping it.
ConfigForm KeepStoredChoices(const ConfigForm &form, const PcConfig &stored);

} // namespace mainwindow

} // namespace norvvelm
