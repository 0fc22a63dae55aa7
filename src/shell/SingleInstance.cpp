#include "shell/SingleInstance.h"

#include <QCryptographicHash>
#include <QDir>

namespace norvvelm {

std::unique_ptr<QLockFile> LockSingleInstance(const QString &program, const QString &home) {
    // The runtime folder when the session has one; else a private folder in
    // the temporary one (asking Qt for it then only prints a warning).
    QString dir = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (dir.isEmpty() || !QDir(dir).exists())
        dir = QDir::tempPath() + QStringLiteral("/norvvelm-") +
              qEnvironmentVariable("USER", QStringLiteral("user"));
    QDir().mkpath(dir);
    const QByteArray key =
        QCryptographicHash::hash(QDir(home).absolutePath().toUtf8(), QCryptographicHash::Sha1)
            .toHex()
            .left(16);
    auto lock = std::make_unique<QLockFile>(dir + u'/' + program + u'-' + QString::fromLatin1(key) +
                                            QStringLiteral(".lock"));
    lock->setStaleLockTime(0); // held for the whole run; a dead holder's lock is taken over
    if (!lock->tryLock(0))
        return nullptr;
    return lock;
}

} // namespace norvvelm
