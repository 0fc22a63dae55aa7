#include "app/widgets/MessageBoxPrompter.h"

#include <QMessageBox>

namespace norvvelm {

namespace {
QMessageBox::Icon boxIcon(Prompter::Icon icon) {
    switch (icon) {
    case Prompter::Icon::None:
        return QMessageBox::NoIcon;
    case Prompter::Icon::Information:
        return QMessageBox::Information;
    case Prompter::Icon::Question:
        return QMessageBox::Question;
    case Prompter::Icon::Warning:
        return QMessageBox::Warning;
    case Prompter::Icon::Critical:
        return QMessageBox::Critical;
    }
    return QMessageBox::NoIcon;
}

QMessageBox::StandardButton boxButton(Prompter::Answer a) {
    switch (a) {
    case Prompter::Answer::Ok:
        return QMessageBox::Ok;
    case Prompter::Answer::Cancel:
        return QMessageBox::Cancel;
    case Prompter::Answer::Yes:
        return QMessageBox::Yes;
    case Prompter::Answer::No:
        return QMessageBox::No;
    }
    return QMessageBox::Ok;
}
} // namespace

void MessageBoxPrompter::message(const QString &text, const QString &title, Icon icon) {
    QMessageBox box(boxIcon(icon), title, text, QMessageBox::Ok, m_owner);
    box.exec();
}

Prompter::Answer MessageBoxPrompter::ask(const QString &text, const QString &title, Icon icon,
                                         Buttons buttons, Answer defaultAnswer, Answer safe) {
    QMessageBox::StandardButtons set = QMessageBox::Ok;
    if (buttons == Buttons::OkCancel)
        set = QMessageBox::Ok | QMessageBox::Cancel;
    else if (buttons == Buttons::YesNo)
        set = QMessageBox::Yes | QMessageBox::No;
    QMessageBox box(boxIcon(icon), title, text, set, m_owner);
    box.setDefaultButton(boxButton(defaultAnswer));
    // Escape, or closing the box, takes the safe answer.
    box.setEscapeButton(boxButton(safe));
    switch (box.exec()) {
    case QMessageBox::Ok:
        return Answer::Ok;
    case QMessageBox::Cancel:
        return Answer::Cancel;
    case QMessageBox::Yes:
        return Answer::Yes;
    case QMessageBox::No:
        return Answer::No;
    default:
        return safe;
    }
}

} // namespace norvvelm
