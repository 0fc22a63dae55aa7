#include "api/RegisterDirectory.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QSaveFile>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <unistd.h>

namespace norvvelm {

namespace {
constexpr qint64 kMaxEntryBytes = 4096;

// Whether the process that wrote an entry still runs: one of another user
// that cannot be signalled still runs.
bool running(qint64 pid) {
    return pid > 0 && (::kill(pid_t(pid), 0) == 0 || errno == EPERM);
}
} // namespace

QString RegisterDirectory::defaultFolder() {
    QString base = qEnvironmentVariable("NORVVELM_RUNTIME_DIR");
    if (base.isEmpty() && QDir(QStringLiteral("/run/norvvelm")).exists())
        base = QStringLiteral("/run/norvvelm");
    if (base.isEmpty())
        base = qEnvironmentVariable("XDG_RUNTIME_DIR");
    // No runtime folder of the user's (a shell without a session): one of
    // its own in the temporary folder, as the user's alone.
    if (base.isEmpty())
        base = QDir::tempPath() + QStringLiteral("/norvvelm-runtime-") + QString::number(::getuid());
    return base + QStringLiteral("/registers");
}

QString RegisterDirectory::folder() const {
    return m_folder.isEmpty() ? defaultFolder() : m_folder;
}

bool RegisterDirectory::validName(const QString &name) {
    static const QRegularExpression form(QStringLiteral("^[A-Za-z0-9_.-]{1,32}$"));
    return form.match(name).hasMatch() && name != u"." && name != u"..";
}

bool RegisterDirectory::announce(const RegisterEntry &entry) {
    if (!validName(entry.name))
        return false;
    const QString where = folder();
    const QString path = where + u'/' + entry.name + QStringLiteral(".json");
    if (path == m_announced && entry == m_last && QFile::exists(path))
        return true;
    if (!QDir().mkpath(where))
        return false;
    // Entries only its user and group read.
    QFile::setPermissions(where, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadGroup |
                                     QFile::ExeGroup);
    const QJsonObject o{
        {QStringLiteral("name"), entry.name},     {QStringLiteral("address"), entry.address},
        {QStringLiteral("port"), entry.port},     {QStringLiteral("serial"), entry.serial},
        {QStringLiteral("model"), entry.model},   {QStringLiteral("firmware"), entry.firmware},
        {QStringLiteral("online"), entry.online}, {QStringLiteral("pid"), entry.pid}};
    QSaveFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(QJsonDocument(o).toJson(QJsonDocument::Compact)) < 0 ||
        !f.commit())
        return false;
    if (!m_announced.isEmpty() && m_announced != path)
        QFile::remove(m_announced);
    m_announced = path;
    m_last = entry;
    return true;
}

void RegisterDirectory::withdraw() {
    if (!m_announced.isEmpty())
        QFile::remove(m_announced);
    m_announced.clear();
    m_last = {};
}

QList<RegisterEntry> RegisterDirectory::list() const {
    QList<RegisterEntry> out;
    const QDir dir(folder());
    for (const QString &file : dir.entryList({QStringLiteral("*.json")}, QDir::Files, QDir::Name)) {
        QFile f(dir.filePath(file));
        if (!f.open(QIODevice::ReadOnly) || f.size() > kMaxEntryBytes)
            continue;
        const QJsonObject o = QJsonDocument::fromJson(f.readAll()).object();
        RegisterEntry e;
        e.name = o.value(QStringLiteral("name")).toString();
        e.address = o.value(QStringLiteral("address")).toString();
        e.port = o.value(QStringLiteral("port")).toInt();
        e.serial = o.value(QStringLiteral("serial")).toString();
        e.model = o.value(QStringLiteral("model")).toString();
        e.firmware = o.value(QStringLiteral("firmware")).toString();
        e.online = o.value(QStringLiteral("online")).toBool();
        e.pid = qint64(o.value(QStringLiteral("pid")).toDouble());
        // Only what names itself as its file does, and still runs.
        if (!validName(e.name) || file != e.name + QStringLiteral(".json") || e.port <= 0 || e.port > 65535 ||
            !running(e.pid))
            continue;
        out.append(e);
    }
    return out;
}

} // namespace norvvelm
