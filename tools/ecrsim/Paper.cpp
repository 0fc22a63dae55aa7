#include "ecrsim/Paper.h"

#include <QFile>
#include <QFileInfo>

#include <unistd.h>

namespace ecrsim {

namespace {

// "-" is standard output; a terminal, pipe or other device is written as it
// is; a regular file is appended to.
bool openPaper(QFile &f, const QString &path) {
    if (path == u"-")
        return f.open(STDOUT_FILENO, QIODevice::WriteOnly, QFileDevice::DontCloseHandle);
    f.setFileName(path);
    const QFileInfo fi(path);
    return f.open(fi.exists() && !fi.isFile() ? QIODevice::WriteOnly : QIODevice::Append);
}

} // namespace

bool Paper::setFile(const QString &path, QString *error) {
    QFile f;
    if (!openPaper(f, path)) {
        if (error)
            *error = QStringLiteral("cannot write the paper file %1: %2").arg(path, f.errorString());
        return false;
    }
    m_path = path;
    return true;
}

void Paper::print(const QStringList &lines) {
    QString text = lines.join(u'\n');
    ++m_printed;
    if (!m_path.isEmpty()) {
        // Opened and closed for each document: a reader sees it whole at once.
        QFile f;
        if (openPaper(f, m_path)) {
            f.write((text + QStringLiteral("\n\n")).toUtf8());
            f.close();
        }
    }
    m_documents.append(std::move(text));
    if (m_documents.size() > kKeep)
        m_documents.removeFirst();
}

QString Paper::centred(const QString &text) {
    const QString t = text.trimmed().left(kWidth);
    return QString((kWidth - t.size()) / 2, u' ') + t;
}

QString Paper::row(const QString &left, const QString &right) {
    const QString r = right.left(kWidth);
    const int room = kWidth - int(r.size()) - 1;
    QString l = room > 0 ? left.left(room) : QString();
    return l + QString(kWidth - l.size() - r.size(), u' ') + r;
}

} // namespace ecrsim
