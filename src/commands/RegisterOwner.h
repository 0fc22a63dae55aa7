#pragma once

#include <QObject>
#include <QString>

#include <functional>

namespace norvvelm {

class Prompter;
class Session;

// One owner of the register at a time. Two sides share it: the print server,
// with the receipts of its files, and the operator (the console's keys and
// documents, the programming pages, the logo upload, the technician's
// commands), with sequences of exchanges that belong together.
//
// - An operator sequence holds the register from its start to its end,
//   pauses and questions included (a RegisterLease); so does an invoice or
//   credit note opened from the console, or a receipt rung up by its keys or
//   the technician's commands, until its closing. Meanwhile the
//   print server takes no file and sends nothing: the files wait in the
//   folder and are taken as soon as the register is free again.
// - While the print server is sending its queue, no operator sequence starts.
// - While it has lines waiting, a recovery to do, or a receipt of its own
//   open on the register, an operator sequence that would change the
//   register's state is refused with a message; reads that change nothing
//   may go. Lines that wait for a receipt or document the operator holds
//   open do not refuse the operator: they wait for its closing.
class RegisterOwner : public QObject {
    Q_OBJECT
public:
    // What an operator sequence does to the register.
    enum class Use {
        Reads,   // reads that change nothing: the display, a table, the status
        Changes, // keys, documents, reports, table writes, logos, raw commands
    };
    // What the print server has under way.
    struct ServerWork {
        bool sending = false;      // its queue is being sent right now
        bool linesWaiting = false; // lines queued, or the register's state to be recovered first
        bool receiptOpen = false;  // a receipt it opened is still open on the register
    };

    explicit RegisterOwner(QObject *parent = nullptr) : QObject(parent) {}

    // Told by the station: how to learn what the server has under way.
    void setServerWork(std::function<ServerWork()> work) { m_serverWork = std::move(work); }
    ServerWork serverWork() const { return m_serverWork ? m_serverWork() : ServerWork{}; }

    // Why an operator sequence of this use may not start now; empty when it may.
    QString refusal(Use use) const;

    // An operator sequence is under way.
    bool sequenceUnderWay() const { return m_sequences > 0; }
    // An invoice or credit note opened from the console waits for its closing.
    bool documentOpen() const { return m_documentOpen; }
    void setDocumentOpen(bool open);
    // A receipt opened by the technician's raw commands waits for its closing
    // (a payment, the void key), as one rung up on the console does.
    bool rawReceiptOpen() const { return m_rawReceiptOpen; }
    void setRawReceiptOpen(bool open);
    // The print server must wait.
    bool operatorHolds() const { return m_sequences > 0 || m_documentOpen || m_rawReceiptOpen; }

signals:
    // The operator let go of the register: waiting files may be taken now.
    void operatorReleased();

private:
    friend class RegisterLease;
    void acquire() { ++m_sequences; }
    void release();

    std::function<ServerWork()> m_serverWork;
    int m_sequences = 0;
    bool m_documentOpen = false;
    bool m_rawReceiptOpen = false;
};

// Whether an operator sequence of this use may start now; when not, says why
// as a refused lease does. Holds nothing: for a check before a question or a
// dialog, the lease itself being taken after it.
bool MayUseRegister(Session &session, RegisterOwner::Use use, Prompter *prompter = nullptr);

// An operator sequence's hold on the register, from construction to
// destruction; the busy pointer shows meanwhile. When the rules refuse it,
// it says why (status-bar panels 1 and 2, and a message when it would have
// changed the register) and holds nothing: the sequence must not send.
class RegisterLease {
public:
    RegisterLease(Session &session, RegisterOwner::Use use, Prompter *prompter = nullptr);
    ~RegisterLease();
    RegisterLease(const RegisterLease &) = delete;
    RegisterLease &operator=(const RegisterLease &) = delete;

    bool granted() const { return m_granted; }
    explicit operator bool() const { return m_granted; }

private:
    Session &m_session;
    bool m_granted = false;
};

} // namespace norvvelm
