#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

#include <functional>

namespace norvvelm {

// The secret a client shows as "Authorization: Bearer <token>": 32 random
// bytes as 64 hexadecimal digits, in NorvVelm.token of the home folder,
// readable by its owner alone. A file that belongs to the group
// norvvelm-api (the package makes the service's so, in its home
// /var/lib/norvvelm, which that group may only pass through) is readable by
// that group too: the till's users who join it read the key. The program
// never hands the file to a group itself, so no other user's key is ever
// opened up.
class ApiToken {
public:
    static QString fileName() { return QStringLiteral("NorvVelm.token"); }
    // The group whose members read the key of a file that belongs to it.
    static QString groupName() { return QStringLiteral("norvvelm-api"); }

    // The token of the home folder, created when it is missing or not a
    // token; its file is kept to its owner, and to `group` when it belongs to
    // that group (a new key is then written into the same file, which keeps
    // its group). Empty when it can be neither read nor written (`error`
    // says why).
    static QByteArray load(const QString &homeDir, QString *error = nullptr) {
        return load(homeDir, groupName(), error);
    }
    static QByteArray load(const QString &homeDir, const QString &group, QString *error);
    // The token of another program's home folder, read as it is: never
    // made, never changed. Empty when it cannot be read (`error` says why).
    static QByteArray read(const QString &homeDir, QString *error = nullptr);
    // The permissions a token file at `path` is kept with: its owner's
    // reading and writing, and `group`'s reading when it belongs to `group`.
    static QFile::Permissions permissionsFor(const QString &path, const QString &group);
    // The key a client on this machine shows its server (norvvelm-cmd
    // --api-token), looked up in this order: the home folder `namedHome`
    // when one is named (NORVVELM_HOME), made there when missing; else the
    // installed service's, when its home `serviceHome` is there, read as it
    // is (a member of its group reads it; anyone else is told how to join);
    // else the key of the user's own home folder, `ownHome()`, made there
    // when missing. Empty when none can be had (`error` says why).
    static QByteArray forClient(const QString &namedHome, const QString &serviceHome,
                                const std::function<QString()> &ownHome, QString *error = nullptr);
    // A fresh token.
    static QByteArray generate();
    // Compares in a time that does not depend on where they differ.
    static bool matches(const QByteArray &expected, const QByteArray &given);
    // The token of an "Authorization" header value, empty when it is not a
    // bearer token.
    static QByteArray fromAuthorization(const QByteArray &value);
};

} // namespace norvvelm
