#include "console/widgets/ConsoleDialog.h"

#include "console/widgets/FieldLineEdit.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace norvvelm {

ConsoleDialog::ConsoleDialog(const QString &objectName, const QString &caption, QWidget *parent)
    : QDialog(parent), m_grid(new QGridLayout) {
    setObjectName(objectName);
    setWindowTitle(caption);
    setModal(true);
    auto *page = new QVBoxLayout(this);
    page->addLayout(m_grid);
}

FieldLineEdit *ConsoleDialog::addField(const QString &name, const QString &label, int limit, FieldKind kind) {
    auto *box = new FieldLineEdit(kind, limit);
    box->setObjectName(name);
    const int row = m_grid->rowCount();
    if (label.isEmpty()) {
        box->setAccessibleName(windowTitle());
        m_grid->addWidget(box, row, 0, 1, 2);
    } else {
        auto *l = new QLabel(label);
        l->setObjectName(QStringLiteral("lbl") + name);
        l->setBuddy(box);
        box->setAccessibleName(label);
        m_grid->addWidget(l, row, 0);
        m_grid->addWidget(box, row, 1);
    }
    // Wide enough for its limit.
    box->setMinimumWidth(box->fontMetrics().horizontalAdvance(QString(std::min(limit, 32) + 1, u'M')) / 2 +
                         16);
    m_fields.append(box);
    return box;
}

void ConsoleDialog::addButtons() {
    auto *row = new QHBoxLayout;
    row->addStretch(1);
    const QString captions[2] = {QStringLiteral("ANNULLA"), QStringLiteral("OK")};
    for (int i : {0, 1}) {
        m_buttons[i] = new QPushButton(captions[i]);
        m_buttons[i]->setObjectName(QStringLiteral("cmdButton_") + QString::number(i));
        m_buttons[i]->setAccessibleName(captions[i]);
        connect(m_buttons[i], &QPushButton::clicked, this, [this, i] { onButton(i); });
    }
    row->addWidget(m_buttons[0]);
    row->addWidget(m_buttons[1]);
    m_buttons[1]->setDefault(true);
    static_cast<QVBoxLayout *>(layout())->addLayout(row);
    if (!m_fields.isEmpty())
        m_fields.first()->setFocus(Qt::OtherFocusReason);
}

void ConsoleDialog::onButton(int index) {
    const OperatorConsole::Verdict v = press(index);
    if (v.close) {
        m_pressed = true;
        if (index == OperatorConsole::kOkButton)
            accept();
        else
            QDialog::reject();
        return;
    }
    if (FieldLineEdit *f = field(v.focus)) {
        f->setFocus(Qt::OtherFocusReason);
        f->selectAll();
    }
}

void ConsoleDialog::reject() {
    // Escape or the close box: the dialog's "ANNULLA", so no earlier entry
    // stays behind to be sent.
    if (!m_pressed) {
        m_pressed = true;
        press(OperatorConsole::kCancelButton);
    }
    QDialog::reject();
}

} // namespace norvvelm
