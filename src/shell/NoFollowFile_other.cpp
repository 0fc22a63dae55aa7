#include "shell/NoFollowFile.h"
#include "shell/ReceiptFolder.h"

#include <QDateTime>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>

namespace norvvelm {

// Where no descriptor can be opened without following links, the file's own
// type is asked first.
struct NoFollowFile::Handle {
    QFile file;
};

NoFollowFile::NoFollowFile() : m_handle(std::make_unique<Handle>()) {}
NoFollowFile::~NoFollowFile() = default;

NoFollowFile::Opened NoFollowFile::open(const QString &path) {
    const QFileInfo info(path);
    if (info.isSymLink())
        return Opened::Link;
    m_handle->file.setFileName(path);
    if (!m_handle->file.open(QIODevice::ReadOnly)) {
        m_reason = m_handle->file.errorString();
        return QFile::exists(path) ? Opened::Unreadable : Opened::Missing;
    }
    m_size = m_handle->file.size();
    return Opened::Yes;
}

QByteArray NoFollowFile::read(qint64 max) {
    return m_handle->file.read(max + 1);
}

bool NoFollowFile::isAt(const QString &) const {
    return true;
}

bool NoFollowFile::linkedToAnotherUsersFile() const {
    return false;
}

qint64 ModifiedNs(const QString &path) {
    const QDateTime t = QFileInfo(path).lastModified();
    return t.isValid() ? t.toMSecsSinceEpoch() * 1000000 : 0;
}

bool ListFolder(const QString &folder, const FolderEntries &entries) {
    if (!QFileInfo(folder).isDir())
        return false;
    QDirIterator it(folder, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    while (it.hasNext()) {
        it.next();
        const QFileInfo info = it.fileInfo();
        (info.isFile() && !info.isSymLink() ? entries.file : entries.other)(it.fileName());
    }
    return true;
}

} // namespace norvvelm
