#include "Paper.h"

#include <QFile>

namespace ecrsim {

bool Paper::setFile(const QString &path, QString *error) {
    QFile f(path);
    if (!f.open(QIODevice::Append | QIODevice::Text)) {
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
        QFile f(m_path);
        if (f.open(QIODevice::Append)) {
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
