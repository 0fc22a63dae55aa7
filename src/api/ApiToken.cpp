#include "api/ApiToken.h"

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QSaveFile>

#include <array>

namespace norvvelm {

namespace {

constexpr int kBytes = 32;

bool isToken(const QByteArray &t) {
    if (t.size() != 2 * kBytes)
        return false;
    for (const char c : t) {
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f')))
            return false;
    }
    return true;
}

constexpr QFile::Permissions kOwnerOnly = QFile::ReadOwner | QFile::WriteOwner;
constexpr QFile::Permissions kGroupReads = kOwnerOnly | QFile::ReadGroup;

// A file's permissions for its owner, its group and the others (Qt adds
// the bits of the user asking).
QFile::Permissions modeOf(const QString &path) {
    return QFile::permissions(path) & ~(QFile::ReadUser | QFile::WriteUser | QFile::ExeUser);
}

} // namespace

QFile::Permissions ApiToken::permissionsFor(const QString &path, const QString &group) {
    const QFileInfo file(path);
    const bool grouped = !group.isEmpty() && file.isFile() && !file.isSymLink() && file.group() == group;
    return grouped ? kGroupReads : kOwnerOnly;
}

QByteArray ApiToken::read(const QString &homeDir, QString *error) {
    QFile in(homeDir + u'/' + fileName());
    if (!in.open(QIODevice::ReadOnly)) {
        if (error)
            *error = in.errorString();
        return {};
    }
    const QByteArray t = in.read(4 * kBytes).trimmed();
    if (!isToken(t)) {
        if (error)
            *error = QStringLiteral("non contiene una chiave");
        return {};
    }
    return t;
}

QByteArray ApiToken::generate() {
    std::array<quint32, kBytes / 4> words{};
    QRandomGenerator::system()->fillRange(words.data(), qsizetype(words.size()));
    return QByteArray(reinterpret_cast<const char *>(words.data()), kBytes).toHex();
}

QByteArray ApiToken::load(const QString &homeDir, const QString &group, QString *error) {
    const QString path = homeDir + u'/' + fileName();
    const QFile::Permissions wanted = permissionsFor(path, group);
    QFile in(path);
    if (in.open(QIODevice::ReadOnly)) {
        const QByteArray t = in.read(4 * kBytes).trimmed();
        in.close();
        if (isToken(t)) {
            if (modeOf(path) != wanted && !QFile::setPermissions(path, wanted)) {
                if (error)
                    *error = QStringLiteral("permessi non limitabili: ") + path;
                return {};
            }
            return t;
        }
    }
    const QByteArray t = generate();
    if (wanted == kGroupReads) {
        // The group's file (the package makes it empty): the key goes into
        // it, which keeps its group, closed to the others first.
        QFile out(path);
        if (!out.setPermissions(kGroupReads) || !out.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
            out.write(t + '\n') < 0 || !out.flush()) {
            if (error)
                *error = out.errorString();
            return {};
        }
        return t;
    }
    QSaveFile out(path);
    // Private before the token is written: no other user ever reads it.
    if (!out.open(QIODevice::WriteOnly) || !out.setPermissions(kOwnerOnly) || out.write(t + '\n') < 0 ||
        !out.commit()) {
        if (error)
            *error = out.errorString();
        return {};
    }
    return t;
}

QByteArray ApiToken::forClient(const QString &namedHome, const QString &serviceHome,
                               const std::function<QString()> &ownHome, QString *error) {
    if (!namedHome.isEmpty())
        return load(namedHome, error);
    if (!QFileInfo(serviceHome).isDir())
        return load(ownHome(), error);
    QString why;
    const QByteArray t = read(serviceHome, &why);
    if (t.isEmpty() && error)
        *error = QStringLiteral("%1/%2: %3. La chiave del servizio \u00e8 letta dai membri del gruppo %4: "
                                "\"sudo adduser $USER %4\", poi un nuovo accesso (il servizio la crea al suo "
                                "primo avvio)")
                     .arg(serviceHome, fileName(), why, groupName());
    return t;
}

bool ApiToken::matches(const QByteArray &expected, const QByteArray &given) {
    if (expected.isEmpty() || expected.size() != given.size())
        return false;
    unsigned char diff = 0;
    for (qsizetype i = 0; i < expected.size(); ++i)
        diff |= static_cast<unsigned char>(expected.at(i) ^ given.at(i));
    return diff == 0;
}

QByteArray ApiToken::fromAuthorization(const QByteArray &value) {
    const QByteArray v = value.trimmed();
    if (v.size() < 7 || v.left(7).toLower() != "bearer ")
        return {};
    return v.mid(7).trimmed();
}

} // namespace norvvelm
