#include "programming/widgets/ConfigEcrPage.h"

#include "commands/Session.h"
#include "programming/widgets/HeaderFooterPage.h"
#include "programming/widgets/MessagesPage.h"
#include "programming/widgets/PaymentsPage.h"
#include "programming/widgets/PluPage.h"
#include "programming/widgets/SParametersPage.h"
#include "programming/widgets/VatDepartmentsPage.h"

#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

namespace norvvelm {

ConfigEcrPage::ConfigEcrPage(Runner &runner, Session &session, Prompter &prompter, SerialFunz2 &link,
                             QWidget *parent)
    : QWidget(parent), m_session(session), m_procedure({runner, session}, prompter),
      m_headerFooter(m_procedure) {
    setObjectName(QStringLiteral("ConfigEcrPage"));
    auto *layout = new QVBoxLayout(this);
    m_tabs = new QTabWidget(this);
    m_tabs->setObjectName(QStringLiteral("ssTabConfigECR"));
    m_tabs->setAccessibleName(QStringLiteral("Configurazione ECR"));
    layout->addWidget(m_tabs);

    m_header = new HeaderFooterPage(HeaderFooterPage::Kind::Header, m_headerFooter, m_tabs);
    m_footer = new HeaderFooterPage(HeaderFooterPage::Kind::Footer, m_headerFooter, m_tabs);
    m_vat = new VatDepartmentsPage(m_procedure, m_tabs);
    m_plu = new PluPage(m_procedure, &link, m_tabs);
    m_payments = new PaymentsPage(m_procedure, m_tabs);
    m_messages = new MessagesPage(m_procedure, m_tabs);
    m_s = new SParametersPage(m_procedure, m_tabs);
    m_tabs->addTab(m_header, QStringLiteral("&Intestazione"));
    m_tabs->addTab(m_footer, QString::fromUtf8("P&iè di scontrino"));
    m_tabs->addTab(m_vat, QStringLiteral("IVA e &Reparti"));
    m_tabs->addTab(m_plu, QStringLiteral("P&LU"));
    m_tabs->addTab(m_payments, QStringLiteral("Pa&gamenti"));
    m_tabs->addTab(m_messages, QStringLiteral("&Messaggi"));
    m_tabs->addTab(m_s, QStringLiteral("Parametri &S"));

    m_procedure.setBranch(0, [this] { m_headerFooter.writeHeader(m_header->rows()); });
    m_procedure.setBranch(1, [this] { m_headerFooter.writeFooter(m_footer->rows()); });
    m_procedure.setBranch(3, [this] { m_vat->writeDepartments(); });
    m_procedure.setBranch(4, [this] { m_plu->write(); });
    m_procedure.setBranch(6, [this] { m_payments->write(); });
    m_procedure.setBranch(7, [this] { m_messages->send(); });
    m_procedure.setBranch(9, [this] { m_s->write(); });
    m_procedure.setBranch(10, [this] { m_vat->writeRates(); });
    // Every "Imposta" runs the write procedure with its index.
    for (int i = 0; i < WriteProcedure::kButtons; ++i) {
        for (QPushButton *b : findChildren<QPushButton *>(QStringLiteral("cmdSetParametri_%1").arg(i)))
            connect(b, &QPushButton::clicked, this, [this, i] { m_procedure.run(i); });
    }

    setTechnicianMode(session.runState().technicianMode());
    connect(&session.runState(), &RunState::technicianModeChanged, this, &ConfigEcrPage::setTechnicianMode);
    shapeToModel();
    // A new configuration may name another model.
    connect(&session.settings(), &Settings::configChanged, this, &ConfigEcrPage::shapeToModel);
}

void ConfigEcrPage::activate() {
    m_tabs->setCurrentIndex(0);
    m_header->firstBox()->setFocus();
}

void ConfigEcrPage::insertLogoPage(QWidget *page, const QString &caption, std::function<void()> writeBranch) {
    m_tabs->insertTab(LogoTab, page, caption);
    if (writeBranch)
        m_procedure.setBranch(WriteProcedure::kLogo, std::move(writeBranch));
    if (auto *b = page->findChild<QPushButton *>(QStringLiteral("cmdSetParametri_2")))
        connect(b, &QPushButton::clicked, this, [this] { m_procedure.run(WriteProcedure::kLogo); });
}

void ConfigEcrPage::shapeToModel() {
    shapeTo(m_session.settings().modelRow());
}

void ConfigEcrPage::shapeTo(const ModelRow &row) {
    m_header->showRows(row.headerLines);
    m_footer->showRows(row.footerLines);
    m_payments->showRows(row.paymentRows);
    m_messages->showRows(row.messageRows);
    m_s->showFlags(row.sFlags);
}

void ConfigEcrPage::clearRegisterData() {
    m_header->clear();
    m_footer->clear();
    m_vat->clear();
    m_plu->clear();
}

void ConfigEcrPage::setTechnicianMode(bool on) {
    m_payments->setTechnicianMode(on);
}

} // namespace norvvelm
