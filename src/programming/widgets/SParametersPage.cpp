#include "programming/widgets/SParametersPage.h"

#include "commands/Prompter.h"
#include "commands/RegisterOwner.h"
#include "commands/Session.h"
#include "programming/WriteProcedure.h"
#include "programming/widgets/FieldFilters.h"
#include "shell/widgets/Controls.h"

#include <QComboBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace norvvelm {

using controls::arrayName;
using controls::nameControl;

namespace {
// Where each flag's list sits: the bitmap flags and the drawer flags have frames.
int frameOf(int flag) {
    if (flag >= 1 && flag <= 3)
        return 1;
    if (flag == 5 || flag == 6)
        return 2;
    return 0;
}
} // namespace

SParametersPage::SParametersPage(WriteProcedure &procedure, QWidget *parent)
    : QWidget(parent), m_procedure(procedure), m_parameters(procedure) {
    auto *outer = new QHBoxLayout(this);

    // The flags: those of no frame in two columns of their own, so that the
    // page fits a 1024x768 screen.
    auto *flagsColumn = new QVBoxLayout;
    auto *plainColumns = new QHBoxLayout;
    QFormLayout *plainHalves[2] = {new QFormLayout, new QFormLayout};
    int plainCount = 0;
    for (int j = 0; j < SParameters::kFlags; ++j)
        plainCount += frameOf(j) == 0 ? 1 : 0;
    int plainPlaced = 0;
    auto *bitmaps = new QGroupBox(QStringLiteral("Bitmaps"), this);
    auto *bitmapForm = new QFormLayout(bitmaps);
    auto *drawers = new QGroupBox(QStringLiteral("Drawers"), this);
    auto *drawerForm = new QFormLayout(drawers);
    QFormLayout *forms[3] = {nullptr, bitmapForm, drawerForm};
    for (int j = 0; j < SParameters::kFlags; ++j) {
        auto *label = new QLabel(QString::number(j + 1) + u')', this);
        auto *combo = new QComboBox(this);
        nameControl(combo, arrayName("cmbFlagS", j), QStringLiteral("Flag %1").arg(j + 1));
        combo->addItems(SParameters::flagItems().at(size_t(j)));
        // Narrower than its longest choice (the list shows it whole), so
        // that two columns of flags fit beside the values.
        combo->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
        combo->setMinimumContentsLength(14);
        combo->setCurrentIndex(-1);
        label->setBuddy(combo);
        QFormLayout *form = forms[frameOf(j)];
        if (!form)
            form = plainHalves[2 * plainPlaced++ < plainCount ? 0 : 1];
        form->addRow(label, combo);
        m_flags << combo;
        m_flagLabels << label;
    }
    auto *frames = new QHBoxLayout;
    frames->addWidget(bitmaps, 1, Qt::AlignTop);
    frames->addWidget(drawers, 1, Qt::AlignTop);
    flagsColumn->addLayout(frames);
    plainColumns->addLayout(plainHalves[0], 1);
    plainColumns->addLayout(plainHalves[1], 1);
    flagsColumn->addLayout(plainColumns);
    flagsColumn->addStretch();
    outer->addLayout(flagsColumn, 2);

    // The numbers and codes.
    auto *values = new QVBoxLayout;
    auto *form = new QFormLayout;
    const auto box = [&](const QString &name, const QString &label, int limit, bool digits, bool slash) {
        auto *b = new QLineEdit(this);
        nameControl(b, name, label.trimmed());
        limitTyped(b, limit, digits);
        if (slash)
            slashToBackslash(b);
        form->addRow(label, b);
        return b;
    };
    for (int m = 0; m < SParameters::kMaximums; ++m)
        m_maximums << box(arrayName("txtMaximumS", m), SParameters::maximumLabels().at(size_t(m)),
                          SParameters::maximumDigits().at(size_t(m)), true, false);
    m_id = box(QStringLiteral("txtIdECR"), QStringLiteral("ID Postazione"), 3, true, false);
    m_name = box(QStringLiteral("txtNameECR"), QStringLiteral("Nome Postazione"), 8, false, true);
    m_intensity =
        box(QStringLiteral("txtPRTIntensity"), QString::fromUtf8("Intensità di stampa"), 0, false, false);
    m_payRate = box(QStringLiteral("txtPayRateCode"), QStringLiteral("Payment rate code"), 1, true, false);
    values->addLayout(form);
    auto *codes = new QHBoxLayout;
    auto *weight = new QGroupBox(QStringLiteral("Weighting leading code"), this);
    auto *weightGrid = new QGridLayout(weight);
    auto *price = new QGroupBox(QStringLiteral("Pricing leading code"), this);
    auto *priceGrid = new QGridLayout(price);
    // The codes three a row: short fields, and the page fits 1024x768.
    const auto place = [](QGridLayout *grid, int i, const QString &row, QLineEdit *field) {
        auto *label = new QLabel(row);
        label->setBuddy(field);
        grid->addWidget(label, i / 3, 2 * (i % 3));
        grid->addWidget(field, i / 3, 2 * (i % 3) + 1);
    };
    for (int i = 0; i < SParameters::kLeading; ++i) {
        const QString row = QString::number(i + 1) + u')';
        auto *w = new QLineEdit(weight);
        nameControl(w, arrayName("txtBCWeight", i), QStringLiteral("Weighting leading code ") + row);
        limitTyped(w, 0, true);
        place(weightGrid, i, row, w);
        auto *p = new QLineEdit(price);
        nameControl(p, arrayName("txtBCPriceLead", i), QStringLiteral("Pricing leading code ") + row);
        limitTyped(p, 2);
        place(priceGrid, i, row, p);
        m_weight << w;
        m_price << p;
    }
    codes->addWidget(weight);
    codes->addWidget(price);
    values->addLayout(codes);

    auto *buttons = new QHBoxLayout;
    auto *readButton = new QPushButton(QStringLiteral("Recupera"), this);
    nameControl(readButton, QStringLiteral("CmdReadParamS"), QStringLiteral("Recupera"));
    m_write = new QPushButton(QStringLiteral("Imposta"), this);
    nameControl(m_write, arrayName("cmdSetParametri", 9), QStringLiteral("Imposta"));
    m_write->setEnabled(false); // until the record has been read
    auto *reset = new QPushButton(QStringLiteral("Ripristina Default"), this);
    nameControl(reset, QStringLiteral("cmdResetParmS"), QStringLiteral("Ripristina Default"));
    buttons->addWidget(readButton);
    buttons->addWidget(m_write);
    buttons->addWidget(reset);
    values->addLayout(buttons);
    values->addStretch();
    outer->addLayout(values, 1);

    connect(readButton, &QPushButton::clicked, this, &SParametersPage::read);
    connect(reset, &QPushButton::clicked, this, &SParametersPage::resetToDefaults);
}

void SParametersPage::read() {
    // The whole table is one sequence: the print server waits until it ends.
    const RegisterLease lease(m_procedure.link().session, RegisterOwner::Use::Reads);
    if (!lease)
        return;
    SRecord r;
    if (!m_parameters.read(r)) {
        m_write->setEnabled(false);
        return;
    }
    m_write->setEnabled(true);
    setRecord(r);
}

void SParametersPage::write() {
    m_parameters.write(record());
}

void SParametersPage::resetToDefaults() {
    if (m_procedure.prompter().ask(QStringLiteral("Ripristino tutti i valori a default "),
                                   QStringLiteral("Norv Velm"), Prompter::Icon::Question,
                                   Prompter::Buttons::YesNo, Prompter::Answer::No,
                                   Prompter::Answer::No) != Prompter::Answer::Yes)
        return;
    m_write->setEnabled(true);
    // The default record stands where the register's answer would.
    m_procedure.link().session.lastExchange().setLastAnswer(SParameters::defaultAnswer());
    setRecord(SParameters::parse(SParameters::defaultAnswer()));
    m_procedure.prompter().message(QStringLiteral("Parametri S ripristinati a default ma non salvati."),
                                   QStringLiteral("Norv Velm"), Prompter::Icon::Information);
}

void SParametersPage::showFlags(const std::bitset<26> &flags) {
    for (int j = 0; j < SParameters::kFlags; ++j) {
        m_flags[j]->setVisible(flags.test(size_t(j)));
        m_flagLabels[j]->setVisible(flags.test(size_t(j)));
    }
}

SRecord SParametersPage::record() const {
    SRecord r;
    for (int j = 0; j < SParameters::kFlags; ++j)
        r.flags[size_t(j)] = m_flags[j]->currentIndex();
    for (int m = 0; m < SParameters::kMaximums; ++m)
        r.maximums[size_t(m)] = m_maximums[m]->text();
    r.stationId = m_id->text();
    r.stationName = m_name->text();
    for (int i = 0; i < SParameters::kLeading; ++i) {
        r.weightLeading[size_t(i)] = m_weight[i]->text();
        r.priceLeading[size_t(i)] = m_price[i]->text();
    }
    r.printIntensity = m_intensity->text();
    r.payRateCode = m_payRate->text();
    return r;
}

void SParametersPage::setRecord(const SRecord &r) {
    for (int j = 0; j < SParameters::kFlags; ++j) {
        m_flags[j]->setCurrentIndex(-1);
        m_flags[j]->setCurrentIndex(r.flags[size_t(j)]);
    }
    for (int m = 0; m < SParameters::kMaximums; ++m)
        m_maximums[m]->setText(r.maximums[size_t(m)]);
    m_id->setText(r.stationId);
    m_name->setText(r.stationName);
    for (int i = 0; i < SParameters::kLeading; ++i) {
        m_weight[i]->setText(r.weightLeading[size_t(i)]);
        m_price[i]->setText(r.priceLeading[size_t(i)]);
    }
    m_intensity->setText(r.printIntensity);
    m_payRate->setText(r.payRateCode);
}

} // namespace norvvelm
