#pragma once

#include <QString>

#include <cstdio>

namespace norvvelm {

// Message boxes and questions, without a window: the window shows them, the
// headless daemon writes them out and takes the safe answer, tests script the
// answers.
class Prompter {
public:
    enum class Icon { None, Information, Question, Warning, Critical };
    enum class Buttons { Ok, OkCancel, YesNo };
    enum class Answer { Ok, Cancel, Yes, No };

    virtual ~Prompter() = default;
    virtual void message(const QString &text, const QString &title, Icon icon) = 0;
    // `safe` is the answer a program without an operator takes.
    virtual Answer ask(const QString &text, const QString &title, Icon icon, Buttons buttons,
                       Answer defaultAnswer, Answer safe) = 0;
};

// One line of UTF-8 text on a console stream, flushed at once.
void WriteConsoleLine(FILE *to, const QString &text);

// Writes each message with its title to standard error; answers every
// question with its safe answer and says so.
class StderrPrompter final : public Prompter {
public:
    void message(const QString &text, const QString &title, Icon icon) override;
    Answer ask(const QString &text, const QString &title, Icon icon, Buttons buttons, Answer defaultAnswer,
               Answer safe) override;
};

} // namespace norvvelm
