#include "console/widgets/CustomerDialog.h"

#include "console/widgets/FieldLineEdit.h"

namespace norvvelm {

CustomerDialog::CustomerDialog(OperatorConsole &console, QWidget *parent)
    : ConsoleDialog(QStringLiteral("FrmCliente"), QStringLiteral("Intestazione Cliente"), parent),
      m_console(console) {
    addField(QStringLiteral("TxtPIva"), QStringLiteral("P.Iva"), kVatNumberLength, FieldKind::CommandText);
    const QString labels[kCustomerLines] = {
        QStringLiteral("Ragione Sociale"), QStringLiteral("Via"),    QStringLiteral("CAP"),
        QStringLiteral("Citt\u00e0"),      QStringLiteral("Nota 1"), QStringLiteral("Nota 2")};
    for (int i = 0; i < kCustomerLines; ++i)
        addField(QStringLiteral("TxtRiga_") + QString::number(i), labels[i], kCustomerLineLimit,
                 FieldKind::CommandText);
    addButtons();
}

OperatorConsole::Verdict CustomerDialog::press(int index) {
    std::array<QString, kCustomerLines> lines;
    for (int i = 0; i < kCustomerLines; ++i)
        lines[size_t(i)] = field(i + 1)->text();
    return m_console.FrmCliente_Button(index, field(0)->text(), lines);
}

} // namespace norvvelm
