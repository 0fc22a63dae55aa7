#pragma once

#include <QString>

namespace norvvelm {

// A new print-server instance for one more register of the till: its home
// folder <root>/<name> with a NorvVelm.ini made from `templateIni` (the
// package's example), its port's device as Com1, its own receipt folder
// <spool>/<name>, its own API port (the first of kFirstApiPort.. that no
// other instance under `root` names and that can be bound now), and its key.
// Run as root on a till with the package's user and groups, the home and the
// receipt folder are handed to them as the single service's are.
struct NewRegister {
    QString name;
    QString device;
    QString root = QStringLiteral("/var/lib/norvvelm");
    QString spool = QStringLiteral("/var/spool/norvvelm");
    QString templateIni = QStringLiteral("/usr/share/norvvelm/NorvVelm.ini");
    // Where the instance's unit takes drop-ins: a register on the network
    // gets one that lets the sandbox reach its address, and no other. Empty:
    // none written.
    QString unitDropIns = QStringLiteral("/etc/systemd/system");
};
struct NewRegisterResult {
    QString error; // empty: made
    QString home;
    int apiPort = 0;
    QString dropIn; // the drop-in written for a register on the network; empty: none
    bool ok() const { return error.isEmpty(); }
};
inline constexpr int kFirstApiPort = 8714;
inline constexpr int kApiPorts = 50; // the template unit's range: 8714-8763
NewRegisterResult CreateRegisterInstance(const NewRegister &wanted);

} // namespace norvvelm
