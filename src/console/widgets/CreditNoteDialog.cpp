#include "console/widgets/CreditNoteDialog.h"

#include "console/widgets/FieldLineEdit.h"

namespace norvvelm {

CreditNoteDialog::CreditNoteDialog(OperatorConsole &console, QWidget *parent)
    : ConsoleDialog(QStringLiteral("FrmNCred"), QStringLiteral("NOTA CREDITO"), parent), m_console(console) {
    addField(QStringLiteral("TxtPratica"), QStringLiteral("Pratica"), kFileNumberLimit,
             FieldKind::FileNumber);
    addField(QStringLiteral("TxtRifer"), QStringLiteral("Riferimento"), kReferenceLimit,
             FieldKind::Reference);
    addButtons();
}

OperatorConsole::Verdict CreditNoteDialog::press(int index) {
    return m_console.FrmNCred_Button(index, field(0)->text(), field(1)->text());
}

} // namespace norvvelm
