#pragma once

#include <QFile>
#include <QString>
#include <QStringList>

namespace norvvelm {

// What the executor must not forget across a crash: the queue, the lines of
// the receipt the register holds open, and the line that was going out.
struct QueueState {
    QStringList queue;   // lines waiting, first to go first
    QStringList receipt; // lines of the open receipt already carried out, from its first
    bool receiptOpen = false;
    // The line sent whose outcome is not known yet.
    bool inFlight = false;
    QString inFlightLine;
    bool inFlightOpenBefore = false; // a receipt was open when it went out
    int receiptsBefore = -1;         // the register's receipt count before a closing line
    // Working copies whose lines were kept, should one be left behind.
    QStringList takenFiles;
    bool idle() const { return queue.isEmpty() && receipt.isEmpty() && !receiptOpen && !inFlight; }
};

// The queue on disk, in the home folder: an append-only file of records,
// each handed to the system before the program acts on it, and synced to the
// disk where a loss would change what the recovery does (the lines taken
// from a file, a receipt's first line, a closing line, a line that changes
// the register outside a receipt, a receipt's end). Replaying the records
// gives back the state they describe; a record cut short by a crash was
// never acted upon and is ignored.
class ReceiptJournal {
public:
    static QString fileName() { return QStringLiteral("NorvVelm.journal"); }

    explicit ReceiptJournal(QString path) : m_path(std::move(path)) {}
    QString path() const { return m_path; }

    enum class Load { Empty, Loaded, SetAside, Failed };
    // Reads the file into `state`. A file that is not a journal of ours, or
    // whose records contradict each other, is renamed (its new name in
    // `detail`) and never loaded in part. Failed: the file cannot be read or
    // written at all (`detail` says why).
    Load load(QueueState &state, QString &detail);
    // Opens the file for appending, writing `state` anew. False when it cannot
    // be written (`error()` says why).
    bool start(const QueueState &state);
    bool isOpen() const { return m_file.isOpen(); }
    QString error() const { return m_error; }

    // Records; each returns false when the disk did not take it.
    // Lines of a file at the end of the queue, with the name of its working copy.
    bool appended(const QStringList &lines, const QString &workingCopy = {});
    bool sending(const QString &line, bool openBefore, int receiptsBefore,
                 bool sync);              // the first line goes out
    bool skipped(const QString &line);    // the first line, not sent
    bool done(bool openAfter, bool sync); // the line in flight ended
    bool putBack(const QString &line);    // a line back at the head
    // The open receipt voided: its lines (and the one in flight, when
    // `withInFlight`) back at the head of the queue.
    bool resend(bool withInFlight);
    bool dropReceipt(); // the open receipt voided and given up
    bool cleared();     // the queue emptied, no receipt open
    // Writes the state alone when nothing is left to remember, or when the
    // records far outgrow it.
    bool compact(const QueueState &state);

    // Applies one record to a state; false when it does not fit (shared by
    // the replay and the executor's own bookkeeping).
    static bool apply(QueueState &state, QStringView record);

private:
    bool write(const QByteArray &record, bool sync);
    bool rewrite(const QueueState &state);

    QString m_path;
    QFile m_file;
    QString m_error;
    qint64 m_records = 0; // since the last rewrite
};

} // namespace norvvelm
