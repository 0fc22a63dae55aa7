#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QJsonObject>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

#include <optional>

namespace norvvelm {

// A receipt as the API and the outcome files tell it.
struct ReceiptOutcome {
    QString id;
    QString key;            // the client's Idempotency-Key; empty for a receipt file
    QString source;         // "api", or the receipt file's name
    QString state;          // queued, printing, printed, voided, failed, refused
    int receiptNumber = -1; // from the register, once printed
    QString total;          // from the register, once printed
    QStringList lines;
    struct Error {
        int line = 0; // 1-based line of the receipt
        QString code;
        QString text;
    };
    QList<Error> errors;
    QDateTime accepted, started, finished;

    bool isFinal() const;
    QJsonObject toJson() const;
    // Back from toJson(); false when `o` is not a receipt.
    static bool fromJson(const QJsonObject &o, ReceiptOutcome &out);
};

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
    virtual Submit submit(const QString &key, const QByteArray &bodyHash, const QStringList &lines,
                          ReceiptOutcome &receipt) = 0;
    virtual std::optional<ReceiptOutcome> find(const QString &id) const = 0;
    // Newest first.
    virtual QList<ReceiptOutcome> newest(int limit) const = 0;
    // Accepted and not yet final.
    virtual int pending() const = 0;
    // Final states reached since start, by state.
    virtual QMap<QString, qint64> finals() const = 0;

signals:
    void changed(const QString &id);
};

} // namespace norvvelm
