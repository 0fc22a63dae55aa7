#include "shell/Config.h"

#include "commands/AutoClosing.h"

#include "shell/ProfileFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>

namespace norvvelm {

namespace {
const QString kParametri = QStringLiteral("Parametri");

// A switch of the file: "On" in any letter case.
bool isOn(const QString &value) {
    return value.compare(QLatin1String("ON"), Qt::CaseInsensitive) == 0;
}

constexpr WindowMode kWindowModes[] = {WindowMode::Normal, WindowMode::Minimized, WindowMode::Iconized,
                                       WindowMode::VirtualEcr};
} // namespace

QString SwitchText(bool on) {
    return on ? QStringLiteral("On") : QStringLiteral("Off");
}

QString WindowModeName(WindowMode mode) {
    switch (mode) {
    case WindowMode::Minimized:
        return QStringLiteral("Minimized");
    case WindowMode::Iconized:
        return QStringLiteral("Iconized");
    case WindowMode::VirtualEcr:
        return QStringLiteral("VirtualECR");
    case WindowMode::Normal:
        break;
    }
    return QStringLiteral("Normal");
}

WindowMode ParseWindowMode(const QString &mode) {
    const QString m = mode.trimmed();
    for (const WindowMode candidate : kWindowModes) {
        if (m.compare(WindowModeName(candidate), Qt::CaseInsensitive) == 0)
            return candidate;
    }
    return WindowMode::Normal;
}

QString PortName(int porta) {
    return QStringLiteral("Com") + QString::number(porta);
}

int PortNumber(const QString &porta) {
    const QString number = porta.startsWith(QLatin1String("Com"), Qt::CaseInsensitive) ? porta.mid(3) : porta;
    bool ok = false;
    const int n = number.toInt(&ok);
    if (!ok || n < 1 || number.trimmed() != number || number.startsWith(u'+'))
        return 0;
    return n;
}

QStringList CommentLikeValues(const QString &iniPath) {
    QFile f(iniPath);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    QStringList found;
    QString section;
    while (!f.atEnd()) {
        const QString line = QString::fromUtf8(f.readLine()).trimmed();
        if (line.startsWith(u'[')) {
            section = line.mid(1, line.indexOf(u']') - 1).trimmed();
            continue;
        }
        const qsizetype eq = line.indexOf(u'=');
        if (eq <= 0 || (section.compare(kParametri, Qt::CaseInsensitive) != 0 &&
                        section.compare(QLatin1String("Porte"), Qt::CaseInsensitive) != 0))
            continue;
        const QString value = line.mid(eq + 1);
        const qsizetype semi = value.indexOf(u';');
        const qsizetype hash = value.indexOf(u'#');
        for (const qsizetype at : {semi, hash}) {
            if (at > 0 && value.at(at - 1).isSpace()) {
                found.append(line);
                break;
            }
        }
    }
    return found;
}

QString CommentLikeValueText(const QString &iniPath, const QString &entry) {
    return QStringLiteral("Valore con un commento in ") + iniPath + QStringLiteral(": \"") + entry +
           QStringLiteral("\" (il testo dopo = \u00e8 tutto valore: i commenti vanno su una riga propria)");
}

QString ConfigurationFileNote(const QString &iniPath) {
    if (QFileInfo::exists(iniPath))
        return QStringLiteral("file ") + iniPath;
    return QStringLiteral("file ") + iniPath +
           QStringLiteral(" inesistente; NORVVELM_HOME sceglie la cartella");
}

namespace {
// The print server's keys of section Parametri.
void loadServerSettings(const ProfileFile &ini, const QString &programDir, PcConfig &cfg) {
    cfg.ServerStato =
        isOn(ini.getString(kParametri, QStringLiteral("ServerStato"), QStringLiteral("Off"), 10));
    cfg.ServerModalita = ParseWindowMode(
        ini.getString(kParametri, QStringLiteral("ServerModalita"), QStringLiteral("Normal"), 32));
    cfg.ServerDir = ini.getString(kParametri, QStringLiteral("ServerDir"), programDir, 255);
    if (cfg.ServerDir.isEmpty())
        cfg.ServerDir = programDir;
    cfg.ServerFile =
        ini.getString(kParametri, QStringLiteral("ServerFile"), QStringLiteral("scontrino.tx"), 128);
    if (cfg.ServerFile.isEmpty())
        cfg.ServerFile = QStringLiteral("scontrino.tx");
    cfg.WrapDescription =
        isOn(ini.getString(kParametri, QStringLiteral("WrapDescription"), QStringLiteral("Off"), 10));
    cfg.AlIvaAuto = isOn(ini.getString(kParametri, QStringLiteral("AlIvaAuto"), QStringLiteral("Off"), 10));
    cfg.ServerLog = isOn(ini.getString(kParametri, QStringLiteral("ServerLog"), QStringLiteral("Off"), 10));
    bool number = false;
    const int quiet = ini.getString(kParametri, QStringLiteral("ServerQuiete"), QString(), 10).toInt(&number);
    if (number && quiet >= 0)
        cfg.ServerQuietMs = quiet;
    const qint64 max =
        ini.getString(kParametri, QStringLiteral("ServerMaxByte"), QString(), 20).toLongLong(&number);
    if (number && max > 0)
        cfg.ServerMaxBytes = max;
}

// The local interface's keys of section Parametri, and the outcome files' folder.
void loadApiSettings(const ProfileFile &ini, PcConfig &cfg) {
    cfg.ServerEsiti = ini.getString(kParametri, QStringLiteral("ServerEsiti"), QStringLiteral("esiti"), 255);
    cfg.ApiStato = isOn(ini.getString(kParametri, QStringLiteral("ApiStato"), QStringLiteral("On"), 10));
    cfg.ApiIndirizzo =
        ini.getString(kParametri, QStringLiteral("ApiIndirizzo"), QStringLiteral("127.0.0.1"), 64);
    if (cfg.ApiIndirizzo.isEmpty())
        cfg.ApiIndirizzo = QStringLiteral("127.0.0.1");
    bool number = false;
    const int apiPort = ini.getString(kParametri, QStringLiteral("ApiPorta"), QString(), 10).toInt(&number);
    cfg.ApiPorta = number && apiPort >= 0 && apiPort <= 65535 ? apiPort : 8714;
    // A time that is not one leaves the closing off, as an empty one.
    const QString closing = ini.getString(kParametri, QStringLiteral("ChiusuraAutomatica"), QString(), 10);
    cfg.ChiusuraAutomatica = AutoClosingTime(closing) ? closing.trimmed() : QString();
    cfg.ApiRigheDirette =
        isOn(ini.getString(kParametri, QStringLiteral("ApiRigheDirette"), QStringLiteral("Off"), 10));
}
} // namespace

bool LoadConfiguration(const QString &iniPath, const QString &programDir, PcConfig &cfg,
                       ForbiddenExtensions &forbidden, StatusTexts &status) {
    const ProfileFile ini(iniPath);
    const QString errTitle = QStringLiteral("Errore Nei Parametri");
    cfg.IniPath = iniPath;

    cfg.Modello = ini.getString(kParametri, QStringLiteral("Modello"), QString(), 64);
    if (cfg.Modello.isEmpty()) {
        status = {errTitle, QStringLiteral("Tipo Modello non impostato")};
        return false;
    }
    const QString port = ini.getString(kParametri, QStringLiteral("Porta"), QString(), 3);
    if (port.isEmpty()) {
        status = {errTitle, QStringLiteral("Porta di Comunicazione non impostata")};
        return false;
    }
    cfg.Porta = PortNumber(port);

    bool ok = false;
    cfg.Velocita = ini.getString(kParametri, QStringLiteral("Velocita"), QString(), 10).toInt(&ok);
    if (!ok)
        cfg.Velocita = 0;
    if (cfg.Velocita < 1)
        status = {errTitle, QStringLiteral("Velocità Comunicazione non impostata")};

    loadServerSettings(ini, programDir, cfg);
    loadApiSettings(ini, cfg);
    forbidden = ForbiddenExtensions::load(programDir + QStringLiteral("/FileExt.ini"));
    return true;
}

bool SaveConfiguration(const ConfigForm &form, PcConfig &cfg, StatusTexts &status) {
    const ProfileFile ini(cfg.IniPath);
    status = {};
    bool written = true;
    auto put = [&](const char *key, const QString &value) {
        written = ini.writeString(kParametri, QString::fromLatin1(key), value) && written;
    };

    cfg.Modello = form.model.trimmed();
    put("Modello", cfg.Modello);

    // The file holds the port's number alone, without its "Com".
    const QString port = form.port.trimmed();
    const QString number = port.size() < 4 ? QStringLiteral("0") : port.mid(3);
    cfg.Porta = PortNumber(number);
    put("Porta", number);

    // Only a positive whole number replaces the stored speed: an empty or
    // garbled box must not wipe a working line setting.
    const QString speed = form.speed.trimmed();
    bool ok = false;
    const int value = speed.toInt(&ok);
    if (ok && value > 0) {
        put("Velocita", speed);
        cfg.Velocita = value;
    }

    cfg.ServerStato = form.server;
    put("ServerStato", SwitchText(cfg.ServerStato));
    cfg.ServerModalita = ParseWindowMode(form.mode);
    put("ServerModalita", form.mode);
    cfg.ServerDir = form.folder;
    put("ServerDir", cfg.ServerDir);
    cfg.ServerFile = form.file;
    put("ServerFile", cfg.ServerFile);
    cfg.ServerLog = form.log;
    put("ServerLog", SwitchText(cfg.ServerLog));
    cfg.WrapDescription = form.wrap;
    put("WrapDescription", SwitchText(cfg.WrapDescription));
    cfg.AlIvaAuto = form.autoVat;
    put("AlIvaAuto", SwitchText(cfg.AlIvaAuto));
    cfg.ApiStato = form.api;
    put("ApiStato", SwitchText(cfg.ApiStato));
    if (!form.apiAddress.trimmed().isEmpty()) {
        cfg.ApiIndirizzo = form.apiAddress.trimmed();
        put("ApiIndirizzo", cfg.ApiIndirizzo);
    }
    // Only a port number replaces the stored one, as for the speed.
    const int apiPort = form.apiPort.trimmed().toInt(&ok);
    if (ok && apiPort >= 0 && apiPort <= 65535) {
        cfg.ApiPorta = apiPort;
        put("ApiPorta", QString::number(apiPort));
    }
    // An empty box turns the automatic closing off, a time sets it, anything
    // else leaves the stored one; written only when it changes.
    const QString closingTyped = form.closingTime.trimmed();
    const std::optional<QTime> closingAt = AutoClosingTime(closingTyped);
    if (closingTyped.isEmpty() || closingAt) {
        const QString closing = closingAt ? closingAt->toString(QStringLiteral("HH:mm")) : QString();
        if (closing != cfg.ChiusuraAutomatica) {
            cfg.ChiusuraAutomatica = closing;
            put("ChiusuraAutomatica", closing);
        }
    }
    if (!written)
        status = WriteFailureTexts(QStringLiteral("la configurazione"), cfg.IniPath);
    return written;
}

bool SaveApiRigheDirette(bool on, PcConfig &cfg, StatusTexts &status) {
    status = {};
    if (!ProfileFile(cfg.IniPath)
             .writeString(kParametri, QStringLiteral("ApiRigheDirette"), SwitchText(on))) {
        status = WriteFailureTexts(QStringLiteral("la configurazione"), cfg.IniPath);
        return false;
    }
    cfg.ApiRigheDirette = on;
    return true;
}

bool WriteCurrentSection(const QString &iniPath, const RegisterIdentity &id, const QString &version) {
    const ProfileFile ini(iniPath);
    const QString current = QStringLiteral("Current");
    bool written = ini.writeString(current, QStringLiteral("Campo"), id.campo);
    written = ini.writeString(current, QStringLiteral("SN"), id.sn) && written;
    written = ini.writeString(current, QStringLiteral("Num"), id.num) && written;
    written = ini.writeString(current, QStringLiteral("FW"), id.fw) && written;
    return ini.writeString(current, QStringLiteral("Velm"), version) && written;
}

bool SetPortDevice(const QString &iniPath, const QString &porta, const QString &device) {
    const int n = PortNumber(porta);
    if (n < 1 || device.trimmed().isEmpty())
        return false;
    return ProfileFile(iniPath).writeString(QStringLiteral("Porte"), PortName(n), device.trimmed());
}

QString PortDevice(const QString &iniPath, const QString &porta) {
    return PortDevice(iniPath, PortNumber(porta));
}

QString PortDevice(const QString &iniPath, int n) {
    if (n < 1)
        return {};
    const QString mapped =
        ProfileFile(iniPath).getString(QStringLiteral("Porte"), PortName(n), QString(), 1024);
    if (!mapped.isEmpty())
        return mapped;
#ifdef Q_OS_WIN
    return QStringLiteral("COM") + QString::number(n);
#else
    return QStringLiteral("/dev/ttyS") + QString::number(n - 1);
#endif
}

QString ProgramHome() {
    const QString env = qEnvironmentVariable("NORVVELM_HOME");
    if (!env.isEmpty())
        return QDir(env).absolutePath();
    const QString exeDir = QCoreApplication::instance() ? QCoreApplication::applicationDirPath() : QString();
    if (!exeDir.isEmpty() && QFileInfo::exists(exeDir + QStringLiteral("/NorvVelm.ini")))
        return exeDir;
    const QString home = QDir::homePath() + QStringLiteral("/.config/NorvVelm");
    QDir().mkpath(home);
    return home;
}

} // namespace norvvelm
