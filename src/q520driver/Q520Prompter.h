#pragma once

#include <QString>

namespace q520 {

// Every message the driver shows the operator goes through here: the window
// shows message boxes, a run without a screen writes them out, tests answer
// them by script.
class Prompter {
public:
    enum class Icon { Information, Critical };
    virtual ~Prompter() = default;
    // A message; the work goes on when it is closed.
    virtual void message(const QString &text, const QString &title, Icon icon) = 0;
    // A request to act on the register; true when the operator confirmed,
    // false when nobody is there to do it.
    virtual bool confirm(const QString &text, const QString &title, Icon icon) = 0;
    // A Yes/No question; true for Yes.
    virtual bool askYesNo(const QString &text, const QString &title) = 0;
};

// For a run without anyone at the screen: writes each message to standard
// error, confirms nothing and answers Yes (the safe answer: stop the file).
class UnattendedPrompter final : public Prompter {
public:
    void message(const QString &text, const QString &title, Icon icon) override;
    bool confirm(const QString &text, const QString &title, Icon icon) override;
    bool askYesNo(const QString &text, const QString &title) override;
};

} // namespace q520
