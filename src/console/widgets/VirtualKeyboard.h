#pragma once

#include <QWidget>

class QLineEdit;

namespace norvvelm {

class OperatorConsole;

// The technician page's virtual keyboard frmVKbd (cmdVirtKBD, from the key
// table; the keys without a code are there but disabled) beside the copy of
// the register's display frmVDsp (txtVirtDSP 0 and 1).
class VirtualKeyboard : public QWidget {
    Q_OBJECT
public:
    explicit VirtualKeyboard(OperatorConsole &console, QWidget *parent = nullptr);

    QList<QWidget *> tabOrder() const { return m_order; }

private:
    OperatorConsole &m_console;
    QLineEdit *m_display[2];
    QList<QWidget *> m_order;
};

} // namespace norvvelm
