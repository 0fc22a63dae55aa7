// An invoice and a credit note worked through the register page's buttons
// and dialogs against the ecrsim program over a real pseudo-terminal, and a
// receipt file dropped while a sequence holds the register: what its paper
// shows.

#include "app/Station.h"
#include "commands/Runner.h"
#include "commands/Session.h"
#include "console/OperatorConsole.h"
#include "console/RegisterKeys.h"
#include "console/widgets/RegisterPage.h"
#include "ecrsim/Paper.h"
#include "link/SerialComPort.h"
#include "link/SerialFunz2.h"
#include "programming/Departments.h"
#include "programming/WriteProcedure.h"
#include "support/EcrSimProcess.h"
#include "support/PtyLinkRig.h"
#include "support/ScriptedPrompter.h"
#include "support/TestFiles.h"

#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <utility>

using namespace norvvelm;

namespace {

struct PtyRig : PtyLinkRig {
    OperatorConsole console{session, link, runner, prompter};
    std::unique_ptr<RegisterPage> page;

    bool start() {
        page = std::make_unique<RegisterPage>(console);
        return startAndOpen({QStringLiteral("--paper"), paper()});
    }
    void click(const QString &name) {
        auto *b = page->findChild<QPushButton *>(name);
        QVERIFY2(b, qPrintable(name));
        b->click();
    }
    void keys(std::initializer_list<int> indices) {
        for (const int i : indices)
            click(QStringLiteral("cmdECR_") + QString::number(i));
    }
    QString printed() const { return QString::fromUtf8(testsupport::readFile(paper())); }
};

// Fills the next modal dialog's boxes by name and presses OK.
void fillNextDialog(const QList<QPair<QString, QString>> &fields) {
    auto *timer = new QTimer;
    timer->setInterval(5);
    QObject::connect(timer, &QTimer::timeout, timer, [timer, fields] {
        auto *d = qobject_cast<QDialog *>(QApplication::activeModalWidget());
        if (!d || !d->isVisible())
            return;
        timer->stop();
        timer->deleteLater();
        for (const auto &[name, text] : fields)
            QTest::keyClicks(d->findChild<QLineEdit *>(name), text);
        d->findChild<QPushButton *>(QStringLiteral("cmdButton_1"))->click();
    });
    timer->start();
}

} // namespace

class TestConsolePty : public QObject {
    Q_OBJECT
private slots:
    void invoiceAndCreditNote();
    void fileDuringASequence_data();
    void fileDuringASequence();
};

void TestConsolePty::invoiceAndCreditNote() {
    PtyRig rig;
    QVERIFY(rig.start());
    rig.keys({7}); // Clear: the display copy is read
    QVERIFY(rig.page->findChild<QLabel *>(QStringLiteral("LblDisp1_0"))
                ->text()
                .startsWith(QStringLiteral("0,00")));

    fillNextDialog({{QStringLiteral("TxtPIva"), QStringLiteral("01234567897")},
                    {QStringLiteral("TxtRiga_0"), QStringLiteral("VERDI SPA")},
                    {QStringLiteral("TxtRiga_1"), QStringLiteral("CORSO ITALIA 8")},
                    {QStringLiteral("TxtRiga_2"), QStringLiteral("20122")},
                    {QStringLiteral("TxtRiga_3"), QStringLiteral("MILANO")}});
    rig.click(QStringLiteral("CmdFat"));
    QCOMPARE(rig.session.lastExchange().lastStatus(), 0);
    rig.keys({19, 17, 21, 21, 41, 40, 43}); // 2 5 0 0 REP-01 Sub Totale Contanti
    QTRY_VERIFY(rig.printed().contains(QStringLiteral("FATTURA N. 1")));
    QString paper = rig.printed();
    QVERIFY2(paper.contains(
                 QStringLiteral("P.IVA 01234567897\nSPETT.LE\nVERDI SPA\nCORSO ITALIA 8\n20122\nMILANO\n")),
             qPrintable(paper));
    QVERIFY(paper.contains(QStringLiteral("TOTALE EURO                25,00")));
    QVERIFY(!rig.console.pending().invoicePending);

    fillNextDialog({{QStringLiteral("TxtPratica"), QStringLiteral("45-2026")},
                    {QStringLiteral("TxtRifer"), QStringLiteral("RIF. FATTURA 1")}});
    rig.click(QStringLiteral("CmdNotaCredito"));
    QCOMPARE(rig.session.lastExchange().lastStatus(), 0);
    rig.keys({17, 21, 21, 41, 43}); // 5 0 0 REP-01 Contanti
    QTRY_VERIFY(rig.printed().contains(QStringLiteral("NOTA DI CREDITO N. 1")));
    paper = rig.printed();
    QVERIFY(paper.contains(QStringLiteral("PRATICA N. 45-2026")));
    QVERIFY(paper.contains(QStringLiteral("RIF. FATTURA 1\n")));
    QVERIFY(rig.page->findChild<QLabel *>(QStringLiteral("LblDisp1_0"))
                ->text()
                .startsWith(QStringLiteral("0,00")));
    QVERIFY(rig.prompter.shown.isEmpty());
}

void TestConsolePty::fileDuringASequence_data() {
    QTest::addColumn<QString>("sequence");
    QTest::addColumn<int>("lines"); // how many lines the sequence sends
    QTest::newRow("SC \u20ac keys") << QStringLiteral("keys") << 4;
    QTest::newRow("twenty departments written") << QStringLiteral("departments") << 20;
}

// The whole station as the window wires it, the print server on its timer
// and folder watch: a receipt file dropped at the first answer of a sequence
// waits for its end, then prints as a receipt of its own.
void TestConsolePty::fileDuringASequence() {
    QFETCH(QString, sequence);
    QFETCH(int, lines);
    QTemporaryDir home;
    const QString link = home.filePath(QStringLiteral("ecr"));
    const QString paper = home.filePath(QStringLiteral("paper.txt"));
    const QString log = home.filePath(QStringLiteral("commands.txt"));
    EcrSimProcess sim(link);
    QVERIFY(sim.start({QStringLiteral("--paper"), paper, QStringLiteral("--log"), log}));
    const QString server = home.filePath(QStringLiteral("server"));
    QVERIFY(QDir().mkpath(server));
    testsupport::writeFile(home.filePath(QStringLiteral("NorvVelm.ini")),
                           "[Parametri]\r\nModello=Norv ONe\r\nPorta=1\r\nVelocita=9600\r\nServerStato=On\r\n"
                           "ServerDir=" +
                               server.toUtf8() +
                               "\r\nServerFile=scontrino.txt\r\n[Porte]\r\nCom1=" + link.toUtf8() + "\r\n");
    SerialComPort port;
    RealClock clock;
    testsupport::ScriptedPrompter prompter;
    Station station(port, clock, prompter, [] { QCoreApplication::processEvents(); });
    Session &s = station.session();
    s.settings().setProgramDir(home.path());
    QVERIFY(station.start());
    QVERIFY(station.startup().ready());
    OperatorConsole console(s, station.link(), station.runner(), prompter);
    WriteProcedure procedure({station.runner(), s}, prompter);
    Departments departments(procedure);
    procedure.setBranch(3, [&] {
        QList<Department> list;
        for (int n = 1; n <= Departments::kCount; ++n)
            list.append({QStringLiteral("REP %1").arg(n), 1});
        departments.write(list);
    });

    // At the sequence's first answer the point of sale writes its receipt,
    // under another name first and then moved into place.
    bool armed = sequence != u"keys";
    bool dropped = false;
    QObject::connect(
        &s.lastExchange(), &LastExchange::lastAnswerChanged, &s.lastExchange(), [&](const QString &answer) {
            if (!armed || dropped || answer.isEmpty() || !s.registerOwner().sequenceUnderWay())
                return;
            dropped = true;
            testsupport::writeFile(server + QStringLiteral("/.scontrino.tmp"),
                                   "3/S/CAFFE//1/1.20/1/4/\r\n3/S/BRIOCHE//1/1.50/1/4/\r\n5/1/0.00/////\r\n");
            QVERIFY(QFile::rename(server + QStringLiteral("/.scontrino.tmp"),
                                  server + QStringLiteral("/scontrino.txt")));
        });
    if (sequence == u"keys") {
        // A sale rung up by keys, then "SC \u20ac" (a euro off) and the cash key.
        for (const int i : {19, 21, 21, 41}) // 2 0 0 REP-01
            console.cmdECR_Click(i);
        armed = true;
        console.cmdECR_Click(1);
        console.cmdECR_Click(kCashKeyIndex);
    } else {
        // The register refuses the first department: its message stays up a
        // while, as an operator reads it, and the window's events run.
        sim.control("fault refuse=10");
        bool read = false;
        prompter.whileShown = [&] {
            if (!std::exchange(read, true))
                QTest::qWait(2 * PrintServer::kIntervalMs);
        };
        procedure.run(3);
        prompter.whileShown = {};
    }
    QVERIFY(dropped);
    QTRY_VERIFY_WITH_TIMEOUT(!QFile::exists(server + QStringLiteral("/scontrino.txt")), 10000);
    QTRY_VERIFY_WITH_TIMEOUT(testsupport::readFile(log).contains("5/1/0.00/////"), 10000);

    // The register's log: every line of the sequence, then the file's.
    QList<QByteArray> taken;
    for (const QByteArray &l : testsupport::readFile(log).split('\n')) {
        if (!l.isEmpty())
            taken.append(l.left(l.indexOf('\t')));
    }
    const qsizetype first = taken.indexOf("3/S/CAFFE//1/1.20/1/4/");
    QVERIFY(first > 0);
    QList<QByteArray> after = taken.mid(first);
    after.removeAll("0/"); // the count the server reads before a closing line
    QCOMPARE(after,
             (QList<QByteArray>{"3/S/CAFFE//1/1.20/1/4/", "3/S/BRIOCHE//1/1.50/1/4/", "5/1/0.00/////"}));
    QVERIFY(taken.size() - 3 >= lines);
    // On paper: the point of sale's receipt alone, whole; the console's
    // own apart from it.
    const QString printed = QString::fromUtf8(testsupport::readFile(paper));
    const qsizetype caffe = printed.indexOf(QStringLiteral("CAFFE"));
    QVERIFY(caffe > 0);
    const QString receipt = printed.mid(caffe);
    QVERIFY2(receipt.contains(ecrsim::Paper::row(QStringLiteral("TOTALE EURO"), QStringLiteral("2,70"))),
             qPrintable(printed));
    QVERIFY(!receipt.contains(QStringLiteral("REPARTO")) && !receipt.contains(QStringLiteral("SCONTO")));
    QVERIFY(receipt.contains(QStringLiteral("SCONTR. N.")) && !receipt.contains(QStringLiteral("ANNULLATO")));
    // The console's receipt closed by its own cash key, before the file's.
    if (sequence == u"keys")
        QVERIFY2(printed.left(caffe).contains(QStringLiteral("REPARTO 1")) &&
                     printed.left(caffe).contains(QStringLiteral("SCONTR. N. 1")),
                 qPrintable(printed));
    station.stop();
}

QTEST_MAIN(TestConsolePty)
#include "tst_console_pty.moc"
