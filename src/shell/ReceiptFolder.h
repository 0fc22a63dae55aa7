#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <functional>

namespace norvvelm {

class ForbiddenExtensions;

// How the configured receipt name or mask selects files.
struct MaskAnalysis {
    enum Mode : char { Exact = '=', Begins = 'I', Ends = 'F', Contains = 'C', All = 'A' };
    Mode mode = Exact;
    QString name;
};
MaskAnalysis AnalyseMask(const QString &mask);
// The name is one the mask selects (letters compare without case).
bool MaskMatches(const MaskAnalysis &mask, const QString &name);

// The files of `folder` that the mask selects, in listing order, without
// those of a forbidden extension; {""} when none matched or the folder is
// missing. Sets `logPrefix` to the mask's name part when it has one. Entries
// that match but are not regular files (links, folders, pipes, devices) go
// to `others` when it is given. A file name that is not valid UTF-8 (a point
// of sale writing Windows-1252 through a share) is renamed, by its bytes, to
// its Windows-1252 reading when `renamed` is given, or set aside under that
// reading when the name is taken; what was done goes to `renamed`. Without
// it such names are skipped.
QStringList ListServerFiles(const QString &folder, const QString &mask, const ForbiddenExtensions &forbidden,
                            QString &logPrefix, QStringList *others = nullptr,
                            QStringList *renamed = nullptr);

// `names` of `dir` (ending in "/") oldest first: by modification time, then
// by name.
QStringList OldestFirst(const QString &dir, const QStringList &names);
// A file's modification time in nanoseconds since 1970, the link itself when
// it is one; 0 when it cannot be read.
qint64 ModifiedNs(const QString &path);

// The program's own files, never taken as receipts whatever the mask says:
// the settings, the forbidden extensions, the queue's journal, the lock,
// working copies, files set aside, daily logs and daily reports.
bool IsOwnFile(const QString &name);
// The name under which a receipt file is set aside, never to be taken again.
QString SetAsideName(const QString &fullName);
// The working copy a receipt file is renamed to while it is taken.
QString WorkingCopyName(const QString &fullName);

// The entries of a folder, in its own order, without "." and "..": each
// plain file to `file`, anything else (a link is never followed) to
// `other`; `candidate` sees the raw name first and may pass it by. A name no
// QString reaches goes to `undecodable` when it is set, which gives the name
// to go on with, or an empty one to pass it by; without it such a name is
// passed by. False when the folder cannot be listed.
struct FolderEntries {
    std::function<bool(const char *name, qsizetype length)> candidate;
    std::function<QString(const QByteArray &name, bool file)> undecodable;
    std::function<void(const QString &)> file;
    std::function<void(const QString &)> other;
};
bool ListFolder(const QString &folder, const FolderEntries &entries);

} // namespace norvvelm
