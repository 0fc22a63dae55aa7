#include "app/widgets/DlgLoginTecnico.h"

#include "commands/TechnicianTools.h"
#include "shell/widgets/Controls.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace norvvelm {

namespace {
QLineEdit *passwordBox(const QString &objectName) {
    auto *e = new QLineEdit;
    e->setObjectName(objectName);
    e->setEchoMode(QLineEdit::Password);
    return e;
}
} // namespace

DlgLoginTecnico::DlgLoginTecnico(TechnicianTools &tools, QWidget *parent) : QDialog(parent), m_tools(tools) {
    setObjectName(QStringLiteral("DlgLoginTecnico"));
    setWindowTitle(QStringLiteral("Login Tecnico"));
    m_password = passwordBox(QStringLiteral("txtPassword"));
    for (int i = 0; i < 2; ++i)
        m_newPassword[i] = passwordBox(QStringLiteral("txtNewPassword_") + QString::number(i));
    m_ok = controls::button("cmdOK", QStringLiteral("OK"));
    m_cancel = controls::button("cmdCancel", QStringLiteral("Annulla"));
    m_change = controls::button("Command1", QStringLiteral("&Cambia password"));
    m_ok->setDefault(true);

    auto *form = new QFormLayout;
    const QString captions[3] = {QStringLiteral("&Password"), QStringLiteral("&Nuova password"),
                                 QStringLiteral("&Ripeti nuova password")};
    QLineEdit *boxes[3] = {m_password, m_newPassword[0], m_newPassword[1]};
    for (int i = 0; i < 3; ++i)
        form->addRow(controls::labelFor(boxes[i], captions[i]), boxes[i]);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(m_change);
    buttons->addStretch(1);
    buttons->addWidget(m_ok);
    buttons->addWidget(m_cancel);
    auto *box = new QVBoxLayout(this);
    box->addLayout(form);
    box->addLayout(buttons);

    connect(m_ok, &QPushButton::clicked, this, &DlgLoginTecnico::login);
    connect(m_cancel, &QPushButton::clicked, this, &DlgLoginTecnico::cancel);
    connect(m_change, &QPushButton::clicked, this, &DlgLoginTecnico::changePassword);
    // Escape and the close box are Cancel.
    connect(this, &QDialog::rejected, this, [this] {
        if (!m_closedByButton)
            m_tools.cancel();
    });
}

QList<QWidget *> DlgLoginTecnico::tabOrder() const {
    return {m_password, m_newPassword[0], m_newPassword[1], m_ok, m_cancel, m_change};
}

void DlgLoginTecnico::login() {
    if (!m_tools.login(m_password->text())) {
        m_newPassword[0]->clear();
        m_newPassword[1]->clear();
    }
    m_closedByButton = true;
    accept();
}

void DlgLoginTecnico::cancel() {
    m_tools.cancel();
    m_closedByButton = true;
    reject();
}

void DlgLoginTecnico::changePassword() {
    if (m_tools.changePassword(m_password->text(), m_newPassword[0]->text(), m_newPassword[1]->text()) ==
        TechnicianTools::Change::Mismatch) {
        m_newPassword[0]->clear();
        m_newPassword[1]->clear();
    }
    m_closedByButton = true;
    accept();
}

} // namespace norvvelm
