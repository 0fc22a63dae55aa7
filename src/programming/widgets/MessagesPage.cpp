#include "programming/widgets/MessagesPage.h"

#include "programming/widgets/FieldFilters.h"
#include "shell/widgets/Controls.h"

#include <QButtonGroup>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace norvvelm {

using controls::arrayName;
using controls::nameControl;

MessagesPage::MessagesPage(WriteProcedure &procedure, QWidget *parent)
    : QWidget(parent), m_messages(procedure), m_group(new QButtonGroup(this)) {
    auto *outer = new QVBoxLayout(this);
    auto *grid = new QGridLayout;
    const QString title = QStringLiteral("Testo del messaggio scorrevole");
    grid->addWidget(new QLabel(title, this), 0, 1);
    for (int i = 0; i < ScrollMessages::kCount; ++i) {
        auto *option = new QRadioButton(QString::number(i + 1), this);
        nameControl(option, arrayName("optScrollMSGEnable", i),
                    QStringLiteral("Messaggio %1 scelto").arg(i + 1));
        auto *text = new QLineEdit(this);
        nameControl(text, arrayName("txtScrollMSG", i), title + u' ' + QString::number(i + 1));
        slashToBackslash(text);
        m_group->addButton(option, i);
        grid->addWidget(option, i + 1, 0);
        grid->addWidget(text, i + 1, 1);
        m_options << option;
        m_texts << text;
    }
    outer->addLayout(grid);
    auto *buttons = new QHBoxLayout;
    auto *reloadButton = new QPushButton(QStringLiteral("Recupera"), this);
    nameControl(reloadButton, QStringLiteral("cmdReadScrolMSG"), QStringLiteral("Recupera"));
    auto *write = new QPushButton(QStringLiteral("Imposta"), this);
    nameControl(write, arrayName("cmdSetParametri", 7), QStringLiteral("Imposta"));
    buttons->addWidget(reloadButton);
    buttons->addWidget(write);
    buttons->addStretch();
    outer->addLayout(buttons);
    outer->addStretch();
    connect(reloadButton, &QPushButton::clicked, this, &MessagesPage::reload);
}

void MessagesPage::send() {
    m_messages.send(texts(), selected());
}

void MessagesPage::reload() {
    const QStringList stored = m_messages.reload();
    for (int i = 0; i < m_texts.size(); ++i)
        m_texts[i]->setText(stored.value(i));
}

void MessagesPage::showRows(int count) {
    for (int i = 0; i < m_texts.size(); ++i) {
        m_texts[i]->setVisible(i < count);
        m_options[i]->setVisible(i < count);
    }
}

QStringList MessagesPage::texts() const {
    QStringList out;
    for (const QLineEdit *t : m_texts)
        out << t->text();
    return out;
}

int MessagesPage::selected() const {
    return m_group->checkedId();
}

} // namespace norvvelm
