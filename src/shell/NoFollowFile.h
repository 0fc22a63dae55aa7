#pragma once

#include <QByteArray>
#include <QString>

#include <memory>

namespace norvvelm {

// A file opened without following a link, read from what was opened: a
// name swapped for a link or another file meanwhile is never read through.
class NoFollowFile {
public:
    enum class Opened {
        Yes,
        Missing,    // nothing under that name (any more)
        Link,       // the name is a link
        NotRegular, // a folder, a pipe, a device
        Unreadable, // `reason()` says why
    };

    NoFollowFile();
    ~NoFollowFile();
    NoFollowFile(const NoFollowFile &) = delete;
    NoFollowFile &operator=(const NoFollowFile &) = delete;

    Opened open(const QString &path);
    QString reason() const { return m_reason; }
    qint64 size() const { return m_size; }
    // Up to `max` + 1 bytes, so that a file grown past `max` shows it.
    QByteArray read(qint64 max);
    // The name is (still) the file opened, not one put in its place.
    bool isAt(const QString &path) const;
    // The file opened has other names too and belongs to another user:
    // taking it over would rename and delete someone else's file.
    bool linkedToAnotherUsersFile() const;

private:
    struct Handle;
    std::unique_ptr<Handle> m_handle;
    QString m_reason;
    qint64 m_size = 0;
};

} // namespace norvvelm
