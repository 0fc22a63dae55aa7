#include "console/widgets/TaxCodeDialog.h"

#include "console/widgets/FieldLineEdit.h"

namespace norvvelm {

TaxCodeDialog::TaxCodeDialog(OperatorConsole &console, QWidget *parent)
    : ConsoleDialog(QStringLiteral("FrmPiCf"), QStringLiteral("P.IVA - CODICE FISCALE"), parent),
      m_console(console) {
    addField(QStringLiteral("TxtPiCf"), QString(), kTaxCodeLimit, FieldKind::CommandText);
    addButtons();
}

OperatorConsole::Verdict TaxCodeDialog::press(int index) {
    return m_console.FrmPiCf_Button(index, field(0)->text());
}

} // namespace norvvelm
