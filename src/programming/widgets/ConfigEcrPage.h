#pragma once

#include "programming/HeaderFooter.h"
#include "programming/WriteProcedure.h"

#include <QWidget>

#include <functional>

class QTabWidget;

namespace norvvelm {

class HeaderFooterPage;
class MessagesPage;
class PaymentsPage;
class PluPage;
class Prompter;
class Runner;
class SParametersPage;
class SerialFunz2;
class Session;
class VatDepartmentsPage;
struct ModelRow;

// The register-programming tab: the inner tab strip ssTabConfigECR with the
// header, footer, "IVA e Reparti", PLU, "Pagamenti", "Messaggi" and
// "Parametri S" pages, and the write procedure behind every "Imposta".
class ConfigEcrPage : public QWidget {
    Q_OBJECT
public:
    // Where each page sits on the strip; the logo page goes in at kLogoTab.
    enum Tab { HeaderTab = 0, FooterTab = 1, LogoTab = 2 };

    ConfigEcrPage(Runner &runner, Session &session, Prompter &prompter, SerialFunz2 &link,
                  QWidget *parent = nullptr);

    // The main window's tab was selected: first page, first header box.
    void activate();
    // The logo page at its place on the strip; its "Imposta" button
    // (cmdSetParametri_2) runs the write procedure's branch 2, which is
    // `writeBranch` when given (or what the page installs itself).
    void insertLogoPage(QWidget *page, const QString &caption, std::function<void()> writeBranch = {});
    // Shapes the pages by the selected model row, or row 0 when none.
    void shapeToModel();
    void shapeTo(const ModelRow &row);
    // The register data of the pages emptied (the main window's reset).
    void clearRegisterData();

    QTabWidget *tabs() const { return m_tabs; }
    WriteProcedure &writeProcedure() { return m_procedure; }

public slots:
    // The credit boxes of the payment page follow the technician mode.
    void setTechnicianMode(bool on);

private:
    Session &m_session;
    WriteProcedure m_procedure;
    HeaderFooter m_headerFooter;
    QTabWidget *m_tabs = nullptr;
    HeaderFooterPage *m_header = nullptr;
    HeaderFooterPage *m_footer = nullptr;
    VatDepartmentsPage *m_vat = nullptr;
    PluPage *m_plu = nullptr;
    PaymentsPage *m_payments = nullptr;
    MessagesPage *m_messages = nullptr;
    SParametersPage *m_s = nullptr;
};

} // namespace norvvelm
