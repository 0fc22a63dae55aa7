#pragma once

#include "console/widgets/ConsoleDialog.h"

namespace norvvelm {

// FrmNCred: the credit note's file number and its reference line.
class CreditNoteDialog final : public ConsoleDialog {
    Q_OBJECT
public:
    CreditNoteDialog(OperatorConsole &console, QWidget *parent = nullptr);

private:
    OperatorConsole::Verdict press(int index) override;
    OperatorConsole &m_console;
};

} // namespace norvvelm
