#pragma once

#include "programming/PluTable.h"

#include <QList>
#include <QString>

namespace norvvelm {

// The PLU file (plu.txt): one line per PLU, the ten grid columns each ended
// by "/", lines ended by CR LF, Windows-1252 text.
class PluFile {
public:
    static constexpr int kMaxRecords = 9000;
    static constexpr int kShortRecord = 15; // a record this long or shorter fills nothing

    static QString defaultPath(const QString &programDir);
    static QString line(const PluRow &row);

    enum class SaveResult { Saved, Exists, Failed };
    // Never replaces an existing file. `progress(r)` for each row written.
    static SaveResult save(const QString &path, const QList<PluRow> &rows, QString *error = nullptr,
                           const std::function<void(int)> &progress = nullptr);

    enum class LoadResult { Loaded, Missing, Failed };
    // The rows a file adds to the grid: one per record; a short record in
    // between gives an empty row, short records at the end none.
    static LoadResult load(const QString &path, QList<PluRow> &rows, QString *error = nullptr,
                           const std::function<void(int)> &progress = nullptr);
    // The same, from the file's bytes.
    static QList<PluRow> parse(QByteArrayView content, const std::function<void(int)> &progress = nullptr);
    // A line's record: the delimited field at its start (up to a comma, or
    // the quoted text).
    static QString record(const QString &line);
};

} // namespace norvvelm
