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
constexpr QFile::Permissions kOthers = QFile::ReadOther | QFile::WriteOther | QFile::ExeOther;

} // namespace

QFile::Permissions ApiToken::permissionsFor(const QString &homeDir) {
    const QFile::Permissions home = QFileInfo(homeDir).permissions();
    const bool groupsHome = (home & QFile::ReadGroup) && (home & QFile::ExeGroup) && !(home & kOthers);
    return groupsHome ? kOwnerOnly | QFile::ReadGroup : kOwnerOnly;
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

QByteArray ApiToken::load(const QString &homeDir, QString *error) {
    const QString path = homeDir + u'/' + fileName();
    const QFile::Permissions wanted = permissionsFor(homeDir);
    QFile in(path);
    if (in.open(QIODevice::ReadOnly)) {
        const QByteArray t = in.read(4 * kBytes).trimmed();
        in.close();
        if (isToken(t)) {
            if (in.permissions() != wanted && !QFile::setPermissions(path, wanted)) {
                if (error)
                    *error = QStringLiteral("permessi non limitabili: ") + path;
                return {};
            }
            return t;
        }
    }
    const QByteArray t = generate();
    QSaveFile out(path);
    // Private before the token is written: no other user ever reads it.
    if (!out.open(QIODevice::WriteOnly) || !out.setPermissions(wanted) || out.write(t + '\n') < 0 ||
        !out.commit()) {
        if (error)
            *error = out.errorString();
        return {};
    }
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
