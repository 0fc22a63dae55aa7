#include "console/widgets/DialogDocuments.h"

#include "console/widgets/CreditNoteDialog.h"
#include "console/widgets/CustomerDialog.h"
#include "console/widgets/TaxCodeDialog.h"

namespace norvvelm {

void DialogDocuments::showTaxCodeDialog() {
    TaxCodeDialog d(m_console, m_owner);
    d.exec();
}

void DialogDocuments::showCustomerDialog() {
    CustomerDialog d(m_console, m_owner);
    d.exec();
}

void DialogDocuments::showCreditNoteDialog() {
    CreditNoteDialog d(m_console, m_owner);
    d.exec();
}

} // namespace norvvelm
