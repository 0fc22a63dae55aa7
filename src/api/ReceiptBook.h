#pragma once

#include "commands/QueueModel.h"

#include <QByteArray>
#include <QDate>
#include <QDateTime>
#include <QJsonObject>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

#include <optional>

namespace norvvelm {

// A receipt as the API and the outcome files tell it: its history, with its
// id as "R<number>" and its state by name.
QString ReceiptIdText(quint64 id);
// The number of an id text; 0 when it is not one.
quint64 ReceiptIdNumber(QStringView text);
QString OutcomeStateName(OutcomeState state);
std::optional<OutcomeState> OutcomeStateNamed(QStringView name);
QJsonObject ReceiptJson(const ReceiptHistory &receipt);
// The kind of document a receipt is ("receipt" when it names none).
QString KindOf(const ReceiptHistory &receipt);
// The register's figures of the day, amounts as decimal texts, and back.
QJsonObject FiguresJson(const ReceiptTotals &totals);
ReceiptTotals FiguresFromJson(const QJsonObject &o);
// Back from ReceiptJson(); false when `o` is not a receipt.
bool ReceiptFromJson(const QJsonObject &o, ReceiptHistory &out);

// Which receipts a listing asks for, newest (the highest id) first.
struct ReceiptQuery {
    int limit = 50;
    quint64 before = 0; // only ids below it (a cursor); 0: from the newest
    QDateTime since;    // accepted at or after it
    QDate date;         // accepted that day, local time
    QList<OutcomeState> states;
    bool matches(const ReceiptHistory &r) const;
};

// A time as the API writes it: ISO 8601 with milliseconds and its offset
// from UTC ("2026-12-10T09:15:02.123+01:00"); null when not valid.
QJsonValue TimeJson(const QDateTime &t);
// Back from TimeJson(), or from a time written without its offset (local
// time), as outcomes kept before were; invalid when it is neither.
QDateTime TimeFromText(const QString &text);

// The receipts the queue holds and has held: where the API submits and
// looks up, whatever keeps them.
class ReceiptBook : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    enum class Submit {
        Accepted, // new: queued, and on disk before the answer goes out
        Repeated, // the same key with the same body: the receipt it made
        Conflict, // the same key with another body
        Failed,   // could not be kept on disk: nothing queued
    };
    // `source` is a request's: its key, the hash of its body and its terms.
    virtual Submit submit(const ReceiptSource &source, const QStringList &lines, ReceiptHistory &receipt) = 0;
    Submit submit(const QString &key, const QByteArray &bodyHash, const QStringList &lines,
                  ReceiptHistory &receipt) {
        return submit(ReceiptSource{ReceiptSource::Kind::Request, key, bodyHash, {}, {}}, lines, receipt);
    }
    enum class Cancel {
        Cancelled, // withdrawn now: `receipt` is its final state
        Started,   // a line of it has gone out (or is going): too late
        Ended,     // already final: `receipt` as it ended
        Unknown,   // no such receipt
        NotKept,   // the journal cannot keep it: nothing changed
    };
    virtual Cancel cancel(const QString &id, ReceiptHistory &receipt) = 0;
    virtual std::optional<ReceiptHistory> find(const QString &id) const = 0;
    // Newest first.
    virtual QList<ReceiptHistory> newest(int limit) const = 0;
    // Those `query` asks for, highest id first; `more` tells whether others
    // follow the last.
    virtual QList<ReceiptHistory> listed(const ReceiptQuery &query, bool *more) const = 0;
    // Accepted and not yet final.
    virtual int pending() const = 0;
    // The queue's lines waiting, and whether a receipt of its own is open on
    // the register: the queue's state, not a copy of it.
    virtual int queuedLines() const = 0;
    virtual bool receiptOpen() const = 0;
    // Final states reached since start, by state.
    virtual QMap<std::pair<QString, QString>, qint64> finals() const = 0;

signals:
    void changed(const QString &id);
};

} // namespace norvvelm
