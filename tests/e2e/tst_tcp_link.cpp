// The link to a register behind a serial device server: TcpComPort against
// the ecrsim program serving on a TCP port of the loopback interface.

#include "commands/CommandLanguage.h"
#include "link/DeviceComPort.h"
#include "link/SerialFunz2.h"
#include "support/DaemonRig.h"
#include "support/EcrSimProcess.h"

#include <QCoreApplication>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>

using namespace norvvelm;

namespace {
QString paperOf(const QTemporaryDir &dir) {
    QFile f(dir.filePath(QStringLiteral("paper.txt")));
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}
} // namespace

class TestTcpLink : public QObject {
    Q_OBJECT
private slots:
    void deviceForms_data();
    void deviceForms();
    void exchanges_data();
    void exchanges();
    void lineLost_data();
    void lineLost();
};

void TestTcpLink::deviceForms_data() {
    QTest::addColumn<QString>("device");
    QTest::addColumn<QString>("said"); // empty: taken
    const QString form = QStringLiteral("indirizzo non valido, la forma \u00e8 tcp://INDIRIZZO:PORTA");
    const QString digits = form + QStringLiteral(" con l'indirizzo in cifre");
    const QString outside = QStringLiteral("indirizzo fuori dalla rete locale del negozio");
    const QString badPort = QStringLiteral("porta TCP non valida (da 1 a 65535)");
    QTest::newRow("loopback") << QStringLiteral("tcp://127.0.0.1:4001") << QString();
    QTest::newRow("upper case, blanks") << QStringLiteral(" TCP://192.168.1.50:4001 ") << QString();
    QTest::newRow("private 10/8") << QStringLiteral("tcp://10.1.2.3:1") << QString();
    QTest::newRow("private 172.16/12") << QStringLiteral("tcp://172.31.255.1:65535") << QString();
    QTest::newRow("link-local") << QStringLiteral("tcp://169.254.7.7:4001") << QString();
    QTest::newRow("IPv6 loopback") << QStringLiteral("tcp://[::1]:4001") << QString();
    QTest::newRow("IPv6 unique local") << QStringLiteral("tcp://[fd00::5]:4001") << QString();
    QTest::newRow("localhost") << QStringLiteral("tcp://localhost:4001") << QString();
    QTest::newRow("no port") << QStringLiteral("tcp://127.0.0.1") << form;
    QTest::newRow("empty host") << QStringLiteral("tcp://:4001") << form;
    QTest::newRow("path after the port") << QStringLiteral("tcp://127.0.0.1:4001/x") << form;
    QTest::newRow("user in front") << QStringLiteral("tcp://me@127.0.0.1:4001") << digits;
    QTest::newRow("port 0") << QStringLiteral("tcp://127.0.0.1:0") << badPort;
    QTest::newRow("port too high") << QStringLiteral("tcp://127.0.0.1:70000") << badPort;
    QTest::newRow("port with sign") << QStringLiteral("tcp://127.0.0.1:+80") << form;
    QTest::newRow("name to resolve") << QStringLiteral("tcp://cassa.example.com:4001") << digits;
    QTest::newRow("IPv6 without brackets") << QStringLiteral("tcp://::1:4001") << form;
    QTest::newRow("public address") << QStringLiteral("tcp://8.8.8.8:4001") << outside;
    QTest::newRow("just past 172.16/12") << QStringLiteral("tcp://172.32.0.1:4001") << outside;
    QTest::newRow("public IPv6") << QStringLiteral("tcp://[2001:db8::1]:4001") << outside;
    QTest::newRow("any address") << QStringLiteral("tcp://0.0.0.0:4001") << outside;
    QTest::newRow("broadcast") << QStringLiteral("tcp://255.255.255.255:4001") << outside;
}

// Only an address of the shop's own network, written as digits, is ever
// connected to; any other device says why on the status bar.
void TestTcpLink::deviceForms() {
    QFETCH(QString, device);
    QFETCH(QString, said);
    QHostAddress host;
    quint16 port = 0;
    QString why;
    QCOMPARE(TcpComPort::parseDevice(device, host, port, why), said.isEmpty());
    QCOMPARE(why, said);
    if (!said.isEmpty()) {
        DeviceComPort opened;
        QVERIFY(!opened.open(device, 9600));
        QVERIFY(!opened.isOpen());
        QCOMPARE(CannotOpenPortText(QStringLiteral("Com3"), device, opened.errorText()),
                 QStringLiteral("Impossibile Aprire Porta Com3 (") + device + QStringLiteral(": ") + said +
                     u')');
    }
}

void TestTcpLink::exchanges_data() {
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<QString>("printed"); // on the paper, empty for nothing
    QTest::newRow("status and identification")
        << QStringList{QStringLiteral("?/"), QStringLiteral("a/")} << QString();
    QTest::newRow("a receipt prints")
        << QStringList{QStringLiteral("3/S/PANE//1/1.20/1/4/"), QStringLiteral("3/S/LATTE//2/0.90/1/4/"),
                       QStringLiteral("5/1/0.00/////")}
        << QStringLiteral("LATTE");
}

void TestTcpLink::exchanges() {
    QFETCH(QStringList, lines);
    QFETCH(QString, printed);
    QTemporaryDir dir;
    EcrSimProcess sim(dir.filePath(QStringLiteral("ecr")));
    QVERIFY(sim.startTcp({QStringLiteral("--serial"), QStringLiteral("SN515151"), QStringLiteral("--paper"),
                          dir.filePath(QStringLiteral("paper.txt"))}));
    DeviceComPort port;
    RealClock clock;
    SerialFunz2 link(port, clock, [] { QCoreApplication::processEvents(); });
    QVERIFY2(link.OpenComPort(sim.device(), 9600), qPrintable(port.errorText()));
    for (const QString &line : lines) {
        QString answer;
        QCOMPARE(link.ExchangeCommand(line, answer), 0);
        QVERIFY2(AnswerAccepted(answer), qPrintable(line + QStringLiteral(" -> ") + answer));
        if (line == u"a/")
            QCOMPARE(ParseIdentification(answer).sn, QStringLiteral("SN515151"));
    }
    if (!printed.isEmpty()) {
        QTRY_VERIFY_WITH_TIMEOUT(paperOf(dir).contains(QStringLiteral("SCONTR. N.")), 5000);
        QVERIFY2(paperOf(dir).contains(printed), qPrintable(paperOf(dir)));
    }
    link.CloseComPort();
    QVERIFY(!link.isOpen());
}

void TestTcpLink::lineLost_data() {
    QTest::addColumn<QString>("how");
    QTest::newRow("the device server drops the connection") << QStringLiteral("disconnect");
    QTest::newRow("the device server ends") << QStringLiteral("stop");
    QTest::newRow("a second client while one is connected") << QStringLiteral("second");
}

// A lost connection is a closed port, as an unplugged adapter is, and the
// port opens again on the same address once the server is back.
void TestTcpLink::lineLost() {
    QFETCH(QString, how);
    QTemporaryDir dir;
    EcrSimProcess sim(dir.filePath(QStringLiteral("ecr")));
    QVERIFY(sim.startTcp());
    DeviceComPort port;
    RealClock clock;
    SerialFunz2 link(port, clock, [] { QCoreApplication::processEvents(); });
    QVERIFY(link.OpenComPort(sim.device(), 9600));
    QString answer;
    QCOMPARE(link.ExchangeCommand(QStringLiteral("?/"), answer), 0);

    if (how == u"second") {
        DeviceComPort other;
        RealClock otherClock;
        SerialFunz2 otherLink(other, otherClock, [] { QCoreApplication::processEvents(); });
        otherLink.OpenComPort(sim.device(), 9600);
        QVERIFY(otherLink.ExchangeCommand(QStringLiteral("?/"), answer) != 0);
        QTRY_VERIFY_WITH_TIMEOUT((other.bytesQueued(), !other.isOpen()), 3000);
        // The first client keeps its register.
        QCOMPARE(link.ExchangeCommand(QStringLiteral("?/"), answer), 0);
        return;
    }
    const QString device = sim.device();
    if (how == u"stop")
        sim.stop();
    else
        sim.control("disconnect 400");
    QTRY_VERIFY_WITH_TIMEOUT((port.bytesQueued(), !link.isOpen()), 3000);
    QVERIFY(link.ExchangeCommand(QStringLiteral("?/"), answer) != 0);
    if (how == u"stop") {
        QVERIFY(!link.OpenComPort(device, 9600));
        QCOMPARE(port.errorText(), QStringLiteral("connessione rifiutata"));
        return;
    }
    // Opened again as the start-up watch does, once the server is back.
    QDeadlineTimer deadline(5000);
    while (!link.OpenComPort(device, 9600) && !deadline.hasExpired())
        QTest::qWait(20);
    QVERIFY2(link.isOpen(), qPrintable(port.errorText()));
    QCOMPARE(link.ExchangeCommand(QStringLiteral("?/"), answer), 0);
}

QTEST_GUILESS_MAIN(TestTcpLink)
#include "tst_tcp_link.moc"
