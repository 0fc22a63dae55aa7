#pragma once

#include "console/DocumentDialogs.h"

class QWidget;

namespace norvvelm {

class OperatorConsole;

// The document dialogs as real modal dialogs over the window.
class DialogDocuments final : public DocumentDialogs {
public:
    DialogDocuments(OperatorConsole &console, QWidget *owner) : m_console(console), m_owner(owner) {}
    void showTaxCodeDialog() override;
    void showCustomerDialog() override;
    void showCreditNoteDialog() override;

private:
    OperatorConsole &m_console;
    QWidget *m_owner;
};

} // namespace norvvelm
