#include "q520driver/Q520Window.h"

#include "q520driver/Q520Driver.h"
#include "q520driver/Q520Settings.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QMessageBox>
#include <QPushButton>
#include <QStyle>
#include <QSystemTrayIcon>
#include <QUrl>

namespace q520 {

namespace {

int showBox(const QString &text, const QString &title, QMessageBox::Icon icon,
            QMessageBox::StandardButtons buttons, QMessageBox::StandardButton defaultButton) {
    QMessageBox box(icon, title, text, buttons);
    box.setDefaultButton(defaultButton);
    box.setWindowModality(Qt::ApplicationModal);
    box.setWindowFlag(Qt::WindowStaysOnTopHint);
    return box.exec();
}

QMessageBox::Icon boxIcon(Prompter::Icon icon) {
    return icon == Prompter::Icon::Critical ? QMessageBox::Critical : QMessageBox::Information;
}

const char *kIniTemplate = "[Parametri]\n"
                           "NomeFileScontrino=\n"
                           "Directory Scontrini=.\n"
                           "Directory FileLog=.\n"
                           "LivelloLog=1\n"
                           "Porta=1\n"
                           "Velocita=1\n"
                           "\n"
                           "[Porte]\n";

} // namespace

void MessageBoxPrompter::message(const QString &text, const QString &title, Icon icon) {
    showBox(text, title, boxIcon(icon), QMessageBox::Ok, QMessageBox::Ok);
}

bool MessageBoxPrompter::confirm(const QString &text, const QString &title, Icon icon) {
    showBox(text, title, boxIcon(icon), QMessageBox::Ok, QMessageBox::Ok);
    return true;
}

bool MessageBoxPrompter::askYesNo(const QString &text, const QString &title) {
    return showBox(text, title, QMessageBox::Critical, QMessageBox::Yes | QMessageBox::No,
                   QMessageBox::Yes) == QMessageBox::Yes;
}

Window::Window(Driver *driver, Prompter *prompter, bool trayIcon, QWidget *parent)
    : QWidget(parent), m_driver(driver), m_prompter(prompter), m_trayWanted(trayIcon),
      m_avvia(new QPushButton(QStringLiteral("Avvia"), this)),
      m_ferma(new QPushButton(QStringLiteral("Ferma"), this)),
      m_apriIni(new QPushButton(QStringLiteral("Apri file Ini"), this)),
      m_apriLog(new QPushButton(QStringLiteral("Apri file Log"), this)) {
    setObjectName(QStringLiteral("frmDriverQ520"));
    setWindowTitle(caption());
    m_avvia->setObjectName(QStringLiteral("cmdAvvia"));
    m_ferma->setObjectName(QStringLiteral("cmdFerma"));
    m_apriIni->setObjectName(QStringLiteral("cmdApriIni"));
    m_apriLog->setObjectName(QStringLiteral("cmdApriLog"));
    auto *layout = new QHBoxLayout(this);
    for (QPushButton *b : {m_avvia, m_ferma, m_apriIni, m_apriLog})
        layout->addWidget(b);
    openFile = [](const QString &path) { return QDesktopServices::openUrl(QUrl::fromLocalFile(path)); };
    connect(m_avvia, &QPushButton::clicked, this, &Window::startDriver);
    connect(m_ferma, &QPushButton::clicked, this, &Window::stopDriver);
    connect(m_apriIni, &QPushButton::clicked, this, &Window::openIniFile);
    connect(m_apriLog, &QPushButton::clicked, this, &Window::openLogFile);
    connect(m_driver, &Driver::runningChanged, this, [this](bool running) {
        setButtons(running);
        showTrayIcon(running);
    });
    setButtons(false);
}

QString Window::caption() {
    return QStringLiteral("Driver Q520 - Versione : ") + QString::number(NORVVELM_VERSION_MAJOR) + u'.' +
           QString::number(NORVVELM_VERSION_MINOR) + u'.' + QString::number(NORVVELM_VERSION_PATCH);
}

void Window::setButtons(bool running) {
    m_avvia->setEnabled(!running);
    m_apriIni->setEnabled(!running);
    m_apriLog->setEnabled(!running);
    m_ferma->setEnabled(running);
}

void Window::startDriver() {
    if (m_driver->isRunning())
        return;
    setButtons(true); // no second start, and "Ferma" available, while the register is tested
    m_driver->start();
    setButtons(m_driver->isRunning());
}

void Window::stopDriver() {
    m_driver->stop();
    setButtons(false);
}

void Window::showTrayIcon(bool running) {
    if (!m_trayWanted)
        return;
    if (running && !m_tray && QSystemTrayIcon::isSystemTrayAvailable()) {
        m_tray = new QSystemTrayIcon(style()->standardIcon(QStyle::SP_ComputerIcon), this);
        m_tray->setToolTip(windowTitle());
        connect(m_tray, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
            if (reason == QSystemTrayIcon::DoubleClick) {
                showNormal();
                raise();
                activateWindow();
            }
        });
        m_tray->show();
        hide();
    } else if (!running && m_tray) {
        m_tray->hide();
        m_tray->deleteLater();
        m_tray = nullptr;
        showNormal();
    }
}

void Window::openIniFile() {
    const QString path = QDir(m_driver->homeFolder()).filePath(QLatin1String(kSettingsFileName));
    if (!QFileInfo::exists(path)) {
        QDir().mkpath(m_driver->homeFolder());
        QFile file(path);
        if (file.open(QIODevice::WriteOnly | QIODevice::Text))
            file.write(kIniTemplate);
    }
    if (!openFile(path))
        m_prompter->message(QStringLiteral("Impossibile aprire il file ") + path,
                            QStringLiteral("ATTENZIONE"), Prompter::Icon::Critical);
}

void Window::openLogFile() {
    const SettingsResult read = readSettings(m_driver->homeFolder());
    const QString path = read.ok ? read.settings.logPath()
                                 : QDir(m_driver->homeFolder()).filePath(QStringLiteral("DriverQ520.log"));
    if (!QFileInfo::exists(path)) {
        m_prompter->message(QStringLiteral("File di log non presente : ") + path,
                            QStringLiteral("ATTENZIONE"), Prompter::Icon::Information);
        return;
    }
    if (!openFile(path))
        m_prompter->message(QStringLiteral("Impossibile aprire il file ") + path,
                            QStringLiteral("ATTENZIONE"), Prompter::Icon::Critical);
}

void Window::closeEvent(QCloseEvent *event) {
    m_driver->stop();
    if (m_tray) {
        m_tray->hide();
        delete m_tray;
        m_tray = nullptr;
    }
    event->accept();
}

} // namespace q520
