#pragma once

#include <QWidget>

class QBoxLayout;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace norvvelm {

class Pickers;
class Prompter;
class TechnicianTools;

// Tab 3 of the main window: raw commands and command files for the service
// technician, and the copy of the register's display.
class TechnicianPage : public QWidget {
    Q_OBJECT
public:
    TechnicianPage(TechnicianTools &tools, Prompter &prompter, Pickers &pickers, QWidget *parent = nullptr);

    // On selecting the tab: focus to the command box (the window reads the
    // display into the console's copy).
    void activate();
    // Buttons that send are disabled while another exchange holds the line.
    void setSendingEnabled(bool on);
    // Where the virtual keyboard stands, beside the display boxes.
    QBoxLayout *keyboardPlace() const { return m_keyboardPlace; }

    QList<QWidget *> tabOrder() const;

private:
    void send(int index);

    TechnicianTools &m_tools;
    Prompter &m_prompter;
    Pickers &m_pickers;
    QLineEdit *m_single;
    QLineEdit *m_file;
    QPlainTextEdit *m_answer;
    QPushButton *m_send[2];
    QPushButton *m_clear;
    QPushButton *m_chooseFile;
    QPushButton *m_learning;
    QPushButton *m_commissioning;
    QBoxLayout *m_keyboardPlace;
};

} // namespace norvvelm
