// The main window driven by objectName on the offscreen platform, over the
// simulated register in virtual time, with scripted answers to every box.

#include "app/Station.h"
#include "app/widgets/DlgAbout.h"
#include "app/widgets/MainForm.h"
#include "shell/Config.h"
#include "shell/MainWindowLogic.h"
#include "shell/ProfileFile.h"
#include "shell/widgets/Pickers.h"
#include "support/EcrSimProcess.h"
#include "support/FontAdvance.h"
#include "support/StationRig.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPlainTextEdit>
#include <QScrollArea>
#include <QSignalSpy>
#include <QStatusBar>
#include <QSystemTrayIcon>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

using namespace norvvelm;
using testsupport::ScriptedPrompter;
using testsupport::writeFile;

namespace {

struct ScriptedPickers final : Pickers {
    QStringList folders, files, asked;
    QString chooseFolder(const QString &title) override {
        asked.append(title);
        return folders.isEmpty() ? QString() : folders.takeFirst();
    }
    QString chooseFile(const QString &filter) override {
        asked.append(filter);
        return files.isEmpty() ? QString() : files.takeFirst();
    }
};

QByteArray parameters(const QByteArray &mode = "Normal") {
    return "ServerStato=On\nServerFile=scontrino.txt\nServerLog=On\nWrapDescription=On\nServerModalita=" +
           mode + "\n";
}

// The station on the in-memory register, and the window over it.
struct WindowRig : testsupport::StationRig {
    Session &session = station.session();
    Runner &runner = station.runner();
    PrintServer &server = station.printServer();
    TechnicianPassword password{path(QStringLiteral("user.ini"))};
    ScriptedPickers pickers;
    bool tray = false;
    std::unique_ptr<MainForm> form;

    // `ini`: the whole NorvVelm.ini when not "default", none when empty.
    explicit WindowRig(const QByteArray &ini = "default") : StationRig(parameters()) {
        session.monitor().setMonitorEnabled(true);
        password.iterations = 1000;
        if (ini == "") {
            QFile::remove(path(QStringLiteral("NorvVelm.ini")));
        } else if (ini != "default") {
            testsupport::writeFile(path(QStringLiteral("NorvVelm.ini")), ini);
        }
    }
    ~WindowRig() { form.reset(); }
    QString ini() const { return path(QStringLiteral("NorvVelm.ini")); }
    MainForm &make() {
        form = std::make_unique<MainForm>(station, password, pickers);
        form->trayAvailable = [this] { return tray; };
        return *form;
    }
    MainForm &started() {
        make().start();
        return *form;
    }
    template <typename T> T *w(const QString &name) const {
        T *found = form->findChild<T *>(name);
        if (!found)
            qWarning("no widget %s", qPrintable(name));
        return found;
    }
    QAction *action(const QString &name) const { return form->findChild<QAction *>(name); }
    QTabWidget *tabs() const { return w<QTabWidget>(QStringLiteral("SSTabPrimaria")); }
    // The tabs assistive technology offers: the tab bar's accessible children.
    QStringList offeredTabs() const {
        QStringList names;
        QAccessibleInterface *bar = QAccessible::queryAccessibleInterface(tabs()->tabBar());
        for (int i = 0; bar && i < bar->childCount(); ++i) {
            if (bar->child(i)->role() == QAccessible::PageTab) // not the scroll buttons
                names.append(bar->child(i)->text(QAccessible::Name));
        }
        return names;
    }
    QString panelText(int n) const {
        return w<QLabel>(QStringLiteral("sbMain_") + QString::number(n))->text();
    }
    bool panelShown(int n) const {
        return !w<QLabel>(QStringLiteral("sbMain_") + QString::number(n))->isHidden();
    }
    void click(const QString &name) const { w<QAbstractButton>(name)->click(); }
    QStringList sent() const {
        QStringList out;
        for (const QByteArray &c : sim.commandsExecuted())
            out.append(QString::fromLatin1(c));
        return out;
    }
};

// Runs `action` on the modal dialog that the next statement opens.
void onNextModal(std::function<void(QWidget *)> action) {
    QTimer::singleShot(0, qApp, [action] {
        QWidget *modal = QApplication::activeModalWidget();
        QVERIFY(modal);
        action(modal);
    });
}

void login(WindowRig &r, const QString &password) {
    onNextModal([password](QWidget *dlg) {
        dlg->findChild<QLineEdit *>(QStringLiteral("txtPassword"))->setText(password);
        QTest::keyClick(dlg->findChild<QLineEdit *>(QStringLiteral("txtPassword")), Qt::Key_Return);
    });
    r.action(QStringLiteral("mnuFileTecnico"))->trigger();
}

} // namespace

class TestMainForm : public QObject {
    Q_OBJECT
private slots:
    void startupFillsTheWindow();
    void startupWithIncompleteConfiguration();
    void startupWithRegisterOff();
    void technicianTabAtStart();
    void windowModes_data();
    void windowModes();
    void iconizedHidesOnMinimise();
    void exitAndShutdown();
    void fitsATillScreen_data();
    void fitsATillScreen();
    void statoAndStatusBarClick();
    void technicianLoginAndPage();
    void passwordChangeThroughDialog();
    void configurationTab();
    void findRegistersMarksDevices();
    void monitorAndQueue();
    void aboutBox();
    void busyLineAndPointer();
    void everyInputNamedAndReachable();
    void programmingTabCarriesTheLogoPage();
};

void TestMainForm::startupFillsTheWindow() {
    WindowRig r;
    QVERIFY(r.password.change(QStringLiteral("x")));
    MainForm &f = r.started();
    QCOMPARE(f.windowTitle(), QStringLiteral(" NorvVelm - Versione : ") + Startup::version());
    QTabWidget *tabs = r.tabs();
    // With a password the technician's tab is out of the strip: neither seen
    // nor offered to assistive technology.
    QCOMPARE(tabs->count(), 3);
    const QStringList captions{QStringLiteral("Configuraz. &PC"), QStringLiteral(" &Configuraz. ECR"),
                               QStringLiteral("Uso come &ECR")};
    for (int i = 0; i < 3; ++i)
        QCOMPARE(tabs->tabText(i), captions[i]);
    QCOMPARE(r.offeredTabs().size(), 3);
    QVERIFY(!r.offeredTabs().join(u'|').contains(QLatin1String("Tecnico")));
    QCOMPARE(tabs->currentIndex(), 0);
    QVERIFY(!tabs->isTabVisible(3));
    QVERIFY(f.isVisible());

    // The register was asked its status, identified, and its VAT rates read.
    QCOMPARE(r.sent().mid(0, 3),
             (QStringList{QStringLiteral("?/"), QStringLiteral("a/"), QStringLiteral("e/")}));
    QCOMPARE(r.panelText(3), QStringLiteral("72-NV00012345"));
    QCOMPARE(r.panelText(4), QStringLiteral("1.02"));
    QVERIFY(!r.panelShown(4)); // technician indicator: off
    // The rate boxes show the rates read, as the register sent them.
    QCOMPARE(r.w<QLineEdit>(QStringLiteral("txtIVA_2"))->text(), QStringLiteral("20.00"));
    QCOMPARE(ProfileFile(r.ini()).getString(QStringLiteral("Current"), QStringLiteral("SN"), {}, 64),
             QStringLiteral("NV00012345"));
    QVERIFY(r.server.isEnabled());

    // The lists of the configuration tab.
    auto *model = r.w<QComboBox>(QStringLiteral("cmbModello"));
    QCOMPARE(model->count(), 2);
    QCOMPARE(model->currentText(), QStringLiteral("Norv ONe"));
    QCOMPARE(r.session.settings().config().DescrWidth1, 20);
    QCOMPARE(r.w<QComboBox>(QStringLiteral("cmbComPort"))->count(), 32);
    QCOMPARE(r.w<QComboBox>(QStringLiteral("cmbComPort"))->currentText(), QStringLiteral("Com3"));
    QCOMPARE(r.w<QComboBox>(QStringLiteral("cmbComDevice"))->currentText(), QStringLiteral("/dev/sim3"));
    QCOMPARE(r.w<QComboBox>(QStringLiteral("cmbSpeed"))->currentText(), QStringLiteral("9600"));
    QCOMPARE(r.w<QComboBox>(QStringLiteral("cmbSRVModalita"))->currentText(), QStringLiteral("Normal"));
    QCOMPARE(r.w<QLineEdit>(QStringLiteral("txtSRVDir"))->text(), r.home.path());
    QCOMPARE(r.w<QLineEdit>(QStringLiteral("txtSRVFile"))->text(), QStringLiteral("scontrino.txt"));
    QVERIFY(r.w<QCheckBox>(QStringLiteral("chkSRV_0"))->isChecked());
    QVERIFY(r.w<QCheckBox>(QStringLiteral("chkLog"))->isChecked());
    QVERIFY(r.w<QCheckBox>(QStringLiteral("chkWrapDescription"))->isChecked());
    QVERIFY(!r.w<QCheckBox>(QStringLiteral("chkAlIvaAuto"))->isChecked());
    QVERIFY(r.prompter.shown.isEmpty());

    // Menus and the tray menu, which is not in the menu bar.
    QCOMPARE(r.action(QStringLiteral("mnuFileTecnico"))->text(), QStringLiteral("&Login Tecnico"));
    QCOMPARE(r.action(QStringLiteral("mnuFileExit"))->text(), QStringLiteral("&Exit"));
    QCOMPARE(r.action(QStringLiteral("mnuHelpAbout"))->text(), QStringLiteral("&About"));
    QCOMPARE(f.trayMenu()->objectName(), QStringLiteral("mPopupSys"));
    QCOMPARE(f.trayIcon()->toolTip(), QStringLiteral("Norv Velm"));
    QCOMPARE(f.trayIcon()->contextMenu(), f.trayMenu());
}

void TestMainForm::startupWithIncompleteConfiguration() {
    WindowRig r("[Parametri]\r\nPorta=1\r\n");
    QVERIFY(r.password.change(QStringLiteral("x")));
    MainForm &f = r.started();
    QVERIFY(f.isVisible());
    QCOMPARE(r.panelText(1), QStringLiteral("Errore Nei Parametri"));
    QCOMPARE(r.panelText(2), QStringLiteral("Tipo Modello non impostato"));
    QVERIFY(!r.port.isOpen());
    QVERIFY(r.sent().isEmpty());
    QVERIFY(!r.server.isEnabled());
    // The lists still offer their choices, so the configuration can be completed.
    QCOMPARE(r.w<QComboBox>(QStringLiteral("cmbModello"))->count(), 2);
    QCOMPARE(r.w<QComboBox>(QStringLiteral("cmbModello"))->currentIndex(), -1);
    // A click on the status bar explains it.
    QTest::mouseClick(r.w<QLabel>(QStringLiteral("sbMain_2")), Qt::LeftButton);
    QCOMPARE(r.prompter.shown.size(), 1);
    QCOMPARE(r.prompter.shown.last().title, QStringLiteral("Errore Nei Parametri"));
    QCOMPARE(r.prompter.shown.last().text, QStringLiteral("Tipo Modello non impostato"));
    QCOMPARE(r.prompter.shown.last().icon, Prompter::Icon::Critical);
}

void TestMainForm::startupWithRegisterOff() {
    WindowRig r;
    QVERIFY(r.fault(QStringLiteral("enq:silent*100")));
    MainForm &f = r.started();
    QVERIFY(f.isVisible());
    QCOMPARE(r.panelText(3), QString());
    QVERIFY(r.session.settings().config().identity.sn.isEmpty());
    QCOMPARE(ProfileFile(r.ini()).getString(QStringLiteral("Current"), QStringLiteral("SN"),
                                            QStringLiteral("none"), 64),
             QStringLiteral("none"));
    QVERIFY(
        r.prompter.count(QStringLiteral("Errore : 1004 - Comunicazione impossibile !\r\n\r\nCassa spenta o "
                                        "\r\nCavo interrotto o\r\n Velocit\u00e0 errata")) >= 1);
    // The failure stays on panels 1 and 2: "Stato" says it, not "Status OK".
    const QString failure =
        QStringLiteral("Errore : 1004 - Comunicazione impossibile !\r\n\r\nCassa spenta o "
                       "\r\nCavo interrotto o\r\n Velocit\u00e0 errata");
    QCOMPARE(r.panelText(1), QStringLiteral("Cassa non pronta"));
    QCOMPARE(r.panelText(2), failure);
    r.prompter.shown.clear();
    r.action(QStringLiteral("mnuPopStato"))->trigger();
    QCOMPARE(r.prompter.shown.last().text, failure);
    QCOMPARE(r.prompter.shown.last().title, QStringLiteral("Cassa non pronta"));
    // Until the register answers.
    r.sim.clearFaults();
    r.clock.advance(Station::kRetryMs);
    r.station.startup().checkNow();
    QCOMPARE(r.panelText(3), QStringLiteral("72-NV00012345"));
    QCOMPARE(r.panelText(2), QString());
    r.action(QStringLiteral("mnuPopStato"))->trigger();
    QCOMPARE(r.prompter.shown.last().text, QStringLiteral("Status OK : 72-NV00012345"));
}

void TestMainForm::technicianTabAtStart() {
    {
        // No password, configuration loaded: the list filling hides the tab.
        WindowRig r;
        r.started();
        QVERIFY(!r.tabs()->isTabVisible(3));
        QVERIFY(!r.session.runState().technicianMode());
        QVERIFY(!r.session.settings().config().technicianEnabled);
    }
    {
        // No password and an incomplete configuration: the tab stays shown.
        WindowRig r("");
        r.started();
        QVERIFY(r.tabs()->isTabVisible(3));
        QVERIFY(!r.session.runState().technicianMode());
    }
    {
        WindowRig r("");
        QVERIFY(r.password.change(QStringLiteral("p")));
        r.started();
        QVERIFY(!r.tabs()->isTabVisible(3));
    }
}

void TestMainForm::windowModes_data() {
    QTest::addColumn<QByteArray>("mode");
    QTest::addColumn<bool>("tray");
    QTest::addColumn<bool>("visible");
    QTest::addColumn<bool>("minimized");
    QTest::addColumn<int>("tab");
    QTest::addColumn<bool>("notice");
    QTest::newRow("Normal") << QByteArray("Normal") << true << true << false << 0 << false;
    QTest::newRow("Minimized") << QByteArray("minimized") << true << true << true << 0 << false;
    QTest::newRow("Iconized, tray") << QByteArray("ICONIZED") << true << false << true << 0 << false;
    QTest::newRow("Iconized, no tray") << QByteArray("Iconized") << false << true << true << 0 << true;
    QTest::newRow("VirtualECR") << QByteArray("VirtualECR") << false << true << false << 2 << false;
}

void TestMainForm::windowModes() {
    QFETCH(QByteArray, mode);
    QFETCH(bool, tray);
    QFETCH(bool, visible);
    QFETCH(bool, minimized);
    QFETCH(int, tab);
    QFETCH(bool, notice);
    WindowRig r;
    r.writeIni(parameters(mode));
    r.tray = tray;
    MainForm &f = r.make();
    f.start();
    QCOMPARE(f.isVisible(), visible);
    QCOMPARE(bool(f.windowState() & Qt::WindowMinimized), minimized);
    QCOMPARE(r.tabs()->currentIndex(), tab);
    QCOMPARE(f.statusBar()->currentMessage().contains(QLatin1String("Area di notifica assente")), notice);
    if (!visible) {
        // A left click on the tray icon brings it back.
        emit f.trayIcon()->activated(QSystemTrayIcon::Trigger);
        QVERIFY(f.isVisible());
        QVERIFY(!(f.windowState() & Qt::WindowMinimized));
    }
}

void TestMainForm::iconizedHidesOnMinimise() {
    WindowRig r;
    r.tray = true;
    MainForm &f = r.started();
    QVERIFY(f.isVisible());
    f.setWindowState(Qt::WindowMinimized);
    QVERIFY(f.isVisible()); // mode Normal: minimised, still there
    // A saved mode "Iconized" holds at once for hiding on minimise.
    f.showNormal();
    r.w<QComboBox>(QStringLiteral("cmbSRVModalita"))->setCurrentText(QStringLiteral("Iconized"));
    r.click(QStringLiteral("cmdSalvaConfigPC"));
    f.setWindowState(Qt::WindowMinimized);
    QVERIFY(!f.isVisible());
    emit f.trayIcon()->activated(QSystemTrayIcon::DoubleClick);
    QVERIFY(f.isVisible());
    // "Apri" of the tray menu too.
    f.setWindowState(Qt::WindowMinimized);
    QVERIFY(!f.isVisible());
    r.action(QStringLiteral("mnuPopApri"))->trigger();
    QVERIFY(f.isVisible());
    // Without a notification area it stays minimised, reachable from the task bar.
    r.tray = false;
    f.setWindowState(Qt::WindowMinimized);
    QVERIFY(f.isVisible());
}

void TestMainForm::exitAndShutdown() {
    {
        WindowRig r;
        MainForm &f = r.started();
        QSignalSpy ended(&f, &MainForm::shutdownRequested);
        r.session.runState().setReceiptOpen(true);
        r.action(QStringLiteral("mnuFileExit"))->trigger(); // default answer: No
        QCOMPARE(r.prompter.shown.last().text, QStringLiteral("Scontrino Aperto !\r\n\r\nProseguo ?"));
        QCOMPARE(ended.size(), 0);
        QVERIFY(r.port.isOpen());
        r.prompter.script = {Prompter::Answer::Yes};
        r.action(QStringLiteral("mnuFileExit"))->trigger();
        QCOMPARE(ended.size(), 1);
        QVERIFY(!r.port.isOpen());
        QVERIFY(!r.server.isEnabled());
        QVERIFY(!f.trayIcon()->isVisible());
    }
    {
        // "Esci" never asks.
        WindowRig r;
        MainForm &f = r.started();
        QSignalSpy ended(&f, &MainForm::shutdownRequested);
        r.session.runState().setReceiptOpen(true);
        r.action(QStringLiteral("mnuPopEsci"))->trigger();
        QCOMPARE(ended.size(), 1);
        QVERIFY(r.prompter.shown.isEmpty());
        QVERIFY(!r.port.isOpen());
    }
    {
        // No receipt open: no question. The close box closes the port and ends.
        WindowRig r;
        MainForm &f = r.started();
        QSignalSpy ended(&f, &MainForm::shutdownRequested);
        f.setGeometry(QRect(40, 30, 760, 540));
        const QRect placed = f.frameGeometry();
        f.close();
        QCOMPARE(ended.size(), 1);
        QVERIFY(!r.port.isOpen());
        QVERIFY(r.prompter.shown.isEmpty());
        // The next start opens where the window was left; the per-user
        // store, the password's too, stays its owner's alone.
        const QString store = r.password.settingsFile();
        const QFile::Permissions others = QFile::ReadGroup | QFile::WriteGroup | QFile::ExeGroup |
                                          QFile::ReadOther | QFile::WriteOther | QFile::ExeOther;
        QVERIFY(QFile::permissions(store) & QFile::ReadOwner);
        QVERIFY(!(QFile::permissions(store) & others));
        WindowRig next;
        QVERIFY(QFile::copy(store, next.password.settingsFile()));
        MainForm &again = next.started();
        QCOMPARE(again.size(), QSize(760, 540));
        QCOMPARE(again.frameGeometry(), placed);
    }
}

// A till's screen is 1024x768 with a panel: the window's least size fits
// it, and at 1024x740 no page needs scrolling (its buttons and the status bar
// are on screen); smaller, a page keeps its own least size and scrolls.
void TestMainForm::fitsATillScreen_data() {
    QTest::addColumn<int>("tab");
    QTest::newRow("Configuraz. PC") << int(MainForm::TabConfigPc);
    QTest::newRow("Configuraz. ECR, every page") << int(MainForm::TabConfigEcr);
    QTest::newRow("Uso come ECR") << int(MainForm::TabEcr);
    QTest::newRow("Pannello del Tecnico") << int(MainForm::TabTechnician);
}

void TestMainForm::fitsATillScreen() {
    QFETCH(int, tab);
    WindowRig r;
    MainForm &f = r.started();
    r.session.runState().setTechnicianMode(true);
    const QSize least = f.minimumSizeHint().expandedTo(f.minimumSize());
    QVERIFY2(least.width() <= 1024 && least.height() <= 740,
             qPrintable(QStringLiteral("%1x%2").arg(least.width()).arg(least.height())));
    r.tabs()->setCurrentIndex(tab);
    auto *area = qobject_cast<QScrollArea *>(r.tabs()->currentWidget());
    QVERIFY(area);
    QWidget *page = area->widget();
    // The page, and each page of every strip on it.
    QList<std::pair<QTabWidget *, int>> views{{nullptr, 0}};
    for (QTabWidget *strip : page->findChildren<QTabWidget *>())
        for (int i = 0; i < strip->count(); ++i)
            views.append({strip, i});
    QStringList faults;
    for (const QSize size : {QSize(1024, 740), QSize(800, 600)}) {
        f.resize(size);
        for (const auto &[strip, index] : views) {
            if (strip)
                strip->setCurrentIndex(index);
            QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
            // A page of a strip that is too tall makes the whole strip so: say which.
            const QSize needs = page->minimumSizeHint();
            const QSize own = strip ? strip->widget(index)->minimumSizeHint() : needs;
            const QString what = QStringLiteral("%1x%2, %3 (%8x%9): needs %4x%5, has %6x%7")
                                     .arg(size.width())
                                     .arg(size.height())
                                     .arg(strip ? strip->tabText(index) : r.tabs()->tabText(tab))
                                     .arg(needs.width())
                                     .arg(needs.height())
                                     .arg(area->viewport()->width())
                                     .arg(area->viewport()->height())
                                     .arg(own.width())
                                     .arg(own.height());
            const bool fits = size.width() == 1024
                                  ? needs.width() <= area->viewport()->width() &&
                                        needs.height() <= area->viewport()->height()
                                  : page->width() >= needs.width() && page->height() >= needs.height();
            if (!fits)
                faults.append(what);
        }
    }
    QVERIFY2(faults.isEmpty(), qPrintable(faults.join(u'\n')));
}

void TestMainForm::statoAndStatusBarClick() {
    WindowRig r;
    r.started();
    r.action(QStringLiteral("mnuPopStato"))->trigger();
    QCOMPARE(r.prompter.shown.last().text, QStringLiteral("Status OK : 72-NV00012345"));
    QCOMPARE(r.prompter.shown.last().title, QStringLiteral("Norv Velm"));
    QTest::mouseClick(r.w<QLabel>(QStringLiteral("sbMain_3")), Qt::LeftButton);
    QCOMPARE(r.prompter.shown.size(), 1); // nothing failed: nothing to explain

    // A refused command reported by the runner.
    QVERIFY(r.fault(QStringLiteral("refuse=1A")));
    r.runner.SendAndCheck(QStringLiteral("x/"));
    QCOMPARE(r.panelText(1), QStringLiteral("Attenzione!"));
    QCOMPARE(r.panelText(2), QStringLiteral("Err. 26 : Comunicazione errata"));
    // Each panel is read with its caption.
    QCOMPARE(QAccessible::queryAccessibleInterface(r.w<QLabel>(QStringLiteral("sbMain_2")))
                 ->text(QAccessible::Name),
             QStringLiteral("Messaggio: Err. 26 : Comunicazione errata"));
    QCOMPARE(r.w<QLabel>(QStringLiteral("sbMain_3"))->accessibleName(),
             QStringLiteral("S/N ECR: 72-NV00012345"));
    r.action(QStringLiteral("mnuPopStato"))->trigger();
    QCOMPARE(r.prompter.shown.last().text, QStringLiteral("Err. 26 : Comunicazione errata"));
    QCOMPARE(r.prompter.shown.last().title, QStringLiteral("Attenzione!"));
    QTest::mouseClick(r.w<QLabel>(QStringLiteral("sbMain_1")), Qt::LeftButton);
    QCOMPARE(r.prompter.shown.size(), 3);
}

void TestMainForm::technicianLoginAndPage() {
    WindowRig r;
    QVERIFY(r.password.change(QStringLiteral("Segreto")));
    r.started();
    login(r, QStringLiteral("nope"));
    QCOMPARE(r.prompter.count(QStringLiteral("Password Errata")), 1);
    QVERIFY(!r.tabs()->isTabVisible(3));
    QVERIFY(!r.panelShown(4));

    login(r, QStringLiteral(" segreto "));
    QVERIFY(r.session.runState().technicianMode());
    QVERIFY(r.tabs()->isTabVisible(3));
    QCOMPARE(r.tabs()->tabText(3), QStringLiteral("Pannello del &Tecnico"));
    QCOMPARE(r.offeredTabs().size(), 4);
    QVERIFY(r.offeredTabs().at(3).contains(QLatin1String("Tecnico")));
    QVERIFY(r.panelShown(4));

    // Selecting the tab reads the register's display once into the two boxes.
    r.runner.SendAndCheck(QStringLiteral("3/S/REPARTO1//1/5.26/1/4/"));
    const int before = int(r.sent().size());
    r.tabs()->setCurrentIndex(3);
    QCOMPARE(r.sent().mid(before), QStringList{QStringLiteral("(/")});
    QCOMPARE(r.w<QLineEdit>(QStringLiteral("txtVirtDSP_0"))->text(), r.reg.displayLine(0).leftJustified(16));
    QCOMPARE(r.w<QLineEdit>(QStringLiteral("txtVirtDSP_1"))->text(), r.reg.displayLine(1).leftJustified(16));

    // A single command, by button and by Enter.
    auto *single = r.w<QLineEdit>(QStringLiteral("txtSingleCMD"));
    auto *answer = r.w<QPlainTextEdit>(QStringLiteral("txtAnswerCMD"));
    single->setText(QStringLiteral("?"));
    r.click(QStringLiteral("cmdSendCommand_0"));
    QVERIFY(answer->toPlainText().startsWith(QLatin1String("00/")));
    QCOMPARE(r.sent().last(), QStringLiteral("?/"));
    r.click(QStringLiteral("cmdTechCancAnswer"));
    QCOMPARE(answer->toPlainText(), QString());
    QVERIFY(r.fault(QStringLiteral("refuse=03")));
    QTest::keyClick(single, Qt::Key_Return);
    QCOMPARE(answer->toPlainText(), QStringLiteral("Errore"));

    // The command file, chosen with the picker.
    const QString file = r.path(QStringLiteral("cmd.txt"));
    writeFile(file, "?/,a/\r\n");
    r.pickers.files = {QStringLiteral(" ") + file + QStringLiteral(" ")};
    r.click(QStringLiteral("cmdTechFile"));
    QCOMPARE(r.pickers.asked.last(), QStringLiteral("All Files|*.*"));
    QCOMPARE(r.w<QLineEdit>(QStringLiteral("txtFileCMD"))->text(), file);
    r.click(QStringLiteral("cmdSendCommand_1"));
    QCOMPARE(r.sent().mid(r.sent().size() - 2), (QStringList{QStringLiteral("?/"), QStringLiteral("a/")}));
    QVERIFY(answer->toPlainText().startsWith(QLatin1String("00/")));
    // Cancelling the picker keeps the file.
    r.click(QStringLiteral("cmdTechFile"));
    QCOMPARE(r.w<QLineEdit>(QStringLiteral("txtFileCMD"))->text(), file);

    // The technician lets the interface take raw lines, by keyboard, and
    // takes it back: each saved at once, in effect at once.
    auto *raw = r.w<QCheckBox>(QStringLiteral("chkApiRigheDirette"));
    QVERIFY(!raw->isChecked());
    QTest::keyClick(raw, Qt::Key_Space);
    QVERIFY(r.session.settings().config().ApiRigheDirette);
    const auto stored = [&r] {
        return ProfileFile(r.ini()).getString(QStringLiteral("Parametri"), QStringLiteral("ApiRigheDirette"),
                                              {}, 10);
    };
    QCOMPARE(stored(), QStringLiteral("On"));
    raw->click();
    QVERIFY(!r.session.settings().config().ApiRigheDirette);
    QCOMPARE(stored(), QStringLiteral("Off"));
    // A switch that cannot be written goes back, and the status bar says where.
    QFile::remove(r.ini());
    QVERIFY(QDir(r.home.path()).mkdir(QStringLiteral("NorvVelm.ini")));
    raw->click();
    QVERIFY(!raw->isChecked());
    QVERIFY(!r.session.settings().config().ApiRigheDirette);
    QVERIFY2(r.panelText(2).contains(QStringLiteral("NorvVelm.ini")), qPrintable(r.panelText(2)));
    QVERIFY(QDir(r.home.path()).rmdir(QStringLiteral("NorvVelm.ini")));

    // The two service buttons say they are not offered.
    r.click(QStringLiteral("cmdApprendimento"));
    r.click(QStringLiteral("cmdMessaInServizio"));
    QCOMPARE(r.prompter.count(QStringLiteral("Funzione non disponibile in questa versione")), 2);

    // Cancel of the dialog locks the page again.
    onNextModal(
        [](QWidget *dlg) { dlg->findChild<QAbstractButton *>(QStringLiteral("cmdCancel"))->click(); });
    r.action(QStringLiteral("mnuFileTecnico"))->trigger();
    QVERIFY(!r.session.runState().technicianMode());
    QVERIFY(!r.tabs()->isTabVisible(3));
    QVERIFY(!r.panelShown(4));
    QCOMPARE(r.tabs()->currentIndex(), 0);
}

void TestMainForm::passwordChangeThroughDialog() {
    WindowRig r("");
    r.started();
    QVERIFY(r.tabs()->isTabVisible(3)); // no password, incomplete configuration
    const auto change = [&r](const QString &current, const QString &a, const QString &b) {
        onNextModal([=](QWidget *dlg) {
            dlg->findChild<QLineEdit *>(QStringLiteral("txtPassword"))->setText(current);
            dlg->findChild<QLineEdit *>(QStringLiteral("txtNewPassword_0"))->setText(a);
            dlg->findChild<QLineEdit *>(QStringLiteral("txtNewPassword_1"))->setText(b);
            dlg->findChild<QAbstractButton *>(QStringLiteral("Command1"))->click();
        });
        r.action(QStringLiteral("mnuFileTecnico"))->trigger();
    };
    change(QString(), QStringLiteral("Abc"), QStringLiteral("abc"));
    QCOMPARE(r.prompter.count(QStringLiteral("Nuova Password Errata")), 1);
    QVERIFY(!r.tabs()->isTabVisible(3));
    QVERIFY(r.password.isEmpty());
    change(QString(), QStringLiteral("Abc"), QStringLiteral("Abc"));
    QVERIFY(r.session.runState().technicianMode());
    QVERIFY(r.tabs()->isTabVisible(3));
    QVERIFY(r.password.matches(QStringLiteral("ABC")));
    change(QStringLiteral("wrong"), QStringLiteral("x"), QStringLiteral("x"));
    QCOMPARE(r.prompter.count(QStringLiteral("Password corrente errata")), 1);
    QVERIFY(!r.session.runState().technicianMode());
    QVERIFY(!r.tabs()->isTabVisible(3));
    login(r, QStringLiteral("abc"));
    QVERIFY(r.session.runState().technicianMode());
}

// Cerca registratori: each device a register answers on carries its serial
// number in the device box; the port the window holds is its own register,
// never opened again; saving stores the device alone.
void TestMainForm::findRegistersMarksDevices() {
    WindowRig r;
    r.started();
    EcrSimProcess sim(r.path(QStringLiteral("ecr")));
    QVERIFY(sim.start({QStringLiteral("--serial"), QStringLiteral("SN999")}));
    auto *devices = r.w<QComboBox>(QStringLiteral("cmbComDevice"));
    const QString missing = r.path(QStringLiteral("nessuna"));
    devices->clear();
    devices->addItems({QStringLiteral("/dev/sim3"), sim.linkPath(), missing});
    devices->setCurrentIndex(1);
    r.click(QStringLiteral("cmdCercaRegistratori"));
    QCOMPARE(devices->itemText(0), QStringLiteral("/dev/sim3 (cassa NV00012345)"));
    QCOMPARE(devices->itemText(1), sim.linkPath() + QStringLiteral(" (cassa SN999)"));
    QCOMPARE(devices->itemText(2), missing);
    QVERIFY(
        devices->itemData(2, Qt::ToolTipRole).toString().contains(QLatin1String("dispositivo inesistente")));
    QCOMPARE(devices->currentText(), devices->itemText(1));
    QCOMPARE(devices->accessibleDescription(),
             QStringLiteral("Casse trovate: /dev/sim3 (cassa NV00012345), ") + devices->itemText(1));
    QCOMPARE(r.port.openedDevice, QStringLiteral("/dev/sim3")); // the window's port stays as it was
    r.click(QStringLiteral("cmdSalvaConfigPC"));
    QCOMPARE(PortDevice(r.ini(), QStringLiteral("3")), sim.linkPath());
}

void TestMainForm::configurationTab() {
    WindowRig r;
    r.started();
    const QString ini = r.ini();

    // The folder picker, with its title; cancelling keeps the text.
    const QString other = r.path(QStringLiteral("altro"));
    r.pickers.folders = {other};
    r.click(QStringLiteral("cmdSRVDir"));
    QCOMPARE(r.pickers.asked.last(), QStringLiteral("Indicare la cartella di lavoro temporanea del Server"));
    QCOMPARE(r.w<QLineEdit>(QStringLiteral("txtSRVDir"))->text(), other);
    r.click(QStringLiteral("cmdSRVDir"));
    QCOMPARE(r.w<QLineEdit>(QStringLiteral("txtSRVDir"))->text(), other);
    // Nothing is saved until Salva.
    QCOMPARE(ProfileFile(ini).getString(QStringLiteral("Parametri"), QStringLiteral("ServerDir"), {}, 255),
             r.home.path());

    // A save of folder, file and switches: at once, no restart needed.
    r.w<QLineEdit>(QStringLiteral("txtSRVFile"))->setText(QStringLiteral("*.rcp"));
    r.w<QCheckBox>(QStringLiteral("chkSRV_0"))->setChecked(false);
    r.w<QCheckBox>(QStringLiteral("chkAlIvaAuto"))->setChecked(true);
    r.session.statusBar().setPanel(1, QStringLiteral("x"));
    r.click(QStringLiteral("cmdSalvaConfigPC"));
    const ProfileFile saved(ini);
    QCOMPARE(saved.getString(QStringLiteral("Parametri"), QStringLiteral("ServerDir"), {}, 255), other);
    QCOMPARE(saved.getString(QStringLiteral("Parametri"), QStringLiteral("ServerFile"), {}, 128),
             QStringLiteral("*.rcp"));
    QCOMPARE(saved.getString(QStringLiteral("Parametri"), QStringLiteral("ServerStato"), {}, 10),
             QStringLiteral("Off"));
    QCOMPARE(saved.getString(QStringLiteral("Parametri"), QStringLiteral("AlIvaAuto"), {}, 10),
             QStringLiteral("On"));
    QCOMPARE(saved.getString(QStringLiteral("Parametri"), QStringLiteral("Porta"), {}, 3),
             QStringLiteral("3"));
    QCOMPARE(r.session.settings().config().ServerDir, other);
    QCOMPARE(r.session.settings().config().ServerFile, QStringLiteral("*.rcp"));
    QVERIFY(r.session.settings().config().AlIvaAuto);
    QVERIFY(!r.server.isEnabled());
    QCOMPARE(r.panelText(1), QString());
    QCOMPARE(r.panelText(2), QString());

    // Port, speed: the next start. The device behind the port is stored too.
    r.w<QCheckBox>(QStringLiteral("chkSRV_0"))->setChecked(true);
    r.w<QComboBox>(QStringLiteral("cmbComPort"))->setCurrentText(QStringLiteral("Com4"));
    QCOMPARE(r.w<QComboBox>(QStringLiteral("cmbComDevice"))->currentText(), QStringLiteral("/dev/ttyS3"));
    r.w<QComboBox>(QStringLiteral("cmbComDevice"))->setEditText(QStringLiteral("/dev/ttyUSB7"));
    r.w<QComboBox>(QStringLiteral("cmbSpeed"))->setCurrentText(QStringLiteral("115200"));
    r.click(QStringLiteral("cmdSalvaConfigPC"));
    QVERIFY(r.server.isEnabled());
    QCOMPARE(r.panelText(1), QStringLiteral("Riavvio necessario"));
    QVERIFY(r.panelText(2).contains(QLatin1String("prossimo avvio")));
    QCOMPARE(r.session.settings().config().Porta, 3); // the running values stay
    QCOMPARE(PortDevice(ini, QStringLiteral("4")), QStringLiteral("/dev/ttyUSB7"));
    QCOMPARE(r.port.openedDevice, QStringLiteral("/dev/sim3")); // the port opened stays

    // The status page's address while the API listens; none once it is off.
    auto *page = r.w<QLabel>(QStringLiteral("lblPaginaStato"));
    QVERIFY(r.station.api().isListening());
    const QString url = mainwindow::StatusPageAddress(QStringLiteral("127.0.0.1"), r.station.api().port());
    QVERIFY(!page->isHidden());
    QCOMPARE(page->text(), QStringLiteral("Pagina di stato: <a href=\"%1\">%1</a>").arg(url));
    r.w<QCheckBox>(QStringLiteral("chkApi"))->setChecked(false);
    r.click(QStringLiteral("cmdSalvaConfigPC"));
    QVERIFY(!r.station.api().isListening());
    QVERIFY(page->isHidden());
    QCOMPARE(page->text(), QString());

    // The help buttons.
    r.click(QStringLiteral("Command3"));
    QCOMPARE(
        r.prompter.shown.last().text,
        QStringLiteral("Per un elenco delle estensioni proibite si faccia riferimento\ral file FileExt.ini "
                       "contenuto nella dir. di installazione del programma."));
    r.click(QStringLiteral("cmdSpiegaLog"));
    QCOMPARE(r.prompter.shown.last().text, LogFileExplanation());

    // The daily log follows chkLog at once.
    r.w<QCheckBox>(QStringLiteral("chkLog"))->setChecked(false);
    QVERIFY(!r.session.settings().logEnabled());
}

void TestMainForm::monitorAndQueue() {
    WindowRig r;
    r.started();
    auto *monitor = r.w<QListWidget>(QStringLiteral("lstRunTime"));
    auto *queue = r.w<QListWidget>(QStringLiteral("lstScontrino"));
    // The monitor's lines keep their columns: every character has one advance.
    QCOMPARE(testsupport::unevenCharacters(monitor->font()), QString());

    // A receipt file printed by the server shows in the monitor, newest on top.
    writeFile(r.path(QStringLiteral("scontrino.txt")), "3/S/REPARTO1//1/5.26/1/4/\r\n5/1/0.00/////\r\n");
    r.server.TimerSRV_Timer();
    QCOMPARE(monitor->item(0)->text().left(3), QStringLiteral("ECR"));
    QCOMPARE(monitor->count(), int(r.session.monitor().lines().size()));
    const int row =
        int(r.session.monitor().lines().indexOf(QStringLiteral("PC -> ECR : 3/S/REPARTO1//1/5.26/1/4/")));
    QVERIFY(row > 0);
    monitor->setCurrentRow(row);
    emit monitor->itemDoubleClicked(monitor->item(row));
    QCOMPARE(r.prompter.shown.last().title, QStringLiteral("Messaggio Da PC a ECR"));
    QCOMPARE(r.prompter.shown.last().text, QStringLiteral("3/S/REPARTO1//1/5.26/1/4/"));
    monitor->setCurrentRow(0);
    emit monitor->itemDoubleClicked(monitor->item(0));
    QCOMPARE(r.prompter.shown.last().title, QStringLiteral("Messaggio Da ECR a PC"));
    QVERIFY(r.prompter.shown.last().text.startsWith(u' '));

    // The monitor switch and the clear button.
    r.w<QCheckBox>(QStringLiteral("chkRunTimeLog"))->setChecked(false);
    r.session.monitor().AddMonitorLine(QStringLiteral("ECR        : ignored"));
    QVERIFY(monitor->item(0)->text() != QStringLiteral("ECR        : ignored"));
    r.click(QStringLiteral("cmdCancellaMonitor"));
    QCOMPARE(monitor->count(), 0);
    r.w<QCheckBox>(QStringLiteral("chkRunTimeLog"))->setChecked(true);
    for (int i = 0; i < Monitor::kMonitorLimit + 3; ++i)
        r.session.monitor().AddMonitorLine(QStringLiteral("PC -> ECR : ") + QString::number(i));
    QCOMPARE(monitor->count(), Monitor::kMonitorLimit);
    QCOMPARE(monitor->item(0)->text(),
             QStringLiteral("PC -> ECR : ") + QString::number(Monitor::kMonitorLimit + 2));
    // A screen reader hears the newest line as it comes, beside the list's name.
    QCOMPARE(monitor->accessibleName(), QStringLiteral("Monitor Runtime"));
    QCOMPARE(QAccessible::queryAccessibleInterface(monitor)->text(QAccessible::Description),
             monitor->item(0)->text());

    // The live receipt queue, said in one line.
    r.session.runState().mirrorQueue({QStringLiteral("a/"), QStringLiteral("b/")});
    QCOMPARE(queue->count(), 2);
    QCOMPARE(queue->accessibleDescription(), QStringLiteral("2 righe in coda, la prima: a/"));
    r.session.runState().mirrorQueue({QStringLiteral("b/")});
    QCOMPARE(queue->item(0)->text(), QStringLiteral("b/"));
    QCOMPARE(queue->accessibleDescription(), QStringLiteral("1 riga in coda: b/"));
}

void TestMainForm::aboutBox() {
    WindowRig r;
    r.started();
    const QByteArray path = qgetenv("PATH");
    qputenv("PATH", r.home.path().toUtf8()); // no system-information program anywhere
    onNextModal([](QWidget *dlg) {
        QCOMPARE(dlg->windowTitle(), QStringLiteral("About NorvVelm"));
        QCOMPARE(dlg->findChild<QLabel *>(QStringLiteral("lblVersion"))->text(),
                 QStringLiteral("Version ") + Startup::version());
        dlg->findChild<QAbstractButton *>(QStringLiteral("cmdSysInfo"))->click();
        dlg->findChild<QAbstractButton *>(QStringLiteral("cmdOK"))->click();
    });
    r.action(QStringLiteral("mnuHelpAbout"))->trigger();
    qputenv("PATH", path);
    QCOMPARE(r.prompter.shown.last().text, QStringLiteral("System Information Is Unavailable At This Time"));

    // With a program there, it is started.
    writeFile(r.path(QStringLiteral("hardinfo")), "#!/bin/sh\n");
    QFile::setPermissions(r.path(QStringLiteral("hardinfo")), QFile::ReadOwner | QFile::ExeOwner);
    qputenv("PATH", r.home.path().toUtf8());
    DlgAbout about(r.prompter);
    QString started;
    about.startProgram = [&started](const QString &p) {
        started = p;
        return true;
    };
    about.findChild<QAbstractButton *>(QStringLiteral("cmdSysInfo"))->click();
    qputenv("PATH", path);
    QCOMPARE(started, r.path(QStringLiteral("hardinfo")));
}

void TestMainForm::busyLineAndPointer() {
    WindowRig r;
    r.session.runState().setTechnicianMode(true);
    r.started();
    auto *send = r.w<QAbstractButton>(QStringLiteral("cmdSendCommand_0"));
    // While the line is held, the buttons that would send wait.
    bool heldDuringExchange = false;
    r.sim.onCommand = [&](const QByteArray &, const QByteArray &) {
        heldDuringExchange = r.session.runState().lineBusy() && !send->isEnabled() &&
                             QApplication::overrideCursor() &&
                             QApplication::overrideCursor()->shape() == Qt::BusyCursor;
    };
    r.w<QLineEdit>(QStringLiteral("txtSingleCMD"))->setText(QStringLiteral("?"));
    r.click(QStringLiteral("cmdSendCommand_0"));
    QVERIFY(heldDuringExchange);
    QVERIFY(send->isEnabled());
    QVERIFY(!QApplication::overrideCursor());
    // A click that arrives while the line is held sends nothing.
    r.session.runState().setLineBusy(true);
    const qsizetype before = r.sent().size();
    send->click();
    r.click(QStringLiteral("cmdSendCommand_1"));
    QCOMPARE(r.sent().size(), before);
    r.session.runState().setLineBusy(false);
    QVERIFY(send->isEnabled());
}

void TestMainForm::programmingTabCarriesTheLogoPage() {
    WindowRig r;
    MainForm &f = r.started();
    auto *strip = r.w<QTabWidget>(QStringLiteral("ssTabConfigECR"));
    strip->setCurrentIndex(2);
    f.tabs()->setCurrentIndex(MainForm::TabConfigEcr);
    QCOMPARE(strip->currentIndex(), 0); // the strip opens on the header
    QCOMPARE(strip->tabText(2), QStringLiteral("L&oghi"));
    QVERIFY(strip->widget(2)->findChild<QTabWidget *>(QStringLiteral("SSTabLoghi")));
}

void TestMainForm::everyInputNamedAndReachable() {
    WindowRig r;
    r.session.runState().setTechnicianMode(true);
    MainForm &f = r.started();
    QStringList names;
    QList<QWidget *> inputs;
    for (QWidget *w : f.findChildren<QWidget *>()) {
        const bool input = qobject_cast<QAbstractButton *>(w) || qobject_cast<QLineEdit *>(w) ||
                           qobject_cast<QComboBox *>(w) || qobject_cast<QListWidget *>(w) ||
                           qobject_cast<QPlainTextEdit *>(w);
        // Parts of composite widgets (the combo's own line edit, the tab
        // bar's scroll buttons) are named by their owner.
        if (!input || qobject_cast<QComboBox *>(w->parentWidget()) ||
            w->objectName().startsWith(QLatin1String("qt_")))
            continue;
        if (w->inherits("QTableCornerButton") ||
            (w->parentWidget() && w->parentWidget()->inherits("QTabBar")))
            continue;
        inputs.append(w);
        QVERIFY2(!w->objectName().isEmpty(), w->metaObject()->className());
        QVERIFY2(!names.contains(w->objectName()), qPrintable(w->objectName()));
        names.append(w->objectName());
        QAccessibleInterface *a = QAccessible::queryAccessibleInterface(w);
        QVERIFY(a);
        QVERIFY2(!a->text(QAccessible::Name).trimmed().isEmpty(), qPrintable(w->objectName()));
        QVERIFY2(w->focusPolicy() & Qt::TabFocus, qPrintable(w->objectName()));
    }
    for (const char *expected : {"cmbModello",
                                 "cmbComPort",
                                 "cmbSpeed",
                                 "chkSRV_0",
                                 "txtSRVDir",
                                 "cmdSRVDir",
                                 "txtSRVFile",
                                 "Command3",
                                 "chkLog",
                                 "cmdSpiegaLog",
                                 "lstRunTime",
                                 "chkRunTimeLog",
                                 "cmdCancellaMonitor",
                                 "chkAlIvaAuto",
                                 "chkWrapDescription",
                                 "cmdSalvaConfigPC",
                                 "lstScontrino",
                                 "cmbSRVModalita",
                                 "txtSingleCMD",
                                 "txtFileCMD",
                                 "txtAnswerCMD",
                                 "cmdSendCommand_0",
                                 "cmdSendCommand_1",
                                 "cmdTechCancAnswer",
                                 "cmdTechFile",
                                 "cmdApprendimento",
                                 "cmdMessaInServizio",
                                 "chkApiRigheDirette",
                                 "txtVirtDSP_0",
                                 "txtVirtDSP_1",
                                 "cmdCercaRegistratori"})
        QVERIFY2(names.contains(QString::fromLatin1(expected)), expected);

    // settaTabStops: the configuration tab in reading order; leaving the save
    // button by Tab comes back to the model list.
    const QStringList order{QStringLiteral("cmbModello"),   QStringLiteral("cmbComPort"),
                            QStringLiteral("cmbComDevice"), QStringLiteral("cmdCercaRegistratori"),
                            QStringLiteral("cmbSpeed"),     QStringLiteral("chkSRV_0")};
    for (qsizetype i = 0; i + 1 < order.size(); ++i) {
        QWidget *next = r.w<QWidget>(order[i])->nextInFocusChain();
        // Labels and a control's own parts are in the chain but take no Tab.
        while (next &&
               (!(next->focusPolicy() & Qt::TabFocus) || next->parentWidget() == r.w<QWidget>(order[i])))
            next = next->nextInFocusChain();
        QCOMPARE(next->objectName(), order[i + 1]);
    }
    QApplication::setActiveWindow(&f);
    r.w<QWidget>(QStringLiteral("cmdSalvaConfigPC"))->setFocus(Qt::OtherFocusReason);
    QTest::keyClick(r.w<QWidget>(QStringLiteral("cmdSalvaConfigPC")), Qt::Key_Tab);
    QTRY_COMPARE(QApplication::focusWidget(), r.w<QWidget>(QStringLiteral("cmbModello")));

    // The login dialog's inputs too.
    onNextModal([](QWidget *dlg) {
        for (QWidget *w : dlg->findChildren<QWidget *>()) {
            if (!qobject_cast<QLineEdit *>(w) && !qobject_cast<QAbstractButton *>(w))
                continue;
            QVERIFY(!w->objectName().isEmpty());
            QVERIFY2(!QAccessible::queryAccessibleInterface(w)->text(QAccessible::Name).isEmpty(),
                     qPrintable(w->objectName()));
        }
        dlg->findChild<QAbstractButton *>(QStringLiteral("cmdCancel"))->click();
    });
    r.action(QStringLiteral("mnuFileTecnico"))->trigger();
}

QTEST_MAIN(TestMainForm)
#include "tst_mainform.moc"
