#pragma once

#include "shell/MainWindowLogic.h"

#include <QMainWindow>

#include <array>
#include <functional>
#include <memory>

class QLabel;
class QMenu;
class QScrollArea;
class QSystemTrayIcon;
class QTabWidget;

namespace norvvelm {

class ConfigEcrPage;
class ConfigPcPage;
class OperatorConsole;
class VirtualKeyboard;
class Pickers;
class PrintServer;
class Prompter;
class Session;
class Station;
class TechnicianPage;
class TechnicianPassword;
class TechnicianTools;

// The program's one window: the four tabs, menus, status bar and tray icon;
// start-up, window modes and shutdown.
class MainForm : public QMainWindow {
    Q_OBJECT
public:
    enum Tab { TabConfigPc = 0, TabConfigEcr = 1, TabEcr = 2, TabTechnician = 3 };

    // The station's parts, the technician's password store and the pickers.
    MainForm(Station &station, const TechnicianPassword &password, Pickers &pickers,
             QWidget *parent = nullptr);
    ~MainForm() override;

    // Form_Load from the caption on: configuration, lists, register, server,
    // then the window in its mode. Returns the mode the window opened in.
    mainwindow::WindowMode start();

    // Whether the desktop has a notification area (tests decide).
    std::function<bool()> trayAvailable;

    // settaTabStops: the keyboard order of the window's controls.
    void settaTabStops();

    // The shutdown of the exit menu and the tray's "Esci": port closed, tray
    // icon gone, the program ends. Emitted as `shutdownRequested`.
    void shutdown();
    // The File menu's exit: asks first while a receipt is open.
    void exitWithQuestion();

    QTabWidget *tabs() const { return m_tabs; }
    QSystemTrayIcon *trayIcon() const { return m_tray.get(); }
    QMenu *trayMenu() const { return m_trayMenu; }
    // Tray activation (left click, double click): the window comes back.
    void restoreFromTray();

signals:
    // The program is to end (the caller quits its event loop).
    void shutdownRequested();

protected:
    void changeEvent(QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildMenus();
    void buildStatusBar();
    void buildTray();
    void onTabChanged(int index);
    void showTechnicianTab(bool on);
    void loginTecnico();
    void about();
    void onBusy(bool busy);
    // The window's size and place (and whether it was maximised), kept in
    // the per-user settings beside the technician's password: read at start,
    // written when the program ends.
    void restorePlacement();
    void savePlacement();
    void showRestored();

    Station &m_station;
    Session &m_s;
    Prompter &m_prompter;
    const TechnicianPassword &m_password;
    Pickers &m_pickers;
    std::unique_ptr<TechnicianTools> m_tools;
    std::unique_ptr<OperatorConsole> m_console; // tabs 2 and 3

    QTabWidget *m_tabs;
    ConfigPcPage *m_configPc;
    ConfigEcrPage *m_configEcr;
    QWidget *m_ecr;
    TechnicianPage *m_technician;
    VirtualKeyboard *m_virtualKeyboard;
    // Each tab's page in its scroll area, in tab order.
    std::array<QScrollArea *, 4> m_areas{};
    std::array<QLabel *, 4> m_panels{};
    std::unique_ptr<QSystemTrayIcon> m_tray;
    QMenu *m_trayMenu = nullptr;
    bool m_trayNoticeGiven = false;
    bool m_shuttingDown = false;
    bool m_busyCursor = false;
    // The window mode hiding on minimise follows: the saved one, at once.
    mainwindow::WindowMode m_hideMode = mainwindow::WindowMode::Normal;
};

} // namespace norvvelm
