#pragma once

namespace norvvelm {

// Shows the document dialogs modally. The window shows real dialogs; tests
// script what an operator types. Each dialog's buttons call the console's
// FrmPiCf_Button, FrmCliente_Button and FrmNCred_Button, and the dialog
// closes when their verdict says so; closing it any other way counts as its
// "ANNULLA".
class DocumentDialogs {
public:
    virtual ~DocumentDialogs() = default;
    virtual void showTaxCodeDialog() = 0;    // FrmPiCf
    virtual void showCustomerDialog() = 0;   // FrmCliente
    virtual void showCreditNoteDialog() = 0; // FrmNCred
};

} // namespace norvvelm
