#pragma once

#include "api/ReceiptBook.h"

namespace norvvelm {

// The outcome files of a receipt file, with the same object as the API
// answers, written whole (a reader never sees half of it) into the outcome
// folder, made when missing: "<name>.R<id>.json", its own and never
// overwritten by another receipt's (the newest of a name has the highest
// id), and "<name>.json", the newest receipt of that name.
class OutcomeFiles {
public:
    // The folder of `setting` (ServerEsiti): a folder of its own, or relative
    // to the receipt folder; empty when outcome files are not written.
    static QString folder(const QString &serverDir, const QString &setting);
    // The file's path for a receipt file's name, empty when the name cannot
    // be one (a path of its own, "..").
    static QString pathFor(const QString &folder, const QString &sourceName);
    // The receipt's own file, "<name>.R<id>.json".
    static QString pathFor(const QString &folder, const QString &sourceName, quint64 id);
    // Removes the receipts' own files last written before `before`; how many.
    static int prune(const QString &folder, const QDateTime &before);
    // False, with `error` telling why, when it could not be written.
    static bool write(const QString &folder, const ReceiptHistory &outcome, QString *error = nullptr);
};

} // namespace norvvelm
