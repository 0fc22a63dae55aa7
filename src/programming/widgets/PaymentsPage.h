#pragma once

#include "programming/PaymentTable.h"

#include <QList>
#include <QWidget>

#include <array>

class QCheckBox;
class QLineEdit;
class QPushButton;

namespace norvvelm {

// "Pagamenti": one row per payment of the register.
class PaymentsPage : public QWidget {
    Q_OBJECT
public:
    PaymentsPage(WriteProcedure &procedure, QWidget *parent = nullptr);

    void read();  // cmdReadPagamenti
    void write(); // cmdSetParametri(6)
    void clear(); // cmdClearPagamenti
    // Rows at or beyond the model's count are hidden.
    void showRows(int count);
    // The credit boxes are the technician's.
    void setTechnicianMode(bool on);

    QList<Payment> payments() const;
    void setPayment(int row, const Payment &p);
    QPushButton *writeButton() const { return m_write; }

private:
    struct Row {
        QLineEdit *description;
        QLineEdit *shortDescription;
        std::array<QCheckBox *, 8> flags;
        QLineEdit *rate;
        QLineEdit *markUp;
        QLineEdit *change;
        QCheckBox *active;
        QCheckBox *credit;
        QList<QWidget *> all;
    };
    WriteProcedure &m_procedure;
    PaymentTable m_table;
    QList<Row> m_rows;
    QPushButton *m_write = nullptr;
};

} // namespace norvvelm
