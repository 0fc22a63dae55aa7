#pragma once

#include "shell/MainWindowLogic.h"

#include <QWidget>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace norvvelm {

class Pickers;
class Prompter;
class Session;
class Station;

// Tab 0 of the main window: the PC's configuration, the print server's
// settings, the runtime monitor and the receipt queue.
class ConfigPcPage : public QWidget {
    Q_OBJECT
public:
    ConfigPcPage(Station &station, Pickers &pickers, QWidget *parent = nullptr);

    // The list filling: the choices of the four lists, then the tab's values
    // from the configuration record.
    void fillLists();
    // The controls in keyboard order.
    QList<QWidget *> tabOrder() const;

    QComboBox *modelList() const { return m_model; }

    // The status page's address as a link while the API listens; hidden
    // otherwise.
    void showPageAddress();

    // cmdSalvaConfigPC_Click.
    void save();

signals:
    // After a save, with the window mode written (hiding the minimised
    // window follows it at once).
    void saved(const QString &mode);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void showDevice();
    // cmdCercaRegistratori_Click: the ports a register answers on are marked
    // with its serial number in the device box.
    void findRegisters();
    void refreshQueue();
    void addMonitorLine(const QString &line);
    void explainMonitorLine();

    Station &m_station;
    Session &m_s;
    Prompter &m_prompter;
    Pickers &m_pickers;

    QComboBox *m_model;
    QComboBox *m_port;
    QComboBox *m_device;
    QComboBox *m_speed;
    QPushButton *m_findRegisters;
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
    QCheckBox *m_api;
    QLineEdit *m_apiAddress;
    QLineEdit *m_apiPort;
    QLineEdit *m_closingTime;
    QLabel *m_pageAddress;
    QPushButton *m_saveButton;
    QListWidget *m_queue;
};

} // namespace norvvelm
