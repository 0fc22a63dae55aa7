#include "api/QueueReceiptBook.h"

#include "commands/Executor.h"
#include "commands/Session.h"
#include "commands/WriteFailure.h"

#include <algorithm>

namespace norvvelm {

QueueReceiptBook::QueueReceiptBook(Session &session, Executor &executor, QObject *parent)
    : ReceiptBook(parent), m_s(session), m_executor(executor) {
    m_executor.setQueueObserver([this] { refresh(); });
}

QueueReceiptBook::~QueueReceiptBook() {
    m_executor.setQueueObserver({});
}

bool QueueReceiptBook::open(const QString &homeDir) {
    m_store.setPath(homeDir + u'/' + OutcomeStore::fileName());
    return m_store.open(m_s.now());
}

// On disk for answers after a restart; a store that does not take it is
// said once, until it takes one again.
void QueueReceiptBook::keep(const ReceiptHistory &r) {
    if (m_store.put(r, m_s.now())) {
        m_storeFailing = false;
        return;
    }
    if (std::exchange(m_storeFailing, true))
        return;
    ReportWriteFailure(m_s, QStringLiteral("gli esiti degli scontrini"), m_store.path());
}

ReceiptBook::Submit QueueReceiptBook::submit(const QString &key, const QByteArray &bodyHash,
                                             const QStringList &lines, ReceiptHistory &receipt) {
    for (const QueuedReceipt &r : m_executor.state().receipts) {
        if (r.source.kind != ReceiptSource::Kind::Request || r.source.key != key)
            continue;
        receipt = r;
        return r.source.bodyHash == bodyHash ? Submit::Repeated : Submit::Conflict;
    }
    if (const ReceiptHistory *e = m_store.findKey(key)) {
        receipt = *e;
        return e->source.bodyHash == bodyHash ? Submit::Repeated : Submit::Conflict;
    }
    quint64 id = 0;
    if (!m_executor.enqueue(lines, {}, ReceiptSource{ReceiptSource::Kind::Request, key, bodyHash}, &id))
        return Submit::Failed;
    // Told and stored as it was queued, by the queue's observer.
    if (const QueuedReceipt *r = m_executor.state().find(id))
        receipt = *r;
    if (queued)
        queued();
    return Submit::Accepted;
}

void QueueReceiptBook::refresh() {
    look(m_executor.state());
}

void QueueReceiptBook::adopt(QueueState &state) {
    for (QueuedReceipt &r : state.receipts) {
        const ReceiptHistory *stored = m_store.find(r.id);
        if (!stored)
            continue;
        r.accepted = r.accepted.isValid() ? r.accepted : stored->accepted;
        r.started = r.started.isValid() ? r.started : stored->started;
        // The journal written anew keeps only the lines still to do.
        if (stored->lines.size() > r.lines.size()) {
            r.linesOut += int(stored->lines.size() - r.lines.size());
            r.lines = stored->lines;
        }
    }
    look(state);
    // Ids go on after the highest ever given, also when the journal starts
    // empty: an id, and the key it was given for, is never taken again.
    state.nextId = std::max<quint64>(state.nextId, m_store.highestId() + 1);
}

bool QueueReceiptBook::toldAsItIs(const QueuedReceipt &r) {
    if (const auto told = m_told.constFind(r.id); told != m_told.constEnd())
        return *told == r.outcome;
    // Not yet looked at in this run: as the store has it, from an earlier one.
    const ReceiptHistory *stored = m_store.find(r.id);
    if (!stored || stored->outcome != r.outcome)
        return false;
    if (!IsFinal(r.outcome))
        m_told.insert(r.id, r.outcome);
    return true;
}

void QueueReceiptBook::look(const QueueState &queue) {
    if (m_inRefresh)
        return;
    m_inRefresh = true;
    for (const QueuedReceipt &r : queue.receipts) {
        if (toldAsItIs(r))
            continue;
        const bool final = IsFinal(r.outcome);
        if (final) {
            ++m_finals[OutcomeStateName(r.outcome)];
            m_told.remove(r.id);
        } else {
            m_told.insert(r.id, r.outcome);
        }
        if (final || r.source.kind == ReceiptSource::Kind::Request)
            keep(r);
        if (r.source.kind == ReceiptSource::Kind::File && fileOutcome)
            fileOutcome(r);
        emit changed(ReceiptIdText(r.id));
    }
    m_inRefresh = false;
}

std::optional<ReceiptHistory> QueueReceiptBook::find(const QString &id) const {
    const quint64 n = ReceiptIdNumber(id);
    if (n == 0)
        return std::nullopt;
    const ReceiptHistory *stored = m_store.find(n);
    if (const QueuedReceipt *r = m_executor.state().find(n); r && (!stored || !IsFinal(stored->outcome)))
        return ReceiptHistory(*r);
    if (stored)
        return *stored;
    return std::nullopt;
}

QList<ReceiptHistory> QueueReceiptBook::newest(int limit) const {
    QList<ReceiptHistory> out;
    const QList<QueuedReceipt> &all = m_executor.state().receipts;
    for (qsizetype i = all.size() - 1; i >= 0 && out.size() < limit; --i) {
        if (!IsFinal(all.at(i).outcome))
            out.append(all.at(i));
    }
    const qsizetype underWay = out.size();
    for (const ReceiptHistory &o : m_store.newest(limit + int(underWay))) {
        if (out.size() >= limit)
            break;
        const bool listed = std::any_of(out.cbegin(), out.cbegin() + underWay,
                                        [&](const ReceiptHistory &u) { return u.id == o.id; });
        if (!listed)
            out.append(o);
    }
    return out;
}

int QueueReceiptBook::pending() const {
    const QList<QueuedReceipt> &all = m_executor.state().receipts;
    return int(
        std::count_if(all.cbegin(), all.cend(), [](const QueuedReceipt &r) { return !IsFinal(r.outcome); }));
}

int QueueReceiptBook::queuedLines() const {
    return int(m_executor.state().queue.size());
}

bool QueueReceiptBook::receiptOpen() const {
    return m_executor.state().receiptOpenAsShown();
}

QMap<QString, qint64> QueueReceiptBook::finals() const {
    return m_finals;
}

} // namespace norvvelm
