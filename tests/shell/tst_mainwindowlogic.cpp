// The main window's decisions without a window: test mode, window modes, the
// exit question, "Stato", the save of the configuration tab, port devices.

#include "commands/Session.h"
#include "link/SerialPortList.h"
#include "shell/Config.h"
#include "shell/MainWindowLogic.h"
#include "shell/ProfileFile.h"
#include "support/ScriptedPrompter.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace norvvelm;
using namespace norvvelm::mainwindow;
using testsupport::ScriptedPrompter;

class TestMainWindowLogic : public QObject {
    Q_OBJECT
private slots:
    void testMode_data();
    void testMode();
    void statusPageAddress_data();
    void statusPageAddress();
    void windowModes();
    void exitQuestion();
    void stato();
    void keepStoredChoices();
    void portDevices();
};

void TestMainWindowLogic::testMode_data() {
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<bool>("on");
    QTest::newRow("upper") << QStringList{QStringLiteral("/TESTMODE")} << true;
    QTest::newRow("lower") << QStringList{QStringLiteral("/testmode")} << true;
    QTest::newRow("extra word") << QStringList{QStringLiteral("/TESTMODE"), QStringLiteral("x")} << false;
    QTest::newRow("glued") << QStringList{QStringLiteral("/TESTMODEx")} << false;
    QTest::newRow("none") << QStringList{} << false;
    QTest::newRow("other") << QStringList{QStringLiteral("/A")} << false;
}

void TestMainWindowLogic::testMode() {
    QFETCH(QStringList, args);
    QFETCH(bool, on);
    QCOMPARE(IsTestModeCommandLine(args), on);
}

void TestMainWindowLogic::statusPageAddress_data() {
    QTest::addColumn<QString>("address");
    QTest::addColumn<int>("port");
    QTest::addColumn<QString>("url");
    QTest::newRow("loopback") << QStringLiteral("127.0.0.1") << 8714
                              << QStringLiteral("http://127.0.0.1:8714/");
    QTest::newRow("spaces") << QStringLiteral(" 127.0.0.1 ") << 8714
                            << QStringLiteral("http://127.0.0.1:8714/");
    QTest::newRow("port 80") << QStringLiteral("192.168.1.20") << 80
                             << QStringLiteral("http://192.168.1.20/");
    QTest::newRow("any v4") << QStringLiteral("0.0.0.0") << 9000 << QStringLiteral("http://127.0.0.1:9000/");
    QTest::newRow("empty") << QString() << 8714 << QStringLiteral("http://127.0.0.1:8714/");
    QTest::newRow("v6 loopback") << QStringLiteral("::1") << 8714 << QStringLiteral("http://[::1]:8714/");
    QTest::newRow("any v6") << QStringLiteral("::") << 8714 << QStringLiteral("http://[::1]:8714/");
    QTest::newRow("v6") << QStringLiteral("fd00::5") << 8714 << QStringLiteral("http://[fd00::5]:8714/");
}

void TestMainWindowLogic::statusPageAddress() {
    QFETCH(QString, address);
    QFETCH(int, port);
    QFETCH(QString, url);
    QCOMPARE(StatusPageAddress(address, port), url);
}

void TestMainWindowLogic::windowModes() {
    QCOMPARE(ParseWindowMode(QStringLiteral("Iconized")), WindowMode::Iconized);
    QCOMPARE(ParseWindowMode(QStringLiteral("VirtualECR")), WindowMode::VirtualEcr);
    QCOMPARE(ParseWindowMode(QStringLiteral("Minimized")), WindowMode::Minimized);
    QCOMPARE(ParseWindowMode(QStringLiteral("Hidden")), WindowMode::Normal);
    QCOMPARE(EffectiveWindowMode(WindowMode::Iconized, true), WindowMode::Iconized);
    QCOMPARE(EffectiveWindowMode(WindowMode::Iconized, false), WindowMode::Minimized);
    QCOMPARE(EffectiveWindowMode(WindowMode::VirtualEcr, false), WindowMode::VirtualEcr);
    QCOMPARE(Caption().left(23), QStringLiteral(" NorvVelm - Versione : "));
    QCOMPARE(ComPortNames().size(), 32);
    QCOMPARE(ComPortNames().last(), QStringLiteral("Com32"));
    QVERIFY(TechnicianTabAtStart(true, false));
    QVERIFY(!TechnicianTabAtStart(true, true));
    QVERIFY(!TechnicianTabAtStart(false, false));
}

void TestMainWindowLogic::exitQuestion() {
    Session s;
    ScriptedPrompter p;
    QVERIFY(ConfirmExit(s, p));
    QVERIFY(p.shown.isEmpty());
    s.runState().setReceiptOpen(true);
    QVERIFY(!ConfirmExit(s, p)); // the default is No
    QCOMPARE(p.shown.last().text, QStringLiteral("Scontrino Aperto !\r\n\r\nProseguo ?"));
    QCOMPARE(p.shown.last().title, QStringLiteral("ATTENZIONE"));
    QCOMPARE(p.shown.last().icon, Prompter::Icon::Critical);
    p.script = {Prompter::Answer::Yes};
    QVERIFY(ConfirmExit(s, p));
}

void TestMainWindowLogic::stato() {
    Session s;
    ScriptedPrompter p;
    // The register switched off at start: panel 3 empty, nothing failed since.
    ShowStato(s, p);
    QCOMPARE(p.shown.last().text, QStringLiteral("Status OK : "));
    QCOMPARE(p.shown.last().title, QStringLiteral("Norv Velm"));
    QCOMPARE(p.shown.last().icon, Prompter::Icon::Information);
    s.statusBar().setPanel(3, QStringLiteral("72-NV1"));
    ShowStato(s, p);
    QCOMPARE(p.shown.last().text, QStringLiteral("Status OK : 72-NV1"));
    ShowStatusBarError(s, p);
    QCOMPARE(p.shown.size(), 2); // nothing to explain
    s.statusBar().setMessage(QStringLiteral("Attenzione!"),
                             QStringLiteral("Err. 1004 : Comunicazione Impossibile"));
    ShowStato(s, p);
    QCOMPARE(p.shown.last().text, QStringLiteral("Err. 1004 : Comunicazione Impossibile"));
    QCOMPARE(p.shown.last().title, QStringLiteral("Attenzione!"));
    QCOMPARE(p.shown.last().icon, Prompter::Icon::Critical);
    ShowStatusBarError(s, p);
    QCOMPARE(p.shown.size(), 4);
    // Blank panels count as empty.
    s.statusBar().setMessage(QStringLiteral("  "), QStringLiteral(" "));
    ShowStatusBarError(s, p);
    ShowStato(s, p);
    QCOMPARE(p.shown.last().text, QStringLiteral("Status OK : 72-NV1"));
}

void TestMainWindowLogic::keepStoredChoices() {
    PcConfig stored;
    stored.Modello = QStringLiteral("Modello Futuro");
    stored.Porta = 40;
    ConfigForm f;
    f.file = QStringLiteral("x");
    // Lists without a choice keep what is stored; a choice wins.
    ConfigForm kept = KeepStoredChoices(f, stored);
    QCOMPARE(kept.model, QStringLiteral("Modello Futuro"));
    QCOMPARE(kept.port, QStringLiteral("Com40"));
    QCOMPARE(kept.file, QStringLiteral("x"));
    f.model = QStringLiteral("DLm");
    f.port = QStringLiteral("Com2");
    kept = KeepStoredChoices(f, stored);
    QCOMPARE(kept.model, QStringLiteral("DLm"));
    QCOMPARE(kept.port, QStringLiteral("Com2"));
    // Nothing stored: nothing to keep.
    QCOMPARE(KeepStoredChoices(ConfigForm{}, PcConfig{}).port, QString());
}

void TestMainWindowLogic::portDevices() {
    QTemporaryDir dir;
    const QString ini = dir.filePath(QStringLiteral("NorvVelm.ini"));
    QVERIFY(SetPortDevice(ini, QStringLiteral("Com3"), QStringLiteral(" /dev/serial/by-id/usb-X ")));
    QCOMPARE(PortDevice(ini, QStringLiteral("3")), QStringLiteral("/dev/serial/by-id/usb-X"));
    QVERIFY(!SetPortDevice(ini, QStringLiteral("Com0"), QStringLiteral("/dev/x")));
    QVERIFY(!SetPortDevice(ini, QStringLiteral("Com4"), QStringLiteral("  ")));
    QCOMPARE(PortDevice(ini, QStringLiteral("Com4")), QStringLiteral("/dev/ttyS3"));
    // A device server's address is kept as written, the INI's ':' and '/' included.
    QVERIFY(SetPortDevice(ini, QStringLiteral("Com2"), QStringLiteral("tcp://192.168.1.50:4001")));
    QCOMPARE(PortDevice(ini, QStringLiteral("Com2")), QStringLiteral("tcp://192.168.1.50:4001"));

    // Stable names come from the links of the by-id folder; a folder without
    // links gives none (the machine's own ports are whatever it has).
    const QList<SerialPortChoice> ports = AvailableSerialPorts(dir.filePath(QStringLiteral("none")));
    for (const SerialPortChoice &c : ports) {
        QVERIFY(c.stableName.isEmpty());
        QCOMPARE(c.preferred(), c.device);
    }
    SerialPortChoice c{QStringLiteral("/dev/ttyUSB0"), QString(), QStringLiteral("/dev/serial/by-id/usb-A")};
    QCOMPARE(c.preferred(), QStringLiteral("/dev/serial/by-id/usb-A"));
}

QTEST_GUILESS_MAIN(TestMainWindowLogic)
#include "tst_mainwindowlogic.moc"
