#include "shell/SingleInstance.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QThread>

#include <cerrno>
#include <cstring>
#include <utility>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace norvvelm {

namespace {
// Why the lock file could not be opened or locked, in the program's words.
QString lockError(int err) {
    switch (err) {
    case EACCES:
    case EPERM:
        return QStringLiteral("permesso negato");
    case EROFS:
        return QStringLiteral("file system di sola lettura");
    case ENOENT:
    case ENOTDIR:
        return QStringLiteral("cartella inesistente");
    case ELOOP:
        return QStringLiteral("il blocco \u00e8 un collegamento");
    case EISDIR:
        return QStringLiteral("il blocco \u00e8 una cartella");
    case ENOSPC:
        return QStringLiteral("disco pieno");
    case ENOLCK:
    case EOPNOTSUPP:
#if EOPNOTSUPP != ENOTSUP
    case ENOTSUP:
#endif
        return QStringLiteral("il file system non gestisce i blocchi");
    default:
        return QStringLiteral("errore %1 (%2)").arg(err).arg(QString::fromLocal8Bit(std::strerror(err)));
    }
}
} // namespace

InstanceLock::InstanceLock(InstanceLock &&other) noexcept
    : state(other.state), path(std::move(other.path)), error(std::move(other.error)),
      m_fd(std::exchange(other.m_fd, -1)) {}

InstanceLock &InstanceLock::operator=(InstanceLock &&other) noexcept {
    if (this != &other) {
        release();
        state = other.state;
        path = std::move(other.path);
        error = std::move(other.error);
        m_fd = std::exchange(other.m_fd, -1);
    }
    return *this;
}

InstanceLock::~InstanceLock() {
    release();
}

void InstanceLock::release() {
#ifdef Q_OS_UNIX
    if (m_fd >= 0)
        ::close(m_fd); // the kernel lets go of the lock with its last descriptor
#endif
    m_fd = -1;
}

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

InstanceLock LockSingleInstance(const QString &program, const QString &home, int waitMs) {
    InstanceLock lock;
    const QString canonical = QFileInfo(home).canonicalFilePath();
    lock.path = (canonical.isEmpty() ? QDir(home).absolutePath() : canonical) + u'/' + program +
                QStringLiteral(".lock");
    if (canonical.isEmpty() || !QFileInfo(canonical).isDir()) {
        lock.error = lockError(ENOENT);
        return lock;
    }
#ifdef Q_OS_UNIX
    const QByteArray name = QFile::encodeName(lock.path);
    // Never through a link: the lock is this folder's own file.
    int fd = ::open(name.constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0644);
    bool writable = fd >= 0;
    if (fd < 0 && (errno == EACCES || errno == EROFS || errno == EPERM)) {
        // A lock file left where it can no longer be written (a read-only
        // home, a file of other permissions) still carries the kernel's lock.
        fd = ::open(name.constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    }
    if (fd < 0) {
        lock.error = lockError(errno);
        return lock;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        lock.error = QStringLiteral("il blocco non \u00e8 un file");
        ::close(fd);
        return lock;
    }
    QElapsedTimer waited;
    waited.start();
    int rc;
    for (;;) {
        rc = ::flock(fd, LOCK_EX | LOCK_NB);
        if (rc == 0 || (errno != EINTR && (errno != EWOULDBLOCK || waited.elapsed() >= waitMs)))
            break;
        if (errno == EWOULDBLOCK)
            QThread::msleep(100);
    }
    if (rc != 0) {
        const int err = errno;
        ::close(fd);
        if (err == EWOULDBLOCK) {
            lock.state = InstanceLock::State::AlreadyRunning;
        } else {
            lock.error = lockError(err);
        }
        return lock;
    }
    lock.m_fd = fd;
    lock.state = InstanceLock::State::Held;
    if (writable) {
        // For whoever looks: the holder's process number. Nothing reads it.
        const QByteArray pid = QByteArray::number(qint64(::getpid())) + '\n';
        if (::ftruncate(fd, 0) == 0) {
            [[maybe_unused]] const auto n = ::pwrite(fd, pid.constData(), size_t(pid.size()), 0);
        }
    }
#else
    lock.error = QStringLiteral("blocchi non gestiti su questo sistema");
#endif
    return lock;
}

} // namespace norvvelm
