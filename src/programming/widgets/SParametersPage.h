#pragma once

#include "programming/SParameters.h"

#include <QList>
#include <QWidget>

#include <bitset>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace norvvelm {

// "Parametri S": the register's option flags, maximums, station identity,
// barcode leading codes, print intensity and payment rate code.
class SParametersPage : public QWidget {
    Q_OBJECT
public:
    SParametersPage(WriteProcedure &procedure, QWidget *parent = nullptr);

    void read();  // CmdReadParamS
    void write(); // cmdSetParametri(9)
    void resetToDefaults();
    // The flags the model has; the others' lists are hidden.
    void showFlags(const std::bitset<26> &flags);

    SRecord record() const;
    void setRecord(const SRecord &r);
    QPushButton *writeButton() const { return m_write; }

private:
    WriteProcedure &m_procedure;
    SParameters m_parameters;
    QList<QComboBox *> m_flags;
    QList<QLabel *> m_flagLabels;
    QList<QLineEdit *> m_maximums;
    QLineEdit *m_id = nullptr;
    QLineEdit *m_name = nullptr;
    QList<QLineEdit *> m_weight;
    QList<QLineEdit *> m_price;
    QLineEdit *m_intensity = nullptr;
    QLineEdit *m_payRate = nullptr;
    QPushButton *m_write = nullptr;
};

} // namespace norvvelm
