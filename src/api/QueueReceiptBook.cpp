#include "api/QueueReceiptBook.h"

#include "commands/CommandLanguage.h"
#include "commands/Executor.h"
#include "commands/Session.h"

#include <algorithm>

namespace norvvelm {

namespace {

// The receipt under way whose open receipt was voided: the first whose lines
// are left. A journal written anew keeps the count of resends, not who.
bool voidedUnderWay(const QueueState &s, const QueuedReceipt &r) {
    if (r.voided)
        return true;
    if (s.resends == 0)
        return false;
    const quint64 head = !s.receiptOwners.isEmpty() ? s.receiptOwners.first()
                         : s.inFlight               ? s.inFlightOwner
                                                    : s.queueOwners.value(0);
    return head == r.id;
}

QString stateName(const QueueState &s, const QueuedReceipt &r) {
    switch (r.state) {
    case QueuedReceipt::State::Queued:
    case QueuedReceipt::State::Printing:
        if (voidedUnderWay(s, r))
            return QStringLiteral("voided");
        return r.state == QueuedReceipt::State::Queued ? QStringLiteral("queued")
                                                       : QStringLiteral("printing");
    case QueuedReceipt::State::GivenUp:
        return QStringLiteral("failed");
    case QueuedReceipt::State::Finished:
        break;
    }
    // Nothing carried out and something refused: not printed at all.
    if (r.receiptNumber < 0 && !r.errors.isEmpty())
        return QStringLiteral("refused");
    return QStringLiteral("printed");
}

// The lines of a receipt the queue holds, in their order: those carried
// out, the one in flight, those waiting.
QStringList linesOf(const QueueState &s, quint64 id) {
    QStringList out;
    for (qsizetype i = 0; i < s.receipt.size(); ++i) {
        if (s.receiptOwners.value(i) == id)
            out.append(s.receipt.at(i));
    }
    if (s.inFlight && s.inFlightOwner == id)
        out.append(s.inFlightLine);
    for (qsizetype i = 0; i < s.queue.size(); ++i) {
        if (s.queueOwners.value(i) == id)
            out.append(s.queue.at(i));
    }
    return out;
}

bool underWay(const QueuedReceipt &r) {
    return r.state == QueuedReceipt::State::Queued || r.state == QueuedReceipt::State::Printing;
}

} // namespace

QueueReceiptBook::QueueReceiptBook(Session &session, Executor &executor, QObject *parent)
    : ReceiptBook(parent), m_s(session), m_executor(executor) {
    m_executor.setQueueObserver([this] { refresh(); });
}

QueueReceiptBook::~QueueReceiptBook() {
    m_executor.setQueueObserver({});
}

QString QueueReceiptBook::idOf(quint64 id) {
    return QStringLiteral("R") + QString::number(id);
}

QString QueueReceiptBook::sourceKey(const QString &key, const QByteArray &hash) {
    return key + u' ' + QString::fromLatin1(hash);
}

bool QueueReceiptBook::open(const QString &homeDir) {
    m_store.setPath(homeDir + u'/' + OutcomeStore::fileName());
    return m_store.open(m_s.now());
}

ReceiptOutcome QueueReceiptBook::outcomeOf(const QueuedReceipt &r, const QueueState *queue) const {
    ReceiptOutcome o;
    o.id = idOf(r.id);
    if (r.source.kind == ReceiptSource::Kind::Request) {
        o.key = r.source.key.section(u' ', 0, 0);
        o.source = QStringLiteral("api");
    } else {
        o.source = r.source.key;
    }
    o.state = stateName(queue ? *queue : m_executor.state(), r);
    o.receiptNumber = r.receiptNumber;
    if (r.totalCents)
        o.total = AmountText(*r.totalCents);
    if (const auto it = m_seen.constFind(r.id); it != m_seen.constEnd()) {
        o.accepted = it->accepted;
        o.started = it->started;
        o.finished = it->finished;
        o.lines = it->lines;
    }
    for (const QString &e : r.errors) {
        ReceiptOutcome::Error err;
        QString line;
        if (RegisterProblemParts(e, err.code, err.text, line)) {
            const qsizetype at = o.lines.indexOf(line);
            err.line = at < 0 ? 0 : int(at) + 1;
        } else {
            err.text = e;
        }
        o.errors.append(err);
    }
    return o;
}

ReceiptBook::Submit QueueReceiptBook::submit(const QString &key, const QByteArray &bodyHash,
                                             const QStringList &lines, ReceiptOutcome &receipt) {
    for (const QueuedReceipt &r : m_executor.state().receipts) {
        if (r.source.kind != ReceiptSource::Kind::Request || r.source.key.section(u' ', 0, 0) != key)
            continue;
        receipt = outcomeOf(r);
        return r.source.key == sourceKey(key, bodyHash) ? Submit::Repeated : Submit::Conflict;
    }
    if (const OutcomeStore::Entry *e = m_store.findKey(key)) {
        receipt = e->outcome;
        return e->digest == bodyHash ? Submit::Repeated : Submit::Conflict;
    }
    quint64 id = 0;
    const QDateTime now = m_s.now();
    if (!m_executor.enqueue(lines, {}, ReceiptSource{ReceiptSource::Kind::Request, sourceKey(key, bodyHash)},
                            &id))
        return Submit::Failed;
    Seen &seen = m_seen[id];
    if (!seen.accepted.isValid())
        seen.accepted = now;
    seen.lines = lines;
    if (const QueuedReceipt *r = m_executor.state().find(id))
        receipt = outcomeOf(*r);
    // Its lines and the time it came, for answers after a restart.
    m_store.put(receipt, bodyHash, now);
    emit changed(receipt.id);
    if (queued)
        queued();
    return Submit::Accepted;
}

void QueueReceiptBook::refresh() {
    look(m_executor.state());
}

void QueueReceiptBook::adopt(QueueState &state) {
    look(state);
    // Ids go on from the highest ever given, also when the journal starts
    // empty.
    state.nextId = std::max<quint64>(state.nextId, m_store.highestNumber(u"R") + 1);
}

void QueueReceiptBook::look(const QueueState &queue) {
    if (m_inRefresh)
        return;
    m_inRefresh = true;
    const QDateTime now = m_s.now();
    for (const QueuedReceipt &r : queue.receipts) {
        if (const OutcomeStore::Entry *stored = m_store.find(idOf(r.id)); stored && !m_seen.contains(r.id)) {
            // Stored in an earlier run: the queue replayed it from the journal.
            if (stored->outcome.isFinal())
                continue;
            Seen &back = m_seen[r.id];
            back.accepted = stored->outcome.accepted;
            back.started = stored->outcome.started;
            back.lines = stored->outcome.lines;
            back.state = stored->outcome.state;
        }
        Seen &seen = m_seen[r.id];
        if (!seen.accepted.isValid())
            seen.accepted = now;
        if (seen.lines.isEmpty())
            seen.lines = linesOf(queue, r.id);
        const QString state = stateName(queue, r);
        if (state == seen.state)
            continue;
        if (state != QLatin1String("queued") && !seen.started.isValid())
            seen.started = now;
        seen.state = state;
        const bool final = !underWay(r);
        if (final)
            seen.finished = now;
        const ReceiptOutcome o = outcomeOf(r, &queue);
        if (final) {
            ++m_finals[state];
        }
        if (final || r.source.kind == ReceiptSource::Kind::Request) {
            const QByteArray hash = r.source.kind == ReceiptSource::Kind::Request
                                        ? r.source.key.section(u' ', 1, 1).toLatin1()
                                        : QByteArray();
            m_store.put(o, hash, now);
        }
        if (r.source.kind == ReceiptSource::Kind::File && fileOutcome)
            fileOutcome(o);
        emit changed(o.id);
    }
    m_inRefresh = false;
}

std::optional<ReceiptOutcome> QueueReceiptBook::find(const QString &id) const {
    for (const QueuedReceipt &r : m_executor.state().receipts) {
        if (idOf(r.id) == id && (underWay(r) || !m_store.find(id) || !m_store.find(id)->outcome.isFinal()))
            return outcomeOf(r);
    }
    if (const OutcomeStore::Entry *e = m_store.find(id))
        return e->outcome;
    return std::nullopt;
}

QList<ReceiptOutcome> QueueReceiptBook::newest(int limit) const {
    QList<ReceiptOutcome> out;
    const QList<QueuedReceipt> &all = m_executor.state().receipts;
    for (qsizetype i = all.size() - 1; i >= 0 && out.size() < limit; --i) {
        if (underWay(all.at(i)))
            out.append(outcomeOf(all.at(i)));
    }
    for (const ReceiptOutcome &o : m_store.newest(limit + int(out.size()))) {
        if (out.size() >= limit)
            break;
        bool listed = false;
        for (const ReceiptOutcome &u : std::as_const(out))
            listed = listed || u.id == o.id;
        if (!listed)
            out.append(o);
    }
    return out;
}

int QueueReceiptBook::pending() const {
    int n = 0;
    for (const QueuedReceipt &r : m_executor.state().receipts)
        n += underWay(r) ? 1 : 0;
    return n;
}

QMap<QString, qint64> QueueReceiptBook::finals() const {
    return m_finals;
}

} // namespace norvvelm
