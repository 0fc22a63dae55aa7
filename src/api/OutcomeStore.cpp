#include "api/OutcomeStore.h"

#include <QJsonDocument>
#include <QSaveFile>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

namespace norvvelm {

QByteArray OutcomeStore::record(const Entry &e) {
    QJsonObject o = e.outcome.toJson();
    o.insert(QStringLiteral("digest"), QString::fromLatin1(e.digest));
    return QJsonDocument(o).toJson(QJsonDocument::Compact) + '\n';
}

bool OutcomeStore::open(const QDateTime &now) {
    m_entries.clear();
    QFile in(m_path);
    if (in.open(QIODevice::ReadOnly)) {
        while (!in.atEnd()) {
            const QByteArray line = in.readLine(4 * 1024 * 1024);
            if (!line.endsWith('\n'))
                break; // cut short: never counted
            const QJsonObject o = QJsonDocument::fromJson(line).object();
            Entry e;
            if (!ReceiptOutcome::fromJson(o, e.outcome))
                continue;
            e.digest = o.value(QStringLiteral("digest")).toString().toLatin1();
            m_entries.append(e);
        }
        in.close();
    }
    // The latest record of an id is the one that holds.
    QHash<QString, qsizetype> last;
    for (qsizetype i = 0; i < m_entries.size(); ++i)
        last.insert(m_entries.at(i).outcome.id, i);
    QList<Entry> unique;
    for (qsizetype i = 0; i < m_entries.size(); ++i) {
        if (last.value(m_entries.at(i).outcome.id) == i)
            unique.append(m_entries.at(i));
    }
    m_entries = unique;
    trim(now);
    if (!rewrite())
        return false;
    index();
    return true;
}

void OutcomeStore::trim(const QDateTime &now) {
    const QDateTime oldest = now.addDays(-kDays);
    qsizetype drop = qMax<qsizetype>(0, m_entries.size() - kKept);
    while (drop < m_entries.size()) {
        const QDateTime t = m_entries.at(drop).outcome.finished.isValid()
                                ? m_entries.at(drop).outcome.finished
                                : m_entries.at(drop).outcome.accepted;
        if (!t.isValid() || t >= oldest)
            break;
        ++drop;
    }
    m_entries.remove(0, drop);
}

void OutcomeStore::index() {
    m_byId.clear();
    m_byKey.clear();
    for (qsizetype i = 0; i < m_entries.size(); ++i) {
        m_byId.insert(m_entries.at(i).outcome.id, i);
        if (!m_entries.at(i).outcome.key.isEmpty())
            m_byKey.insert(m_entries.at(i).outcome.key, i);
    }
}

bool OutcomeStore::rewrite() {
    m_file.close();
    QSaveFile out(m_path);
    if (!out.open(QIODevice::WriteOnly)) {
        m_error = out.errorString();
        return false;
    }
    for (const Entry &e : std::as_const(m_entries))
        out.write(record(e));
    if (!out.commit()) {
        m_error = out.errorString();
        return false;
    }
    m_records = m_entries.size();
    m_file.setFileName(m_path);
    if (!m_file.open(QIODevice::WriteOnly | QIODevice::Append)) {
        m_error = m_file.errorString();
        return false;
    }
    return true;
}

bool OutcomeStore::put(const ReceiptOutcome &outcome, const QByteArray &digest, const QDateTime &now) {
    const Entry e{outcome, digest};
    if (!m_file.isOpen()) {
        m_error = QStringLiteral("non aperto");
        return false;
    }
    const QByteArray r = record(e);
    // The same outcome again (a receipt told twice as it was queued) is
    // already on disk.
    if (const Entry *kept = find(outcome.id); kept && record(*kept) == r)
        return true;
    if (m_file.write(r) != r.size() || !m_file.flush()) {
        m_error = m_file.errorString();
        return false;
    }
#ifdef Q_OS_UNIX
    ::fdatasync(m_file.handle());
#endif
    ++m_records;
    if (const auto it = m_byId.constFind(outcome.id); it != m_byId.constEnd()) {
        m_entries.remove(*it);
    }
    m_entries.append(e);
    trim(now);
    index();
    if (m_records > 2 * qMax<qint64>(m_entries.size(), 100) && !rewrite())
        return false;
    return true;
}

const OutcomeStore::Entry *OutcomeStore::find(const QString &id) const {
    const auto it = m_byId.constFind(id);
    return it == m_byId.constEnd() ? nullptr : &m_entries.at(*it);
}

const OutcomeStore::Entry *OutcomeStore::findKey(const QString &key) const {
    const auto it = m_byKey.constFind(key);
    return it == m_byKey.constEnd() ? nullptr : &m_entries.at(*it);
}

QList<ReceiptOutcome> OutcomeStore::newest(int limit) const {
    QList<ReceiptOutcome> out;
    for (qsizetype i = m_entries.size() - 1; i >= 0 && out.size() < limit; --i)
        out.append(m_entries.at(i).outcome);
    return out;
}

quint64 OutcomeStore::highestNumber(QStringView prefix) const {
    quint64 high = 0;
    for (const Entry &e : m_entries) {
        if (!e.outcome.id.startsWith(prefix))
            continue;
        bool ok = false;
        const quint64 n = QStringView(e.outcome.id).mid(prefix.size()).toULongLong(&ok);
        if (ok && n > high)
            high = n;
    }
    return high;
}

} // namespace norvvelm
