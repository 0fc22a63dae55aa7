#pragma once

#include "commands/RegisterIdentity.h"

#include <QString>

#include <array>
#include <bitset>

namespace norvvelm {

// How the window opens (key ServerModalita).
enum class WindowMode { Normal, Minimized, Iconized, VirtualEcr };

// The configuration record, filled from section "Parametri" of NorvVelm.ini.
// The switches are true where the file says "On" (in any letter case).
struct PcConfig {
    QString Modello;
    // The port's number (the file holds "<N>", the program shows "Com<N>");
    // 0 when the key names no port.
    int Porta = 0;
    qint32 Velocita = 0;
    bool ServerStato = false; // the print server takes files
    WindowMode ServerModalita = WindowMode::Normal;
    QString ServerDir;
    QString ServerFile;
    bool ServerLog = false; // the daily log is written
    // Where the folder cannot be watched, a receipt file is taken once it has
    // kept its size and time this long (key ServerQuiete, milliseconds).
    int ServerQuietMs = 2000;
    // A larger receipt file is set aside unsent (key ServerMaxByte).
    qint64 ServerMaxBytes = 1024 * 1024;
    // Where an outcome file <name>.json is written for each receipt file
    // taken: a folder of its own, or relative to ServerDir; empty for none
    // (key ServerEsiti).
    QString ServerEsiti = QStringLiteral("esiti");
    // The local HTTP interface (keys ApiStato, ApiIndirizzo, ApiPorta).
    bool ApiStato = true;
    QString ApiIndirizzo = QStringLiteral("127.0.0.1");
    int ApiPorta = 8714;
    // The automatic daily closing's time "HH:MM"; empty: off (key
    // ChiusuraAutomatica).
    QString ChiusuraAutomatica;
    // The technician's raw command lines are taken over the local interface
    // (key ApiRigheDirette); off unless the technician turned them on.
    bool ApiRigheDirette = false;
    QString IniPath;
    RegisterIdentity identity;
    // A sale line's description too long for its first part goes on in the second.
    bool WrapDescription = false;
    // A sale line takes the VAT rate of its department from the register's table.
    bool AlIvaAuto = false;
    int DescrWidth1 = 0;
    int DescrWidth2 = 0;
    bool technicianEnabled = false;
};

// The folder the print server reads, and where its daily log and daily
// reports go: ServerDir trimmed, or the program's folder when that names
// nothing; with its final separator.
QString ServerFolder(const PcConfig &config, const QString &programDir);
// ServerDir names a folder of its own (more than one character).
bool ServerFolderConfigured(const PcConfig &config);

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

} // namespace norvvelm
