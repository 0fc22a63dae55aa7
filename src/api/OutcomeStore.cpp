#include "api/OutcomeStore.h"

#include <QJsonDocument>
#include <QSaveFile>

#include <algorithm>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

namespace norvvelm {

QByteArray OutcomeStore::record(const ReceiptHistory &e) {
    QJsonObject o = ReceiptJson(e);
    o.insert(QStringLiteral("digest"), QString::fromLatin1(e.source.bodyHash));
    // Kept for the store alone: what a lost history is judged by.
    if (e.receiptsBefore >= 0)
        o.insert(QStringLiteral("receipts_before"), e.receiptsBefore);
    if (e.salesBefore)
        o.insert(QStringLiteral("sales_before"), QString::number(*e.salesBefore));
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
            ReceiptHistory e;
            if (!ReceiptFromJson(o, e))
                continue;
            e.source.bodyHash = o.value(QStringLiteral("digest")).toString().toLatin1();
            e.receiptsBefore = o.value(QStringLiteral("receipts_before")).toInt(-1);
            bool ok = false;
            if (const qint64 sales = o.value(QStringLiteral("sales_before")).toString().toLongLong(&ok); ok)
                e.salesBefore = sales;
            // The latest record of an id is the one that holds.
            place(std::move(e));
        }
        in.close();
    }
    trim(now);
    return rewrite();
}

namespace {
QString keyOf(const ReceiptHistory &r) {
    return r.source.kind == ReceiptSource::Kind::Request ? r.source.key : QString();
}
} // namespace

void OutcomeStore::place(ReceiptHistory e) {
    if (const auto it = m_byId.find(e.id); it != m_byId.end())
        erase(m_entries.find(it->second));
    const qint64 order = m_nextOrder++;
    m_byId[e.id] = order;
    if (const QString key = keyOf(e); !key.isEmpty())
        m_byKey.insert(key, order);
    m_entries.emplace(order, std::move(e));
}

void OutcomeStore::erase(std::map<qint64, ReceiptHistory>::iterator it) {
    if (it == m_entries.end())
        return;
    const ReceiptHistory &o = it->second;
    m_byId.erase(o.id);
    if (const auto k = m_byKey.constFind(keyOf(o)); k != m_byKey.constEnd() && *k == it->first)
        m_byKey.erase(k);
    m_entries.erase(it);
}

void OutcomeStore::trim(const QDateTime &now) {
    const QDateTime oldest = now.addDays(-kDays);
    while (!m_entries.empty()) {
        const ReceiptHistory &o = m_entries.begin()->second;
        const QDateTime t = o.finished.isValid() ? o.finished : o.accepted;
        if (m_entries.size() <= std::size_t(kKept) && (!t.isValid() || t >= oldest))
            break;
        erase(m_entries.begin());
    }
}

// The keys' index made anew from the entries: a hash keeps, in each of its
// spans, room for the most entries it ever held there at once, and keys move
// on through its spans for as long as the program runs. (The ids' index is a
// tree: it holds no more than its entries.)
void OutcomeStore::reindex() {
    QHash<QString, qint64> byKey;
    byKey.reserve(m_byKey.size());
    for (const auto &[order, e] : m_entries) {
        if (const QString key = keyOf(e); !key.isEmpty())
            byKey.insert(key, order);
    }
    m_byKey = std::move(byKey);
}

bool OutcomeStore::rewrite() {
    reindex();
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

bool OutcomeStore::put(const ReceiptHistory &e, const QDateTime &now) {
    if (!m_file.isOpen()) {
        m_error = QStringLiteral("non aperto");
        return false;
    }
    const QByteArray r = record(e);
    // The same outcome again (a receipt told twice as it was queued) is
    // already on disk.
    if (const ReceiptHistory *kept = find(e.id); kept && record(*kept) == r)
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

const ReceiptHistory *OutcomeStore::find(quint64 id) const {
    const auto it = m_byId.find(id);
    return it == m_byId.end() ? nullptr : &m_entries.at(it->second);
}

const ReceiptHistory *OutcomeStore::findKey(const QString &key) const {
    const auto it = m_byKey.constFind(key);
    return it == m_byKey.constEnd() ? nullptr : &m_entries.at(*it);
}

QList<ReceiptHistory> OutcomeStore::newest(int limit) const {
    QList<ReceiptHistory> out;
    for (auto it = m_entries.rbegin(); it != m_entries.rend() && out.size() < limit; ++it)
        out.append(it->second);
    return out;
}

void OutcomeStore::visitDown(quint64 below, const std::function<bool(const ReceiptHistory &)> &visit) const {
    auto it = below == 0 ? m_byId.end() : m_byId.lower_bound(below);
    while (it != m_byId.begin()) {
        --it;
        if (!visit(m_entries.at(it->second)))
            return;
    }
}

QList<ReceiptHistory> OutcomeStore::unfinished() const {
    QList<ReceiptHistory> out;
    for (const auto &[order, e] : m_entries) {
        if (!IsFinal(e.outcome))
            out.append(e);
    }
    return out;
}

quint64 OutcomeStore::highestId() const {
    return m_byId.empty() ? 0 : m_byId.rbegin()->first;
}

} // namespace norvvelm
