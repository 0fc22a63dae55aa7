#pragma once

#include "commands/CommandLanguage.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>
#include <utility>

namespace norvvelm {

// Where a receipt came from, and on what terms: a receipt file, or a request
// of the program's interface. `key` names it within its kind (the file's
// name, the request's Idempotency-Key); a request's `bodyHash` is what its
// key was given for. A request may give the time after which it must not
// start (`expires`), and its text may have been changed to what the
// register prints (`warnings` say how).
struct ReceiptSource {
    enum class Kind { File, Request };
    ReceiptSource() = default;
    ReceiptSource(Kind k, QString name, QByteArray hash = {}, QDateTime expiry = {}, QStringList said = {},
                  QString kindOfDocument = {})
        : kind(k), key(std::move(name)), bodyHash(std::move(hash)), expires(std::move(expiry)),
          warnings(std::move(said)), document(std::move(kindOfDocument)) {}
    Kind kind = Kind::File;
    QString key;
    QByteArray bodyHash;
    QDateTime expires;
    QStringList warnings;
    QString document; // the kind of document a request asked for; empty: a receipt
};

// What became of a receipt, as whoever sent it is told.
enum class OutcomeState {
    Queued,    // no line of it has gone out yet
    Printing,  // some of its lines went out
    Voided,    // the register's receipt was voided, and it is being sent again
    Printed,   // every line went out or was skipped
    Refused,   // nothing carried out, and something refused
    Failed,    // given up: voided (a line refused, left open), a serious fault, the queue cleared
    Open,      // a file's lines all went, and the receipt they began is still open on the register
    Cancelled, // withdrawn or expired before any of its lines went out
};
bool IsFinal(OutcomeState state);

// Something that went wrong with a line of a receipt: the register's error
// (its two hexadecimal digits, and the number the monitor shows for them),
// or a problem of the program's own (no code).
struct ReceiptError {
    int line = 0; // 1-based line of the receipt; 0 when not known
    QString code;
    int number = -1;
    QString text;
    bool operator==(const ReceiptError &) const = default;
};

// A receipt's whole history, in one record: the queue keeps it while its
// lines are under way, the outcome store after.
struct ReceiptHistory {
    quint64 id = 0;
    ReceiptSource source;
    OutcomeState outcome = OutcomeState::Queued;
    int receiptNumber = -1;           // the register's count of receipts that day, once it closed it
    std::optional<qint64> totalCents; // what its closing added to the register's sales total
    QStringList lines;                // as taken, in order
    QList<ReceiptError> errors;
    QDateTime accepted, started, finished;
    // The register's count of receipts and its sales total read before its
    // closing went out: should its history be lost, the count read again
    // tells whether the register closed it.
    int receiptsBefore = -1;
    std::optional<qint64> salesBefore;
    // Why it ended as it did, when the register's errors do not say it.
    QString reasonCode;
    QString reasonText;
    // A report or a daily closing: the day's figures read just before it,
    // and after a closing whether the register set them back to zero.
    std::optional<ReceiptTotals> figures;
    std::optional<bool> figuresReset;
};

// One receipt handed to the queue: its lines go out in order, and it keeps
// what became of them.
struct QueuedReceipt : ReceiptHistory {
    enum class State {
        Queued,    // no line of it has gone out yet
        Printing,  // some of its lines went out
        Finished,  // every line went out or was skipped (problems in `errors`)
        GivenUp,   // dropped: a receipt voided too often, or a serious fault
        Cancelled, // withdrawn before any of its lines went out
    };
    State state = State::Queued;
    bool voided = false;    // voided on the register once, and being sent again
    bool abandoned = false; // to be voided on the register and given up, never sent again
    bool leftOpen = false;  // its lines all went, and left the register's receipt open
    int linesOut = 0;       // of `lines`, those gone out or skipped (the one in flight too)
};

// The queue as one state: the lines waiting, the lines of the receipt the
// register holds open, the line that was going out, and the receipts they
// belong to. Everything that changes it is a QueueEvent.
struct QueueState {
    QStringList queue;   // lines waiting, first to go first
    QStringList receipt; // lines of the open receipt already carried out, from its first
    bool receiptOpen = false;
    // The line sent whose outcome is not known yet.
    bool inFlight = false;
    QString inFlightLine;
    bool inFlightOpenBefore = false;   // a receipt was open when it went out
    int receiptsBefore = -1;           // the register's receipt count before a closing line
    std::optional<qint64> salesBefore; // and its sales total then, in cents
    // Working copies whose lines were kept, should one be left behind.
    QStringList takenFiles;
    // How often the receipt under way was voided and sent again: kept across
    // restarts, so that the limit on it holds however often the program stops.
    int resends = 0;

    // The receipt each line belongs to, beside `queue` and `receipt`.
    QList<quint64> queueOwners;
    QList<quint64> receiptOwners;
    quint64 inFlightOwner = 0;
    // Receipts with lines left, then the latest finished ones.
    QList<QueuedReceipt> receipts;
    quint64 nextId = 1;
    quint64 filling = 0;   // the receipt whose lines are being taken
    quint64 lastEnded = 0; // the receipt of the line that ended last

    bool idle() const {
        return queue.isEmpty() && receipt.isEmpty() && !receiptOpen && !inFlight && abandonedPending() == 0;
    }
    // A receipt to be voided on the register and given up (0: none).
    quint64 abandonedPending() const { return abandoning; }
    quint64 abandoning = 0;
    const QueuedReceipt *find(quint64 id) const;
    // The receipt state shown while a line is out: what it leaves behind.
    bool receiptOpenAsShown() const;
    // Whether the lines of `id` are a document the server composed (their
    // key lines judged as such); a receipt file's or raw lines' are not.
    bool composed(quint64 id) const;
};

// Everything that happens to the queue, each one record of the journal.
struct QueueEvent {
    enum class Kind {
        Receipt,     // a receipt arrives: the lines that follow are its own
        Line,        // a line at the end of the queue
        WorkingCopy, // the working copy of a file whose lines were taken
        Sending, // the first line goes out (`flag`: a receipt was open; `count`, `amount`: receipts and sales
                 // before)
        Skipped, // the first line, not sent
        Done,    // the line in flight ended (`flag`: a receipt is open after it; a closing line's
                 // `count`: the register's receipts after it, 0 when it closed none; `amount`: the total)
        PutBack, // the line in flight back at the head, not taken
        Resent,  // the open receipt voided: its lines (and the one in flight, `flag`) back at the head
        GivenUp, // the open receipt voided and given up
        Cleared, // the queue emptied, no receipt open
        Problem, // what went wrong, for receipt `id` (0: the one of the line out or ended last)
        Taken,   // every line of receipt `id` is recorded: a receipt without it was cut short
        ClosedOnRegister, // receipt `id` found closed by the register (`count`, `amount`): its lines go
        Cancelled,        // receipt `id`, none of whose lines went out, withdrawn (`code`, `text`: why)
        Abandoned,        // receipt `id` is to be voided and given up (`code`, `text`): its queued lines go
        Figures, // the register's figures for receipt `id`, read before (`flag` false) or after its line
    };
    Kind kind = Kind::Line;
    QString text; // the line, the file name, the problem, or the source's key
    bool flag = false;
    int count = -1;
    std::optional<qint64> amount; // cents
    quint64 id = 0;               // Receipt: its identity
    ReceiptSource::Kind sourceKind = ReceiptSource::Kind::File;
    QByteArray bodyHash; // Receipt: a request's, with its terms
    QDateTime expires;
    QStringList warnings;
    QString document;
    ReceiptTotals figures; // Figures
    QString code;          // Problem: the register's error code, and its number
    int number = -1;
    QDateTime at; // when it happened: stamped by the queue as it records it

    static QueueEvent make(Kind kind, const QString &text = {}, bool flag = false, int count = -1) {
        QueueEvent e;
        e.kind = kind;
        e.text = text;
        e.flag = flag;
        e.count = count;
        return e;
    }
    static QueueEvent receiptArrives(quint64 id, const ReceiptSource &source);
    static QueueEvent line(const QString &line) { return make(Kind::Line, line); }
    static QueueEvent workingCopy(const QString &name) { return make(Kind::WorkingCopy, name); }
    static QueueEvent sending(const QString &line, bool openBefore, int receiptsBefore,
                              std::optional<qint64> salesBefore = std::nullopt) {
        QueueEvent e = make(Kind::Sending, line, openBefore, receiptsBefore);
        e.amount = salesBefore;
        return e;
    }
    static QueueEvent skipped(const QString &line) { return make(Kind::Skipped, line); }
    static QueueEvent done(bool openAfter) { return make(Kind::Done, {}, openAfter); }
    // A closing line ended, and the register's totals were read after it.
    static QueueEvent closed(int receiptsAfter, std::optional<qint64> total) {
        QueueEvent e = make(Kind::Done, {}, false, receiptsAfter);
        e.amount = total;
        return e;
    }
    static QueueEvent putBack(const QString &line) { return make(Kind::PutBack, line); }
    static QueueEvent resent(bool withInFlight) { return make(Kind::Resent, {}, withInFlight); }
    // The open receipt voided and given up; with `id`, that receipt too,
    // whether or not it had a line open on the register.
    static QueueEvent givenUp(quint64 id = 0) {
        QueueEvent e = make(Kind::GivenUp);
        e.id = id;
        return e;
    }
    static QueueEvent cancelled(quint64 id, const QString &code, const QString &why) {
        QueueEvent e = make(Kind::Cancelled, why);
        e.id = id;
        e.code = code;
        return e;
    }
    static QueueEvent figuresOf(quint64 id, const ReceiptTotals &totals, bool after) {
        QueueEvent e = make(Kind::Figures, {}, after);
        e.id = id;
        e.figures = totals;
        return e;
    }
    static QueueEvent abandoned(quint64 id, const QString &code, const QString &why) {
        QueueEvent e = make(Kind::Abandoned, why);
        e.id = id;
        e.code = code;
        return e;
    }
    static QueueEvent cleared() { return make(Kind::Cleared); }
    static QueueEvent closedOnRegister(quint64 id, int receipts, std::optional<qint64> total) {
        QueueEvent e = make(Kind::ClosedOnRegister, {}, false, receipts);
        e.id = id;
        e.amount = total;
        return e;
    }
    static QueueEvent taken(quint64 id) {
        QueueEvent e = make(Kind::Taken);
        e.id = id;
        return e;
    }
    static QueueEvent problem(const QString &text, quint64 id = 0) {
        return problem(ReceiptError{0, {}, -1, text}, id);
    }
    static QueueEvent problem(const ReceiptError &error, quint64 id = 0) {
        QueueEvent e = make(Kind::Problem, error.text, false, error.line);
        e.code = error.code;
        e.number = error.number;
        e.id = id;
        return e;
    }
};

// Applies one event to a state; false (the state unchanged) when it does not
// fit the state. The journal's replay and the live queue both go through here.
bool ApplyQueueEvent(QueueState &state, const QueueEvent &event);
// What a receipt of `state` tells its sender now.
OutcomeState OutcomeOf(const QueueState &state, const QueuedReceipt &receipt);
// A receipt known to have ended (its final outcome kept elsewhere) whose
// lines a journal cut short still holds: its lines go, never to be sent
// again, and it ends as it did.
void EndReceiptAsKept(QueueState &state, const ReceiptHistory &ended);

} // namespace norvvelm
