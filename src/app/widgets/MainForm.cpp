#include "app/widgets/MainForm.h"

#include "app/Station.h"
#include "app/widgets/ConfigPcPage.h"
#include "app/widgets/DlgAbout.h"
#include "app/widgets/DlgLoginTecnico.h"
#include "app/widgets/TechnicianPage.h"
#include "commands/Prompter.h"
#include "commands/Session.h"
#include "commands/TechnicianPassword.h"
#include "commands/TechnicianTools.h"
#include "commands/WriteFailure.h"
#include "console/OperatorConsole.h"
#include "console/widgets/RegisterPage.h"
#include "console/widgets/VirtualKeyboard.h"
#include "logo/widgets/LogoPage.h"
#include "programming/widgets/ConfigEcrPage.h"
#include "shell/Config.h"
#include "shell/widgets/Controls.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QMenuBar>
#include <QPainter>
#include <QScrollArea>
#include <QSettings>
#include <QStatusBar>
#include <QSystemTrayIcon>
#include <QTabWidget>
#include <QVBoxLayout>
#include <QWindow>

#include <algorithm>

namespace norvvelm {

namespace {

// The four tabs of SSTabPrimaria.
struct TabSpec {
    const char *objectName;
    const char *caption;
};
constexpr TabSpec kTabs[4] = {{"tabConfigPC", "Configuraz. &PC"},
                              {"tabConfigECR", " &Configuraz. ECR"},
                              {"tabUsoECR", "Uso come &ECR"},
                              {"tabTecnico", "Pannello del &Tecnico"}};

// The status bar's four panels: key and caption.
struct PanelSpec {
    const char *key;
    const char *caption;
};
constexpr PanelSpec kPanels[4] = {{"MSGType", "Tipo Messaggio"},
                                  {"MsgMsg", "Messaggio"},
                                  {"SNECR", "S/N ECR"},
                                  {"FWECR", "Versione Firmware"}};

// Where the window's size and place are kept, in the per-user settings.
constexpr char kPlacementKey[] = "Finestra/Geometria";

// A tab's page in a scroll area: at its natural size when the window has
// room for it, scrolled (never squeezed until its controls overlap) when not.
QScrollArea *scrolled(QWidget *page, const char *caption) {
    auto *area = new QScrollArea;
    area->setObjectName(page->objectName() + QStringLiteral("_area"));
    area->setAccessibleName(QString::fromUtf8(caption).remove(u'&').trimmed());
    area->setWidgetResizable(true);
    area->setFrameShape(QFrame::NoFrame);
    area->setFocusPolicy(Qt::NoFocus); // the page's controls take the focus, not their frame
    area->setWidget(page);
    return area;
}

QIcon programIcon() {
    QPixmap pm(64, 64);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setBrush(QColor(0x1f, 0x5f, 0x8f));
    p.setPen(Qt::NoPen);
    p.drawRoundedRect(QRectF(2, 10, 60, 46), 8, 8);
    p.setBrush(Qt::white);
    p.drawRect(QRectF(14, 2, 36, 16)); // the paper coming out
    p.setPen(Qt::white);
    QFont f;
    f.setBold(true);
    f.setPixelSize(24);
    p.setFont(f);
    p.drawText(QRectF(2, 18, 60, 36), Qt::AlignCenter, QStringLiteral("NV"));
    return QIcon(pm);
}

} // namespace

MainForm::MainForm(Station &station, const TechnicianPassword &password, Pickers &pickers, QWidget *parent)
    : QMainWindow(parent), m_station(station), m_s(station.session()), m_prompter(station.prompter()),
      m_password(password), m_pickers(pickers),
      m_tools(std::make_unique<TechnicianTools>(m_s, station.runner(), m_prompter, m_password)),
      m_console(std::make_unique<OperatorConsole>(m_s, station.link(), station.runner(), m_prompter)) {
    setObjectName(QStringLiteral("MainForm"));
    setWindowTitle(mainwindow::Caption());
    setWindowIcon(programIcon());
    trayAvailable = [] { return QSystemTrayIcon::isSystemTrayAvailable(); };

    m_tabs = new QTabWidget;
    m_tabs->setObjectName(QStringLiteral("SSTabPrimaria"));
    m_tabs->setAccessibleName(QStringLiteral("Schede"));
    m_configPc = new ConfigPcPage(m_station, m_pickers);
    m_configEcr = new ConfigEcrPage(station.runner(), m_s, m_prompter, station.link());
    LogoPage::insertInto(*m_configEcr, station.runner(), m_s, m_prompter, m_pickers);
    m_configEcr->setObjectName(QString::fromLatin1(kTabs[TabConfigEcr].objectName));
    m_ecr = new RegisterPage(*m_console);
    m_ecr->setObjectName(QString::fromLatin1(kTabs[TabEcr].objectName));
    m_technician = new TechnicianPage(*m_tools, m_station, m_prompter, m_pickers);
    m_virtualKeyboard = new VirtualKeyboard(*m_console);
    m_technician->keyboardPlace()->insertWidget(0, m_virtualKeyboard, 1);
    m_configPc->setObjectName(QString::fromLatin1(kTabs[TabConfigPc].objectName));
    m_technician->setObjectName(QString::fromLatin1(kTabs[TabTechnician].objectName));
    QWidget *pages[4] = {m_configPc, m_configEcr, m_ecr, m_technician};
    for (int i = 0; i < 4; ++i) {
        m_areas[size_t(i)] = scrolled(pages[i], kTabs[i].caption);
        m_tabs->addTab(m_areas[size_t(i)], QString::fromUtf8(kTabs[i].caption));
    }
    setCentralWidget(m_tabs);

    buildMenus();
    buildStatusBar();
    buildTray();

    connect(m_tabs, &QTabWidget::currentChanged, this, &MainForm::onTabChanged);
    connect(m_configPc, &ConfigPcPage::saved, this,
            [this](const QString &mode) { m_hideMode = mainwindow::ParseWindowMode(mode); });
    connect(&m_s.runState(), &RunState::busyChanged, this, &MainForm::onBusy);
    // Buttons that would send wait while one exchange holds the line.
    connect(&m_s.runState(), &RunState::lineBusyChanged, this,
            [this](bool busy) { m_technician->setSendingEnabled(!busy); });
    connect(&m_s.runState(), &RunState::technicianModeChanged, this, [this](bool on) {
        showTechnicianTab(on);
        m_panels[3]->setVisible(on);
    });
    // A first start fits a till's 1024x768 screen with its panel; later ones
    // open where the window was left (start()).
    resize(1000, 700);
}

MainForm::~MainForm() = default;

void MainForm::buildMenus() {
    auto *file = menuBar()->addMenu(QStringLiteral("&File"));
    file->setObjectName(QStringLiteral("mnuFile"));
    auto *tecnico = file->addAction(QStringLiteral("&Login Tecnico"));
    tecnico->setObjectName(QStringLiteral("mnuFileTecnico"));
    file->addSeparator();
    auto *exit = file->addAction(QStringLiteral("&Exit"));
    exit->setObjectName(QStringLiteral("mnuFileExit"));
    auto *help = menuBar()->addMenu(QStringLiteral("&Help"));
    help->setObjectName(QStringLiteral("mnuHelp"));
    auto *about = help->addAction(QStringLiteral("&About"));
    about->setObjectName(QStringLiteral("mnuHelpAbout"));

    // The tray menu, never in the menu bar.
    m_trayMenu = new QMenu(QStringLiteral("&SysTray"), this);
    m_trayMenu->setObjectName(QStringLiteral("mPopupSys"));
    auto *stato = m_trayMenu->addAction(QStringLiteral("Stato"));
    stato->setObjectName(QStringLiteral("mnuPopStato"));
    m_trayMenu->addSeparator();
    auto *apri = m_trayMenu->addAction(QStringLiteral("Apri"));
    apri->setObjectName(QStringLiteral("mnuPopApri"));
    auto *esci = m_trayMenu->addAction(QStringLiteral("Esci"));
    esci->setObjectName(QStringLiteral("mnuPopEsci"));

    connect(tecnico, &QAction::triggered, this, &MainForm::loginTecnico);
    connect(exit, &QAction::triggered, this, &MainForm::exitWithQuestion);
    connect(about, &QAction::triggered, this, &MainForm::about);
    connect(stato, &QAction::triggered, this, [this] { mainwindow::ShowStato(m_s, m_prompter); });
    connect(apri, &QAction::triggered, this, &MainForm::restoreFromTray);
    connect(esci, &QAction::triggered, this, &MainForm::shutdown);
}

void MainForm::buildStatusBar() {
    auto *bar = statusBar();
    bar->setObjectName(QStringLiteral("sbMain"));
    for (int i = 0; i < 4; ++i) {
        auto *panel = new QLabel;
        panel->setObjectName(QStringLiteral("sbMain_") + QString::number(i + 1));
        const QString caption = QString::fromUtf8(kPanels[i].caption);
        panel->setToolTip(caption);
        panel->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
        panel->setMinimumWidth(i == 1 ? 240 : 110);
        controls::showReadable(panel, caption, m_s.statusBar().panel(i + 1));
        panel->installEventFilter(this);
        bar->addWidget(panel, i == 1 ? 1 : 0);
        m_panels[size_t(i)] = panel;
    }
    bar->installEventFilter(this);
    m_panels[3]->setVisible(m_s.runState().technicianMode());
    connect(&m_s.statusBar(), &StatusBar::panelChanged, this, [this](int n, const QString &text) {
        if (n >= 1 && n <= 4)
            controls::showReadable(m_panels[size_t(n - 1)], QString::fromUtf8(kPanels[n - 1].caption), text);
    });
}

void MainForm::buildTray() {
    m_tray = std::make_unique<QSystemTrayIcon>(windowIcon());
    m_tray->setObjectName(QStringLiteral("trayIcon"));
    m_tray->setToolTip(QStringLiteral("Norv Velm"));
    m_tray->setContextMenu(m_trayMenu);
    connect(m_tray.get(), &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason r) {
        if (r == QSystemTrayIcon::Trigger || r == QSystemTrayIcon::DoubleClick)
            restoreFromTray();
    });
}

bool MainForm::eventFilter(QObject *watched, QEvent *event) {
    // A click on the status bar or one of its panels explains the last
    // failure; a panel's click is not passed on to the bar as well.
    if (event->type() == QEvent::MouseButtonRelease &&
        (watched == statusBar() || std::find(m_panels.begin(), m_panels.end(), watched) != m_panels.end())) {
        mainwindow::ShowStatusBarError(m_s, m_prompter);
        return true;
    }
    return QMainWindow::eventFilter(watched, event);
}

mainwindow::WindowMode MainForm::start() {
    using namespace mainwindow;
    // No stored password: tab 3 opens at once (until the list filling).
    const bool noPassword = m_password.isEmpty();
    showTechnicianTab(noPassword);
    m_tabs->setCurrentIndex(TabConfigPc);
    AzzeraDati(m_s);

    const bool loaded = m_station.loadConfiguration();
    // The lists are filled even when the configuration is incomplete: the
    // window is the way to complete it.
    m_configPc->fillLists();
    showTechnicianTab(TechnicianTabAtStart(noPassword, loaded));
    settaTabStops();
    m_station.startServing(); // nothing is opened when the configuration is incomplete
    m_configPc->showPageAddress();

    m_hideMode = m_s.settings().config().ServerModalita;
    restorePlacement();
    const WindowMode wanted = m_hideMode;
    const bool tray = trayAvailable();
    const WindowMode mode = EffectiveWindowMode(wanted, tray);
    if (tray)
        m_tray->show();
    switch (mode) {
    case WindowMode::Iconized:
        show();
        setWindowState(windowState() | Qt::WindowMinimized); // Form_Resize hides it
        break;
    case WindowMode::Minimized:
        showMinimized();
        break;
    case WindowMode::VirtualEcr:
        m_tabs->setCurrentIndex(TabEcr);
        showRestored();
        break;
    case WindowMode::Normal:
        showRestored();
        break;
    }
    if (mode != wanted && !m_trayNoticeGiven) {
        m_trayNoticeGiven = true;
        statusBar()->showMessage(NoTrayNotice(), 15000);
    }
    return mode;
}

void MainForm::showRestored() {
    // Left maximised last time: maximised again.
    if (windowState() & Qt::WindowMaximized)
        showMaximized();
    else
        showNormal();
}

void MainForm::restorePlacement() {
    const QByteArray saved =
        OpenUserSettings(m_password.settingsFile())->value(QLatin1String(kPlacementKey)).toByteArray();
    // Qt brings a place off every screen (a screen since removed) back on one.
    if (!saved.isEmpty())
        restoreGeometry(saved);
}

void MainForm::savePlacement() {
    if (!windowHandle()) // never shown: no place of its own to keep
        return;
    auto settings = OpenUserSettings(m_password.settingsFile());
    settings->setValue(QLatin1String(kPlacementKey), saveGeometry());
    settings->sync();
    // The store holds the technician's password as well: its owner's alone.
    if (settings->status() != QSettings::NoError ||
        !QFile::setPermissions(settings->fileName(), QFile::ReadOwner | QFile::WriteOwner))
        ReportWriteFailure(m_s, QStringLiteral("la posizione della finestra"), settings->fileName());
}

void MainForm::settaTabStops() {
    QList<QWidget *> order = m_configPc->tabOrder() + static_cast<RegisterPage *>(m_ecr)->tabOrder() +
                             m_technician->tabOrder() + m_virtualKeyboard->tabOrder();
    for (qsizetype i = 0; i + 1 < order.size(); ++i)
        setTabOrder(order[i], order[i + 1]);
}

void MainForm::showTechnicianTab(bool on) {
    // A hidden page leaves the tab strip altogether, so that assistive
    // technology does not offer it, and comes back at its own index.
    QScrollArea *area = m_areas[TabTechnician];
    const int at = m_tabs->indexOf(area);
    if (on == (at >= 0))
        return;
    if (on) {
        m_tabs->insertTab(TabTechnician, area, QString::fromUtf8(kTabs[TabTechnician].caption));
        return;
    }
    if (m_tabs->currentIndex() == at)
        m_tabs->setCurrentIndex(TabConfigPc);
    m_tabs->removeTab(at);
}

void MainForm::onTabChanged(int index) {
    switch (index) {
    case TabConfigPc:
        m_configPc->modelList()->setFocus(Qt::OtherFocusReason);
        break;
    case TabConfigEcr:
        m_configEcr->activate();
        break;
    case TabTechnician:
        m_technician->activate();
        m_console->ReadTechnicianDisplay();
        break;
    default:
        break;
    }
}

void MainForm::loginTecnico() {
    DlgLoginTecnico dlg(*m_tools, this);
    dlg.exec();
    showTechnicianTab(m_s.runState().technicianMode());
    m_panels[3]->setVisible(m_s.runState().technicianMode());
}

void MainForm::about() {
    DlgAbout dlg(m_prompter, this);
    dlg.exec();
}

void MainForm::onBusy(bool busy) {
    if (busy == m_busyCursor)
        return;
    m_busyCursor = busy;
    if (busy)
        QApplication::setOverrideCursor(Qt::BusyCursor);
    else
        QApplication::restoreOverrideCursor();
}

void MainForm::restoreFromTray() {
    setWindowState((windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
    show();
    raise();
    activateWindow();
}

void MainForm::changeEvent(QEvent *event) {
    // Form_Resize: minimised in mode "Iconized" (the saved value, at once),
    // only the tray icon remains, where there is a tray to come back from.
    if (event->type() == QEvent::WindowStateChange && (windowState() & Qt::WindowMinimized) &&
        m_hideMode == mainwindow::WindowMode::Iconized && trayAvailable())
        hide();
    QMainWindow::changeEvent(event);
}

void MainForm::exitWithQuestion() {
    if (mainwindow::ConfirmExit(m_s, m_prompter))
        shutdown();
}

void MainForm::shutdown() {
    if (m_shuttingDown)
        return;
    m_shuttingDown = true;
    savePlacement();
    // An exchange in flight gives up at its next wait; the queue stays.
    m_s.runState().requestStop();
    m_station.stop();
    m_tray->hide();
    emit shutdownRequested();
}

void MainForm::closeEvent(QCloseEvent *event) {
    // Form_Unload: the close box closes the port and ends the program.
    event->accept();
    if (m_shuttingDown)
        return;
    m_shuttingDown = true;
    savePlacement();
    m_s.runState().requestStop();
    m_station.stop();
    emit shutdownRequested();
}

} // namespace norvvelm
