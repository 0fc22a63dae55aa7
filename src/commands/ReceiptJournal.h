#pragma once

#include "commands/QueueModel.h"

#include <QFile>
#include <QString>
#include <QStringList>

#include <functional>

namespace norvvelm {

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
    // How the file read by load() ended: only a journal whose last record
    // says the queue stood idle proves that the register holds nothing of ours.
    enum class Ending {
        Missing,    // no file
        Empty,      // no record, not even the header whole
        Cut,        // its last record cut short
        Unfinished, // whole records, the last not the idle mark (a crash, a cut between records)
        Idle,       // its last record is the idle mark
    };
    Ending ending() const { return m_ending; }
    // Lines of a receipt whose records the cut left incomplete: never sent,
    // since alone they would leave a receipt open; and that receipt.
    int lostLines() const { return m_lostLines; }
    const QList<QueuedReceipt> &droppedReceipts() const { return m_dropped; }
    // Reads the file into `state`. A file that is not a journal of ours, or
    // whose records contradict each other, is renamed (its new name in
    // `detail`) and never loaded in part. Failed: the file cannot be read or
    // written at all (`detail` says why).
    Load load(QueueState &state, QString &detail);
    // Opens the file for appending, writing `state` anew. False when it cannot
    // be written (`error()` says why).
    [[nodiscard]] bool start(const QueueState &state);
    bool isOpen() const { return m_file.isOpen(); }
    // Open, and no write failed since: records may be appended. After a
    // failure only start() mends it.
    bool writable() const { return m_file.isOpen() && !m_broken; }
    // A test's seam: writes fail, as on a full or read-only disk, while it
    // answers true.
    void setWriteFault(std::function<bool()> fails) { m_writeFault = std::move(fails); }
    // The file open is no longer the one under the journal's name: it was
    // removed, renamed or replaced while the program ran.
    bool replacedOnDisk() const;
    QString error() const { return m_error; }

    // Appends the records of `events`, which are about to change `before`;
    // false when the disk did not take them. Synced where a loss would change
    // what the recovery does.
    [[nodiscard]] bool append(const QList<QueueEvent> &events, const QueueState &before);
    // Writes the state alone when nothing is left to remember, or when the
    // records far outgrow it.
    [[nodiscard]] bool compact(const QueueState &state);

    // One record's text, and back; false when the text is not a record.
    static QByteArray encode(const QueueEvent &event);
    static bool decode(QByteArrayView record, QueueEvent &event);

private:
    bool replay(const QByteArray &all, int version, QueueState &s);
    void dropCutReceipt(QueueState &s, const QueueState &before, quint64 id);
    Load setAside(QString &detail);
    bool write(const QByteArray &records, qsizetype count, bool sync);
    bool rewrite(const QueueState &state);
    bool failed();
    bool faultInjected();

    QString m_path;
    QFile m_file;
    QString m_error;
    qint64 m_records = 0; // since the last rewrite
    qint64 m_idleAt = -1; // where the idle mark stands, when it is the last record
    bool m_broken = false;
    std::function<bool()> m_writeFault;
    Ending m_ending = Ending::Missing;
    int m_lostLines = 0;
    QList<QueuedReceipt> m_dropped;
};

} // namespace norvvelm
