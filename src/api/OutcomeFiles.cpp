#include "api/OutcomeFiles.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonDocument>
#include <QRegularExpression>
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

QString OutcomeFiles::pathFor(const QString &folder, const QString &sourceName, quint64 id) {
    const QString latest = pathFor(folder, sourceName);
    if (latest.isEmpty())
        return {};
    return latest.chopped(5) + u'.' + ReceiptIdText(id) + QStringLiteral(".json");
}

namespace {
bool writeWhole(const QString &path, const QByteArray &text, QString *error) {
    QSaveFile out(path);
    if (!out.open(QIODevice::WriteOnly) || out.write(text) < 0 || !out.commit()) {
        if (error)
            *error = out.errorString();
        return false;
    }
    return true;
}
} // namespace

bool OutcomeFiles::write(const QString &folder, const ReceiptHistory &outcome, QString *error) {
    const QString latest = pathFor(folder, outcome.source.key);
    if (latest.isEmpty())
        return true;
    if (!QDir().mkpath(folder)) {
        if (error)
            *error = QStringLiteral("cartella non creata");
        return false;
    }
    const QByteArray text = QJsonDocument(ReceiptJson(outcome)).toJson(QJsonDocument::Indented);
    return writeWhole(pathFor(folder, outcome.source.key, outcome.id), text, error) &&
           writeWhole(latest, text, error);
}

int OutcomeFiles::prune(const QString &folder, const QDateTime &before) {
    if (folder.isEmpty())
        return 0;
    static const QRegularExpression own(QStringLiteral("\\.R[0-9]+\\.json$"));
    int removed = 0;
    const QFileInfoList files = QDir(folder).entryInfoList({QStringLiteral("*.R*.json")}, QDir::Files);
    for (const QFileInfo &f : files) {
        if (own.match(f.fileName()).hasMatch() && f.lastModified() < before && QFile::remove(f.filePath()))
            ++removed;
    }
    return removed;
}

} // namespace norvvelm
