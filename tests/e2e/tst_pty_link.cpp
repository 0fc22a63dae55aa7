// The link over a real pseudo-terminal, against the ecrsim program, through
// QSerialPort.

#include "commands/CommandLanguage.h"
#include "link/SerialComPort.h"
#include "link/SerialFunz2.h"
#include "support/EcrSimProcess.h"

#include <QCoreApplication>
#include <QSerialPort>
#include <QTemporaryDir>
#include <QTest>

using namespace norvvelm;

class TestPtyLink : public QObject {
    Q_OBJECT
private slots:
    void exchangesStatusAndIdentification();
    void badChecksumGetsNak();
    void sameDeviceThroughLinkIsBusy();
    void openFailureSaysWhy_data();
    void openFailureSaysWhy();
    void portGoneAndBack();
    void linkRemovedOnTerminate();
};

void TestPtyLink::exchangesStatusAndIdentification() {
    QTemporaryDir dir;
    EcrSimProcess sim(dir.filePath(QStringLiteral("ecr")));
    QVERIFY(sim.start({QStringLiteral("--serial"), QStringLiteral("SN424242")}));
    SerialComPort port;
    RealClock clock;
    SerialFunz2 link(port, clock, [] { QCoreApplication::processEvents(); });
    QVERIFY2(link.OpenComPort(sim.linkPath(), 9600), qPrintable(port.errorText()));
    QString answer;
    QCOMPARE(link.ExchangeCommand(QStringLiteral("?/"), answer), 0);
    QCOMPARE(AnswerErrorCode(answer), QStringLiteral("00"));
    QCOMPARE(link.ExchangeCommand(QStringLiteral("a/"), answer), 0);
    const RegisterIdentity id = ParseIdentification(answer);
    QCOMPARE(id.sn, QStringLiteral("SN424242"));
    QVERIFY(!id.fw.isEmpty());
    link.CloseComPort();
    QVERIFY(!link.isOpen());
}

void TestPtyLink::badChecksumGetsNak() {
    QTemporaryDir dir;
    EcrSimProcess sim(dir.filePath(QStringLiteral("ecr")));
    QVERIFY(sim.start());
    QSerialPort raw;
    raw.setPortName(SerialComPort::canonicalDevice(sim.linkPath()));
    QVERIFY(raw.open(QIODevice::ReadWrite));
    raw.write(QByteArray("\x05"));
    QVERIFY(raw.waitForReadyRead(2000));
    QCOMPARE(raw.readAll(), QByteArray("\x06"));
    raw.write(QByteArray("\x02?/11\x03")); // the right checksum is 10
    QVERIFY(raw.waitForReadyRead(2000));
    QCOMPARE(raw.readAll(), QByteArray("\x15"));
    raw.write(SerialFunz2::BuildFrame("?/"));
    QByteArray got;
    while (!got.endsWith('\x03') && raw.waitForReadyRead(2000))
        got += raw.readAll();
    QVERIFY2(got.startsWith("\x06\x02"
                            "00/"),
             got.constData());
}

void TestPtyLink::sameDeviceThroughLinkIsBusy() {
    QTemporaryDir dir;
    EcrSimProcess sim(dir.filePath(QStringLiteral("ecr")));
    QVERIFY(sim.start());
    QVERIFY(QFile::link(sim.linkPath(), dir.filePath(QStringLiteral("other"))));
    SerialComPort first, second;
    QVERIFY(first.open(sim.linkPath(), 9600));
    QVERIFY(!second.open(dir.filePath(QStringLiteral("other")), 9600));
    QVERIFY(!second.isOpen());
    // Held by another program, not a permission problem: the holder is named.
    QVERIFY2(second.errorText().startsWith(QLatin1String("occupata da un altro programma")),
             qPrintable(second.errorText()));
    QVERIFY2(second.errorText().contains(QStringLiteral("pid ") +
                                         QString::number(QCoreApplication::applicationPid())),
             qPrintable(second.errorText()));
    first.close();
    QVERIFY(second.open(dir.filePath(QStringLiteral("other")), 9600));
}

// What the start-up and norvvelm-cmd say when the port does not open: the
// port, its device and the cause.
void TestPtyLink::openFailureSaysWhy_data() {
    QTest::addColumn<QString>("device");
    QTest::addColumn<QString>("said");
    QTest::newRow("missing device") << QStringLiteral("missing")
                                    << QStringLiteral(
                                           "Impossibile Aprire Porta Com1 (%1: dispositivo inesistente)");
    QTest::newRow("no device configured")
        << QString()
        << QStringLiteral("Impossibile Aprire Porta Com1 (nessun dispositivo nella sezione Porte)");
    QTest::newRow("held by another program")
        << QStringLiteral("held")
        << QStringLiteral("Impossibile Aprire Porta Com1 (%1: occupata da un altro programma (");
}

void TestPtyLink::openFailureSaysWhy() {
    QFETCH(QString, device);
    QFETCH(QString, said);
    QTemporaryDir dir;
    EcrSimProcess sim(dir.filePath(QStringLiteral("ecr")));
    QVERIFY(sim.start());
    SerialComPort holder, port;
    if (device == QLatin1String("held")) {
        QVERIFY(holder.open(sim.linkPath(), 9600));
        device = sim.linkPath();
    } else if (!device.isEmpty()) {
        device = dir.filePath(device);
    }
    QVERIFY(device.isEmpty() || !port.open(device, 9600));
    const QString text = CannotOpenPortText(QStringLiteral("Com1"), device, port.errorText());
    QVERIFY2(text.startsWith(said.contains(QLatin1String("%1")) ? said.arg(device) : said), qPrintable(text));
}

void TestPtyLink::portGoneAndBack() {
    QTemporaryDir dir;
    EcrSimProcess sim(dir.filePath(QStringLiteral("ecr")));
    QVERIFY(sim.start());
    SerialComPort port;
    RealClock clock;
    SerialFunz2 link(port, clock, [] { QCoreApplication::processEvents(); });
    QVERIFY(link.OpenComPort(sim.linkPath(), 9600));
    QString answer;
    QCOMPARE(link.ExchangeCommand(QStringLiteral("?/"), answer), 0);

    sim.control("disconnect 400");
    QTRY_VERIFY_WITH_TIMEOUT(!QFileInfo::exists(sim.linkPath()), 3000);
    // The hang-up is seen as a closed port, not as an open one that never answers.
    link.ExchangeCommand(QStringLiteral("?/"), answer);
    QTRY_VERIFY_WITH_TIMEOUT((port.bytesQueued(), !link.isOpen()), 3000);
    QVERIFY(sim.waitForLink());
    QVERIFY2(link.OpenComPort(sim.linkPath(), 9600), qPrintable(port.errorText()));
    QCOMPARE(link.ExchangeCommand(QStringLiteral("?/"), answer), 0);
}

void TestPtyLink::linkRemovedOnTerminate() {
    QTemporaryDir dir;
    EcrSimProcess sim(dir.filePath(QStringLiteral("ecr")));
    QVERIFY(sim.start());
    sim.stop();
    QCOMPARE(sim.process().exitStatus(), QProcess::NormalExit);
    QVERIFY(!QFileInfo::exists(sim.linkPath()));
}

QTEST_GUILESS_MAIN(TestPtyLink)
#include "tst_pty_link.moc"
