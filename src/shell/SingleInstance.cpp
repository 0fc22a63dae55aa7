#include "shell/SingleInstance.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace norvvelm {

namespace {
// A folder only this user may write to.
bool privateFolder(const QString &dir) {
    if (dir.isEmpty())
        return false;
#ifdef Q_OS_UNIX
    struct stat st {};
    return ::stat(QFile::encodeName(dir).constData(), &st) == 0 && S_ISDIR(st.st_mode) &&
           st.st_uid == ::getuid() && (st.st_mode & (S_IWGRP | S_IWOTH)) == 0;
#else
    return QFileInfo(dir).isDir();
#endif
}
} // namespace

QString InstanceLockRefusal(const InstanceLock &lock) {
    switch (lock.state) {
    case InstanceLock::State::Held:
        return {};
    case InstanceLock::State::AlreadyRunning:
        return QStringLiteral("Driver gi\u00e0 attivo");
    case InstanceLock::State::Unavailable:
        break;
    }
    return QStringLiteral("Impossibile creare il blocco di istanza unica ") + lock.path +
           QStringLiteral(": ") + lock.error;
}

InstanceLock LockSingleInstance(const QString &program, const QString &home) {
    InstanceLock lock;
    QString canonical = QFileInfo(home).canonicalFilePath();
    if (canonical.isEmpty())
        canonical = QDir(home).absolutePath();
    const QByteArray key =
        QCryptographicHash::hash(canonical.toUtf8(), QCryptographicHash::Sha1).toHex().left(16);
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (privateFolder(runtime))
        lock.path = runtime + u'/' + program + u'-' + QString::fromLatin1(key) + QStringLiteral(".lock");
    else
        lock.path = canonical + u'/' + program + QStringLiteral(".lock");
    lock.file = std::make_unique<QLockFile>(lock.path);
    lock.file->setStaleLockTime(0); // held for the whole run; a dead holder's lock is taken over
    if (lock.file->tryLock(0)) {
        lock.state = InstanceLock::State::Held;
        return lock;
    }
    switch (lock.file->error()) {
    case QLockFile::LockFailedError:
        lock.state = InstanceLock::State::AlreadyRunning;
        break;
    case QLockFile::PermissionError:
        lock.error = QStringLiteral("permesso negato");
        break;
    default:
        lock.error = QStringLiteral("errore sconosciuto");
        break;
    }
    if (lock.state != InstanceLock::State::AlreadyRunning)
        lock.file.reset();
    return lock;
}

} // namespace norvvelm
