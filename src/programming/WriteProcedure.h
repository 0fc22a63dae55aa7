#pragma once

#include "programming/TableLink.h"

#include <QString>

#include <array>
#include <functional>

namespace norvvelm {

class Prompter;

// The handler shared by every "Imposta" button of the programming pages: one
// branch per button index, the messages of a write, and the rule for tables
// written one row at a time.
class WriteProcedure {
public:
    static constexpr int kButtons = 11; // cmdSetParametri 0..10
    static constexpr int kLogo = 2;
    using Branch = std::function<void()>;

    WriteProcedure(TableLink link, Prompter &prompter);

    TableLink &link() { return m_link; }
    Prompter &prompter() { return m_prompter; }

    // The branch run for a button (the pages set theirs; the logo page sets
    // index 2). Indexes 5 and 8 have none and do nothing.
    void setBranch(int index, Branch branch);
    bool hasBranch(int index) const;
    // Runs the branch of a button, the session busy meanwhile.
    void run(int index);

    // --- the messages of a write ---
    // The failure text, "Errore : " with the answer's error code, and the
    // register's explanation of it, one per line.
    QString failureMessage(const QString &failure) const;
    // By the last status: the failure message (critical) or the success text.
    // True when the send succeeded.
    bool report(const QString &failure, const QString &success);
    void showFailure(const QString &failure);
    void showSuccess(const QString &success);
    // OK/Cancel question with Cancel as default, title "ATTENZIONE".
    bool confirm(const QString &question);

    // --- tables written one command per row ---
    struct Rows {
        int count = 0;
        std::function<QString(int row)> line;            // the command of a row
        std::function<QString(int row)> failure;         // its failure text
        std::function<void(int row)> progress = nullptr; // before each row
    };
    struct Outcome {
        int sent = 0;
        int failed = 0;
        bool stopped = false; // the register could not be reached
    };
    // Sends rows 0..count-1. A refusal shows its failure message and the write
    // goes on; when the register cannot be reached the write stops at that row
    // with one message.
    Outcome sendRows(const Rows &rows);
    // The closing message: `success` when every row went through, otherwise
    // how many failed (critical); nothing after a stop, already reported.
    void closeRows(const Outcome &outcome, int total, const QString &success, const QString &whatFailed);

private:
    TableLink m_link;
    Prompter &m_prompter;
    std::array<Branch, kButtons> m_branches;
};

} // namespace norvvelm
