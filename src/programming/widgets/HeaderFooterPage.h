#pragma once

#include "programming/HeaderFooter.h"

#include <QList>
#include <QWidget>

class QComboBox;
class QLineEdit;
class QPushButton;

namespace norvvelm {

// The header page (12 rows) or the footer page (3 rows): text, alignment and
// print mode of each printed line.
class HeaderFooterPage : public QWidget {
    Q_OBJECT
public:
    enum class Kind { Header, Footer };
    HeaderFooterPage(Kind kind, HeaderFooter &logic, QWidget *parent = nullptr);

    QList<PrintRow> rows() const;
    void setRows(const QList<PrintRow> &rows);
    // Every row to empty text, alignment 0 and print mode 0.
    void clear();
    // Rows at or beyond the model's count are hidden (and still sent).
    void showRows(int count);
    QLineEdit *firstBox() const { return m_text.first(); }
    QPushButton *writeButton() const { return m_write; }

    // The alignment and print-mode list items.
    static const QStringList &alignItems();
    static const QStringList &modeItems();

private:
    void reload();
    void preview();

    Kind m_kind;
    HeaderFooter &m_logic;
    QList<QLineEdit *> m_text;
    QList<QComboBox *> m_align;
    QList<QComboBox *> m_mode;
    QPushButton *m_write = nullptr;
};

} // namespace norvvelm
