#pragma once

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
    QString Porta; // "Com<N>" (the file holds "<N>")
    qint32 Velocita = 0;
    QString ServerStato = QStringLiteral("Off");
    QString ServerModalita = QStringLiteral("Normal");
    QString ServerDir;
    QString ServerFile;
    QString ServerLog = QStringLiteral("Off");
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
    QString ApiStato = QStringLiteral("On");
    QString ApiIndirizzo = QStringLiteral("127.0.0.1");
    int ApiPorta = 8714;
    QString IniPath;
    RegisterIdentity identity;
    QString WrapDescription = QStringLiteral("Off");
    QString AlIvaAuto = QStringLiteral("Off");
    int DescrWidth1 = 0;
    int DescrWidth2 = 0;
    bool technicianEnabled = false;

    // A switch of the file: "On" in any letter case.
    static bool isOn(const QString &value) {
        return value.compare(QLatin1String("ON"), Qt::CaseInsensitive) == 0;
    }
    bool serverOn() const { return isOn(ServerStato); }
    bool apiOn() const { return isOn(ApiStato); }
    bool logOn() const { return isOn(ServerLog); }
    bool wrapOn() const { return isOn(WrapDescription); }
    bool autoVatOn() const { return isOn(AlIvaAuto); }
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
