#pragma once

#include "q520driver/Q520Prompter.h"

#include <QWidget>

#include <functional>

class QPushButton;
class QSystemTrayIcon;

namespace q520 {

class Driver;

// Message boxes for an operator at the screen.
class MessageBoxPrompter final : public Prompter {
public:
    void message(const QString &text, const QString &title, Icon icon) override;
    bool confirm(const QString &text, const QString &title, Icon icon) override;
    bool askYesNo(const QString &text, const QString &title) override;
};

// The driver's window: four buttons and, with "/SYS", a notification icon.
class Window final : public QWidget {
    Q_OBJECT
public:
    Window(Driver *driver, Prompter *prompter, bool trayIcon, QWidget *parent = nullptr);

    static QString caption();
    // Opens a file in the desktop's text editor; replaced by tests.
    std::function<bool(const QString &)> openFile;

public slots:
    void startDriver();
    void stopDriver();
    void openIniFile();
    void openLogFile();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void setButtons(bool running);
    void showTrayIcon(bool running);

    Driver *m_driver;
    Prompter *m_prompter;
    bool m_trayWanted;
    QSystemTrayIcon *m_tray = nullptr;
    QPushButton *m_avvia;
    QPushButton *m_ferma;
    QPushButton *m_apriIni;
    QPushButton *m_apriLog;
};

} // namespace q520
