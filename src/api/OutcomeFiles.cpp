#include "api/OutcomeFiles.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonDocument>
#include <QSaveFile>

namespace norvvelm {

QString OutcomeFiles::folder(const QString &serverDir, const QString &setting) {
    const QString s = setting.trimmed();
    if (s.isEmpty())
        return {};
    if (QDir::isAbsolutePath(s))
        return QDir::cleanPath(s);
    return QDir::cleanPath(serverDir.trimmed() + u'/' + s);
}

QString OutcomeFiles::pathFor(const QString &folder, const QString &sourceName) {
    const QString name = QFileInfo(sourceName).fileName();
    if (folder.isEmpty() || name.isEmpty() || name == QLatin1String("..") || name == QLatin1String("."))
        return {};
    return folder + u'/' + name + QStringLiteral(".json");
}

bool OutcomeFiles::write(const QString &folder, const ReceiptHistory &outcome, QString *error) {
    const QString path = pathFor(folder, outcome.source.key);
    if (path.isEmpty())
        return true;
    if (!QDir().mkpath(folder)) {
        if (error)
            *error = QStringLiteral("cartella non creata");
        return false;
    }
    QSaveFile out(path);
    if (!out.open(QIODevice::WriteOnly) ||
        out.write(QJsonDocument(ReceiptJson(outcome)).toJson(QJsonDocument::Indented)) < 0 || !out.commit()) {
        if (error)
            *error = out.errorString();
        return false;
    }
    return true;
}

} // namespace norvvelm
