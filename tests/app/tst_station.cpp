// The station as the window and the daemon build it: start-up with its
// watch on virtual time, a receipt end to end, the rule of saved settings,
// the session's signals, and the writes that fail.

#include "support/StationRig.h"

#include "api/ApiToken.h"
#include "api/RegisterDirectory.h"
#include "commands/DocumentLines.h"
#include "commands/RegisterOwner.h"

#include "commands/TechnicianTools.h"
#include "console/DocumentDialogs.h"
#include "console/OperatorConsole.h"
#include "console/RegisterKeys.h"
#include "programming/Departments.h"
#include "programming/WriteProcedure.h"
#include "shell/Config.h"
#include "shell/NewRegister.h"
#include "shell/ProfileFile.h"
#include "support/HttpProbe.h"
#include "support/OpenApiCheck.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSignalSpy>
#include <QTest>

#include <optional>

#include <unistd.h>

using namespace norvvelm;
using testsupport::StationRig;

class TestStation : public QObject {
    Q_OBJECT
private slots:
    void receiptThroughTheStation();
    void faults_data();
    void faults();
    void seriousFaultDropsTheRest();
    void resumesFromJournal_data();
    void resumesFromJournal();
    void unreadableJournalSetAside();
    void journalLost_data();
    void journalLost();
    void recoveryHoldsTheRegister();
    void lostHistoryEndsEveryOutcome_data();
    void lostHistoryEndsEveryOutcome();
    void journalCannotBeWritten_data();
    void journalCannotBeWritten();
    void journalCutAtEveryRecord();
    void journalRemovedWhileRunning();
    void workingCopiesAfterACrash();
    void savedSettingsTakeEffect();
    void sessionSignals_data();
    void sessionSignals();
    void failedWritesAreSaid();
    void operatorHoldsTheRegister_data();
    void operatorHoldsTheRegister();
    void serverHoldsTheRegister_data();
    void serverHoldsTheRegister();
    void apiReceiptGoesOutAtOnce();
    void apiReceiptKeptAtEveryState();
    void apiReceiptWithdrawn_data();
    void apiReceiptWithdrawn();
    void apiReceiptNeverJoinsAFilesReceipt();
    void reportFigures_data();
    void reportFigures();
    void composedDocuments_data();
    void automaticClosing();
    void tillRegisters();
    void newRegisterInstance_data();
    void newRegisterInstance();
    void composedDocuments();
    void apiAddressThatCannotOpen();
    void apiStatusSaysWhy_data();
    void apiStatusSaysWhy();
    void apiRawLines_data();
    void apiRawLines();
};

void TestStation::receiptThroughTheStation() {
    StationRig rig;
    Session &s = rig.station.session();
    QSignalSpy busy(&s.runState(), &RunState::lineBusyChanged);
    QVERIFY(rig.fault(QStringLiteral("enq:silent*6"))); // switched off at first
    QVERIFY(rig.station.start());
    QVERIFY(!rig.station.startup().ready());
    QVERIFY(rig.station.printServer().isEnabled());
    QVERIFY(s.settings().identity().sn.isEmpty());

    // The watch looks every second but retries only every three, on the
    // link's clock.
    const int enquiries = rig.sim.enquiries();
    rig.clock.advance(Station::kCheckMs);
    rig.station.startup().checkNow();
    QCOMPARE(rig.sim.enquiries(), enquiries);
    rig.clock.advance(Station::kRetryMs);
    rig.station.startup().checkNow();
    QVERIFY(rig.station.startup().ready());
    QCOMPARE(s.settings().identity().sn, QStringLiteral("NV00012345"));
    QCOMPARE(s.statusBar().panel(3), QStringLiteral("72-NV00012345"));
    QCOMPARE(s.settings().vatTable()[1], 10);
    QVERIFY(!busy.isEmpty());
    QCOMPARE(busy.last().at(0).toBool(), false);

    testsupport::writeFile(rig.path(QStringLiteral("scontrino.txt")),
                           "3/S/REPARTO1//1/5.26/1/4/\r\n5/1/0.00/////\r\n");
    rig.station.printServer().TimerSRV_Timer();
    QVERIFY(!QFile::exists(rig.path(QStringLiteral("scontrino.txt"))));
    QCOMPARE(rig.executed("3/S/REPARTO1//1/5.26/1/4/"), 1);
    QCOMPARE(rig.executed("5/1/0.00/////"), 1);
    QVERIFY(rig.reg.paper().last().contains(QStringLiteral("REPARTO1")));
    QVERIFY(!s.runState().receiptOpen());
    QVERIFY(s.runState().queue().isEmpty());

    rig.station.stop();
    QVERIFY(!rig.station.link().isOpen());
    QVERIFY(!rig.station.printServer().isEnabled());
}

namespace {
const QByteArray kSale = "3/S/REPARTO1//1/5.26/1/4/";
const QByteArray kPay = "5/1/0.00/////";
const QByteArray kReceipt = kSale + "\r\n" + kPay + "\r\n";
const QString kPayShown = QStringLiteral("PC -> ECR : 5/1/0.00/////");
} // namespace

void TestStation::faults_data() {
    QTest::addColumn<QString>("before");  // fault rule before the receipt
    QTest::addColumn<QString>("waitFor"); // a monitor line that shows the fault
    QTest::addColumn<QString>("after");   // what the operator does once it showed
    QTest::addColumn<int>("sales");       // complete receipts on paper that hold the sale
    QTest::addColumn<QString>("message"); // said once
    QTest::newRow("NAK") << "frame:nak*2" << QString() << QString() << 1 << QString();
    QTest::newRow("busy") << "busy*3"
                          << "ECR-errore :26-Comando '3/' - Errore N. 26 Ripeto comando" << QString() << 1
                          << QString();
    // The answer is lost after the register took the line: the receipt is
    // voided and sent again from its first line, so it is printed once.
    QTest::newRow("silent mid-receipt") << "answer:silent" << QString() << QString() << 1 << QString();
    QTest::newRow("payment answer lost") << "lose=5/" << QString() << QString() << 1 << QString();
    QTest::newRow("paper out then refilled")
        << "paperout"
        << "ECR-errore :49-Comando '3/' - Errore N. 49 Ricontrollo stato ECR e ripeto comando"
        << "paper in" << 1 << QString();
    QTest::newRow("cover open")
        << "coveropen"
        << "ECR-errore :50-Comando '3/' - Errore N. 50 Ricontrollo stato ECR e ripeto comando"
        << "cover close" << 1 << QString();
    QTest::newRow("paper status") << "paperbit*2"
                                  << "ECR        : Sostituire rotolo scontrino" << QString() << 1
                                  << QString();
    QTest::newRow("register off for a while")
        << "enq:silent*9" << QString() << QString() << 1
        << QStringLiteral(
               "Comunicazione impossibile ! Cassa spenta o cavo interrotto o velocit\u00e0 errata");
    QTest::newRow("refused") << "refuse=08"
                             << "ECR-errore :8-Comando '3/' - Errore N. 8 Ignoro l'errore" << QString() << 0
                             << QString();
}

void TestStation::faults() {
    QFETCH(QString, before);
    QFETCH(QString, waitFor);
    QFETCH(QString, after);
    QFETCH(int, sales);
    QFETCH(QString, message);
    StationRig rig;
    Session &s = rig.station.session();
    s.monitor().setMonitorEnabled(true);
    QVERIFY(rig.station.start());
    // Identified first, so the faults hit the receipt, not the start-up.
    QVERIFY(rig.station.startup().ready());
    QVERIFY(rig.fault(before));
    bool seen = waitFor.isEmpty();
    rig.clock.onAdvance = [&](qint64) {
        if (seen || !s.monitor().lines().contains(waitFor))
            return;
        seen = true;
        if (after == QLatin1String("paper in"))
            rig.reg.paperIn();
        else if (after == QLatin1String("cover close"))
            rig.reg.setCoverOpen(false);
    };
    testsupport::writeFile(rig.path(QStringLiteral("scontrino.txt")), kReceipt);
    QVERIFY(rig.runUntil(
        [&] { return s.monitor().lines().contains(kPayShown) && s.runState().queue().isEmpty(); }));
    QVERIFY(seen);
    QVERIFY(s.monitor().lines().first().startsWith(QStringLiteral("ECR")));
    QCOMPARE(s.monitor().lines().count(kPayShown), 1);
    QCOMPARE(rig.onPaper(QStringLiteral("REPARTO1")), sales);
    QVERIFY(rig.taken(kPay) <= 1);
    QVERIFY(!rig.reg.receiptOpen());
    if (!message.isEmpty())
        QCOMPARE(rig.prompter.count(message), 1);
    QVERIFY(!s.runState().receiptOpen());
}

void TestStation::seriousFaultDropsTheRest() {
    StationRig rig;
    Session &s = rig.station.session();
    s.monitor().setMonitorEnabled(true);
    QVERIFY(rig.station.start());
    QVERIFY(rig.fault(QStringLiteral("serious=37")));
    testsupport::writeFile(rig.path(QStringLiteral("scontrino.txt")), kReceipt);
    QVERIFY(rig.runUntil(
        [&] { return rig.prompter.count(QStringLiteral("errore grave. Chiamare Casa madre")); }));
    QCOMPARE(rig.prompter.shown.last().title, QStringLiteral("ATTENZIONE"));
    QVERIFY(s.monitor().lines().contains(QStringLiteral("PC -> ECR : 3/S/REPARTO1//1/5.26/1/4/")));
    QVERIFY(!s.monitor().lines().contains(kPayShown));
    QCOMPARE(rig.taken(kPay), 0);
    QVERIFY(s.runState().queue().isEmpty());
    QVERIFY(!s.runState().receiptOpen());
}

void TestStation::resumesFromJournal_data() {
    QTest::addColumn<QByteArray>("records");
    QTest::addColumn<bool>("openOnRegister"); // the register holds the sale
    QTest::addColumn<bool>("payTaken");       // and took the payment
    QTest::addColumn<int>("voids");
    const QByteArray queued = "Q" + kSale + "\nQ" + kPay + "\n";
    const QByteArray saleDone = "S0,-1," + kSale + "\nD1\n";
    QTest::newRow("sale done, payment waiting") << QByteArray(queued + saleDone) << true << false << 1;
    QTest::newRow("sale going out") << QByteArray(queued + "S0,-1," + kSale + "\n") << false << false << 0;
    QTest::newRow("payment going out, not taken")
        << QByteArray(queued + saleDone + "S1,0," + kPay + "\n") << true << false << 1;
    QTest::newRow("payment going out, taken")
        << QByteArray(queued + saleDone + "S1,0," + kPay + "\n") << true << true << 0;
    QTest::newRow("record cut short") << QByteArray(queued + saleDone + "S1,0,5/1/0") << true << false << 1;
    QTest::newRow("lines of a named receipt, a problem noted")
        << QByteArray("J7,F,scontrino.txt\n" + queued + "E7,riga\\x41 scartata\n" + saleDone) << true << false
        << 1;
}

void TestStation::resumesFromJournal() {
    QFETCH(QByteArray, records);
    QFETCH(bool, openOnRegister);
    QFETCH(bool, payTaken);
    QFETCH(int, voids);
    StationRig rig;
    if (openOnRegister)
        rig.reg.execute(kSale);
    if (payTaken)
        rig.reg.execute(kPay);
    const QString journal = rig.path(ReceiptJournal::fileName());
    testsupport::writeFile(journal, "NORVVELM-JOURNAL 1\n" + records);
    QVERIFY(rig.station.start());
    QVERIFY(rig.runUntil([&] {
        return rig.station.session().runState().queue().isEmpty() &&
               !rig.station.executor().recoveryPending() && !rig.reg.receiptOpen() &&
               rig.onPaper(QStringLiteral("REPARTO1")) > 0;
    }));
    QCOMPARE(rig.onPaper(QStringLiteral("REPARTO1")), 1);
    QCOMPARE(rig.voided(), voids);
    // Nothing left to remember: the journal holds its header and the idle mark.
    QCOMPARE(testsupport::readFile(journal), QByteArray("NORVVELM-JOURNAL 2\nI\n"));
}

void TestStation::unreadableJournalSetAside() {
    StationRig rig;
    const QString journal = rig.path(ReceiptJournal::fileName());
    testsupport::writeFile(journal, "NORVVELM-JOURNAL 1\nQ" + kSale + "\nD1\n");
    QVERIFY(rig.station.start());
    QCOMPARE(rig.prompter.shown.size(), 1);
    QVERIFY(rig.prompter.shown.first().text.startsWith(QStringLiteral("Giornale della coda illeggibile")));
    QCOMPARE(testsupport::readFile(journal + QStringLiteral(".illeggibile")),
             QByteArray("NORVVELM-JOURNAL 1\nQ" + kSale + "\nD1\n"));
    QVERIFY(rig.station.session().runState().queue().isEmpty());
    QVERIFY(rig.station.journal() && rig.station.journal()->isOpen());
}

void TestStation::journalLost_data() {
    QTest::addColumn<QByteArray>("journal"); // null: removed
    QTest::addColumn<QString>("said");
    const QByteArray header = "NORVVELM-JOURNAL 1\n";
    const QByteArray half = "J4,F,scontrino.txt\nQ3/S/INTERROTTO//1/2.00/1/4/\nQ5/1/0.00/////\nF/x.velm\n"
                            "S0,-1,3/S/INTERROTTO//1/2.00/1/4/\nD1\n";
    QTest::newRow("removed") << QByteArray() << QStringLiteral("Giornale della coda mancante");
    QTest::newRow("emptied") << QByteArray("") << QStringLiteral("Giornale della coda vuoto");
    QTest::newRow("cut to its header") << header << QStringLiteral("Giornale della coda troncato");
    QTest::newRow("cut inside the receipt's lines")
        << QByteArray(header + half.left(60)) << QStringLiteral("Giornale della coda troncato (");
    QTest::newRow("cut after its first sale")
        << QByteArray(header + half + "S1,0,5/1/0") << QString(); // resumed: voided and sent again
    QTest::newRow("garbage") << QByteArray("\x01\x02 nessun giornale")
                             << QStringLiteral("Giornale della coda illeggibile");
}

// A journal lost, cut or spoilt while the program was stopped: the receipt
// the register may still hold is voided before anything else, said once, and
// the next receipt prints alone.
void TestStation::journalLost() {
    QFETCH(QByteArray, journal);
    QFETCH(QString, said);
    StationRig rig;
    // The register was identified in an earlier run, which left a receipt open.
    testsupport::writeFile(rig.path(QStringLiteral("NorvVelm.ini")),
                           testsupport::readFile(rig.path(QStringLiteral("NorvVelm.ini"))) +
                               "[Current]\nSN=NV00012345\n");
    rig.reg.execute("3/S/INTERROTTO//1/2.00/1/4/");
    QVERIFY(rig.reg.receiptOpen());
    if (!journal.isNull())
        testsupport::writeFile(rig.path(ReceiptJournal::fileName()), journal);
    QVERIFY(rig.station.start());
    if (!said.isEmpty()) {
        QCOMPARE(rig.prompter.shown.size(), 1);
        QVERIFY2(rig.prompter.shown.first().text.startsWith(said),
                 qPrintable(rig.prompter.shown.first().text));
    }
    testsupport::writeFile(rig.path(QStringLiteral("scontrino.txt")), kReceipt);
    QVERIFY(rig.runUntil(
        [&] {
            return rig.onPaper(QStringLiteral("REPARTO1")) == 1 &&
                   rig.station.session().runState().queue().isEmpty();
        },
        20000));
    QVERIFY(rig.voided() >= 1);
    QVERIFY(!rig.reg.receiptOpen());
    // Never joined: the receipt that prints holds its own sale alone.
    for (const QString &doc : rig.reg.paper().documents()) {
        if (doc.contains(QStringLiteral("REPARTO1")))
            QVERIFY2(!doc.contains(QStringLiteral("INTERROTTO")), qPrintable(doc));
    }
    QCOMPARE(rig.onPaper(QStringLiteral("INTERROTTO")), said.isEmpty() ? 1 : 0);
}

namespace {
// Three receipts queued at once, each a sale marked with its own name.
const QList<QStringList> kThree{{QStringLiteral("3/S/PRIMO//1/1.00/1/4/"),
                                 QStringLiteral("3/S/PRIMO//1/2.00/1/4/"), QString::fromLatin1(kPay)},
                                {QStringLiteral("3/S/SECONDO//1/3.00/1/4/"), QString::fromLatin1(kPay)},
                                {QStringLiteral("3/S/TERZO//1/4.00/1/4/"), QString::fromLatin1(kPay)}};
} // namespace

// The journal of three receipts, stopped after the register took the first
// two sales of the first, cut at each of its record boundaries while the
// program was stopped: whatever the cut kept prints once and alone, and what
// it lost never joins the receipt the register held open.
void TestStation::journalCutAtEveryRecord() {
    QByteArray journal;
    {
        StationRig rig;
        QVERIFY(rig.station.start());
        int taken = 0;
        rig.sim.onCommand = [&](const QByteArray &line, const QByteArray &) {
            if (line.startsWith("3/S/PRIMO") && ++taken == 2)
                rig.station.session().runState().requestStop();
        };
        for (qsizetype i = 0; i < kThree.size(); ++i)
            QVERIFY(rig.station.executor().enqueue(
                kThree.at(i), {}, {ReceiptSource::Kind::Request, QStringLiteral("chiave%1").arg(i), {}}));
        QVERIFY(rig.runUntil([&] { return taken == 2; }));
        QVERIFY(rig.reg.receiptOpen());
        journal = testsupport::readFile(rig.path(ReceiptJournal::fileName()));
    }
    const QByteArray header = journal.left(journal.indexOf('\n') + 1);
    for (qsizetype cut = header.size(); cut <= journal.size(); cut = journal.indexOf('\n', cut) + 1) {
        const QByteArray kept = journal.left(cut);
        StationRig rig;
        testsupport::writeFile(rig.path(QStringLiteral("NorvVelm.ini")),
                               testsupport::readFile(rig.path(QStringLiteral("NorvVelm.ini"))) +
                                   "[Current]\nSN=NV00012345\n");
        rig.reg.execute(kThree.at(0).at(0).toLatin1());
        rig.reg.execute(kThree.at(0).at(1).toLatin1());
        testsupport::writeFile(rig.path(ReceiptJournal::fileName()), kept);
        QVERIFY(rig.station.start());
        QVERIFY2(rig.runUntil([&] {
            return rig.station.executor().state().idle() && !rig.station.executor().recoveryPending();
        }),
                 kept.constData());
        QVERIFY2(!rig.reg.receiptOpen(), kept.constData());
        const QStringList names{QStringLiteral("PRIMO"), QStringLiteral("SECONDO"), QStringLiteral("TERZO")};
        for (qsizetype i = 0; i < names.size(); ++i) {
            // Whole in what was kept: its end record is there.
            const bool whole = kept.contains(QByteArray("\nT" + QByteArray::number(i + 1) + '\n'));
            QVERIFY2(rig.onPaper(names.at(i)) == (whole ? 1 : 0), kept.constData());
        }
        for (const QString &doc : rig.reg.paper().documents()) {
            int of = 0;
            for (const QString &n : names)
                of += doc.contains(n) ? 1 : 0;
            QVERIFY2(of <= 1, qPrintable(doc));
        }
        if (cut == journal.size())
            break;
    }
}

// A recovery still to do counts as lines waiting: while the register cannot
// be reached to void what an interrupted run may have left open, the operator
// may not change it.
void TestStation::recoveryHoldsTheRegister() {
    StationRig rig;
    testsupport::writeFile(rig.path(QStringLiteral("NorvVelm.ini")),
                           testsupport::readFile(rig.path(QStringLiteral("NorvVelm.ini"))) +
                               "[Current]\nSN=NV00012345\n");
    QVERIFY(rig.station.start()); // no journal: whatever is open is voided first
    QVERIFY(rig.station.executor().recoveryPending());
    QVERIFY(rig.station.executor().state().queue.isEmpty());
    const RegisterOwner &owner = rig.station.session().registerOwner();
    QVERIFY(owner.serverWork().linesWaiting);
    QVERIFY(!owner.refusal(RegisterOwner::Use::Changes).isEmpty());
    QVERIFY(rig.runUntil([&] { return !rig.station.executor().recoveryPending(); }));
    QVERIFY(owner.refusal(RegisterOwner::Use::Changes).isEmpty());
}

void TestStation::journalCannotBeWritten_data() {
    QTest::addColumn<QString>("when");
    QTest::newRow("from the start") << QStringLiteral("start");
    QTest::newRow("not even read at start") << QStringLiteral("unreadable");
    QTest::newRow("in the middle of a receipt") << QStringLiteral("receipt");
}

// While the journal cannot keep a record, no receipt is taken (its file
// waits in the folder, a request is refused) and no further line goes out;
// it is said once, tried again every few seconds, and once it takes records
// the work resumes by itself: the receipt prints once, whole, never voided.
void TestStation::journalCannotBeWritten() {
    QFETCH(QString, when);
    StationRig rig;
    rig.station.session().monitor().setMonitorEnabled(true);
    bool failing = when == QLatin1String("start");
    rig.station.setJournalWriteFault([&] { return failing; });
    const QString journal = rig.path(ReceiptJournal::fileName());
    if (when == QLatin1String("unreadable"))
        QVERIFY(QDir().mkpath(journal));
    const auto answers = rig.sim.onCommand;
    rig.sim.onCommand = [&](const QByteArray &line, const QByteArray &answer) {
        answers(line, answer);
        if (when == QLatin1String("receipt") && line == kSale)
            failing = true;
    };
    const QString receipt = rig.path(QStringLiteral("scontrino.txt"));
    if (when == QLatin1String("receipt"))
        testsupport::writeFile(receipt, kReceipt);
    QVERIFY(rig.station.start());
    if (when != QLatin1String("receipt"))
        testsupport::writeFile(receipt, kReceipt);
    rig.runUntil([] { return false; }, 3 * Station::kJournalRetryMs);
    const Session &s = rig.station.session();
    QVERIFY(!s.runState().journalProblem().isEmpty());
    QCOMPARE(rig.executed(kPay), 0);
    QCOMPARE(rig.executed(kSale), when == QLatin1String("receipt") ? 1 : 0);
    QCOMPARE(QFile::exists(receipt), when != QLatin1String("receipt"));
    ReceiptHistory o;
    QCOMPARE(rig.station.receipts().submit(QStringLiteral("k1"), "h1",
                                           {QStringLiteral("3/S/API//1/1.00/1/4/")}, o),
             ReceiptBook::Submit::Failed);
    int said = 0;
    for (const QString &l : s.monitor().lines())
        said += l.contains(QStringLiteral("nessuno scontrino accettato")) ? 1 : 0;
    QCOMPARE(said, 1);

    failing = false;
    if (when == QLatin1String("unreadable"))
        QVERIFY(QDir().rmdir(journal));
    QVERIFY(rig.runUntil([&] {
        return rig.onPaper(QStringLiteral("REPARTO1")) == 1 && rig.station.executor().state().idle();
    }));
    QVERIFY(s.runState().journalProblem().isEmpty());
    QCOMPARE(rig.taken(kSale), 1);
    QCOMPARE(rig.voided(), 0);
    QVERIFY(!rig.reg.receiptOpen());
    QCOMPARE(testsupport::readFile(journal), QByteArray("NORVVELM-JOURNAL 2\nI\n"));
}

void TestStation::lostHistoryEndsEveryOutcome_data() {
    QTest::addColumn<QByteArray>("journal"); // null: removed
    QTest::addColumn<QString>("onRegister"); // what the register did with the receipt
    QTest::addColumn<int>("receiptsBefore"); // stored with it; -1: its closing never went out
    QTest::addColumn<bool>("file");          // a receipt file's, with its outcome file
    QTest::addColumn<QString>("state");
    const QByteArray header = "NORVVELM-JOURNAL 2\n";
    QTest::newRow("removed, the register closed it")
        << QByteArray() << QStringLiteral("closed") << 0 << false << QStringLiteral("printed");
    QTest::newRow("removed, left open")
        << QByteArray() << QStringLiteral("open") << 0 << false << QStringLiteral("failed");
    QTest::newRow("garbage, its closing never sent")
        << QByteArray("\x01\x02") << QStringLiteral("nothing") << -1 << false << QStringLiteral("failed");
    QTest::newRow("emptied, a file's receipt left open")
        << QByteArray("") << QStringLiteral("open") << 0 << true << QStringLiteral("failed");
    QTest::newRow("cut to its header, a file's receipt closed")
        << header << QStringLiteral("closed") << 0 << true << QStringLiteral("printed");
    QTest::newRow("ends idle: nothing was lost") << QByteArray(header + "I\n") << QStringLiteral("nothing")
                                                 << 0 << false << QStringLiteral("printing");
    // Stopped after a request was given up, before its void key went: the
    // key goes first thing, and nothing of it is sent again.
    QTest::newRow("given up, its void key not yet sent")
        << QByteArray(header + "J5,R,k5 h5\nQ" + kSale + "\nT5\nS0,-1," + kSale +
                      "\nD1\nY5,left_open,aperto\n")
        << QStringLiteral("open") << -1 << false << QStringLiteral("failed");
}

// A journal lost while the program was stopped: every receipt it no longer
// carries ends, judged by the register's count of receipts once the void
// key has been answered; its outcome file says the same.
void TestStation::lostHistoryEndsEveryOutcome() {
    QFETCH(QByteArray, journal);
    QFETCH(QString, onRegister);
    QFETCH(int, receiptsBefore);
    QFETCH(bool, file);
    QFETCH(QString, state);
    StationRig rig;
    testsupport::writeFile(rig.path(QStringLiteral("NorvVelm.ini")),
                           testsupport::readFile(rig.path(QStringLiteral("NorvVelm.ini"))) +
                               "[Current]\nSN=NV00012345\n");
    if (onRegister != QLatin1String("nothing"))
        rig.reg.execute(kSale);
    if (onRegister == QLatin1String("closed"))
        rig.reg.execute(kPay);
    QJsonObject stored{
        {QStringLiteral("id"), QStringLiteral("R5")},
        {QStringLiteral("key"), file ? QJsonValue() : QJsonValue(QStringLiteral("k5"))},
        {QStringLiteral("source"), file ? QStringLiteral("scontrino.txt") : QStringLiteral("api")},
        {QStringLiteral("state"), QStringLiteral("printing")},
        {QStringLiteral("lines"), QJsonArray{QString::fromLatin1(kSale), QString::fromLatin1(kPay)}},
        {QStringLiteral("digest"), QStringLiteral("h5")}};
    if (receiptsBefore >= 0)
        stored.insert(QStringLiteral("receipts_before"), receiptsBefore);
    testsupport::writeFile(rig.path(OutcomeStore::fileName()),
                           QJsonDocument(stored).toJson(QJsonDocument::Compact) + '\n');
    if (!journal.isNull())
        testsupport::writeFile(rig.path(ReceiptJournal::fileName()), journal);
    QVERIFY(rig.station.start());
    const OutcomeStore &store = rig.station.receipts().store();
    rig.runUntil([&] { return IsFinal(store.find(5)->outcome); }, 10000);
    QCOMPARE(OutcomeStateName(store.find(5)->outcome), state);
    QVERIFY(!rig.reg.receiptOpen());
    QCOMPARE(rig.voided(), onRegister == QLatin1String("open") ? 1 : 0);
    const bool lost = state == QLatin1String("failed");
    const bool givenUp = journal.contains("\nY5,");
    QCOMPARE(store.find(5)->reasonCode, givenUp ? QStringLiteral("left_open")
                                        : lost  ? QStringLiteral("journal_lost")
                                                : QString());
    if (givenUp)
        QCOMPARE(rig.taken(kSale), 0);
    if (state == QLatin1String("printed"))
        QCOMPARE(store.find(5)->receiptNumber, rig.reg.totals().receipts);
    // Retried with its key, it answers the final outcome and prints nothing.
    ReceiptHistory again;
    if (!file) {
        QCOMPARE(
            rig.station.receipts().submit(QStringLiteral("k5"), "h5", {QString::fromLatin1(kSale)}, again),
            ReceiptBook::Submit::Repeated);
        QCOMPARE(again.outcome, store.find(5)->outcome);
    } else {
        const QJsonObject told =
            QJsonDocument::fromJson(
                testsupport::readFile(rig.path(QStringLiteral("esiti/scontrino.txt.R5.json"))))
                .object();
        QCOMPARE(told.value(QStringLiteral("state")).toString(), state);
        QCOMPARE(told.value(QStringLiteral("reason"))[QStringLiteral("code")].toString(),
                 lost ? QStringLiteral("journal_lost") : QString());
    }
}

// Removed while the program runs: noticed at the next record and written
// anew, so that a later crash still finds the receipt under way.
void TestStation::journalRemovedWhileRunning() {
    StationRig rig;
    QVERIFY(rig.station.start());
    const QString journal = rig.path(ReceiptJournal::fileName());
    QVERIFY(QFile::remove(journal));
    testsupport::writeFile(rig.path(QStringLiteral("scontrino.txt")), kSale + "\r\n");
    QVERIFY(rig.runUntil([&] { return rig.reg.receiptOpen(); }, 5000));
    QVERIFY(rig.station.session().statusBar().panel(2).startsWith(
        QStringLiteral("Giornale della coda rimosso o sostituito mentre il programma lavorava: riscritto ")));
    // What a new run reads back: the receipt left open, to be voided.
    QueueState state;
    QString detail;
    ReceiptJournal again(journal);
    QCOMPARE(again.load(state, detail), ReceiptJournal::Load::Loaded);
    QVERIFY(state.receiptOpen);
    QCOMPARE(state.receipt, QStringList{QString::fromLatin1(kSale)});
}

void TestStation::workingCopiesAfterACrash() {
    StationRig rig;
    // Stopped after renaming one file (its lines kept nowhere else), and
    // after keeping the lines of another (its working copy not yet deleted).
    const QString lost = rig.path(QStringLiteral("scontrino.txt.velm"));
    const QString kept = rig.path(QStringLiteral("altro.txt.velm"));
    testsupport::writeFile(lost, "3/S/PERSO//1/1.00/1/4/\n" + kPay + "\n");
    testsupport::writeFile(kept, "3/S/TENUTO//1/1.00/1/4/\n" + kPay + "\n");
    testsupport::writeFile(rig.path(ReceiptJournal::fileName()),
                           "NORVVELM-JOURNAL 1\nQ3/S/TENUTO//1/1.00/1/4/\nQ" + kPay + "\nF" + kept.toUtf8() +
                               "\n");
    QVERIFY(rig.station.start());
    QVERIFY(rig.runUntil([&] {
        return rig.onPaper(QStringLiteral("PERSO")) && rig.onPaper(QStringLiteral("TENUTO")) &&
               rig.station.session().runState().queue().isEmpty();
    }));
    QCOMPARE(rig.onPaper(QStringLiteral("PERSO")), 1);
    QCOMPARE(rig.onPaper(QStringLiteral("TENUTO")), 1);
    QVERIFY(!QFile::exists(lost) && !QFile::exists(kept));
}

void TestStation::savedSettingsTakeEffect() {
    StationRig rig;
    Session &s = rig.station.session();
    QVERIFY(rig.station.start());
    QVERIFY(rig.station.startup().ready());
    QSignalSpy restart(&s.settings(), &Settings::restartNeededChanged);

    ConfigForm form;
    form.model = s.settings().config().Modello;
    form.port = QStringLiteral("Com3");
    form.speed = QStringLiteral("9600");
    form.server = false;
    form.mode = WindowModeName(s.settings().config().ServerModalita);
    form.folder = rig.path(QStringLiteral("pos"));
    form.file = QStringLiteral("*.txt");
    form.log = true;
    form.wrap = true;
    QVERIFY(rig.station.saveConfiguration(form));
    // The server's own settings at once, nothing to restart for.
    QCOMPARE(s.settings().config().ServerDir, rig.path(QStringLiteral("pos")));
    QCOMPARE(s.settings().config().ServerFile, QStringLiteral("*.txt"));
    QVERIFY(s.settings().logEnabled());
    QVERIFY(s.settings().config().WrapDescription);
    QVERIFY(!rig.station.printServer().isEnabled());
    QVERIFY(!s.settings().restartNeeded());
    QVERIFY(s.statusBar().panel(1).isEmpty() && s.statusBar().panel(2).isEmpty());

    // Port and speed wait for the next start; the file holds the number alone.
    form.port = QStringLiteral("Com7");
    form.speed = QStringLiteral("115200");
    form.server = true;
    QVERIFY(rig.station.saveConfiguration(form));
    QCOMPARE(s.settings().config().Porta, 3);
    QCOMPARE(s.settings().config().Velocita, 9600);
    QVERIFY(rig.station.printServer().isEnabled());
    QVERIFY(s.settings().restartNeeded());
    QCOMPARE(restart.size(), 1);
    QCOMPARE(s.statusBar().panel(1), QStringLiteral("Riavvio necessario"));
    const ProfileFile ini(s.settings().iniPath());
    QCOMPARE(ini.getString(QStringLiteral("Parametri"), QStringLiteral("Porta"), {}, 4), QStringLiteral("7"));
    QCOMPARE(PortDevice(s.settings().iniPath(), s.settings().config().Porta), QStringLiteral("/dev/sim3"));

    // A load reads the file's "7" back as "Com7".
    PcConfig loaded;
    ForbiddenExtensions forbidden;
    StatusTexts status;
    QVERIFY(LoadConfiguration(s.settings().iniPath(), s.settings().programDir(), loaded, forbidden, status));
    QCOMPARE(loaded.Porta, 7);
}

using Change = std::function<void(Session &)>;
Q_DECLARE_METATYPE(Change)

void TestStation::sessionSignals_data() {
    QTest::addColumn<Change>("change");
    QTest::addColumn<QByteArray>("signal");
    auto row = [](const char *name, Change c, const char *signal) {
        QTest::newRow(name) << c << QByteArray(signal);
    };
    row(
        "last answer", [](Session &s) { s.lastExchange().setLastAnswer(QStringLiteral("00/00/")); },
        SIGNAL(lastAnswerChanged(QString)));
    row(
        "last status", [](Session &s) { s.lastExchange().setLastStatus(1005); },
        SIGNAL(lastStatusChanged(int)));
    row(
        "enquiry status", [](Session &s) { s.lastExchange().setEnquiryStatus(1004); },
        SIGNAL(enquiryStatusChanged(int)));
    row(
        "status text", [](Session &s) { s.lastExchange().setStatusText(QStringLiteral("x")); },
        SIGNAL(statusTextChanged(QString)));
    row(
        "receipt open", [](Session &s) { s.runState().setReceiptOpen(true); },
        SIGNAL(receiptOpenChanged(bool)));
    row(
        "identity",
        [](Session &s) {
            s.settings().setIdentity({QStringLiteral("72"), QStringLiteral("NV1"), {}, {}});
        },
        SIGNAL(identityChanged(norvvelm::RegisterIdentity)));
    row(
        "panel", [](Session &s) { s.statusBar().setPanel(3, QStringLiteral("72-NV1")); },
        SIGNAL(panelChanged(int, QString)));
    row(
        "queue", [](Session &s) { s.runState().mirrorQueue({QStringLiteral("3/")}); },
        SIGNAL(queueChanged()));
    row(
        "monitor line",
        [](Session &s) {
            s.monitor().setMonitorEnabled(true);
            s.monitor().AddMonitorLine(QStringLiteral("PC -> ECR : ?/"));
        },
        SIGNAL(monitorLineAdded(QString)));
    row(
        "monitor cleared", [](Session &s) { s.monitor().clearMonitor(); }, SIGNAL(monitorCleared()));
    row(
        "VAT table",
        [](Session &s) {
            VatTable t = s.settings().vatTable();
            t[0] = 4;
            s.settings().setVatTable(t);
        },
        SIGNAL(vatTableChanged()));
    row(
        "technician mode", [](Session &s) { s.runState().setTechnicianMode(true); },
        SIGNAL(technicianModeChanged(bool)));
    row(
        "line busy", [](Session &s) { s.runState().setLineBusy(true); }, SIGNAL(lineBusyChanged(bool)));
    row(
        "busy pointer", [](Session &s) { s.runState().beginBusy(); }, SIGNAL(busyChanged(bool)));
    row(
        "stop", [](Session &s) { s.runState().requestStop(); }, SIGNAL(stopRequestedChanged()));
    row(
        "log switch", [](Session &s) { s.settings().setLogEnabled(true); }, SIGNAL(configChanged()));
}

void TestStation::sessionSignals() {
    QFETCH(Change, change);
    QFETCH(QByteArray, signal);
    Session s;
    // The part of the session that owns the signal.
    QObject *sender = nullptr;
    for (QObject *part : std::initializer_list<QObject *>{&s.settings(), &s.lastExchange(), &s.statusBar(),
                                                          &s.monitor(), &s.runState()}) {
        if (part->metaObject()->indexOfSignal(
                QMetaObject::normalizedSignature(signal.constData() + 1).constData()) >= 0)
            sender = part;
    }
    QVERIFY(sender);
    QSignalSpy spy(sender, signal.constData());
    QVERIFY(spy.isValid());
    change(s);
    QCOMPARE(spy.size(), 1);
}

void TestStation::failedWritesAreSaid() {
    // The daily report into a folder that does not exist.
    {
        StationRig rig("ServerStato=Off\n");
        QVERIFY(rig.station.start());
        Session &s = rig.station.session();
        testsupport::writeFile(rig.path(QStringLiteral("dummy")), "");
        PcConfig c = s.settings().config();
        c.ServerDir = rig.path(QStringLiteral("missing/folder"));
        s.settings().setConfig(c);
        rig.station.executor().enqueue({QStringLiteral("t0")});
        rig.station.executor().ExecuteReceiptQueue();
        QCOMPARE(s.statusBar().panel(1), QStringLiteral("Errore di scrittura"));
        QVERIFY2(s.statusBar().panel(2).startsWith(
                     QStringLiteral("Impossibile scrivere il rapporto giornaliero: ")),
                 qPrintable(s.statusBar().panel(2)));
        QVERIFY(s.statusBar().panel(2).contains(QStringLiteral("missing/folder")));
        QVERIFY(s.runState().queue().isEmpty());
    }
    // The configuration file turned into a folder after the load: neither
    // the "Current" section nor a save reach it, and both are said.
    {
        StationRig rig;
        Session &s = rig.station.session();
        QVERIFY(rig.station.loadConfiguration());
        QVERIFY(QFile::remove(s.settings().iniPath()));
        QVERIFY(QDir().mkpath(s.settings().iniPath()));
        rig.station.startServing();
        QVERIFY(rig.station.startup().ready());
        QCOMPARE(s.statusBar().panel(2),
                 QStringLiteral("Impossibile scrivere la sezione Current: ") + s.settings().iniPath());
        ConfigForm form;
        form.port = QStringLiteral("Com3");
        QVERIFY(!rig.station.saveConfiguration(form));
        QCOMPARE(s.statusBar().panel(1), QStringLiteral("Errore di scrittura"));
        QCOMPARE(s.statusBar().panel(2),
                 QStringLiteral("Impossibile scrivere la configurazione: ") + s.settings().iniPath());
    }
}

namespace {
// The customer dialog as an operator fills it: OK with a complete customer.
struct InvoiceDialogs final : DocumentDialogs {
    OperatorConsole *console = nullptr;
    void showTaxCodeDialog() override {}
    void showCustomerDialog() override {
        console->FrmCliente_Button(
            OperatorConsole::kOkButton, QStringLiteral("01234567897"),
            {QStringLiteral("ROSSI SRL"), QStringLiteral("VIA ROMA 1"), QStringLiteral("00100"), {}, {}, {}});
    }
    void showCreditNoteDialog() override {}
};

// The console, a programming table and the technician's tools on the
// station's own session, link and runner, as the window wires them.
struct OperatorSide {
    OperatorConsole console;
    WriteProcedure procedure;
    Departments departments{procedure};
    TechnicianPassword password;
    TechnicianTools technician;
    InvoiceDialogs dialogs;
    explicit OperatorSide(StationRig &rig)
        : console(rig.station.session(), rig.station.link(), rig.station.runner(), rig.prompter),
          procedure({rig.station.runner(), rig.station.session()}, rig.prompter),
          password(rig.path(QStringLiteral("user.ini"))),
          technician(rig.station.session(), rig.station.runner(), rig.prompter, password) {
        dialogs.console = &console;
        console.setDialogs(&dialogs);
        procedure.setBranch(3, [this] {
            QList<Department> list;
            for (int n = 1; n <= Departments::kCount; ++n)
                list.append({QStringLiteral("REPARTO %1").arg(n), 1 + n % 5});
            departments.write(list);
        });
    }
    int panelIndex(const QString &caption) const {
        for (const RegisterKey &k : RegisterPanelKeys()) {
            if (k.caption == caption && !k.programming)
                return k.index;
        }
        return -1;
    }
};

// Where the register took `line` first (-1: never).
qsizetype firstTaken(const StationRig &rig, const QByteArray &line) {
    for (qsizetype i = 0; i < rig.answers.size(); ++i) {
        if (rig.answers[i].first == line)
            return i;
    }
    return -1;
}
} // namespace

void TestStation::operatorHoldsTheRegister_data() {
    QTest::addColumn<QString>("sequence");
    QTest::addColumn<QByteArray>("lastLine"); // the sequence's last line to the register
    QTest::newRow("SC \u20ac keys with the display read") << QStringLiteral("SC \u20ac") << QByteArray("(/");
    QTest::newRow("twenty departments written")
        << QStringLiteral("departments") << QByteArray("D/20/REPARTO 20/1//////");
    QTest::newRow("invoice from its opening to its closing") << QStringLiteral("invoice") << QByteArray("(/");
}

// A receipt file that arrives while an operator's sequence holds the
// register waits in the folder, pauses and all, and is printed whole after it.
void TestStation::operatorHoldsTheRegister() {
    QFETCH(QString, sequence);
    QFETCH(QByteArray, lastLine);
    StationRig rig;
    QVERIFY(rig.station.start());
    OperatorSide op(rig);
    Session &s = rig.station.session();
    const QString receipt = rig.path(QStringLiteral("scontrino.txt"));
    const qsizetype before = rig.answers.size();
    int ticksHeldBack = 0;
    s.monitor().setMonitorEnabled(true);
    rig.onPump = [&] {
        if (sequence != u"invoice" && rig.answers.size() == before + 1 && !QFile::exists(receipt))
            testsupport::writeFile(receipt, kReceipt);
        if (!QFile::exists(receipt))
            return;
        rig.station.printServer().TimerSRV_Timer();
        ticksHeldBack += QFile::exists(receipt);
    };
    if (sequence == u"departments") {
        // The register refuses the first two: their messages, like every
        // box of the window, let events run while they are shown.
        QVERIFY(rig.fault(QStringLiteral("refuse=10*2")));
        rig.prompter.whileShown = rig.onPump;
        op.procedure.run(3);
        QVERIFY(rig.prompter.shown.size() >= 3); // two refusals, then the closing word
    } else if (sequence == u"invoice") {
        op.console.RefreshRegisterDisplay(OperatorConsole::Display::Register);
        op.console.CmdFat_Click();
        QVERIFY(s.registerOwner().documentOpen());
        // Between the clicks the register stays the invoice's.
        testsupport::writeFile(receipt, kReceipt);
        rig.station.printServer().TimerSRV_Timer();
        rig.station.printServer().TimerSRV_Timer();
        ++ticksHeldBack;
        QVERIFY(QFile::exists(receipt));
        for (const QString &k : {QStringLiteral("5"), QStringLiteral("0"), QStringLiteral("0"),
                                 QStringLiteral("REP-01"), QStringLiteral("Contanti")})
            op.console.cmdECR_Click(op.panelIndex(k));
        QVERIFY(!s.registerOwner().documentOpen());
        QCOMPARE(rig.station.session().monitor().lines().count(
                     QStringLiteral("ECR        : Scontrino aperto dalla console sulla cassa: i file di "
                                    "scontrino attendono la sua chiusura")),
                 1);
    } else {
        op.console.cmdECR_Click(op.panelIndex(sequence));
    }
    QVERIFY(ticksHeldBack > 0);
    QVERIFY(QFile::exists(receipt)); // it waited in the folder
    QVERIFY(!s.registerOwner().operatorHolds());
    QVERIFY(rig.runUntil([&] { return rig.taken(kPay) == 1; }, 5000));
    // Every line of the sequence went before the receipt's first.
    qsizetype last = -1;
    for (qsizetype i = 0; i < rig.answers.size(); ++i) {
        if (rig.answers[i].first == lastLine)
            last = i;
    }
    QVERIFY(last >= 0);
    QVERIFY(firstTaken(rig, kSale) > last);
    QCOMPARE(rig.taken(kSale), 1);
    QCOMPARE(rig.onPaper(QStringLiteral("REPARTO1")), 1);
    QVERIFY(!rig.reg.receiptOpen());
}

void TestStation::serverHoldsTheRegister_data() {
    QTest::addColumn<QByteArray>("fault"); // the register's fault while the receipt goes out
    QTest::addColumn<bool>("closed");      // the receipt file closes its receipt
    QTest::addColumn<QString>("refusal");
    const QString open = QStringLiteral("Uno scontrino del server di stampa \u00e8 aperto sulla cassa: "
                                        "riprovare quando il programma di cassa lo avr\u00e0 chiuso.");
    const QString sending = QStringLiteral("Il server di stampa sta inviando uno scontrino alla cassa: "
                                           "riprovare al termine.");
    QTest::newRow("its receipt left open") << QByteArray() << false << open;
    QTest::newRow("while it sends") << QByteArray("busy*20") << true << sending;
}

// While the print server has a receipt under way, a key, a document, a
// table write or a raw command is refused with a message, never sent into
// it; a read that changes nothing may go between its files.
void TestStation::serverHoldsTheRegister() {
    QFETCH(QByteArray, fault);
    QFETCH(bool, closed);
    QFETCH(QString, refusal);
    StationRig rig;
    QVERIFY(rig.station.start());
    OperatorSide op(rig);
    Session &s = rig.station.session();
    if (!fault.isEmpty())
        QVERIFY(rig.fault(QString::fromLatin1(fault)));
    testsupport::writeFile(rig.path(QStringLiteral("scontrino.txt")), closed ? kReceipt : kSale + "\r\n");
    bool tried = false;
    qsizetype sentBefore = 0;
    rig.onPump = [&] {
        // Tried while the file's lines go out; a receipt left open is tried after.
        if (!closed || tried || !s.registerOwner().serverWork().sending)
            return;
        tried = true;
        sentBefore = rig.answers.size();
        op.console.cmdECR_Click(op.panelIndex(QStringLiteral("Contanti")));
        op.console.ReadTechnicianDisplay();
        rig.prompter.script = {Prompter::Answer::Ok};
        op.procedure.run(3);
        op.technician.sendSingle(QStringLiteral("x/1/1/1"));
        QCOMPARE(rig.answers.size(), sentBefore);
        QCOMPARE(s.statusBar().panel(2), refusal);
    };
    QVERIFY(rig.runUntil([&] { return rig.taken(kSale) == 1; }, 20000));
    if (!closed) {
        QVERIFY(s.runState().receiptOpen());
        sentBefore = rig.answers.size();
        op.console.cmdECR_Click(op.panelIndex(QStringLiteral("Contanti")));
        rig.prompter.script = {Prompter::Answer::Ok};
        op.procedure.run(3);
        op.technician.sendSingle(QStringLiteral("x/1/1/1"));
        QCOMPARE(rig.answers.size(), sentBefore);
        QCOMPARE(s.statusBar().panel(2), refusal);
        // A read changes nothing: it goes.
        op.console.ReadTechnicianDisplay();
        QCOMPARE(rig.answers.size(), sentBefore + 1);
        QCOMPARE(rig.answers.last().first, QByteArray("(/"));
        QCOMPARE(rig.prompter.count(refusal), 3);
    } else {
        QVERIFY(tried);
        QVERIFY(rig.runUntil([&] { return rig.taken(kPay) == 1; }, 20000));
        QCOMPARE(rig.prompter.count(refusal), 3); // the read is refused quietly
        QCOMPARE(rig.onPaper(QStringLiteral("REPARTO1")), 1);
        // Once the receipt is closed, the console goes again.
        const qsizetype n = rig.answers.size();
        op.console.cmdECR_Click(op.panelIndex(QStringLiteral("Clear")));
        QVERIFY(rig.answers.size() > n);
    }
    QVERIFY(!s.registerOwner().operatorHolds());
}

// A receipt the API queues goes out as soon as it is queued, not at the
// server's next tick.
void TestStation::apiReceiptGoesOutAtOnce() {
    StationRig rig;
    QVERIFY(rig.station.start());
    QVERIFY(rig.runUntil([&] { return rig.station.startup().ready(); }));
    ReceiptHistory o;
    QCOMPARE(rig.station.receipts().submit(QStringLiteral("k1"), "h1",
                                           {QString::fromLatin1(kSale), QString::fromLatin1(kPay)}, o),
             ReceiptBook::Submit::Accepted);
    QCOMPARE(rig.executed(kSale), 0);
    QCoreApplication::sendPostedEvents();
    QCOMPARE(rig.executed(kPay), 1);
    QCOMPARE(rig.station.receipts().find(ReceiptIdText(o.id))->outcome, OutcomeState::Printed);
}

// Every state of an API receipt is on disk as it is reached, so that its key
// answers after any stop; and ids go on after the highest stored, never
// reusing one (nor the key it was given for).
void TestStation::apiReceiptKeptAtEveryState() {
    StationRig rig;
    testsupport::writeFile(rig.path(OutcomeStore::fileName()),
                           R"({"id":"R7","key":"k7","source":"api","state":"printed","digest":"h7"})"
                           "\n");
    QVERIFY(rig.station.start());
    QVERIFY(rig.runUntil([&] { return rig.station.startup().ready(); }));
    const OutcomeStore &store = rig.station.receipts().store();
    QList<OutcomeState> stored;
    ReceiptHistory o;
    rig.sim.onCommand = [&](const QByteArray &line, const QByteArray &) {
        if (line.startsWith("3/") || line.startsWith("5/"))
            stored.append(store.find(o.id) ? store.find(o.id)->outcome : OutcomeState::Failed);
    };
    QCOMPARE(rig.station.receipts().submit(QStringLiteral("k8"), "h8",
                                           {QString::fromLatin1(kSale), QString::fromLatin1(kPay)}, o),
             ReceiptBook::Submit::Accepted);
    QCOMPARE(o.id, 8u);
    QCOMPARE(store.find(8)->outcome, OutcomeState::Queued);
    QCoreApplication::sendPostedEvents();
    QCOMPARE(stored, (QList<OutcomeState>{OutcomeState::Printing, OutcomeState::Printing}));
    QCOMPARE(store.find(8)->outcome, OutcomeState::Printed);
    QCOMPARE(store.find(8)->receiptNumber, rig.reg.totals().receipts);
    // Asked while it prints, a receipt answers as it stands, with the
    // register's refusal of a line already in (before the void key that
    // refusal brings).
    QVERIFY(rig.fault(QStringLiteral("refuse=08")));
    ReceiptHistory next;
    qsizetype errorsWhilePrinting = -1;
    rig.sim.onCommand = [&](const QByteArray &line, const QByteArray &) {
        if (line == VoidReceiptLine().toLatin1())
            errorsWhilePrinting = rig.station.receipts().find(ReceiptIdText(next.id))->errors.size();
    };
    QCOMPARE(rig.station.receipts().submit(QStringLiteral("k9"), "h9",
                                           {QString::fromLatin1(kSale), QString::fromLatin1(kPay)}, next),
             ReceiptBook::Submit::Accepted);
    QCoreApplication::sendPostedEvents();
    QCOMPARE(errorsWhilePrinting, 1);
}

// A receipt none of whose lines went out is withdrawn, by its sender or by
// its own time limit, and never prints; one already printed stays printed.
void TestStation::apiReceiptWithdrawn_data() {
    QTest::addColumn<bool>("hold");      // the console holds the register meanwhile
    QTest::addColumn<int>("expiresInS"); // 0: none
    QTest::addColumn<bool>("withdraw");
    QTest::addColumn<int>("answer"); // ReceiptBook::Cancel, -1 not asked
    QTest::addColumn<QString>("state");
    QTest::addColumn<QString>("reason");
    using C = ReceiptBook::Cancel;
    QTest::newRow("withdrawn while queued") << true << 0 << true << int(C::Cancelled)
                                            << QStringLiteral("cancelled") << QStringLiteral("cancelled");
    QTest::newRow("expired while queued")
        << true << 10 << false << -1 << QStringLiteral("cancelled") << QStringLiteral("expired");
    QTest::newRow("printed before its time ran out")
        << false << 10 << false << -1 << QStringLiteral("printed") << QString();
    QTest::newRow("withdrawn once printed")
        << false << 0 << true << int(C::Ended) << QStringLiteral("printed") << QString();
}

void TestStation::apiReceiptWithdrawn() {
    QFETCH(bool, hold);
    QFETCH(int, expiresInS);
    QFETCH(bool, withdraw);
    QFETCH(int, answer);
    QFETCH(QString, state);
    QFETCH(QString, reason);
    StationRig rig;
    const QDateTime from = rig.station.session().now();
    rig.station.session().setNow([&rig, from] { return from.addMSecs(rig.clock.nowMs()); });
    QVERIFY(rig.station.start());
    QVERIFY(rig.runUntil([&] { return rig.station.startup().ready(); }));
    RegisterOwner &owner = rig.station.session().registerOwner();
    owner.setDocumentOpen(hold);
    ReceiptBook &book = rig.station.receipts();
    ReceiptHistory o;
    const QDateTime expires = expiresInS > 0 ? rig.station.session().now().addSecs(expiresInS) : QDateTime();
    QCOMPARE(book.submit(ReceiptSource(ReceiptSource::Kind::Request, QStringLiteral("w1"), "hw", expires),
                         {QStringLiteral("3/S/RITIRO//1/1.00/1//"), QString::fromLatin1(kPay)}, o),
             ReceiptBook::Submit::Accepted);
    QCoreApplication::sendPostedEvents();
    const QString id = ReceiptIdText(o.id);
    rig.runUntil([] { return false; }, (expiresInS + 5) * 1000);
    if (withdraw) {
        ReceiptHistory after;
        QCOMPARE(int(book.cancel(id, after)), answer);
        QCOMPARE(OutcomeStateName(after.outcome), state);
    }
    owner.setDocumentOpen(false);
    QVERIFY(rig.runUntil([&] { return IsFinal(book.find(id)->outcome); }));
    rig.runUntil([] { return false; }, 5000);
    const ReceiptHistory r = *book.find(id);
    QCOMPARE(OutcomeStateName(r.outcome), state);
    QCOMPARE(r.reasonCode, reason);
    QCOMPARE(rig.onPaper(QStringLiteral("RITIRO")), state == u"printed" ? 1 : 0);
    // Kept, final, as the store has it after a restart.
    QCOMPARE(OutcomeStateName(rig.station.receipts().store().find(o.id)->outcome), state);
}

// A request never joins a receipt a file left open: that receipt is voided
// first, and the file's outcome says it was left open.
void TestStation::apiReceiptNeverJoinsAFilesReceipt() {
    StationRig rig;
    QVERIFY(rig.station.start());
    QVERIFY(rig.runUntil([&] { return rig.station.startup().ready(); }));
    testsupport::writeFile(rig.path(QStringLiteral("scontrino.txt")),
                           "3/S/DELFILE//1/10.00/1//\r\n5/1/5.00/////\r\n");
    QVERIFY(rig.runUntil([&] { return !QFile::exists(rig.path(QStringLiteral("scontrino.txt"))); }));
    rig.runUntil([] { return false; }, 3000);
    const QList<ReceiptHistory> files = rig.station.receipts().newest(1);
    QCOMPARE(files.size(), 1);
    QCOMPARE(files.first().outcome, OutcomeState::Open);
    QVERIFY(rig.station.receipts().receiptOpen());
    ReceiptHistory o;
    QCOMPARE(rig.station.receipts().submit(
                 QStringLiteral("alone"), "ha",
                 {QStringLiteral("3/S/DELAPI//1/2.00/1//"), QString::fromLatin1(kPay)}, o),
             ReceiptBook::Submit::Accepted);
    QVERIFY(rig.runUntil([&] { return IsFinal(rig.station.receipts().find(ReceiptIdText(o.id))->outcome); }));
    const ReceiptHistory r = *rig.station.receipts().find(ReceiptIdText(o.id));
    QCOMPARE(r.outcome, OutcomeState::Printed);
    QCOMPARE(r.totalCents, std::optional<qint64>(200));
    QCOMPARE(rig.onPaper(QStringLiteral("DELAPI")), 1);
    QCOMPARE(rig.onPaper(QStringLiteral("DELFILE")), 0);
    QCOMPARE(rig.voided(), 1);
    QCOMPARE(rig.station.receipts().find(ReceiptIdText(files.first().id))->outcome, OutcomeState::Open);
}

// A report or a closing asked through the interface carries the day's
// figures read just before it, and a closing says whether it reset them.
void TestStation::reportFigures_data() {
    QTest::addColumn<QString>("document");
    QTest::addColumn<QString>("line");
    QTest::addColumn<int>("reset"); // -1: not said
    QTest::newRow("sales report") << QStringLiteral("sales_report") << QStringLiteral("x/1/1/1/") << -1;
    QTest::newRow("daily closing") << QStringLiteral("daily_closing") << QStringLiteral("x/7/0/0/") << 1;
}

void TestStation::reportFigures() {
    QFETCH(QString, document);
    QFETCH(QString, line);
    QFETCH(int, reset);
    StationRig rig;
    QVERIFY(rig.station.start());
    QVERIFY(rig.runUntil([&] { return rig.station.startup().ready(); }));
    ReceiptBook &book = rig.station.receipts();
    ReceiptHistory sale, report;
    QCOMPARE(book.submit(QStringLiteral("f1"), "h1", {QString::fromLatin1(kSale), QString::fromLatin1(kPay)},
                         sale),
             ReceiptBook::Submit::Accepted);
    QCOMPARE(
        book.submit(ReceiptSource(ReceiptSource::Kind::Request, QStringLiteral("f2"), "h2", {}, {}, document),
                    {line}, report),
        ReceiptBook::Submit::Accepted);
    QVERIFY(rig.runUntil([&] { return IsFinal(book.find(ReceiptIdText(report.id))->outcome); }));
    const ReceiptHistory r = *book.find(ReceiptIdText(report.id));
    QCOMPARE(r.outcome, OutcomeState::Printed);
    QCOMPARE(r.source.document, document);
    QVERIFY(r.figures);
    QCOMPARE(r.figures->receipts, 1);
    QCOMPARE(r.figures->salesCents, std::optional<qint64>(526));
    QCOMPARE(r.figures->vatCents[0], std::optional<qint64>(526));
    QCOMPARE(r.figuresReset.has_value() ? int(*r.figuresReset) : -1, reset);
    QCOMPARE(rig.reg.totals().receipts, reset == 1 ? 0 : 1);
    // As the store keeps it for a later start.
    QCOMPARE(rig.station.receipts().store().find(report.id)->figures, r.figures);
}

// A document composed as the register page composes it closes when the
// register's count says so, whatever key closes it, with the register's
// number and what it came to: a credit note what it added to the returns.
void TestStation::composedDocuments_data() {
    QTest::addColumn<QString>("document");
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<qint64>("total"); // -1: none
    QTest::addColumn<QString>("paper");
    const QList<DocumentItem> items{
        {QStringLiteral("NCITEM"), {}, QStringLiteral("2"), QStringLiteral("1.25"), 1, {}}};
    QTest::newRow("credit note refunded in cash")
        << QStringLiteral("credit_note")
        << ComposeCreditNote({QStringLiteral("77"), QStringLiteral("RIF"), items, 1}).lines << qint64(250)
        << QStringLiteral("CONTANTI");
    QTest::newRow("credit note refunded by card")
        << QStringLiteral("credit_note")
        << ComposeCreditNote({QStringLiteral("78"), QString(), items, 2}).lines << qint64(250)
        << QStringLiteral("ASSEGNI");
    QTest::newRow("receipt with an item discount by amount")
        << QStringLiteral("receipt")
        << ComposeReceipt({{}, items, {}, {{QStringLiteral("0.50"), {}, 0}}, {}, {}, {{1, {}}}}).lines
        << qint64(200) << QStringLiteral("SCONTO");
    QTest::newRow("deposit") << QStringLiteral("cash_in") << ComposeCashIn({QStringLiteral("12.00")}).lines
                             << qint64(-1) << QStringLiteral("VERSAMENTO DI CASSA");
}

void TestStation::composedDocuments() {
    QFETCH(QString, document);
    QFETCH(QStringList, lines);
    QFETCH(qint64, total);
    QFETCH(QString, paper);
    StationRig rig;
    QVERIFY(rig.station.start());
    QVERIFY(rig.runUntil([&] { return rig.station.startup().ready(); }));
    ReceiptBook &book = rig.station.receipts();
    // Twice, one after the other: what the first left on the register's
    // keys does not change the second.
    for (int n = 1; n <= 2; ++n) {
        ReceiptHistory o;
        QCOMPARE(book.submit(
                     ReceiptSource(ReceiptSource::Kind::Request, QString::number(n), "h", {}, {}, document),
                     lines, o),
                 ReceiptBook::Submit::Accepted);
        QVERIFY(rig.runUntil([&] { return IsFinal(book.find(ReceiptIdText(o.id))->outcome); }));
        const ReceiptHistory r = *book.find(ReceiptIdText(o.id));
        QCOMPARE(r.outcome, OutcomeState::Printed);
        QVERIFY(r.errors.isEmpty());
        QCOMPARE(r.totalCents.value_or(-1), total);
        QCOMPARE(r.receiptNumber, total < 0 ? -1 : n);
        const QStringList documents = rig.reg.paper().documents();
        QCOMPARE(documents.size(), n);
        QVERIFY2(documents.last().contains(paper), qPrintable(documents.last()));
    }
    QCOMPARE(rig.voided(), 0);
    QVERIFY(!rig.reg.receiptOpen());
}

// The automatic daily closing, on the virtual clock: not before its time,
// retried after the register refused it, once a day, never again after a
// restart the same day, and the next day again.
void TestStation::automaticClosing() {
    StationRig rig("ServerStato=On\nServerFile=scontrino.txt\nChiusuraAutomatica=22:00\n");
    QDateTime now(QDate(2026, 12, 7), QTime(21, 59));
    rig.station.session().setNow([&now] { return now; });
    QVERIFY(rig.station.start());
    QVERIFY(rig.runUntil([&] { return rig.station.startup().ready(); }));
    ReceiptBook &book = rig.station.receipts();
    const auto sell = [&](const QString &key) {
        ReceiptHistory o;
        return book.submit(key, "h", {QString::fromLatin1(kSale), QString::fromLatin1(kPay)}, o) ==
                   ReceiptBook::Submit::Accepted &&
               rig.runUntil([&] { return IsFinal(book.find(ReceiptIdText(o.id))->outcome); });
    };
    const auto closings = [&] {
        return int(rig.reg.paper().documents().filter(QStringLiteral("CHIUSURA GIORNALIERA")).size());
    };
    const auto idleFor = [&](int ms) { rig.runUntil([] { return false; }, ms); };
    QVERIFY(sell(QStringLiteral("s1")));
    idleFor(5000);
    QCOMPARE(closings(), 0);
    QVERIFY(!rig.station.autoClosing().today().done);

    // Its time: the register refuses it first, then it is tried again.
    QVERIFY(rig.fault(QStringLiteral("refuse=14*3")));
    now.setTime(QTime(22, 0, 30));
    QVERIFY(rig.runUntil([&] { return !rig.station.autoClosing().today().problem.isEmpty(); }));
    QCOMPARE(closings(), 0);
    QVERIFY(
        rig.station.session().statusBar().panel(2).contains(QStringLiteral("nuovo tentativo alle 22:05")));
    now.setTime(QTime(22, 5, 30));
    QVERIFY(rig.runUntil([&] { return rig.station.autoClosing().today().done; }));
    QCOMPARE(closings(), 1);
    QCOMPARE(rig.reg.totals().receipts, 0);

    // Later that day, a sale: no second closing.
    QVERIFY(sell(QStringLiteral("s2")));
    now.setTime(QTime(23, 0));
    idleFor(10000);
    QCOMPARE(closings(), 1);

    // A restart the same day finds the day's closing made.
    rig.station.stop();
    Station again(rig.port, rig.clock, rig.prompter, {});
    again.session().settings().setProgramDir(rig.home.path());
    again.session().setNow([&now] { return now; });
    QVERIFY(again.start());
    const auto run = [&](int seconds) {
        for (int i = 0; i < seconds; ++i) {
            rig.clock.advance(Station::kCheckMs);
            again.startup().checkNow();
            again.printServer().TimerSRV_Timer();
        }
    };
    run(30);
    QVERIFY(again.startup().ready());
    QVERIFY(again.autoClosing().today().done);
    QCOMPARE(closings(), 1);
    // The next day at its time, the day's sale is closed.
    now = QDateTime(QDate(2026, 12, 8), QTime(22, 1));
    run(30);
    QCOMPARE(closings(), 2);
    QCOMPARE(rig.reg.totals().receipts, 0);
}

// The till's registers: each station announces itself in the shared folder
// and any of them lists them all; one that stops, one of a process gone and
// a file that is no entry are not listed.
void TestStation::tillRegisters() {
    QTemporaryDir shared;
    const QString folder = shared.filePath(QStringLiteral("registers"));
    StationRig bar, room;
    for (StationRig *rig : {&bar, &room}) {
        rig->station.directory() = RegisterDirectory(folder);
        QVERIFY(rig->station.start());
        QVERIFY(rig->runUntil([&] { return rig->station.startup().ready(); }));
        rig->station.startup().checkNow();
    }
    testsupport::writeFile(folder + QStringLiteral("/gone.json"),
                           R"({"name":"gone","address":"127.0.0.1","port":9999,"pid":999999999})");
    testsupport::writeFile(folder + QStringLiteral("/junk.json"), "not json at all");
    const auto listed = [](StationRig &rig) {
        const quint16 port = rig.station.api().port();
        return testsupport::HttpProbe::ask(port, "GET /api/v1/registers HTTP/1.1\r\nHost: 127.0.0.1:" +
                                                     QByteArray::number(port) + "\r\n\r\n")
            .json()
            .value(QStringLiteral("registers"))
            .toArray();
    };
    const QJsonArray both = listed(room);
    QCOMPARE(both.size(), 2);
    QStringList names;
    for (const QJsonValue r : both) {
        names << r[QStringLiteral("name")].toString();
        QCOMPARE(r[QStringLiteral("serial")].toString(), QStringLiteral("NV00012345"));
        QVERIFY(r[QStringLiteral("online")].toBool());
        const bool mine = r[QStringLiteral("port")].toInt() == room.station.api().port();
        QCOMPARE(r[QStringLiteral("self")].toBool(), mine);
        QCOMPARE(r[QStringLiteral("url")].toString(),
                 QStringLiteral("http://127.0.0.1:%1/").arg(r[QStringLiteral("port")].toInt()));
    }
    QVERIFY(names.contains(bar.station.instanceName()) && names.contains(room.station.instanceName()));
    bar.station.stop();
    const QJsonArray one = listed(room);
    QCOMPARE(one.size(), 1);
    QCOMPARE(one.at(0)[QStringLiteral("name")].toString(), room.station.instanceName());
}

// One more register's home, as norvvelm-cmd --new-register makes it: its
// own port device, receipt folder, API port and key; refused for a name
// that is not one, one that exists, or no example to start from.
void TestStation::newRegisterInstance_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("device");
    QTest::addColumn<bool>("example");
    QTest::addColumn<QString>("error"); // a part of it; empty: made
    QTest::newRow("made") << QStringLiteral("sala") << QStringLiteral("/dev/ttyUSB1") << true << QString();
    QTest::newRow("over the network")
        << QStringLiteral("retro") << QStringLiteral("tcp://192.168.1.50:4001") << true << QString();
    QTest::newRow("a name with a slash") << QStringLiteral("../etc") << QStringLiteral("/dev/ttyS0") << true
                                         << QStringLiteral("nome non valido");
    QTest::newRow("the name of one made")
        << QStringLiteral("bar") << QStringLiteral("/dev/ttyS0") << true << QStringLiteral("esiste gi\u00e0");
    QTest::newRow("no device") << QStringLiteral("cucina") << QString() << true << QStringLiteral("--port");
    QTest::newRow("a network device without an address")
        << QStringLiteral("cucina") << QStringLiteral("tcp://cassa.lan:4001") << true
        << QStringLiteral("indirizzo del dispositivo non valido");
    QTest::newRow("no example") << QStringLiteral("cucina") << QStringLiteral("/dev/ttyS0") << false
                                << QStringLiteral("esempio non leggibile");
}

void TestStation::newRegisterInstance() {
    QFETCH(QString, name);
    QFETCH(QString, device);
    QFETCH(bool, example);
    QFETCH(QString, error);
    QTemporaryDir root;
    NewRegister wanted{QStringLiteral("bar"),
                       QStringLiteral("/dev/ttyS0"),
                       root.filePath(QStringLiteral("lib")),
                       root.filePath(QStringLiteral("spool")),
                       QStringLiteral(NORVVELM_SOURCE_DIR "/packaging/examples/NorvVelm.ini"),
                       root.filePath(QStringLiteral("units"))};
    const NewRegisterResult first = CreateRegisterInstance(wanted);
    QVERIFY2(first.ok(), qPrintable(first.error));
    wanted.name = name;
    wanted.device = device;
    if (!example)
        wanted.templateIni = root.filePath(QStringLiteral("none.ini"));
    const NewRegisterResult made = CreateRegisterInstance(wanted);
    if (!error.isEmpty()) {
        QVERIFY2(made.error.contains(error), qPrintable(made.error));
        QVERIFY(!QFile::exists(root.filePath(QStringLiteral("lib/etc"))));
        return;
    }
    QVERIFY2(made.ok(), qPrintable(made.error));
    QVERIFY(made.apiPort != first.apiPort);
    // A station of that home reads it so.
    StationRig rig;
    rig.station.session().settings().setProgramDir(made.home);
    QVERIFY(rig.station.loadConfiguration());
    const PcConfig &cfg = rig.station.session().settings().config();
    QCOMPARE(cfg.ApiPorta, made.apiPort);
    QCOMPARE(QDir(cfg.ServerDir).absolutePath(),
             QDir(root.filePath(QStringLiteral("spool/") + name)).absolutePath());
    QVERIFY(QFileInfo(cfg.ServerDir).isDir());
    QCOMPARE(PortDevice(cfg.IniPath, cfg.Porta), device);
    QCOMPARE(ApiToken::read(made.home).size(), 64);
    // A register on the network (made as root, as the package's user does):
    // its address, and no other, let through the sandbox.
    if (::geteuid() != 0)
        return;
    const QString dropIn =
        root.filePath(QStringLiteral("units/norvvelmd@") + name + QStringLiteral(".service.d/register.conf"));
    QCOMPARE(made.dropIn, device.startsWith(u"tcp") ? dropIn : QString());
    if (!made.dropIn.isEmpty())
        QVERIFY(testsupport::readFile(dropIn).endsWith("[Service]\nIPAddressAllow=192.168.1.50\n"));
}

// An address the interface cannot listen on is said on the status bar, and
// the print server goes on without it.
void TestStation::apiAddressThatCannotOpen() {
    StationRig rig("ServerStato=On\nServerFile=scontrino.txt\nApiIndirizzo=192.0.2.1\n");
    QSignalSpy panels(&rig.station.session().statusBar(), &StatusBar::panelChanged);
    QVERIFY(rig.station.start());
    QVERIFY(!rig.station.api().isListening());
    QVERIFY(panels.contains(QVariantList{1, QStringLiteral("API non disponibile")}));
    bool said = false;
    for (const QVariantList &p : std::as_const(panels))
        said = said || p.at(1).toString().startsWith(
                           QStringLiteral("Impossibile aprire 192.0.2.1 porta 0 per l'API: "));
    QVERIFY(said);
    testsupport::writeFile(rig.path(QStringLiteral("scontrino.txt")), kReceipt);
    QVERIFY(rig.runUntil([&] { return rig.taken(kPay) == 1; }));
}

void TestStation::apiStatusSaysWhy_data() {
    QTest::addColumn<QString>("situation");
    QTest::addColumn<bool>("online");
    QTest::addColumn<QString>("why"); // offline_reason.code; empty: null
    QTest::addColumn<bool>("receiptOpen");
    QTest::newRow("identified and free") << QStringLiteral("free") << true << QString() << false;
    QTest::newRow("switched off") << QStringLiteral("off") << false << QStringLiteral("no_answer") << false;
    QTest::newRow("its port does not open")
        << QStringLiteral("no port") << false << QStringLiteral("port_closed") << false;
    QTest::newRow("a file's receipt left open") << QStringLiteral("left open") << true << QString() << true;
    QTest::newRow("an invoice open on the console")
        << QStringLiteral("invoice") << true << QStringLiteral("operator_holds") << true;
    QTest::newRow("a sequence of the operator's")
        << QStringLiteral("sequence") << true << QStringLiteral("operator_holds") << false;
    QTest::newRow("the journal cannot be written")
        << QStringLiteral("journal") << true << QStringLiteral("journal_unwritable") << false;
}

// What the status tells a till's program: whether the register takes the
// queue's lines now and, when not, why; whether a receipt is open on it.
void TestStation::apiStatusSaysWhy() {
    QFETCH(QString, situation);
    QFETCH(bool, online);
    QFETCH(QString, why);
    QFETCH(bool, receiptOpen);
    StationRig rig;
    rig.port.refuseOpen = situation == u"no port";
    Session &s = rig.station.session();
    if (situation == u"off")
        QVERIFY(rig.fault(QStringLiteral("enq:silent*100")));
    rig.station.setJournalWriteFault([&] { return situation == u"journal"; });
    QVERIFY(rig.station.start());
    QVERIFY(rig.station.api().isListening());
    if (situation == u"left open") {
        testsupport::writeFile(rig.path(QStringLiteral("scontrino.txt")), kSale + "\r\n");
        QVERIFY(rig.runUntil([&] { return rig.taken(kSale) == 1 && s.runState().queue().isEmpty(); }));
    }
    if (situation == u"invoice")
        s.registerOwner().setDocumentOpen(true);
    std::optional<RegisterLease> lease;
    if (situation == u"sequence")
        lease.emplace(s, RegisterOwner::Use::Changes);
    const quint16 port = rig.station.api().port();
    const testsupport::HttpAnswer a = testsupport::HttpProbe::ask(
        port, "GET /api/v1/status HTTP/1.1\r\nHost: 127.0.0.1:" + QByteArray::number(port) + "\r\n\r\n");
    QCOMPARE(a.status, 200);
    const QJsonObject reg = a.json().value(QStringLiteral("register")).toObject();
    QCOMPARE(reg.value(QStringLiteral("online")).toBool(), online);
    QCOMPARE(reg.value(QStringLiteral("receipt_open")).toBool(), receiptOpen);
    const QJsonValue reason = reg.value(QStringLiteral("offline_reason"));
    QCOMPARE(reason[QStringLiteral("code")].toString(), why);
    QCOMPARE(reason.isNull(), why.isEmpty());
    // Said in the words the station says it with.
    if (!why.isEmpty())
        QVERIFY2(!reason[QStringLiteral("message")].toString().isEmpty(), a.body.constData());
    if (situation == u"no port")
        QVERIFY2(reason[QStringLiteral("message")].toString().contains(QStringLiteral("/dev/sim3")),
                 a.body.constData());
    if (situation == u"journal")
        QCOMPARE(reason[QStringLiteral("message")].toString(), s.runState().journalProblem());
    // The register refuses its daily closing while a receipt is open: the
    // interface refuses it before queueing.
    if (receiptOpen) {
        const QByteArray body = R"({"kind": "daily_closing"})";
        const testsupport::HttpAnswer z = testsupport::HttpProbe::ask(
            port, "POST /api/v1/documents HTTP/1.1\r\nHost: 127.0.0.1:" + QByteArray::number(port) +
                      "\r\nAuthorization: Bearer " +
                      testsupport::readFile(rig.path(QStringLiteral("NorvVelm.token"))).trimmed() +
                      "\r\nIdempotency-Key: z\r\nContent-Type: application/json\r\nContent-Length: " +
                      QByteArray::number(body.size()) + "\r\n\r\n" + body);
        QCOMPARE(z.status, 409);
        QCOMPARE(z.json()[QStringLiteral("error")][QStringLiteral("code")].toString(),
                 QStringLiteral("receipt_open"));
        QCOMPARE(rig.executed("x/7/0/0/"), 0);
    }
}

void TestStation::apiRawLines_data() {
    QTest::addColumn<QString>("situation");
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<int>("status");
    // The refusal's code, and after an "@" the field it names; empty for 200.
    QTest::addColumn<QString>("code");
    QTest::addColumn<QStringList>("sent");    // the lines the register took from the request
    QTest::addColumn<int>("stoppedAt");       // the line it stopped at; -1: none
    QTest::addColumn<bool>("rawReceiptOpen"); // a receipt of raw lines holds the register after
    const QString free = QStringLiteral("free");
    QTest::newRow("status and totals read")
        << free << QByteArray(R"({"lines": ["?/", "0"]})") << 200 << QString()
        << QStringList{QStringLiteral("?/"), QStringLiteral("0/")} << -1 << false;
    QTest::newRow("a receipt rung up and paid")
        << free << QByteArray(R"({"lines": ["3/S/GREZZA//1/1.00/1//", "5/1/0.00/////"]})") << 200 << QString()
        << QStringList{QStringLiteral("3/S/GREZZA//1/1.00/1//"), QStringLiteral("5/1/0.00/////")} << -1
        << false;
    QTest::newRow("a receipt left open holds the register")
        << free << QByteArray(R"({"lines": ["3/S/GREZZA//1/1.00/1//"]})") << 200 << QString()
        << QStringList{QStringLiteral("3/S/GREZZA//1/1.00/1//")} << -1 << true;
    QTest::newRow("stops at the line the register refuses")
        << free << QByteArray(R"({"lines": ["?/", "zz/", "0/"]})") << 200 << QString()
        << QStringList{QStringLiteral("?/"), QStringLiteral("zz/")} << 1 << false;
    QTest::newRow("the register stops answering")
        << QStringLiteral("silent after one") << QByteArray(R"({"lines": ["?/", "?/", "0/"]})") << 200
        << QString() << QStringList{QStringLiteral("?/")} << 1 << false;
    // The receipt the raw lines opened is theirs to close, a receipt queued
    // meanwhile waiting for it.
    QTest::newRow("a receipt of raw lines closed, one queued behind it")
        << QStringLiteral("raw receipt, one queued") << QByteArray(R"({"lines": ["5/1/0.00/////"]})") << 200
        << QString() << QStringList{QStringLiteral("5/1/0.00/////")} << -1 << false;
    // Refused before anything is sent.
    QTest::newRow("not allowed by the technician")
        << QStringLiteral("disabled") << QByteArray(R"({"lines": ["?/"]})") << 403
        << QStringLiteral("raw_disabled") << QStringList() << -1 << false;
    QTest::newRow("no key") << QStringLiteral("no key") << QByteArray(R"({"lines": ["?/"]})") << 401
                            << QStringLiteral("unauthorized") << QStringList() << -1 << false;
    QTest::newRow("as plain text") << QStringLiteral("text") << QByteArray("?/\r\n") << 415
                                   << QStringLiteral("unsupported_media_type") << QStringList() << -1
                                   << false;
    QTest::newRow("bad JSON") << free << QByteArray(R"({"lines": ["?/",]})") << 400
                              << QStringLiteral("body_invalid") << QStringList() << -1 << false;
    QByteArray many = R"({"lines": ["?/")";
    for (int i = 0; i < 50; ++i)
        many += R"(, "?/")";
    QTest::newRow("51 lines") << free << QByteArray(many + "]}") << 400
                              << QStringLiteral("field_invalid@lines") << QStringList() << -1 << false;
    QTest::newRow("no line") << free << QByteArray(R"({"lines": []})") << 400
                             << QStringLiteral("field_invalid@lines") << QStringList() << -1 << false;
    QTest::newRow("a control character")
        << free << QByteArray(R"({"lines": ["?/", "3/S/A\u001b//1/1/1//"]})") << 400
        << QStringLiteral("field_invalid@lines[1]") << QStringList() << -1 << false;
    QTest::newRow("a line too long") << free
                                     << QByteArray(R"({"lines": ["7/1/0/)" + QByteArray(2100, 'A') + "\"]}")
                                     << 400 << QStringLiteral("field_invalid@lines[0]") << QStringList() << -1
                                     << false;
    QTest::newRow("a character the register cannot take")
        << free << QByteArray(R"({"lines": ["7/1/0/\u2615/"]})") << 400
        << QStringLiteral("field_invalid@lines[0]") << QStringList() << -1 << false;
    QTest::newRow("a blank line") << free << QByteArray(R"({"lines": ["?/", "  "]})") << 400
                                  << QStringLiteral("field_invalid@lines[1]") << QStringList() << -1 << false;
    QTest::newRow("a line that is no text")
        << free << QByteArray(R"({"lines": [7]})") << 400 << QStringLiteral("field_invalid@lines[0]")
        << QStringList() << -1 << false;
    QTest::newRow("a field beside lines")
        << free << QByteArray(R"({"lines": ["?/"], "wait": 1})") << 400
        << QStringLiteral("field_invalid@wait") << QStringList() << -1 << false;
    // Never between the queue's lines, nor inside another sequence.
    QTest::newRow("a file's receipt left open")
        << QStringLiteral("left open") << QByteArray(R"({"lines": ["?/"]})") << 409
        << QStringLiteral("register_busy") << QStringList() << -1 << false;
    QTest::newRow("an invoice open on the console")
        << QStringLiteral("invoice") << QByteArray(R"({"lines": ["?/"]})") << 409
        << QStringLiteral("register_busy") << QStringList() << -1 << false;
    QTest::newRow("a sequence of the operator's")
        << QStringLiteral("sequence") << QByteArray(R"({"lines": ["?/"]})") << 409
        << QStringLiteral("register_busy") << QStringList() << -1 << false;
    QTest::newRow("the register switched off")
        << QStringLiteral("off") << QByteArray(R"({"lines": ["?/"]})") << 503
        << QStringLiteral("register_unreachable") << QStringList() << -1 << false;
}

// The technician's raw lines over the interface: sent in order as the
// technician's page sends them, each with the register's answer as it
// came, up to the first it refuses; refused whole, with nothing sent, when
// the technician did not allow them, when the body is at fault, and while
// the register is busy with other work or out of reach.
void TestStation::apiRawLines() {
    QFETCH(QString, situation);
    QFETCH(QByteArray, body);
    QFETCH(int, status);
    QFETCH(QString, code);
    QFETCH(QStringList, sent);
    QFETCH(int, stoppedAt);
    QFETCH(bool, rawReceiptOpen);
    StationRig rig(situation == u"disabled"
                       ? "ServerStato=On\nServerFile=scontrino.txt\n"
                       : "ServerStato=On\nServerFile=scontrino.txt\nApiRigheDirette=On\n");
    Session &s = rig.station.session();
    if (situation == u"off")
        QVERIFY(rig.fault(QStringLiteral("enq:silent*100")));
    QVERIFY(rig.station.start());
    if (situation != u"off")
        QVERIFY(rig.runUntil([&] { return rig.station.startup().ready(); }));
    if (situation == u"left open") {
        testsupport::writeFile(rig.path(QStringLiteral("scontrino.txt")), kSale + "\r\n");
        QVERIFY(rig.runUntil([&] { return rig.taken(kSale) == 1 && s.runState().queue().isEmpty(); }));
    }
    if (situation == u"invoice")
        s.registerOwner().setDocumentOpen(true);
    std::optional<RegisterLease> lease;
    if (situation == u"sequence")
        lease.emplace(s, RegisterOwner::Use::Changes);
    const quint16 port = rig.station.api().port();
    QList<QByteArray> headers{situation == u"text" ? "Content-Type: text/plain"
                                                   : "Content-Type: application/json"};
    if (situation != u"no key")
        headers << "Authorization: Bearer " + rig.station.api().token();
    const auto post = [&](const QByteArray &lines) {
        return testsupport::HttpProbe::ask(
            port, testsupport::HttpProbe::request("POST", "/api/v1/raw", port, headers, lines));
    };
    ReceiptHistory queued;
    if (situation == u"raw receipt, one queued") {
        const QByteArray sale = R"({"lines": ["3/S/GREZZA//1/1.00/1//"]})";
        QCOMPARE(post(sale).status, 200);
        QCOMPARE(rig.station.receipts().submit(
                     QStringLiteral("dopo"), "hd",
                     {QStringLiteral("3/S/INCODA//1/2.00/1//"), QString::fromLatin1(kPay)}, queued),
                 ReceiptBook::Submit::Accepted);
        rig.runUntil([] { return false; }, 3000);
        QCOMPARE(rig.executed("3/S/INCODA//1/2.00/1//"), 0); // it waits for the raw lines' receipt
    }
    const qsizetype before = rig.answers.size();
    if (situation == u"silent after one")
        rig.sim.onCommand = [&](const QByteArray &line, const QByteArray &answer) {
            rig.answers.append({line, answer});
            QVERIFY(rig.fault(QStringLiteral("enq:silent*100")));
        };
    const testsupport::HttpAnswer a = post(body);
    QCOMPARE(a.status, status);
    // What the register took from the request; after it only the queue's
    // receipt that waited for it, once it let go.
    QStringList taken;
    for (qsizetype i = before; i < rig.answers.size(); ++i)
        taken << QString::fromLatin1(rig.answers.at(i).first);
    QCOMPARE(taken.mid(0, queued.id != 0 ? sent.size() : taken.size()), sent);
    static const testsupport::OpenApiCheck document(QStringLiteral(NORVVELM_SOURCE_DIR "/docs/api.md"));
    QCOMPARE(document.check(QStringLiteral("/api/v1/raw"), QStringLiteral("post"), a.status, a.body),
             QString());
    if (status == 200) {
        const QJsonArray answers = a.json().value(QStringLiteral("answers")).toArray();
        QCOMPARE(answers.size(), stoppedAt < 0 ? sent.size() : stoppedAt + 1);
        for (qsizetype i = 0; i < answers.size(); ++i) {
            const QJsonObject e = answers.at(i).toObject();
            // Each line as sent, its final "/" added.
            QCOMPARE(e.value(QStringLiteral("line")).toString(),
                     CommandFileLine(QJsonDocument::fromJson(body)[QStringLiteral("lines")][i].toString()));
            const QString error = e.value(QStringLiteral("error")).toString();
            if (i >= sent.size()) {
                // Sent, never answered: the link's own words say so.
                QCOMPARE(error, QStringLiteral("no_answer"));
                QVERIFY(e.value(QStringLiteral("answer")).isNull());
                QVERIFY(
                    e.value(QStringLiteral("message")).toString().contains(QStringLiteral("Comunicazione")));
                continue;
            }
            // The register's answer as it came, and its code when it refused.
            const QString answer = QString::fromLatin1(rig.answers.at(before + i).second);
            QCOMPARE(e.value(QStringLiteral("answer")).toString(), answer);
            QCOMPARE(error, i == stoppedAt ? AnswerErrorCode(answer) : QString());
            QCOMPARE(e.value(QStringLiteral("message")).isNull(), i != stoppedAt);
        }
        QCOMPARE(a.json().value(QStringLiteral("stopped_at")).toInt(-1), stoppedAt);
    } else {
        static const QString doc =
            QString::fromUtf8(testsupport::readFile(NORVVELM_SOURCE_DIR "/docs/api.md"));
        const QJsonObject e = a.json().value(QStringLiteral("error")).toObject();
        QCOMPARE(e.value(QStringLiteral("code")).toString(), code.section(u'@', 0, 0));
        QCOMPARE(e.value(QStringLiteral("field")).toString(), code.section(u'@', 1));
        QVERIFY2(doc.contains(u"| `" + code.section(u'@', 0, 0) + u"` |"), qPrintable(code));
    }
    QCOMPARE(s.registerOwner().rawReceiptOpen(), rawReceiptOpen);
    QCOMPARE(rig.reg.receiptOpen(), rawReceiptOpen || situation == u"left open");
    // A receipt of raw lines is printed as the register printed it.
    QCOMPARE(rig.onPaper(QStringLiteral("GREZZA")), int(sent.contains(QStringLiteral("5/1/0.00/////"))));
    lease.reset();
    QVERIFY(!s.registerOwner().sequenceUnderWay());
    if (queued.id != 0) {
        // Once the raw lines let go, the receipt that waited prints whole.
        QVERIFY(rig.runUntil(
            [&] { return IsFinal(rig.station.receipts().find(ReceiptIdText(queued.id))->outcome); }));
        QCOMPARE(rig.onPaper(QStringLiteral("INCODA")), 1);
    }
}

QTEST_GUILESS_MAIN(TestStation)
#include "tst_station.moc"
