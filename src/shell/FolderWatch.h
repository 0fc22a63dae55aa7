#pragma once

#include <QHash>
#include <QObject>
#include <QString>

#include <functional>

class QSocketNotifier;

namespace norvvelm {

// What the file system says of the files of one folder (inotify on Linux):
// which ones their writer has closed since it last changed them, and which
// were renamed into place. Elsewhere it is not active, and the print server
// falls back to a quiet period.
class FolderWatch : public QObject {
    Q_OBJECT
public:
    explicit FolderWatch(QObject *parent = nullptr);
    ~FolderWatch() override;

    // Watches `folder` (the one watched before is left); false when the
    // folder cannot be watched.
    bool watch(const QString &folder);
    void stop();
    bool active() const { return m_fd >= 0 && m_wd >= 0; }
    QString folder() const { return m_folder; }

    enum class State {
        Unknown, // nothing seen since the watch began
        Writing, // changed, and not closed since
        Closed,  // closed by its writer after its last change
        MovedIn, // renamed into the folder, complete
    };
    // The state of a file, and when it was last reached (the clock of `now`).
    State state(const QString &name, qint64 *sinceMs = nullptr);
    // Reads the pending events at once (the server does it before each look).
    void poll();
    // The clock the events are stamped with.
    void setClock(std::function<qint64()> nowMs) { m_now = std::move(nowMs); }

signals:
    // A file was closed after writing or renamed into place.
    void fileReady();

private:
    struct Entry {
        State state = State::Unknown;
        qint64 since = 0;
    };
    void readEvents();

    int m_fd = -1;
    int m_wd = -1;
    QString m_folder;
    QSocketNotifier *m_notifier = nullptr;
    QHash<QString, Entry> m_files;
    std::function<qint64()> m_now;
};

} // namespace norvvelm
