#pragma once

#include "api/OutcomeStore.h"
#include "api/ReceiptBook.h"
#include "commands/CommandLanguage.h"

#include <QHash>

#include <functional>

namespace norvvelm {

class Executor;
class Session;
struct QueuedReceipt;
struct QueueState;

// The receipts of the one queue, as the API tells them: each receipt's
// history is the queue's own record while its lines are under way, and the
// outcome store's once the queue lets it go. The store also keeps every
// state of an API receipt, so that its key finds it after a restart.
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

    using ReceiptBook::submit;
    Submit submit(const ReceiptSource &source, const QStringList &lines, ReceiptHistory &receipt) override;
    Cancel cancel(const QString &id, ReceiptHistory &receipt) override;
    std::optional<ReceiptHistory> find(const QString &id) const override;
    QList<ReceiptHistory> newest(int limit) const override;
    QList<ReceiptHistory> listed(const ReceiptQuery &query, bool *more) const override;
    int pending() const override;
    int queuedLines() const override;
    bool receiptOpen() const override;
    QMap<std::pair<QString, QString>, qint64> finals() const override;

    // Looks at the queue's state: every receipt that moved is said, and a
    // final one is stored and its outcome file written.
    void refresh();
    // A state read back from the journal, before it is written anew: its
    // receipts take back their times and lines from the store, the receipts
    // it finished are kept, and its next id follows every id given. Unless
    // the journal ended with the queue idle (`whole`), a receipt the store
    // has not seen end and the journal no longer carries is lost: it waits
    // for the register's word (settleLost).
    void adopt(QueueState &state, bool whole = true);
    // Receipts whose history was lost wait for the register's word.
    bool hasLost() const { return !m_lost.isEmpty(); }
    // Read after the register answered the void key: a lost receipt the
    // register closed (its count one more than before its closing) is
    // printed with that number; any other is failed, for the lost history.
    void settleLost(const ReceiptTotals &now);
    // Told of every change of a receipt that came from a file, to write its
    // outcome file.
    std::function<void(const ReceiptHistory &)> fileOutcome;
    // Told when a submission was queued.
    std::function<void()> queued;

private:
    void look(const QueueState &queue);
    // Whether `r` was told as it stands: by this run, or by an earlier one
    // to the store.
    bool toldAsItIs(const QueuedReceipt &r);
    void keep(const ReceiptHistory &r);

    Session &m_s;
    Executor &m_executor;
    OutcomeStore m_store;
    struct Told {
        OutcomeState outcome = OutcomeState::Queued;
        int receiptsBefore = -1;
        bool operator==(const Told &) const = default;
    };
    static Told toldOf(const ReceiptHistory &r) { return {r.outcome, r.receiptsBefore}; }
    QHash<quint64, Told> m_told; // receipts under way, as last told
    QList<ReceiptHistory> m_lost;
    QMap<std::pair<QString, QString>, qint64> m_finals; // by kind and state
    bool m_inRefresh = false;
    bool m_storeFailing = false;
};

} // namespace norvvelm
