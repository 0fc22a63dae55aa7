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
    m_byId.clear();
    m_byKey.clear();
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
            // The latest record of an id is the one that holds.
            place(std::move(e));
        }
        in.close();
    }
    trim(now);
    return rewrite();
}

void OutcomeStore::place(Entry e) {
    if (const auto it = m_byId.constFind(e.outcome.id); it != m_byId.constEnd())
        erase(m_entries.find(*it));
    const qint64 order = m_nextOrder++;
    m_byId.insert(e.outcome.id, order);
    if (!e.outcome.key.isEmpty())
        m_byKey.insert(e.outcome.key, order);
    m_entries.emplace(order, std::move(e));
}

void OutcomeStore::erase(std::map<qint64, Entry>::iterator it) {
    if (it == m_entries.end())
        return;
    const ReceiptOutcome &o = it->second.outcome;
    m_byId.remove(o.id);
    if (const auto k = m_byKey.constFind(o.key); k != m_byKey.constEnd() && *k == it->first)
        m_byKey.erase(k);
    m_entries.erase(it);
}

void OutcomeStore::trim(const QDateTime &now) {
    const QDateTime oldest = now.addDays(-kDays);
    while (!m_entries.empty()) {
        const ReceiptOutcome &o = m_entries.begin()->second.outcome;
        const QDateTime t = o.finished.isValid() ? o.finished : o.accepted;
        if (m_entries.size() <= std::size_t(kKept) && (!t.isValid() || t >= oldest))
            break;
        erase(m_entries.begin());
    }
}

bool OutcomeStore::rewrite() {
    m_file.close();
    QSaveFile out(m_path);
    if (!out.open(QIODevice::WriteOnly)) {
        m_error = out.errorString();
        return false;
    }
    for (const auto &[order, e] : m_entries)
        out.write(record(e));
    if (!out.commit()) {
        m_error = out.errorString();
        return false;
    }
    m_records = qint64(m_entries.size());
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
    place(e);
    trim(now);
    if (m_records > 2 * qMax<qint64>(qint64(m_entries.size()), 100) && !rewrite())
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
    for (auto it = m_entries.rbegin(); it != m_entries.rend() && out.size() < limit; ++it)
        out.append(it->second.outcome);
    return out;
}

quint64 OutcomeStore::highestNumber(QStringView prefix) const {
    quint64 high = 0;
    for (const auto &[order, e] : m_entries) {
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
