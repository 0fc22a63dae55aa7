#pragma once

#include <QList>
#include <QString>

#include <optional>

namespace norvvelm {

class WriteProcedure;

// One printed line of the receipt's header or footer, as its three controls
// hold it: the text, the alignment list index ("Sinistra", "Destra",
// "Centrato") and the print-mode list index ("Normale", "Doppia Altezza",
// "Doppia Larghezza", "Doppia Altezza e Larghezza"); -1 where nothing is
// selected.
struct PrintRow {
    QString text;
    int align = 0;
    int mode = 0;
};

// The header ("H/", 12 rows) and footer ("F/", 3 rows): their line layout,
// their commands and their copy in section "Intestazioni" of NorvVelm.ini.
// The register is never asked for them.
class HeaderFooter {
public:
    static constexpr int kHeaderRows = 12;
    static constexpr int kFooterRows = 3;
    static constexpr int kTypedLimit = 32;

    explicit HeaderFooter(WriteProcedure &procedure) : m_procedure(procedure) {}

    // The print mode's font code ("1".."4", "0" for no mode) and line width.
    static QString fontCode(int mode);
    static int lineWidth(int mode);
    // The text laid out to exactly `width` characters by its alignment.
    static QString layOut(const QString &text, int align, int width);

    // The whole command; rows beyond the list count as empty.
    static QString headerCommand(const QList<PrintRow> &rows);
    static QString footerCommand(const QList<PrintRow> &rows);

    // The stored value: alignment digit, print-mode digit, trimmed text.
    static QString storedValue(const PrintRow &row);
    // What a stored value restores; a setting that cannot be read is left out.
    struct Restored {
        std::optional<int> align;
        std::optional<int> mode;
        std::optional<QString> text;
    };
    static Restored restore(const QString &value);

    // cmdSetParametri(0): confirm, store every row, send "H/". False when
    // cancelled or refused.
    bool writeHeader(const QList<PrintRow> &rows);
    // cmdSetParametri(1): store every row, send "F/".
    bool writeFooter(const QList<PrintRow> &rows);
    // cmdRecHeader / cmdReadPiede: the rows as the settings file restores them.
    QList<PrintRow> reloadHeader(QList<PrintRow> rows);
    QList<PrintRow> reloadFooter(QList<PrintRow> rows);

private:
    QList<PrintRow> reload(QList<PrintRow> rows, const QString &keyPrefix);
    // False when a value could not be written to the settings file.
    bool store(const QList<PrintRow> &rows, int count, const QString &keyPrefix);
    // A copy that could not be kept is said on the status bar.
    void sayCopyLost(bool stored, const QString &what);

    WriteProcedure &m_procedure;
};

} // namespace norvvelm
