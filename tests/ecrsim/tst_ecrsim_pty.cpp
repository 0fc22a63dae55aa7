// The ecrsim program over a real pseudo-terminal: a receipt printed to its
// paper file, and register faults set from its command line and its control
// channel.

#include "link/SerialComPort.h"
#include "link/SerialFunz2.h"
#include "support/EcrSimProcess.h"

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace norvvelm;

namespace {
// A control line takes effect when the program reads it: send `line` until
// its answer starts with `prefix`.
bool exchangeUntil(SerialFunz2 &link, const QString &line, const QString &prefix, QString &answer) {
    QDeadlineTimer deadline(3000);
    do {
        if (link.ExchangeCommand(line, answer) == 0 && answer.startsWith(prefix))
            return true;
        QTest::qWait(10);
    } while (!deadline.hasExpired());
    return false;
}
} // namespace

class TestEcrSimPty : public QObject {
    Q_OBJECT
private slots:
    void receiptOnPaperWithFaults();
    void badPaperFileOrFault();
};

void TestEcrSimPty::receiptOnPaperWithFaults() {
    QTemporaryDir dir;
    const QString paper = dir.filePath(QStringLiteral("paper.txt"));
    EcrSimProcess sim(dir.filePath(QStringLiteral("ecr")));
    const QString log = dir.filePath(QStringLiteral("commands.log"));
    QVERIFY(sim.start({QStringLiteral("--paper"), paper, QStringLiteral("--fault"), QStringLiteral("busy"),
                       QStringLiteral("--log"), log}));
    SerialComPort port;
    RealClock clock;
    SerialFunz2 link(port, clock, [] { QCoreApplication::processEvents(); });
    QVERIFY2(link.OpenComPort(sim.linkPath(), 9600), qPrintable(port.errorText()));

    QString answer;
    QCOMPARE(link.ExchangeCommand(QStringLiteral("3/S/CAFFÈ//1/5.26/1/4/"), answer), 0);
    QVERIFY2(answer.startsWith(QStringLiteral("1A/")), qPrintable(answer)); // the scripted busy
    QCOMPARE(link.ExchangeCommand(QStringLiteral("3/S/CAFFÈ//1/5.26/1/4/"), answer), 0);
    QVERIFY2(answer.startsWith(QStringLiteral("00/")), qPrintable(answer));
    QCOMPARE(link.ExchangeCommand(QStringLiteral("5/1/0.00/////"), answer), 0);
    QVERIFY2(answer.startsWith(QStringLiteral("00/")), qPrintable(answer));
    // The answer comes after the paper is written: the file is complete now.
    QFile f(paper);
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QString printed = QString::fromUtf8(f.readAll());
    QVERIFY2(printed.contains(QStringLiteral("CAFFÈ\n")), qPrintable(printed));
    QVERIFY(printed.contains(QStringLiteral("TOTALE EURO                 5,26\n")));
    QVERIFY(printed.contains(QStringLiteral("SCONTR. N. 1")));
    QCOMPARE(printed.count(QStringLiteral("TOTALE EURO")), 1);
    QFile commands(log);
    QVERIFY(commands.open(QIODevice::ReadOnly));
    QCOMPARE(commands.readAll(), QByteArray("3/S/CAFF\xC8//1/5.26/1/4/\t1A/00/00/0/\n"
                                            "3/S/CAFF\xC8//1/5.26/1/4/\t00/00/00/5.26/\n"
                                            "5/1/0.00/////\t00/00/00/0.00/\n"));

    // Paper out from the control channel: every command, the status request
    // included, gets 31 until a new roll is in.
    sim.control("paper out");
    QVERIFY2(exchangeUntil(link, QStringLiteral("?/"), QStringLiteral("31/"), answer), qPrintable(answer));
    QCOMPARE(link.ExchangeCommand(QStringLiteral("3/S/A//1/1/1/4/"), answer), 0);
    QVERIFY(answer.startsWith(QStringLiteral("31/")));
    sim.control("paper in");
    QVERIFY2(exchangeUntil(link, QStringLiteral("?/"), QStringLiteral("00/"), answer), qPrintable(answer));
    sim.control("fault refuse=14*2");
    QVERIFY2(exchangeUntil(link, QStringLiteral("x/7/0/0/"), QStringLiteral("14/"), answer),
             qPrintable(answer));
    QCOMPARE(link.ExchangeCommand(QStringLiteral("x/7/0/0/"), answer), 0);
    QVERIFY(answer.startsWith(QStringLiteral("14/")));
    QCOMPARE(link.ExchangeCommand(QStringLiteral("x/7/0/0/"), answer), 0);
    QVERIFY(answer.startsWith(QStringLiteral("00/")));
    QVERIFY(f.readAll().contains("CHIUSURA GIORNALIERA"));
    link.CloseComPort();
}

void TestEcrSimPty::badPaperFileOrFault() {
    QTemporaryDir dir;
    for (const QStringList &args :
         {QStringList{QStringLiteral("--paper"), dir.filePath(QStringLiteral("no/such"))},
          QStringList{QStringLiteral("--fault"), QStringLiteral("refuse=XY")}}) {
        QProcess p;
        p.setProcessChannelMode(QProcess::MergedChannels);
        p.start(EcrSimProcess::bin(QStringLiteral("ecrsim")),
                QStringList{QStringLiteral("--pty"), dir.filePath(QStringLiteral("ecr"))} + args);
        QVERIFY(p.waitForFinished(5000));
        QCOMPARE(p.exitCode(), 2);
        QVERIFY(!QFileInfo::exists(dir.filePath(QStringLiteral("ecr"))));
    }
}

QTEST_GUILESS_MAIN(TestEcrSimPty)
#include "tst_ecrsim_pty.moc"
