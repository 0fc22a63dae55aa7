#pragma once

#include "console/widgets/ConsoleDialog.h"

namespace norvvelm {

// FrmCliente: the invoice's customer, VAT number and six header lines.
class CustomerDialog final : public ConsoleDialog {
    Q_OBJECT
public:
    CustomerDialog(OperatorConsole &console, QWidget *parent = nullptr);

private:
    OperatorConsole::Verdict press(int index) override;
    OperatorConsole &m_console;
};

} // namespace norvvelm
