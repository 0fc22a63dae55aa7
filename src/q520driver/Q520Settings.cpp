#include "q520driver/Q520Settings.h"

#include "q520driver/Q520Protocol.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

namespace q520 {

namespace {

const QString kParametri = QStringLiteral("Parametri");

QString folderValue(const QString &value, const QString &homeFolder) {
    QString folder = value;
    folder.replace(u'\\', u'/');
    if (QDir::isRelativePath(folder))
        folder = QDir(homeFolder).filePath(folder);
    folder = QDir::cleanPath(folder);
    if (!folder.endsWith(u'/'))
        folder += u'/';
    return folder;
}

} // namespace

ProfileFile ProfileFile::load(const QString &path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return fromText(decodeReceiptText(file.readAll()));
}

ProfileFile ProfileFile::fromText(const QString &text) {
    ProfileFile profile;
    QString section;
    bool inSection = false;
    const QStringList lines = text.split(u'\n');
    for (QString line : lines) {
        line = line.trimmed();
        if (line.isEmpty() || line.startsWith(u';'))
            continue;
        if (line.startsWith(u'[')) {
            const qsizetype close = line.indexOf(u']');
            section = (close < 0 ? line.mid(1) : line.mid(1, close - 1)).trimmed();
            inSection = true;
            continue;
        }
        const qsizetype eq = line.indexOf(u'=');
        if (!inSection || eq < 0)
            continue;
        profile.m_entries.append({section, line.left(eq).trimmed(), line.mid(eq + 1).trimmed()});
    }
    return profile;
}

QString ProfileFile::value(const QString &section, const QString &key, const QString &fallback,
                           int buffer) const {
    QString found = fallback;
    for (const Entry &e : m_entries) {
        if (e.section.compare(section, Qt::CaseInsensitive) == 0 &&
            e.key.compare(key, Qt::CaseInsensitive) == 0) {
            found = e.value;
            if (found.size() >= 2 && (found.front() == u'"' || found.front() == u'\'') &&
                found.back() == found.front())
                found = found.mid(1, found.size() - 2);
            break;
        }
    }
    found.truncate(qMax(0, buffer - 1));
    found.replace(QChar(0), u' ');
    return found.trimmed();
}

SettingsResult readSettings(const QString &homeFolder) {
    QFile file(QDir(homeFolder).filePath(QLatin1String(kSettingsFileName)));
    QString text;
    if (file.open(QIODevice::ReadOnly))
        text = decodeReceiptText(file.readAll());
    return readSettingsText(text, homeFolder);
}

SettingsResult readSettingsText(const QString &iniText, const QString &homeFolder) {
    const ProfileFile ini = ProfileFile::fromText(iniText);
    SettingsResult r;
    Settings &s = r.settings;

    s.receiptFileName = ini.value(kParametri, QStringLiteral("NomeFileScontrino"), QStringLiteral(" "), 40);
    if (s.receiptFileName.isEmpty()) {
        r.message = QStringLiteral("Nome file scontrino non impostato");
        return r;
    }
    if (s.receiptFileName.contains(u'/') || s.receiptFileName.contains(u'\\') ||
        s.receiptFileName == QLatin1String("..") || s.receiptFileName == QLatin1String(".")) {
        r.message = QStringLiteral("Nome file scontrino non valido : ") + s.receiptFileName;
        return r;
    }

    const QString receiptDir =
        ini.value(kParametri, QStringLiteral("Directory Scontrini"), QStringLiteral("."), 128);
    if (receiptDir.isEmpty()) {
        r.message = QStringLiteral("Directory scontrini non impostata");
        return r;
    }
    s.receiptFolder = folderValue(receiptDir, homeFolder);

    const QString logDir =
        ini.value(kParametri, QStringLiteral("Directory FileLog"), QStringLiteral("."), 128);
    if (logDir.isEmpty()) {
        r.message = QStringLiteral("Directory file log non impostata");
        return r;
    }
    s.logFolder = folderValue(logDir, homeFolder);

    s.logEnabled = ini.value(kParametri, QStringLiteral("LivelloLog"), QStringLiteral("1"), 3) == u"1";

    const QString port = ini.value(kParametri, QStringLiteral("Porta"), QStringLiteral("1"), 3);
    if (port.isEmpty()) {
        r.message = QStringLiteral("Porta di comunicazione non impostata");
        return r;
    }
    bool numeric = false;
    s.portNumber = port.toInt(&numeric);
    if (!numeric || s.portNumber < 1) {
        r.message = QStringLiteral("Porta di comunicazione non valida : ") + port;
        return r;
    }
    s.portDevice = ini.value(QStringLiteral("Porte"), QStringLiteral("Com") + QString::number(s.portNumber),
                             defaultPortDevice(s.portNumber), 256);
    if (s.portDevice.isEmpty())
        s.portDevice = defaultPortDevice(s.portNumber);

    const QString speed = ini.value(kParametri, QStringLiteral("Velocita"), QStringLiteral("1"), 10);
    s.baudRate = speed == u"2" ? 115200 : 9600;

    r.ok = true;
    return r;
}

QString homeFolder(const QString &programFolder) {
    const QString env = qEnvironmentVariable("DRIVERQ520_HOME");
    if (!env.isEmpty())
        return QDir::cleanPath(QDir(env).absolutePath());
    if (!programFolder.isEmpty() &&
        QFileInfo::exists(QDir(programFolder).filePath(QLatin1String(kSettingsFileName))))
        return QDir::cleanPath(programFolder);
    return QDir::cleanPath(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
                           QStringLiteral("/DriverQ520"));
}

QString defaultPortDevice(int portNumber) {
#ifdef Q_OS_WIN
    return QStringLiteral("COM") + QString::number(portNumber);
#else
    return QStringLiteral("/dev/ttyS") + QString::number(portNumber - 1);
#endif
}

} // namespace q520
