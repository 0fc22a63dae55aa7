#pragma once

#include "api/OutcomeStore.h"
#include "api/ReceiptBook.h"

#include <QHash>

#include <functional>

namespace norvvelm {

class Executor;
class Session;
struct QueuedReceipt;
struct QueueState;

// The receipts of the one queue, as the API tells them: those under way are
// read from the queue's own state (identity, source, state, outcome), the
// finished ones from the outcome store once the queue lets them go. An API
// receipt's source names its Idempotency-Key and the hash of its body, so a
// key repeated after a restart finds it in the journal's replay.
class QueueReceiptBook : public ReceiptBook {
    Q_OBJECT
public:
    QueueReceiptBook(Session &session, Executor &executor, QObject *parent = nullptr);
    ~QueueReceiptBook() override;

    // The outcome store of the home folder; false (said by the caller) when
    // it cannot be written.
    bool open(const QString &homeDir);
    QString storeError() const { return m_store.error(); }
    OutcomeStore &store() { return m_store; }

    Submit submit(const QString &key, const QByteArray &bodyHash, const QStringList &lines,
                  ReceiptOutcome &receipt) override;
    std::optional<ReceiptOutcome> find(const QString &id) const override;
    QList<ReceiptOutcome> newest(int limit) const override;
    int pending() const override;
    QMap<QString, qint64> finals() const override;

    // Looks at the queue's state: every receipt that moved is said, and a
    // final one is stored and its outcome file written.
    void refresh();
    // A state read back from the journal, before it is written anew: the
    // receipts it finished are kept, and its next id follows every id given.
    void adopt(QueueState &state);
    // Told of every change of a receipt that came from a file, to write its
    // outcome file.
    std::function<void(const ReceiptOutcome &)> fileOutcome;
    // Told when a submission was queued.
    std::function<void()> queued;

    static QString idOf(quint64 id);
    // The source key of an API receipt: its key and body hash.
    static QString sourceKey(const QString &key, const QByteArray &hash);

private:
    // Its outcome, told from `queue` (the executor's when none).
    ReceiptOutcome outcomeOf(const QueuedReceipt &r, const QueueState *queue = nullptr) const;
    void look(const QueueState &queue);
    struct Seen {
        QString state;
        QDateTime accepted, started, finished;
        QStringList lines;
    };

    Session &m_s;
    Executor &m_executor;
    OutcomeStore m_store;
    QHash<quint64, Seen> m_seen; // receipts under way, as last looked at
    QMap<QString, qint64> m_finals;
    bool m_inRefresh = false;
};

} // namespace norvvelm
