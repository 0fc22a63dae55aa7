#include "programming/PluFile.h"

#include "link/Ansi.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace norvvelm {

QString PluFile::defaultPath(const QString &programDir) {
    return QDir(programDir).filePath(QStringLiteral("plu.txt"));
}

QString PluFile::line(const PluRow &row) {
    QString out;
    for (const QString &cell : row)
        out += cell + u'/';
    return out;
}

PluFile::SaveResult PluFile::save(const QString &path, const QList<PluRow> &rows, QString *error,
                                  const std::function<void(int)> &progress) {
    if (QFileInfo::exists(path))
        return SaveResult::Exists;
    QFile f(path);
    // NewOnly: a file that appeared in the meantime is not replaced either.
    if (!f.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
        if (error)
            *error = f.errorString();
        return f.exists() ? SaveResult::Exists : SaveResult::Failed;
    }
    QByteArray bytes;
    for (int r = 0; r < rows.size(); ++r) {
        if (progress)
            progress(r + 1);
        bytes += toAnsi(line(rows.at(r))) + "\r\n";
    }
    if (f.write(bytes) != bytes.size() || !f.flush()) {
        if (error)
            *error = f.errorString();
        f.close();
        f.remove(); // a half-written file is worse than none
        return SaveResult::Failed;
    }
    return SaveResult::Saved;
}

QString PluFile::record(const QString &line) {
    qsizetype i = 0;
    while (i < line.size() && (line[i] == u' ' || line[i] == u'\t'))
        ++i;
    if (i < line.size() && line[i] == u'"') {
        const qsizetype close = line.indexOf(u'"', i + 1);
        return close < 0 ? line.mid(i + 1) : line.mid(i + 1, close - i - 1);
    }
    const qsizetype comma = line.indexOf(u',', i);
    return (comma < 0 ? line.mid(i) : line.mid(i, comma - i)).trimmed();
}

QList<PluRow> PluFile::parse(QByteArrayView content, const std::function<void(int)> &progress) {
    QList<PluRow> rows;
    int kept = 0; // rows up to the last full record
    const QString text = decodeTextFile(content);
    qsizetype pos = 0;
    int k = 0;
    while (pos < text.size() && k < kMaxRecords) {
        qsizetype end = pos;
        while (end < text.size() && text[end] != u'\n' && text[end] != u'\r')
            ++end;
        // One record per line: whatever follows a comma on it is not a record.
        const QString rec = record(text.mid(pos, end - pos));
        if (end < text.size() && text[end] == u'\r' && end + 1 < text.size() && text[end + 1] == u'\n')
            ++end;
        pos = end + 1;
        ++k;
        if (progress)
            progress(k);
        PluRow row;
        if (rec.size() > kShortRecord) {
            QString r = rec.endsWith(u'/') ? rec : rec + u'/';
            const QStringList parts = r.split(u'/');
            for (int c = 0; c < PluTable::kWritten; ++c)
                row[size_t(c)] = parts.value(c);
            rows.append(row);
            kept = int(rows.size());
        } else {
            rows.append(row);
        }
    }
    rows.resize(kept);
    return rows;
}

PluFile::LoadResult PluFile::load(const QString &path, QList<PluRow> &rows, QString *error,
                                  const std::function<void(int)> &progress) {
    QFileInfo fi(path);
    if (!fi.exists() || fi.isDir())
        return LoadResult::Missing;
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        if (error)
            *error = f.errorString();
        return LoadResult::Failed;
    }
    // Nine thousand records of ten columns: a larger file is not a PLU file.
    constexpr qint64 kMaxBytes = 64 * 1024 * 1024;
    if (f.size() > kMaxBytes) {
        if (error)
            *error = QStringLiteral("file troppo grande");
        return LoadResult::Failed;
    }
    rows = parse(f.readAll(), progress);
    return LoadResult::Loaded;
}

} // namespace norvvelm
