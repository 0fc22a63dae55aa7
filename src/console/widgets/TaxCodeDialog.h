#pragma once

#include "console/widgets/ConsoleDialog.h"

namespace norvvelm {

// FrmPiCf: the customer's VAT number or fiscal code for a receipt.
class TaxCodeDialog final : public ConsoleDialog {
    Q_OBJECT
public:
    TaxCodeDialog(OperatorConsole &console, QWidget *parent = nullptr);

private:
    OperatorConsole::Verdict press(int index) override;
    OperatorConsole &m_console;
};

} // namespace norvvelm
