#pragma once

#include <QWidget>

#include <memory>

class QLabel;
class QPushButton;

namespace norvvelm {

class DialogDocuments;
class OperatorConsole;

// Tab 2 "Uso come &ECR": the register's keys cmdECR (with the frame
// "Programmazione"), its display LblDisp1, the withdrawal, the fiscal
// documents, the closings, the journal and the demonstration receipts. While
// it is shown, the PC keyboard's digits, comma and Enter press the register's
// digit, comma and cash keys.
class RegisterPage : public QWidget {
    Q_OBJECT
public:
    explicit RegisterPage(OperatorConsole &console, QWidget *parent = nullptr);
    ~RegisterPage() override;

    QList<QWidget *> tabOrder() const { return m_order; }

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    OperatorConsole &m_console;
    std::unique_ptr<DialogDocuments> m_dialogs;
    QLabel *m_display[2];
    QList<QWidget *> m_order;
};

} // namespace norvvelm
