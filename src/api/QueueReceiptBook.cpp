#include "api/QueueReceiptBook.h"

#include "commands/Executor.h"
#include "commands/Session.h"
#include "commands/WriteFailure.h"

#include <algorithm>
#include <map>

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

ReceiptBook::Submit QueueReceiptBook::submit(const ReceiptSource &source, const QStringList &lines,
                                             ReceiptHistory &receipt) {
    const QString &key = source.key;
    const QByteArray &bodyHash = source.bodyHash;
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
    ReceiptSource request = source;
    request.kind = ReceiptSource::Kind::Request;
    if (!m_executor.enqueue(lines, {}, request, &id))
        return Submit::Failed;
    // Told and stored as it was queued, by the queue's observer.
    if (const QueuedReceipt *r = m_executor.state().find(id))
        receipt = *r;
    if (queued)
        queued();
    return Submit::Accepted;
}

ReceiptBook::Cancel QueueReceiptBook::cancel(const QString &id, ReceiptHistory &receipt) {
    const quint64 n = ReceiptIdNumber(id);
    const QueuedReceipt *r = n != 0 ? m_executor.state().find(n) : nullptr;
    if (!r || r->source.kind != ReceiptSource::Kind::Request) {
        // Only the interface's own receipts are withdrawn through it.
        const auto known = find(id);
        if (!known)
            return Cancel::Unknown;
        receipt = *known;
        return IsFinal(known->outcome) ? Cancel::Ended : Cancel::Started;
    }
    const Executor::Withdrawal w = m_executor.withdraw(
        n, QStringLiteral("cancelled"), QStringLiteral("Ritirato dal programma di cassa prima della stampa"));
    if (const auto now = find(id))
        receipt = *now;
    switch (w) {
    case Executor::Withdrawal::Withdrawn:
        return Cancel::Cancelled;
    case Executor::Withdrawal::Ended:
        return Cancel::Ended;
    case Executor::Withdrawal::Unknown:
        return Cancel::Unknown;
    case Executor::Withdrawal::NotKept:
        return Cancel::NotKept;
    case Executor::Withdrawal::Started:
        break;
    }
    return Cancel::Started;
}

void QueueReceiptBook::refresh() {
    look(m_executor.state());
}

void QueueReceiptBook::adopt(QueueState &state, bool whole) {
    m_lost.clear();
    for (const ReceiptHistory &r : m_store.unfinished()) {
        if (!whole && !state.find(r.id))
            m_lost.append(r);
    }
    for (QueuedReceipt &r : state.receipts) {
        const ReceiptHistory *stored = m_store.find(r.id);
        if (!stored)
            continue;
        // Seen to its end, though the journal was cut before it: never sent again.
        if (IsFinal(stored->outcome) && !IsFinal(r.outcome)) {
            EndReceiptAsKept(state, *stored);
            continue;
        }
        if (r.receiptsBefore < 0) {
            r.receiptsBefore = stored->receiptsBefore;
            r.salesBefore = stored->salesBefore;
        }
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
        return *told == toldOf(r);
    // Not yet looked at in this run: as the store has it, from an earlier one.
    const ReceiptHistory *stored = m_store.find(r.id);
    if (!stored || toldOf(*stored) != toldOf(r))
        return false;
    if (!IsFinal(r.outcome))
        m_told.insert(r.id, toldOf(r));
    return true;
}

void QueueReceiptBook::settleLost(const ReceiptTotals &now) {
    const QList<ReceiptHistory> lost = std::exchange(m_lost, {});
    for (ReceiptHistory r : lost) {
        if (r.receiptsBefore >= 0 && now.receipts == r.receiptsBefore + 1) {
            r.outcome = OutcomeState::Printed;
            r.receiptNumber = now.receipts;
            if (now.salesCents && r.salesBefore)
                r.totalCents = *now.salesCents - *r.salesBefore;
        } else {
            r.outcome = OutcomeState::Failed;
            r.reasonCode = QStringLiteral("journal_lost");
            r.reasonText = QStringLiteral("Storia dello scontrino persa con il giornale della coda: la cassa "
                                          "non lo ha chiuso ed \u00e8 stato annullato; inviarlo di nuovo con "
                                          "una nuova chiave");
        }
        r.finished = m_s.now();
        if (!r.started.isValid())
            r.started = r.finished;
        ++m_finals[{KindOf(r), OutcomeStateName(r.outcome)}];
        keep(r);
        if (r.source.kind == ReceiptSource::Kind::File && fileOutcome)
            fileOutcome(r);
        emit changed(ReceiptIdText(r.id));
    }
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
            ++m_finals[{KindOf(r), OutcomeStateName(r.outcome)}];
            m_told.remove(r.id);
        } else {
            m_told.insert(r.id, toldOf(r));
        }
        // Every state on disk, so that a history the journal loses is still
        // known and judged at the next start.
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

// The store's outcomes and the queue's receipts merged by id, highest first,
// each as find() tells it: the queue's record while the store has not seen
// it end. Only as many are looked at as the page needs, and one more.
QList<ReceiptHistory> QueueReceiptBook::listed(const ReceiptQuery &query, bool *more) const {
    std::map<quint64, const QueuedReceipt *> underWay;
    for (const QueuedReceipt &r : m_executor.state().receipts) {
        if (query.before == 0 || r.id < query.before)
            underWay.emplace(r.id, &r);
    }
    QList<ReceiptHistory> out;
    *more = false;
    // False once the page is full and another one matches.
    const auto take = [&](const ReceiptHistory &r) {
        if (!query.matches(r))
            return true;
        if (out.size() >= query.limit) {
            *more = true;
            return false;
        }
        out.append(r);
        return true;
    };
    auto q = underWay.rbegin();
    bool going = true;
    m_store.visitDown(query.before, [&](const ReceiptHistory &stored) {
        for (; going && q != underWay.rend() && q->first > stored.id; ++q)
            going = take(*q->second);
        if (going && q != underWay.rend() && q->first == stored.id) {
            going = take(IsFinal(stored.outcome) ? stored : ReceiptHistory(*q->second));
            ++q;
        } else if (going) {
            going = take(stored);
        }
        return going;
    });
    for (; going && q != underWay.rend(); ++q)
        going = take(*q->second);
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

QMap<std::pair<QString, QString>, qint64> QueueReceiptBook::finals() const {
    return m_finals;
}

} // namespace norvvelm
