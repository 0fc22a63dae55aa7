#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

namespace norvvelm {

// The secret a client shows as "Authorization: Bearer <token>": 32 random
// bytes as 64 hexadecimal digits, in NorvVelm.token of the home folder,
// readable by its owner alone; in a home folder that its group may enter
// and others may not (the service's, /var/lib/norvvelm, 0750), readable by
// that group too: the till's users who join it read the key.
class ApiToken {
public:
    static QString fileName() { return QStringLiteral("NorvVelm.token"); }

    // The token of the home folder, created when it is missing or not a
    // token; its file is kept to its owner. Empty when it can be neither read
    // nor written (`error` says why).
    static QByteArray load(const QString &homeDir, QString *error = nullptr);
    // The token of another program's home folder, read as it is: never
    // made, never changed. Empty when it cannot be read (`error` says why).
    static QByteArray read(const QString &homeDir, QString *error = nullptr);
    // The token file's permissions in `homeDir`.
    static QFile::Permissions permissionsFor(const QString &homeDir);
    // A fresh token.
    static QByteArray generate();
    // Compares in a time that does not depend on where they differ.
    static bool matches(const QByteArray &expected, const QByteArray &given);
    // The token of an "Authorization" header value, empty when it is not a
    // bearer token.
    static QByteArray fromAuthorization(const QByteArray &value);
};

} // namespace norvvelm
