#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <array>
#include <functional>

namespace norvvelm {

class SerialFunz2;
class WriteProcedure;

// One PLU as a grid row: BC, Descrizione, Rep, Bonus, Price, Max Price,
// Mag., FLAGS, Vend., Tot.Vend.
using PluRow = std::array<QString, 10>;

// The register's PLU table, numbered 1..9000: "p/" reads one, "P/" writes one.
class PluTable {
public:
    static constexpr int kMaxPlu = 9000;
    static constexpr int kColumns = 10;
    static constexpr int kWritten = 8;      // columns 0..7 reach the register
    static constexpr int kEmptyToStop = 10; // empty positions that end the sweep
    static const QStringList &columnTitles();
    // Columns 2..6 travel as numbers.
    static bool isNumeric(int column) { return column >= 2 && column <= 6; }

    PluTable(WriteProcedure &procedure, SerialFunz2 *link = nullptr) : m_procedure(procedure), m_link(link) {}

    static QString readCommand(int n);
    static QString clearCommand(int n);
    // Normalises the numeric columns of `row` in place, then composes "P/".
    static QString writeCommand(int n, PluRow &row);
    // The answer's fields in their grid columns.
    static PluRow parse(const QString &answer);
    // The code of a read answer (field 1, trimmed): empty where no PLU is.
    static QString answerCode(const QString &answer);

    // cmdReadPLU: PLUs 1, 2, ... while the register answers with a code.
    // `progress(n)` before each; `row(n, plu)` for each PLU found. Returns how
    // many were read.
    int read(const std::function<void(int)> &progress, const std::function<void(int, const PluRow &)> &row);

    // cmdSetParametri(4): writes rows as PLUs 1.. (normalising them in place,
    // `changed(r)` after row r was), then clears the PLUs the register holds
    // beyond them until ten positions in a row are empty.
    struct WriteOutcome {
        int written = 0;
        int failed = 0;
        QList<int> cleared;
        bool stopped = false;
    };
    WriteOutcome write(QList<PluRow> &rows, const std::function<void(int)> &progress,
                       const std::function<void(int)> &changed = nullptr);

private:
    WriteProcedure &m_procedure;
    SerialFunz2 *m_link;
};

} // namespace norvvelm
