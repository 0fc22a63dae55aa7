#pragma once

#include "commands/Prompter.h"

#include <QList>
#include <QString>

#include <functional>

namespace testsupport {

// Records every message and question; answers questions from a script, or
// with their default when the script is empty.
class ScriptedPrompter final : public norvvelm::Prompter {
public:
    struct Shown {
        QString text;
        QString title;
        Icon icon;
    };
    QList<Shown> shown;
    QList<Answer> script;
    // Runs while a message or question is shown, as a window's modal box
    // lets events run until it is answered.
    std::function<void()> whileShown;

    void message(const QString &text, const QString &title, Icon icon) override {
        shown.append({text, title, icon});
        if (whileShown)
            whileShown();
    }
    Answer ask(const QString &text, const QString &title, Icon icon, Buttons, Answer defaultAnswer,
               Answer) override {
        shown.append({text, title, icon});
        if (whileShown)
            whileShown();
        return script.isEmpty() ? defaultAnswer : script.takeFirst();
    }
    int count(const QString &text) const {
        int n = 0;
        for (const Shown &s : shown)
            n += s.text == text;
        return n;
    }
};

} // namespace testsupport
