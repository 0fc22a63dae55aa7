#pragma once

#include "shell/MainWindowLogic.h"

#include <QWidget>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace norvvelm {

class Pickers;
class Prompter;
class Session;

// Tab 0 of the main window: the PC's configuration, the print server's
// settings, the runtime monitor and the receipt queue.
class ConfigPcPage : public QWidget {
    Q_OBJECT
public:
    ConfigPcPage(Session &session, Prompter &prompter, Pickers &pickers, QWidget *parent = nullptr);

    // The list filling: the choices of the four lists, then the tab's values
    // from the configuration record.
    void fillLists();
    // What this run started with; a saved change of those needs a restart.
    void setRunning(const mainwindow::StartSettings &running) { m_running = running; }

    // The controls in keyboard order.
    QList<QWidget *> tabOrder() const;

    QComboBox *modelList() const { return m_model; }

    // cmdSalvaConfigPC_Click.
    void save();

signals:
    // After a save: whether the print server runs now, and whether a restart
    // is needed for the rest.
    void saved(bool serverOn, bool restartNeeded);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void showDevice();
    void refreshQueue();
    void addMonitorLine(const QString &line);
    void explainMonitorLine();

    Session &m_s;
    Prompter &m_prompter;
    Pickers &m_pickers;
    mainwindow::StartSettings m_running;

    QComboBox *m_model;
    QComboBox *m_port;
    QComboBox *m_device;
    QComboBox *m_speed;
    QCheckBox *m_srv;
    QComboBox *m_mode;
    QLineEdit *m_dir;
    QPushButton *m_dirButton;
    QLineEdit *m_file;
    QPushButton *m_help;
    QCheckBox *m_log;
    QPushButton *m_explainLog;
    QListWidget *m_monitor;
    QCheckBox *m_monitorOn;
    QPushButton *m_clearMonitor;
    QCheckBox *m_autoVat;
    QCheckBox *m_wrap;
    QPushButton *m_saveButton;
    QListWidget *m_queue;
};

} // namespace norvvelm
