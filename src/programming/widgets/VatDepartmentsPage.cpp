#include "programming/widgets/VatDepartmentsPage.h"

#include "commands/RegisterOwner.h"
#include "commands/Session.h"
#include "programming/VatRates.h"
#include "programming/WriteProcedure.h"
#include "programming/widgets/FieldFilters.h"
#include "shell/widgets/Controls.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QVBoxLayout>

namespace norvvelm {

using controls::arrayName;
using controls::nameControl;

VatDepartmentsPage::VatDepartmentsPage(WriteProcedure &procedure, QWidget *parent)
    : QWidget(parent), m_procedure(procedure), m_departments(procedure) {
    auto *outer = new QHBoxLayout(this);

    auto *left = new QVBoxLayout;
    auto *frame = new QGroupBox(QStringLiteral("Aliquote IVA"), this);
    auto *rates = new QGridLayout(frame);
    for (int i = 0; i < 5; ++i) {
        auto *label = new QLabel(QStringLiteral("%1)").arg(i + 1), frame);
        auto *box = new QLineEdit(frame);
        nameControl(box, arrayName("txtIVA", i), QStringLiteral("Aliquota IVA %1").arg(i + 1));
        slashToBackslash(box);
        label->setBuddy(box);
        rates->addWidget(label, i, 0);
        rates->addWidget(box, i, 1);
        m_rates << box;
    }
    left->addWidget(frame);
    auto *readRatesButton = new QPushButton(QStringLiteral("Recupera IVA"), this);
    nameControl(readRatesButton, QStringLiteral("cmdReadIVA"), QStringLiteral("Recupera IVA"));
    m_writeRates = new QPushButton(QStringLiteral("Imposta IVA"), this);
    nameControl(m_writeRates, arrayName("cmdSetParametri", 10), QStringLiteral("Imposta IVA"));
    left->addWidget(readRatesButton);
    left->addWidget(m_writeRates);
    for (const QString &notice :
         {QStringLiteral("ATTENZIONE : sono ammessi massimo 20 cambiamenti alle aliquote IVA "),
          QStringLiteral("Attenzione, le aliquote iva si cambiano solo dopo aver effettuato una chiusura "
                         "giornaliera. Per verificare se sono state cambiate rieffettuare \"RECUPERA\" dopo "
                         "IMPOSTA")}) {
        auto *l = new QLabel(notice, this);
        l->setWordWrap(true);
        left->addWidget(l);
    }
    left->addStretch();
    outer->addLayout(left, 1);

    auto *right = new QVBoxLayout;
    auto *scroll = new QScrollArea(this);
    scroll->setWidgetResizable(true);
    auto *table = new QWidget(scroll);
    auto *grid = new QGridLayout(table);
    grid->addWidget(new QLabel(QStringLiteral("Descrizione Reparto"), table), 0, 1);
    grid->addWidget(new QLabel(QStringLiteral("Cod IVA"), table), 0, 2);
    for (int i = 0; i < Departments::kCount; ++i) {
        auto *label = new QLabel(QStringLiteral("%1)").arg(i + 1), table);
        auto *box = new QLineEdit(table);
        nameControl(box, arrayName("txtDEPTDescription", i),
                    QStringLiteral("Descrizione Reparto %1").arg(i + 1));
        limitTyped(box, Departments::kTypedLimit);
        slashToBackslash(box);
        label->setBuddy(box);
        auto *list = new QComboBox(table);
        nameControl(list, arrayName("cmbDPTCodIVA", i), QStringLiteral("Cod IVA %1").arg(i + 1));
        list->addItems({QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3"), QStringLiteral("4"),
                        QStringLiteral("5")});
        grid->addWidget(label, i + 1, 0);
        grid->addWidget(box, i + 1, 1);
        grid->addWidget(list, i + 1, 2);
        m_descriptions << box;
        m_rateLists << list;
    }
    scroll->setWidget(table);
    right->addWidget(scroll);
    auto *buttons = new QHBoxLayout;
    auto *readDepartmentsButton = new QPushButton(QStringLiteral("Recupera Rep"), this);
    nameControl(readDepartmentsButton, QStringLiteral("cmdreadParmIVAREP"), QStringLiteral("Recupera Rep"));
    m_writeDepartments = new QPushButton(QStringLiteral("Imposta Rep."), this);
    nameControl(m_writeDepartments, arrayName("cmdSetParametri", 3), QStringLiteral("Imposta Rep."));
    m_writeDepartments->setEnabled(false); // until the departments have been read
    auto *clearButton = new QPushButton(QStringLiteral("Cancella"), this);
    nameControl(clearButton, QStringLiteral("cmdDPTClear"), QStringLiteral("Cancella"));
    buttons->addWidget(readDepartmentsButton);
    buttons->addWidget(m_writeDepartments);
    buttons->addWidget(clearButton);
    right->addLayout(buttons);
    outer->addLayout(right, 2);

    connect(readRatesButton, &QPushButton::clicked, this, [this] { readRates(); });
    connect(readDepartmentsButton, &QPushButton::clicked, this, &VatDepartmentsPage::readDepartments);
    connect(clearButton, &QPushButton::clicked, this, &VatDepartmentsPage::clearDescriptions);
    clear();
    // The boxes show the rates of every read, the start-up's included.
    Session &session = m_procedure.link().session;
    connect(&session.settings(), &Settings::vatTableChanged, this, &VatDepartmentsPage::showSessionRates);
    showSessionRates();
}

void VatDepartmentsPage::showSessionRates() {
    const QStringList &texts = m_procedure.link().session.settings().vatRateTexts();
    for (int i = 0; i < m_rates.size(); ++i)
        m_rates[i]->setText(texts.value(i));
}

void VatDepartmentsPage::clear() {
    for (QLineEdit *b : m_rates)
        b->clear();
    for (QLineEdit *b : m_descriptions)
        b->clear();
    for (QComboBox *c : m_rateLists)
        c->setCurrentIndex(-1);
}

bool VatDepartmentsPage::readRates() {
    for (QLineEdit *b : m_rates)
        b->clear();
    QStringList texts;
    TableLink &link = m_procedure.link();
    if (!ReadVatRates(link.runner, link.session, &texts))
        return false;
    for (int i = 0; i < m_rates.size(); ++i)
        m_rates[i]->setText(texts.value(i));
    return true;
}

void VatDepartmentsPage::readDepartments() {
    // The whole table is one sequence: the print server waits until it ends.
    const RegisterLease lease(m_procedure.link().session, RegisterOwner::Use::Reads);
    if (!lease)
        return;
    readRates();
    const bool last = m_departments.read(
        [this](int n) {
            m_descriptions[n - 1]->clear();
            m_rateLists[n - 1]->setCurrentIndex(-1);
            m_descriptions[n - 1]->repaint();
            m_rateLists[n - 1]->repaint();
        },
        [this](int n, const std::optional<Department> &d) {
            if (!d)
                return;
            m_descriptions[n - 1]->setText(d->description);
            m_rateLists[n - 1]->setCurrentIndex(d->rate >= 1 && d->rate <= 5 ? d->rate - 1 : -1);
        });
    // Reflects the last department read.
    m_writeDepartments->setEnabled(last);
}

void VatDepartmentsPage::writeRates() {
    WriteVatRates(m_procedure, rates());
}

void VatDepartmentsPage::writeDepartments() {
    m_departments.write(departments());
}

void VatDepartmentsPage::clearDescriptions() {
    for (QLineEdit *b : m_descriptions)
        b->clear();
    m_writeDepartments->setEnabled(false);
}

QStringList VatDepartmentsPage::rates() const {
    QStringList out;
    for (const QLineEdit *b : m_rates)
        out << b->text();
    return out;
}

QList<Department> VatDepartmentsPage::departments() const {
    QList<Department> out;
    for (int i = 0; i < m_descriptions.size(); ++i)
        out.append({m_descriptions[i]->text(), m_rateLists[i]->currentIndex() + 1});
    return out;
}

} // namespace norvvelm
