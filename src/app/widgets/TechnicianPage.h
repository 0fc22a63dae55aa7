#pragma once

#include <QWidget>

class QBoxLayout;
class QCheckBox;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace norvvelm {

class Pickers;
class Prompter;
class Station;
class TechnicianTools;

// Tab 3 of the main window: raw commands and command files for the service
// technician, the switch that lets the local interface take raw command
// lines, and the copy of the register's display.
class TechnicianPage : public QWidget {
    Q_OBJECT
public:
    TechnicianPage(TechnicianTools &tools, Station &station, Prompter &prompter, Pickers &pickers,
                   QWidget *parent = nullptr);

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
    void showRawApi();

    TechnicianTools &m_tools;
    Station &m_station;
    Prompter &m_prompter;
    Pickers &m_pickers;
    QLineEdit *m_single;
    QLineEdit *m_file;
    QPlainTextEdit *m_answer;
    QPushButton *m_send[2];
    QPushButton *m_clear;
    QCheckBox *m_rawApi;
    QPushButton *m_chooseFile;
    QPushButton *m_learning;
    QPushButton *m_commissioning;
    QBoxLayout *m_keyboardPlace;
};

} // namespace norvvelm
