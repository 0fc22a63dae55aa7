#pragma once

#include "commands/Prompter.h"

#include <QPointer>
#include <QWidget>

namespace norvvelm {

// The window's prompter: every message and question is a modal message box
// owned by the main window, with the icon, title, buttons and default button
// the caller gives.
class MessageBoxPrompter final : public Prompter {
public:
    explicit MessageBoxPrompter(QWidget *owner = nullptr) : m_owner(owner) {}
    void setOwner(QWidget *owner) { m_owner = owner; }

    void message(const QString &text, const QString &title, Icon icon) override;
    Answer ask(const QString &text, const QString &title, Icon icon, Buttons buttons, Answer defaultAnswer,
               Answer safe) override;

private:
    QPointer<QWidget> m_owner;
};

} // namespace norvvelm
