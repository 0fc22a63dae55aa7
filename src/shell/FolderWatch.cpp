#include "shell/FolderWatch.h"

#include <QDateTime>
#include <QFile>
#include <QSocketNotifier>

#ifdef Q_OS_LINUX
#include <cerrno>
#include <sys/inotify.h>
#include <unistd.h>
#endif

namespace norvvelm {

FolderWatch::FolderWatch(QObject *parent)
    : QObject(parent), m_now([] { return QDateTime::currentMSecsSinceEpoch(); }) {}

FolderWatch::~FolderWatch() {
    stop();
}

void FolderWatch::stop() {
    delete m_notifier;
    m_notifier = nullptr;
#ifdef Q_OS_LINUX
    if (m_fd >= 0)
        ::close(m_fd);
#endif
    m_fd = -1;
    m_wd = -1;
    m_folder.clear();
    m_files.clear();
}

bool FolderWatch::watch(const QString &folder) {
    if (active() && folder == m_folder)
        return true;
    stop();
#ifdef Q_OS_LINUX
    m_fd = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (m_fd < 0)
        return false;
    m_wd = ::inotify_add_watch(m_fd, QFile::encodeName(folder).constData(),
                               IN_MODIFY | IN_CLOSE_WRITE | IN_MOVED_TO | IN_MOVED_FROM | IN_CREATE |
                                   IN_DELETE | IN_ONLYDIR);
    if (m_wd < 0) {
        ::close(m_fd);
        m_fd = -1;
        return false;
    }
    m_folder = folder;
    m_notifier = new QSocketNotifier(m_fd, QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &FolderWatch::readEvents);
    return true;
#else
    Q_UNUSED(folder);
    return false;
#endif
}

void FolderWatch::poll() {
    if (active())
        readEvents();
}

void FolderWatch::readEvents() {
#ifdef Q_OS_LINUX
    alignas(inotify_event) char buf[16384];
    bool ready = false;
    for (;;) {
        const ssize_t n = ::read(m_fd, buf, sizeof buf);
        if (n <= 0)
            break;
        for (ssize_t i = 0; i < n;) {
            const auto *e = reinterpret_cast<const inotify_event *>(buf + i);
            i += ssize_t(sizeof(inotify_event)) + e->len;
            if (e->mask & IN_Q_OVERFLOW) {
                m_files.clear(); // every file unknown again: the quiet period decides
                continue;
            }
            if (e->len == 0)
                continue;
            const QString name = QFile::decodeName(QByteArray(e->name));
            Entry &entry = m_files[name];
            entry.since = m_now();
            if (e->mask & (IN_DELETE | IN_MOVED_FROM)) {
                m_files.remove(name);
            } else if (e->mask & IN_MOVED_TO) {
                entry.state = State::MovedIn;
                ready = true;
            } else if (e->mask & IN_CLOSE_WRITE) {
                entry.state = State::Closed;
                ready = true;
            } else {
                entry.state = State::Writing;
            }
        }
    }
    if (ready)
        emit fileReady();
#endif
}

FolderWatch::State FolderWatch::state(const QString &name, qint64 *sinceMs) {
    const auto it = m_files.constFind(name);
    if (it == m_files.constEnd())
        return State::Unknown;
    if (sinceMs)
        *sinceMs = it->since;
    return it->state;
}

} // namespace norvvelm
