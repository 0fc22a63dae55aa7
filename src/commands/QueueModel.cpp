#include "commands/QueueModel.h"

#include "commands/CommandLanguage.h"

namespace norvvelm {

namespace {
// Finished receipts kept for their outcome, beside those still under way.
constexpr qsizetype kFinishedKept = 1000;

using Kind = QueueEvent::Kind;
using State = QueuedReceipt::State;

QueuedReceipt *receiptOf(QueueState &s, quint64 id) {
    for (QueuedReceipt &r : s.receipts) {
        if (r.id == id)
            return &r;
    }
    return nullptr;
}

bool underWay(const QueuedReceipt &r) {
    return r.state == State::Queued || r.state == State::Printing;
}

void dropOldFinished(QueueState &s) {
    qsizetype finished = 0;
    for (const QueuedReceipt &r : std::as_const(s.receipts))
        finished += underWay(r) ? 0 : 1;
    for (qsizetype i = 0; finished > kFinishedKept && i < s.receipts.size();) {
        if (underWay(s.receipts.at(i))) {
            ++i;
            continue;
        }
        s.receipts.removeAt(i);
        --finished;
    }
}

void ended(QueuedReceipt &r, State state, const QDateTime &at) {
    r.state = state;
    if (!r.started.isValid())
        r.started = at;
    r.finished = at;
}

// A receipt none of whose lines is left has ended. A file's lines that all
// went and left the register's receipt open have ended too: the next file
// may go on with that receipt, and this one's outcome says it is open.
void settle(QueueState &s, quint64 id, const QDateTime &at) {
    QueuedReceipt *r = receiptOf(s, id);
    if (!r || !underWay(*r))
        return;
    if (s.queueOwners.contains(id) || (s.inFlight && s.inFlightOwner == id))
        return;
    if (s.receiptOwners.contains(id)) {
        if (r->source.kind != ReceiptSource::Kind::File || r->abandoned)
            return;
        r->leftOpen = true;
    }
    ended(*r, State::Finished, at);
    dropOldFinished(s);
}

// The lines of receipt `id` still waiting in the queue go.
void dropQueued(QueueState &s, quint64 id) {
    for (qsizetype i = s.queueOwners.size() - 1; i >= 0; --i) {
        if (s.queueOwners.at(i) == id) {
            s.queueOwners.removeAt(i);
            s.queue.removeAt(i);
        }
    }
    if (s.filling == id)
        s.filling = 0;
}

void settleAll(QueueState &s, const QList<quint64> &ids, const QDateTime &at) {
    for (const quint64 id : ids)
        settle(s, id, at);
}

// Lines of a receipt going back to the queue are out no longer.
void backInQueue(QueueState &s, quint64 id, int lines = 1) {
    if (QueuedReceipt *r = receiptOf(s, id))
        r->linesOut = std::max(0, r->linesOut - lines);
}

// The receipt lines join: the one being taken, or one of its own for lines
// recorded without their receipt (journals of older runs, a rewritten one).
quint64 fillingReceipt(QueueState &s) {
    if (s.filling != 0 && receiptOf(s, s.filling))
        return s.filling;
    QueuedReceipt r;
    r.id = s.nextId++;
    s.receipts.append(r);
    s.filling = r.id;
    return r.id;
}

bool applyReceipt(QueueState &s, const QueueEvent &e) {
    if (e.id == 0)
        return false;
    if (!receiptOf(s, e.id)) {
        QueuedReceipt r;
        r.id = e.id;
        r.source = {e.sourceKind, e.text, e.bodyHash, e.expires, e.warnings, e.document};
        r.accepted = e.at;
        s.receipts.append(r);
    }
    s.nextId = std::max(s.nextId, e.id + 1);
    s.filling = e.id;
    return true;
}

bool applyLine(QueueState &s, const QueueEvent &e) {
    const quint64 owner = fillingReceipt(s);
    s.queueOwners.append(owner);
    s.queue.append(e.text);
    if (QueuedReceipt *r = receiptOf(s, owner))
        r->lines.append(e.text);
    return true;
}

bool headIs(const QueueState &s, const QString &line) {
    return !s.inFlight && !s.queue.isEmpty() && s.queue.first() == line;
}

bool applySending(QueueState &s, const QueueEvent &e) {
    if (!headIs(s, e.text))
        return false;
    s.queue.removeFirst();
    s.inFlightOwner = s.queueOwners.isEmpty() ? 0 : s.queueOwners.takeFirst();
    s.inFlight = true;
    s.inFlightLine = e.text;
    s.inFlightOpenBefore = e.flag;
    s.receiptsBefore = e.count;
    s.salesBefore = e.amount;
    if (QueuedReceipt *r = receiptOf(s, s.inFlightOwner)) {
        r->state = State::Printing;
        ++r->linesOut;
        if (e.count >= 0 && r->receiptsBefore < 0) {
            r->receiptsBefore = e.count;
            r->salesBefore = e.amount;
        }
        if (!r->started.isValid())
            r->started = e.at;
    }
    s.filling = 0;
    return true;
}

bool applySkipped(QueueState &s, const QueueEvent &e) {
    if (!headIs(s, e.text))
        return false;
    s.queue.removeFirst();
    s.lastEnded = s.queueOwners.isEmpty() ? 0 : s.queueOwners.takeFirst();
    s.filling = 0;
    if (QueuedReceipt *r = receiptOf(s, s.lastEnded))
        ++r->linesOut;
    settle(s, s.lastEnded, e.at);
    return true;
}

// The outcome of a receipt whose closing line ended: the register's count
// read after it, or else the count before and one.
void closedWith(const QueueState &s, const QueueEvent &e, QueuedReceipt *r) {
    if (!r || !s.inFlightOpenBefore || s.receiptsBefore < 0 ||
        ReceiptRuleOfLine(CompleteLine(s.inFlightLine), s.composed(s.inFlightOwner)).rule !=
            ReceiptRule::Closes)
        return;
    if (e.count < 0) {
        r->receiptNumber = s.receiptsBefore + 1;
        return;
    }
    if (e.count <= s.receiptsBefore)
        return; // nothing closed on the register
    r->receiptNumber = e.count;
    r->totalCents = e.amount;
}

bool applyDone(QueueState &s, const QueueEvent &e) {
    if (!s.inFlight)
        return false;
    // A receipt that ends takes its count of resends with it.
    if (!e.flag && (!s.receipt.isEmpty() || s.inFlightOpenBefore))
        s.resends = 0;
    const quint64 owner = s.inFlightOwner;
    QList<quint64> done{owner};
    if (e.flag) {
        if (!s.inFlightOpenBefore) {
            done += s.receiptOwners;
            s.receipt.clear();
            s.receiptOwners.clear();
        }
        s.receipt.append(s.inFlightLine);
        s.receiptOwners.append(owner);
        s.receiptOpen = true;
    } else {
        done += s.receiptOwners;
        s.receipt.clear();
        s.receiptOwners.clear();
        s.receiptOpen = false;
        closedWith(s, e, receiptOf(s, owner));
    }
    s.inFlight = false;
    s.lastEnded = owner;
    s.filling = 0;
    settleAll(s, done, e.at);
    return true;
}

bool applyPutBack(QueueState &s, const QueueEvent &e) {
    quint64 owner = 0;
    if (s.inFlight && s.inFlightLine == e.text) {
        s.inFlight = false;
        owner = s.inFlightOwner;
        backInQueue(s, owner);
    }
    if (owner == 0)
        owner = fillingReceipt(s);
    s.queue.prepend(e.text);
    s.queueOwners.prepend(owner);
    s.filling = 0;
    return true;
}

bool applyResent(QueueState &s, const QueueEvent &e) {
    QStringList lines = s.receipt;
    QList<quint64> owners = s.receiptOwners;
    if (e.flag && s.inFlight) {
        lines.append(s.inFlightLine);
        owners.append(s.inFlightOwner);
    }
    const QList<quint64> done = s.inFlight && !e.flag ? QList<quint64>{s.inFlightOwner} : QList<quint64>{};
    for (const quint64 id : std::as_const(owners)) {
        if (QueuedReceipt *r = receiptOf(s, id))
            r->voided = true;
        backInQueue(s, id);
    }
    s.queue = lines + s.queue;
    s.queueOwners = owners + s.queueOwners;
    ++s.resends;
    s.receipt.clear();
    s.receiptOwners.clear();
    s.receiptOpen = false;
    s.inFlight = false;
    s.filling = 0;
    settleAll(s, done, e.at);
    return true;
}

void giveUp(QueueState &s, const QList<quint64> &ids, const QDateTime &at) {
    for (const quint64 id : ids) {
        if (QueuedReceipt *r = receiptOf(s, id); r && underWay(*r))
            ended(*r, State::GivenUp, at);
    }
}

bool applyGivenUp(QueueState &s, const QueueEvent &e) {
    const QDateTime &at = e.at;
    s.resends = 0;
    QList<quint64> dropped = s.receiptOwners;
    if (s.inFlight)
        dropped.append(s.inFlightOwner);
    if (e.id != 0) {
        dropQueued(s, e.id);
        dropped.append(e.id);
    }
    s.receipt.clear();
    s.receiptOwners.clear();
    s.receiptOpen = false;
    s.inFlight = false;
    s.filling = 0;
    if (!dropped.isEmpty())
        s.lastEnded = dropped.last();
    giveUp(s, dropped, at);
    settleAll(s, dropped, at);
    if (const QueuedReceipt *r = receiptOf(s, s.abandoning); !r || !underWay(*r))
        s.abandoning = 0;
    return true;
}

bool applyCleared(QueueState &s, const QDateTime &at) {
    QueueState fresh;
    fresh.receipts = s.receipts;
    fresh.nextId = s.nextId;
    QList<quint64> dropped = s.queueOwners + s.receiptOwners;
    if (s.inFlight)
        dropped.append(s.inFlightOwner);
    giveUp(fresh, dropped, at);
    s = fresh;
    return true;
}

// Only a receipt none of whose lines went out is withdrawn.
bool applyCancelled(QueueState &s, const QueueEvent &e) {
    QueuedReceipt *r = receiptOf(s, e.id);
    if (!r || r->state != State::Queued || r->linesOut > 0 || s.receiptOwners.contains(e.id) ||
        (s.inFlight && s.inFlightOwner == e.id))
        return false;
    dropQueued(s, e.id);
    r->reasonCode = e.code;
    r->reasonText = e.text;
    r->state = State::Cancelled;
    r->finished = e.at;
    dropOldFinished(s);
    return true;
}

bool applyAbandoned(QueueState &s, const QueueEvent &e) {
    QueuedReceipt *r = receiptOf(s, e.id);
    if (!r || !underWay(*r))
        return false;
    dropQueued(s, e.id);
    r->abandoned = true;
    r->reasonCode = e.code;
    r->reasonText = e.text;
    s.abandoning = e.id;
    return true;
}

bool applyFigures(QueueState &s, const QueueEvent &e) {
    QueuedReceipt *r = receiptOf(s, e.id);
    if (!r || !e.figures.read())
        return false;
    if (!e.flag)
        r->figures = e.figures;
    else
        r->figuresReset = e.figures.receipts == 0 && e.figures.salesCents.value_or(0) == 0;
    return true;
}

bool applyProblem(QueueState &s, const QueueEvent &e) {
    const quint64 id = e.id != 0 ? e.id : s.inFlight ? s.inFlightOwner : s.lastEnded;
    if (QueuedReceipt *r = receiptOf(s, id))
        r->errors.append({e.count > 0 ? e.count : r->linesOut, e.code, e.number, e.text});
    return true;
}
} // namespace

QueueEvent QueueEvent::receiptArrives(quint64 id, const ReceiptSource &source) {
    QueueEvent e = make(Kind::Receipt, source.key);
    e.id = id;
    e.sourceKind = source.kind;
    e.bodyHash = source.bodyHash;
    e.expires = source.expires;
    e.warnings = source.warnings;
    e.document = source.document;
    return e;
}

const QueuedReceipt *QueueState::find(quint64 id) const {
    for (const QueuedReceipt &r : receipts) {
        if (r.id == id)
            return &r;
    }
    return nullptr;
}

bool QueueState::receiptOpenAsShown() const {
    if (!inFlight)
        return receiptOpen;
    return ReceiptOpenAfter(ReceiptRuleOfLine(CompleteLine(inFlightLine), composed(inFlightOwner)),
                            inFlightOpenBefore);
}

bool QueueState::composed(quint64 id) const {
    const QueuedReceipt *r = find(id);
    return r && !r->source.document.isEmpty();
}

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

bool applyClosedOnRegister(QueueState &s, const QueueEvent &e) {
    const QueuedReceipt *r = receiptOf(s, e.id);
    if (!r || e.count < 0)
        return false;
    ReceiptHistory ended = *r;
    ended.outcome = OutcomeState::Printed;
    ended.receiptNumber = e.count;
    ended.totalCents = e.amount;
    ended.finished = e.at;
    if (!ended.started.isValid())
        ended.started = e.at;
    EndReceiptAsKept(s, ended);
    s.lastEnded = e.id;
    dropOldFinished(s);
    return true;
}

bool apply(QueueState &s, const QueueEvent &e) {
    switch (e.kind) {
    case Kind::Receipt:
        return applyReceipt(s, e);
    case Kind::Line:
        return applyLine(s, e);
    case Kind::WorkingCopy:
        s.takenFiles.append(e.text);
        return true;
    case Kind::Sending:
        return applySending(s, e);
    case Kind::Skipped:
        return applySkipped(s, e);
    case Kind::Done:
        return applyDone(s, e);
    case Kind::PutBack:
        return applyPutBack(s, e);
    case Kind::Resent:
        return applyResent(s, e);
    case Kind::GivenUp:
        return applyGivenUp(s, e);
    case Kind::Cleared:
        return applyCleared(s, e.at);
    case Kind::Problem:
        return applyProblem(s, e);
    case Kind::ClosedOnRegister:
        return applyClosedOnRegister(s, e);
    case Kind::Cancelled:
        return applyCancelled(s, e);
    case Kind::Abandoned:
        return applyAbandoned(s, e);
    case Kind::Figures:
        return applyFigures(s, e);
    case Kind::Taken:
        // Lines that follow belong to no receipt of this one.
        if (s.filling == e.id)
            s.filling = 0;
        return e.id != 0;
    }
    return false;
}
} // namespace

bool IsFinal(OutcomeState state) {
    return state == OutcomeState::Printed || state == OutcomeState::Refused ||
           state == OutcomeState::Failed || state == OutcomeState::Open || state == OutcomeState::Cancelled;
}

OutcomeState OutcomeOf(const QueueState &s, const QueuedReceipt &r) {
    switch (r.state) {
    case State::Queued:
    case State::Printing:
        if (voidedUnderWay(s, r))
            return OutcomeState::Voided;
        return r.state == State::Queued ? OutcomeState::Queued : OutcomeState::Printing;
    case State::GivenUp:
        return OutcomeState::Failed;
    case State::Cancelled:
        return OutcomeState::Cancelled;
    case State::Finished:
        break;
    }
    if (r.leftOpen)
        return OutcomeState::Open;
    // Nothing carried out and something refused: not printed at all.
    if (r.receiptNumber < 0 && !r.errors.isEmpty())
        return OutcomeState::Refused;
    return OutcomeState::Printed;
}

void EndReceiptAsKept(QueueState &s, const ReceiptHistory &ended) {
    QueuedReceipt *r = receiptOf(s, ended.id);
    if (!r)
        return;
    const auto dropLines = [&](QStringList &lines, QList<quint64> &owners) {
        for (qsizetype i = owners.size() - 1; i >= 0; --i) {
            if (owners.at(i) == ended.id) {
                owners.removeAt(i);
                lines.removeAt(i);
            }
        }
    };
    const bool wasOpen = s.receiptOwners.contains(ended.id) || (s.inFlight && s.inFlightOwner == ended.id);
    dropLines(s.queue, s.queueOwners);
    dropLines(s.receipt, s.receiptOwners);
    if (s.inFlight && s.inFlightOwner == ended.id)
        s.inFlight = false;
    if (wasOpen && s.receipt.isEmpty() && !s.inFlight) {
        // The receipt the register held was this one, and it ended.
        s.receiptOpen = false;
        s.resends = 0;
    }
    static_cast<ReceiptHistory &>(*r) = ended;
    r->state = ended.outcome == OutcomeState::Failed      ? State::GivenUp
               : ended.outcome == OutcomeState::Cancelled ? State::Cancelled
                                                          : State::Finished;
    r->leftOpen = ended.outcome == OutcomeState::Open;
    if (s.filling == ended.id)
        s.filling = 0;
    if (s.abandoning == ended.id)
        s.abandoning = 0;
}

bool ApplyQueueEvent(QueueState &s, const QueueEvent &e) {
    if (!apply(s, e))
        return false;
    for (QueuedReceipt &r : s.receipts)
        r.outcome = OutcomeOf(s, r);
    return true;
}

} // namespace norvvelm
