#pragma once

#include "api/ReceiptBook.h"

#include <QFile>
#include <QHash>
#include <QList>

#include <functional>
#include <map>

namespace norvvelm {

// The outcomes of finished receipts, kept in the home folder so that they
// answer after a restart: the last kKept of them, none older than kDays. An
// append-only file of one JSON object a line, each synced before it counts,
// rewritten in place of itself when it has grown to twice what it keeps.
class OutcomeStore {
public:
    static constexpr int kKept = 10000;
    static constexpr int kDays = 30;
    static QString fileName() { return QStringLiteral("NorvVelm.esiti"); }

    explicit OutcomeStore(QString path = {}) : m_path(std::move(path)) {}
    void setPath(const QString &path) { m_path = path; }
    QString path() const { return m_path; }
    QString error() const { return m_error; }

    // Reads what the file holds (a line cut short by a crash, or not ours, is
    // skipped) and opens it for appending; false when it cannot be written.
    bool open(const QDateTime &now);
    // A receipt's history (a request's with the hash of what was submitted);
    // replaces an earlier one of the same id. False when the disk did not
    // take it.
    [[nodiscard]] bool put(const ReceiptHistory &receipt, const QDateTime &now);

    const ReceiptHistory *find(quint64 id) const;
    // The request that was given `key`.
    const ReceiptHistory *findKey(const QString &key) const;
    // Newest first.
    QList<ReceiptHistory> newest(int limit) const;
    // Each outcome whose id is below `below` (0: every one), the highest id
    // first, until `visit` answers false: a page of a listing costs what it
    // shows, not what is kept.
    void visitDown(quint64 below, const std::function<bool(const ReceiptHistory &)> &visit) const;
    int size() const { return int(m_entries.size()); }
    // Those not final, oldest first.
    QList<ReceiptHistory> unfinished() const;
    // The largest id it holds.
    quint64 highestId() const;

private:
    // Kept as the newest of its id; an earlier one of the same id goes.
    void place(ReceiptHistory e);
    void erase(std::map<qint64, ReceiptHistory>::iterator it);
    void trim(const QDateTime &now);
    // The indexes made anew, holding no more room than their entries take.
    void reindex();
    // The file and the indexes made anew from the entries.
    bool rewrite();
    static QByteArray record(const ReceiptHistory &e);

    QString m_path;
    QString m_error;
    QFile m_file;
    // By the order they were last put, oldest first: a put, a find and the
    // trimming of the oldest cost about the same with 10 outcomes or 10,000.
    std::map<qint64, ReceiptHistory> m_entries;
    qint64 m_nextOrder = 0;
    std::map<quint64, qint64> m_byId; // in the order of ids, for the listing's pages
    QHash<QString, qint64> m_byKey;
    qint64 m_records = 0;
};

} // namespace norvvelm
