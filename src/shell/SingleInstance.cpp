#include "shell/SingleInstance.h"

#include "link/Clock.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

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
    case EDQUOT:
        return QStringLiteral("quota del disco esaurita");
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

#ifdef Q_OS_UNIX
// How often a program waiting for a command looks at the lock again.
constexpr int kLookMs = 100;

// The errors of a folder where no file can be made.
bool refusesWriting(int err) {
    return err == EACCES || err == EPERM || err == EROFS || err == ENOSPC || err == EDQUOT;
}

struct LockFile {
    int fd = -1;
    bool writable = false;
    int err = 0; // why it is not open; 0 with fd < 0: it is not a file
};

// A lock file of the home, made when missing, never through a link: the lock
// is this folder's own file. One left where it can no longer be written (a
// read-only home, a file of other permissions) still carries the kernel's
// lock, and is opened for reading.
LockFile openLockFile(const QString &path) {
    const QByteArray name = QFile::encodeName(path);
    LockFile f;
    f.fd = ::open(name.constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0644);
    f.writable = f.fd >= 0;
    if (f.fd < 0) {
        f.err = errno;
        if (refusesWriting(f.err)) {
            f.fd = ::open(name.constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
            // A file that is not there could not be made: why is the first error.
            if (f.fd < 0 && errno != ENOENT)
                f.err = errno;
        }
    }
    struct stat st {};
    if (f.fd >= 0 && (::fstat(f.fd, &st) != 0 || !S_ISREG(st.st_mode))) {
        ::close(f.fd);
        f = {};
    }
    return f;
}

int lockNow(int fd, int how) {
    int rc;
    while ((rc = ::flock(fd, how | LOCK_NB)) != 0 && errno == EINTR) {
    }
    return rc == 0 ? 0 : errno;
}

// A command holds its mark: nobody could take it whole for a moment.
bool commandHolds(const QString &markPath) {
    const int fd = ::open(QFile::encodeName(markPath).constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0)
        return false;
    const bool held = lockNow(fd, LOCK_EX) == EWOULDBLOCK;
    ::close(fd); // and with it the glance's own lock
    return held;
}

// What became of an attempt at the lock: Held, or why not.
struct Verdict {
    InstanceLock::State state = InstanceLock::State::Held;
    QString error;
};

// Why a lock file that could not be opened refuses the lock.
Verdict openRefusal(const LockFile &file) {
    if (file.err == 0)
        return {InstanceLock::State::Unavailable, QStringLiteral("il blocco non \u00e8 un file")};
    return {refusesWriting(file.err) ? InstanceLock::State::HomeReadOnly : InstanceLock::State::Unavailable,
            lockError(file.err)};
}

// A command's mark, held shared: commands never keep each other out; only a
// server's glance takes it whole, for an instant. -1 when none can be made.
int holdMark(const QString &markPath) {
    const int fd = openLockFile(markPath).fd;
    while (fd >= 0 && ::flock(fd, LOCK_SH) != 0 && errno == EINTR) {
    }
    return fd;
}

// One more look of a program that waits for a command; false when the wait
// was ended. `told` says whether the wait was already said.
bool waitLonger(const CommandWait &wait, bool &told) {
    if (!std::exchange(told, true) && wait.waiting)
        wait.waiting();
    if (wait.goOn && !wait.goOn())
        return false;
    wait.clock.sleepMs(kLookMs);
    return true;
}

// Takes the lock on `fd`. A program waits for a command that holds it, as
// `wait` allows; a command that finds it taken lets go of its own mark
// (`markFd`) first, since it would hide another command's.
Verdict takeLock(int fd, LockHolder holder, int &markFd, const QString &markPath, const CommandWait *wait) {
    bool told = false;
    for (;;) {
        const int err = lockNow(fd, LOCK_EX);
        if (err == 0)
            return {};
        if (err != EWOULDBLOCK)
            return {InstanceLock::State::Unavailable, lockError(err)};
        if (holder == LockHolder::Command) {
            ::close(std::exchange(markFd, -1));
            return {commandHolds(markPath) ? InstanceLock::State::CommandRunning
                                           : InstanceLock::State::AlreadyRunning,
                    {}};
        }
        // A command that ended between the two looks let go of both.
        if (!commandHolds(markPath))
            return {lockNow(fd, LOCK_EX) == 0 ? InstanceLock::State::Held
                                              : InstanceLock::State::AlreadyRunning,
                    {}};
        if (!wait)
            return {InstanceLock::State::CommandRunning, {}};
        if (!waitLonger(*wait, told))
            return {InstanceLock::State::Stopped, {}};
    }
}

// For whoever looks: the holder's process number. Nothing reads it.
void writePid(int fd) {
    const QByteArray pid = QByteArray::number(qint64(::getpid())) + '\n';
    if (::ftruncate(fd, 0) == 0) {
        [[maybe_unused]] const auto n = ::pwrite(fd, pid.constData(), size_t(pid.size()), 0);
    }
}
#endif
} // namespace

InstanceLock::InstanceLock(InstanceLock &&other) noexcept
    : state(other.state), path(std::move(other.path)), error(std::move(other.error)),
      m_fd(std::exchange(other.m_fd, -1)), m_markFd(std::exchange(other.m_markFd, -1)) {}

InstanceLock &InstanceLock::operator=(InstanceLock &&other) noexcept {
    if (this != &other) {
        release();
        state = other.state;
        path = std::move(other.path);
        error = std::move(other.error);
        m_fd = std::exchange(other.m_fd, -1);
        m_markFd = std::exchange(other.m_markFd, -1);
    }
    return *this;
}

InstanceLock::~InstanceLock() {
    release();
}

void InstanceLock::release() {
#ifdef Q_OS_UNIX
    // The kernel lets go of a lock with its last descriptor. The lock goes
    // first: a server that finds it taken without the mark takes it for another
    // server's.
    if (m_fd >= 0)
        ::close(m_fd);
    if (m_markFd >= 0)
        ::close(m_markFd);
#endif
    m_fd = -1;
    m_markFd = -1;
}

QString InstanceLockRefusal(const InstanceLock &lock) {
    switch (lock.state) {
    case InstanceLock::State::Held:
    case InstanceLock::State::Stopped:
        return {};
    case InstanceLock::State::AlreadyRunning:
        return QStringLiteral("Driver gi\u00e0 attivo");
    case InstanceLock::State::CommandRunning:
        return QStringLiteral("Un comando del tecnico (norvvelm-cmd) sta usando la cassa: riprovare quando "
                              "finisce");
    case InstanceLock::State::HomeReadOnly:
        return QStringLiteral("La cartella ") + QFileInfo(lock.path).path() +
               QStringLiteral(" non \u00e8 scrivibile: ") + lock.error;
    case InstanceLock::State::NoHome:
    case InstanceLock::State::Unavailable:
        break;
    }
    return QStringLiteral("Impossibile creare il blocco di istanza unica ") + lock.path +
           QStringLiteral(": ") + lock.error;
}

QString CommandWaitText() {
    return QStringLiteral("Un comando del tecnico (norvvelm-cmd) sta usando la cassa: il server di stampa "
                          "attende che finisca");
}

InstanceLock LockSingleInstance(const QString &program, const QString &home, LockHolder holder,
                                const CommandWait *wait) {
    InstanceLock lock;
    const QString canonical = QFileInfo(home).canonicalFilePath();
    const QString dir = canonical.isEmpty() ? QDir(home).absolutePath() : canonical;
    lock.path = dir + u'/' + program + QStringLiteral(".lock");
    if (canonical.isEmpty() || !QFileInfo(canonical).isDir()) {
        lock.state = InstanceLock::State::NoHome;
        lock.error = lockError(ENOENT);
        return lock;
    }
#ifdef Q_OS_UNIX
    const QString markPath = dir + u'/' + program + QStringLiteral("-cmd.lock");
    const auto refuse = [&lock](InstanceLock::State state, const QString &error) {
        lock.release();
        lock.state = state;
        lock.error = error;
        return std::move(lock);
    };
    const LockFile file = openLockFile(lock.path);
    if (file.fd < 0) {
        const Verdict refused = openRefusal(file);
        return refuse(refused.state, refused.error);
    }
    lock.m_fd = file.fd;
    // Opened after the lock, so that a process that dies lets go of the lock
    // first (the kernel closes descriptors in their order). A home where no
    // mark can be made runs the command unmarked: no server could run there
    // anyway.
    if (holder == LockHolder::Command)
        lock.m_markFd = holdMark(markPath);
    const Verdict taken = takeLock(lock.m_fd, holder, lock.m_markFd, markPath, wait);
    if (taken.state != InstanceLock::State::Held)
        return refuse(taken.state, taken.error);
    if (holder == LockHolder::Program && ::access(QFile::encodeName(dir).constData(), W_OK | X_OK) != 0) {
        // Its files (configuration, journal, outcomes) are written beside the lock.
        return refuse(InstanceLock::State::HomeReadOnly, lockError(errno));
    }
    lock.state = InstanceLock::State::Held;
    if (file.writable)
        writePid(lock.m_fd);
#else
    Q_UNUSED(holder);
    Q_UNUSED(wait);
    lock.error = QStringLiteral("blocchi non gestiti su questo sistema");
#endif
    return lock;
}

} // namespace norvvelm
