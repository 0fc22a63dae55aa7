#include "shell/NoFollowFile.h"
#include "shell/ReceiptFolder.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace norvvelm {

struct NoFollowFile::Handle {
    int fd = -1;
    struct stat st {};
    ~Handle() {
        if (fd >= 0)
            ::close(fd);
    }
};

NoFollowFile::NoFollowFile() : m_handle(std::make_unique<Handle>()) {}
NoFollowFile::~NoFollowFile() = default;

NoFollowFile::Opened NoFollowFile::open(const QString &path) {
    Handle &h = *m_handle;
    h.fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (h.fd < 0) {
        const int err = errno;
        m_reason = QString::fromLocal8Bit(std::strerror(err));
        return err == ENOENT ? Opened::Missing : err == ELOOP ? Opened::Link : Opened::Unreadable;
    }
    if (::fstat(h.fd, &h.st) != 0 || !S_ISREG(h.st.st_mode))
        return Opened::NotRegular;
    m_size = h.st.st_size;
    return Opened::Yes;
}

QByteArray NoFollowFile::read(qint64 max) {
    QByteArray bytes;
    bytes.resize(m_size + 1);
    qint64 got = 0;
    for (;;) {
        if (got == bytes.size())
            bytes.resize(bytes.size() + 4096);
        const ssize_t n = ::read(m_handle->fd, bytes.data() + got, size_t(bytes.size() - got));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        got += n;
        if (got > max)
            break;
    }
    bytes.truncate(got);
    return bytes;
}

bool NoFollowFile::isAt(const QString &path) const {
    struct stat now {};
    return ::lstat(QFile::encodeName(path).constData(), &now) == 0 && now.st_ino == m_handle->st.st_ino &&
           now.st_dev == m_handle->st.st_dev;
}

bool NoFollowFile::linkedToAnotherUsersFile() const {
    return m_handle->st.st_nlink > 1 && m_handle->st.st_uid != ::geteuid();
}

qint64 ModifiedNs(const QString &path) {
    struct stat st {};
    if (::lstat(QFile::encodeName(path).constData(), &st) != 0)
        return 0;
    return qint64(st.st_mtim.tv_sec) * 1000000000 + qint64(st.st_mtim.tv_nsec);
}

// On a busy folder the listing is the whole cost of a tick: the entries'
// types come from the directory itself where the file system gives them,
// and only candidate names are decoded.
bool ListFolder(const QString &folder, const FolderEntries &entries) {
    DIR *d = ::opendir(QFile::encodeName(folder).constData());
    if (!d)
        return false;
    const QByteArray base = QFile::encodeName(folder) + '/';
    while (dirent *e = ::readdir(d)) {
        const qsizetype len = qsizetype(strlen(e->d_name));
        if (!entries.candidate(e->d_name, len))
            continue;
        if (std::strcmp(e->d_name, ".") == 0 || std::strcmp(e->d_name, "..") == 0)
            continue;
        // A link is never followed: its own type counts.
        bool file = e->d_type == DT_REG;
        if (e->d_type == DT_UNKNOWN) {
            struct stat st {};
            file = ::lstat(QByteArray(base + e->d_name).constData(), &st) == 0 && S_ISREG(st.st_mode);
        }
        const QByteArray raw(e->d_name, len);
        QString name = QFile::decodeName(raw);
        if (QFile::encodeName(name) != raw) {
            // No QString reaches this name.
            name = entries.undecodable ? entries.undecodable(raw, file) : QString();
            if (name.isEmpty())
                continue;
        }
        (file ? entries.file : entries.other)(name);
    }
    ::closedir(d);
    return true;
}

} // namespace norvvelm
