#pragma once

#include <QDialog>

class QLineEdit;
class QPushButton;

namespace norvvelm {

class TechnicianTools;

// The technician's login: OK (or Enter) logs in, Cancel leaves technician
// mode, Command1 changes the password. Each closes the dialog.
class DlgLoginTecnico : public QDialog {
    Q_OBJECT
public:
    explicit DlgLoginTecnico(TechnicianTools &tools, QWidget *parent = nullptr);

    QList<QWidget *> tabOrder() const;

private:
    void login();
    void cancel();
    void changePassword();

    TechnicianTools &m_tools;
    QLineEdit *m_password;
    QLineEdit *m_newPassword[2];
    QPushButton *m_ok;
    QPushButton *m_cancel;
    QPushButton *m_change;
    bool m_closedByButton = false;
};

} // namespace norvvelm
