#pragma once

#include "programming/PluTable.h"

#include <QList>
#include <QWidget>

#include <functional>

class QProgressBar;
class QPushButton;
class QTableWidget;

namespace norvvelm {

class WriteProcedure;

// The PLU page: the grid fgPLU (grid row n is PLU n), reading, writing,
// saving to and loading from a PLU file.
class PluPage : public QWidget {
    Q_OBJECT
public:
    PluPage(WriteProcedure &procedure, SerialFunz2 *link, QWidget *parent = nullptr);

    // Asks for a PLU file name (prompt, title, default); empty when the
    // operator gave none. Tests replace it.
    std::function<QString(const QString &, const QString &, const QString &)> askFileName;

    void read();  // cmdReadPLU
    void write(); // cmdSetParametri(4)
    void saveFile();
    void loadFile();
    void clear(); // cmdCancellaPLU: the titles alone

    QList<PluRow> rows() const;
    void setRows(const QList<PluRow> &rows);
    void appendRows(const QList<PluRow> &rows);
    QTableWidget *grid() const { return m_grid; }

private:
    void setRow(int r, const PluRow &row);
    void showBar(int bar, int maximum);
    void hideBars();
    void advance(int bar, int value);

    WriteProcedure &m_procedure;
    PluTable m_table;
    QTableWidget *m_grid = nullptr;
    QList<QProgressBar *> m_bars;
};

} // namespace norvvelm
