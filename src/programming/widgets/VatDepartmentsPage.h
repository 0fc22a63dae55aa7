#pragma once

#include "programming/Departments.h"

#include <QList>
#include <QWidget>

class QComboBox;
class QLineEdit;
class QPushButton;

namespace norvvelm {

class Runner;
class Session;
class WriteProcedure;

// "IVA e Reparti": the five VAT rates and the twenty departments.
class VatDepartmentsPage : public QWidget {
    Q_OBJECT
public:
    VatDepartmentsPage(WriteProcedure &procedure, QWidget *parent = nullptr);

    // Empty rate boxes and descriptions, rate lists deselected.
    void clear();
    // cmdReadIVA: false when the register did not answer "e/".
    bool readRates();
    // The rate boxes from the session's last read.
    void showSessionRates();
    // cmdreadParmIVAREP.
    void readDepartments();
    // The two write branches (cmdSetParametri 10 and 3).
    void writeRates();
    void writeDepartments();
    void clearDescriptions();

    QStringList rates() const;
    QList<Department> departments() const;
    QPushButton *writeDepartmentsButton() const { return m_writeDepartments; }
    QPushButton *writeRatesButton() const { return m_writeRates; }

private:
    WriteProcedure &m_procedure;
    Departments m_departments;
    QList<QLineEdit *> m_rates;
    QList<QLineEdit *> m_descriptions;
    QList<QComboBox *> m_rateLists;
    QPushButton *m_writeRates = nullptr;
    QPushButton *m_writeDepartments = nullptr;
};

} // namespace norvvelm
