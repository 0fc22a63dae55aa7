#pragma once

#include <QDialog>
#include <functional>

namespace norvvelm {

class Prompter;

// The About box: product, version, description and notices; cmdSysInfo
// starts the desktop's system-information program when there is one.
class DlgAbout : public QDialog {
    Q_OBJECT
public:
    explicit DlgAbout(Prompter &prompter, QWidget *parent = nullptr);

    // Starts a program detached; tests record the call instead.
    std::function<bool(const QString &program)> startProgram;

private:
    void startSysInfo();

    Prompter &m_prompter;
};

} // namespace norvvelm
