#include "commands/TechnicianPassword.h"

#include <QFile>
#include <QSettings>

#include <memory>

namespace norvvelm {

std::unique_ptr<QSettings> OpenUserSettings(const QString &file) {
    if (!file.isEmpty())
        return std::make_unique<QSettings>(file, QSettings::IniFormat);
    return std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope,
                                       QStringLiteral("Norv-VELM"), QStringLiteral("NorvVelm"));
}

QString TechnicianPassword::read() const {
    auto s = OpenUserSettings(m_file);
    return s->value(QStringLiteral("Tecnico/Password")).toString();
}

bool TechnicianPassword::write(const QString &password) const {
    auto s = OpenUserSettings(m_file);
    s->setValue(QStringLiteral("Tecnico/Password"), password);
    s->sync();
    if (s->status() != QSettings::NoError)
        return false;
    return QFile::setPermissions(s->fileName(), QFile::ReadOwner | QFile::WriteOwner);
}

namespace {
QString normalisedPassword(const QString &p) {
    return p.trimmed().toUpper();
}
} // namespace

bool TechnicianPassword::matches(const QString &typed) const {
    const QString stored = read();
    if (passwordhash::IsHash(stored))
        return passwordhash::Verify(stored, normalisedPassword(typed));
    return normalisedPassword(stored) == normalisedPassword(typed);
}

bool TechnicianPassword::change(const QString &password) const {
    const QString plain = normalisedPassword(password);
    return write(plain.isEmpty() ? QString() : passwordhash::Hash(plain, iterations));
}

} // namespace norvvelm
