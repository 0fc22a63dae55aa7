#include "programming/widgets/PaymentsPage.h"

#include "commands/RegisterOwner.h"
#include "programming/WriteProcedure.h"
#include "programming/widgets/FieldFilters.h"
#include "shell/widgets/Controls.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace norvvelm {

using controls::arrayName;
using controls::nameControl;

namespace {
struct FlagColumn {
    const char *name;
    const char *title;
};
constexpr FlagColumn kFlags[8] = {
    {"chkPagResto", "Da Resto"},
    {"chkPagAmmontare", "Obbl. Ammontare"},
    {"chkPagSubtotale", "Obbl. Subtotal"},
    {"chkPagCashIN", "Usabile Acquisti"},
    {"chkPagCashOut", "Usabile Vendite"},
    {"chkPagComments", "Accetta commenti"},
    {"chkPagPositivo", "Obbl. Imp. Positivo"},
    {"chkPagDecimali", "Accetta Decimali"},
};
int value(const QCheckBox *b) {
    return b->checkState() == Qt::Checked ? 1 : b->checkState() == Qt::PartiallyChecked ? 2 : 0;
}
} // namespace

PaymentsPage::PaymentsPage(WriteProcedure &procedure, QWidget *parent)
    : QWidget(parent), m_procedure(procedure), m_table(procedure) {
    auto *outer = new QVBoxLayout(this);
    auto *grid = new QGridLayout;
    QStringList titles = {QStringLiteral("Descrizione"), QStringLiteral("Descr. breve")};
    for (const FlagColumn &f : kFlags)
        titles << QString::fromLatin1(f.title);
    titles << QStringLiteral("Tasso Conv.") << QStringLiteral("MarkUp Code") << QStringLiteral("Change Met.")
           << QStringLiteral("Attivo") << QStringLiteral("Crediti");
    for (int c = 0; c < titles.size(); ++c) {
        auto *l = new QLabel(titles[c], this);
        l->setWordWrap(true);
        grid->addWidget(l, 0, c + 1);
    }
    for (int i = 0; i < PaymentTable::kCount; ++i) {
        const QString n = u' ' + QString::number(i + 1);
        Row row{};
        auto *label = new QLabel(QString::number(i + 1) + u')', this);
        const auto text = [&](const char *name, const QString &title, int limit) {
            auto *b = new QLineEdit(this);
            nameControl(b, arrayName(name, i), title + n);
            limitTyped(b, limit);
            return b;
        };
        const auto check = [&](const char *name, const QString &title) {
            auto *b = new QCheckBox(this);
            nameControl(b, arrayName(name, i), title + n);
            return b;
        };
        row.description = text("txtPagDescr", titles[0], PaymentTable::kDescriptionLimit);
        row.shortDescription = text("txtPagDescrBreve", titles[1], PaymentTable::kShortLimit);
        slashToBackslash(row.description);
        slashToBackslash(row.shortDescription);
        label->setBuddy(row.description);
        for (int f = 0; f < 8; ++f)
            row.flags[size_t(f)] = check(kFlags[f].name, QString::fromLatin1(kFlags[f].title));
        row.rate = text("txtPagTasso", titles[10], PaymentTable::kCodeLimit);
        row.markUp = text("txtPagMarkUp", titles[11], PaymentTable::kCodeLimit);
        row.change = text("txtPagChange", titles[12], PaymentTable::kCodeLimit);
        row.active = check("chkPagAttivo", titles[13]);
        row.credit = check("chkPagCrediti", titles[14]);
        row.credit->setEnabled(false); // until the technician logs in
        row.all = {label, row.description, row.shortDescription};
        for (QCheckBox *b : row.flags)
            row.all << b;
        row.all << row.rate << row.markUp << row.change << row.active << row.credit;
        for (int c = 0; c < row.all.size(); ++c)
            grid->addWidget(row.all[c], i + 1, c);
        m_rows << row;
    }
    outer->addLayout(grid);
    auto *buttons = new QHBoxLayout;
    auto *readButton = new QPushButton(QStringLiteral("Recupera"), this);
    nameControl(readButton, QStringLiteral("cmdReadPagamenti"), QStringLiteral("Recupera"));
    m_write = new QPushButton(QStringLiteral("Imposta"), this);
    nameControl(m_write, arrayName("cmdSetParametri", 6), QStringLiteral("Imposta"));
    m_write->setEnabled(false); // until the payments have been read
    auto *clearButton = new QPushButton(QStringLiteral("Cancella"), this);
    nameControl(clearButton, QStringLiteral("cmdClearPagamenti"), QStringLiteral("Cancella"));
    buttons->addWidget(readButton);
    buttons->addWidget(m_write);
    buttons->addWidget(clearButton);
    buttons->addStretch();
    outer->addLayout(buttons);
    outer->addStretch();
    connect(readButton, &QPushButton::clicked, this, &PaymentsPage::read);
    connect(clearButton, &QPushButton::clicked, this, &PaymentsPage::clear);
}

void PaymentsPage::read() {
    // The whole table is one sequence: the print server waits until it ends.
    const RegisterLease lease(m_procedure.link().session, RegisterOwner::Use::Reads);
    if (!lease)
        return;
    const bool last = m_table.read([this](int n, const QString &answer) {
        Payment p = payments().at(n - 1);
        PaymentTable::parse(answer, p);
        p.active = 1; // a payment read is active; its credit flag stays as it is
        setPayment(n - 1, p);
    });
    // Reflects the ninth payment.
    m_write->setEnabled(last);
}

void PaymentsPage::write() {
    m_table.write(payments());
}

void PaymentsPage::clear() {
    for (int i = 0; i < m_rows.size(); ++i)
        setPayment(i, Payment{});
    m_write->setEnabled(false);
}

void PaymentsPage::showRows(int count) {
    for (int i = 0; i < m_rows.size(); ++i) {
        for (QWidget *w : m_rows[i].all)
            w->setVisible(i < count);
    }
}

void PaymentsPage::setTechnicianMode(bool on) {
    for (const Row &r : m_rows)
        r.credit->setEnabled(on);
}

QList<Payment> PaymentsPage::payments() const {
    QList<Payment> out;
    for (const Row &r : m_rows) {
        Payment p;
        p.description = r.description->text();
        p.shortDescription = r.shortDescription->text();
        for (int f = 0; f < 8; ++f)
            p.flags[size_t(f)] = value(r.flags[size_t(f)]);
        p.rate = r.rate->text();
        p.markUp = r.markUp->text();
        p.change = r.change->text();
        p.active = value(r.active);
        p.credit = value(r.credit);
        out << p;
    }
    return out;
}

void PaymentsPage::setPayment(int row, const Payment &p) {
    const Row &r = m_rows.at(row);
    const auto state = [](int v) {
        return v == 1 ? Qt::Checked : v == 2 ? Qt::PartiallyChecked : Qt::Unchecked;
    };
    r.description->setText(p.description);
    r.shortDescription->setText(p.shortDescription);
    for (int f = 0; f < 8; ++f)
        r.flags[size_t(f)]->setCheckState(state(p.flags[size_t(f)]));
    r.rate->setText(p.rate);
    r.markUp->setText(p.markUp);
    r.change->setText(p.change);
    r.active->setCheckState(state(p.active));
    r.credit->setCheckState(state(p.credit));
}

} // namespace norvvelm
