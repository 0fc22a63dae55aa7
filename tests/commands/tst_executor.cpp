// The command executor against the simulated register, in virtual time.

#include "support/ConfigEdit.h"
#include "support/ExecutorRig.h"
#include "support/TestFiles.h"

#include "api/ReceiptReader.h"

#include <QFileInfo>
#include <QRandomGenerator>
#include <QTest>

#include <csignal>

#ifdef Q_OS_UNIX
#include <sys/resource.h>
#endif

using namespace norvvelm;

namespace {
const QString kSale = QStringLiteral("3/S/REPARTO1//1/5.26/1/4/");
const QString kPay = QStringLiteral("5/1/0.00/////");
} // namespace

class TestExecutor : public QObject {
    Q_OBJECT
private slots:
    void receiptRules();
    void oneJudgeOfEveryLine();
    void staysOpenWhenPaymentRefused();
    void lineRewrites();
    void nakRepeatsThenDrops();
    void busyRepeatsThenWaitsForLater();
    void refusedGoesOn();
    void paperStatusRepeats();
    void paperOutWaitsForOperator();
    void seriousFaultDropsQueue();
    void unreachableKeepsQueue();
    void lostAnswer_data();
    void lostAnswer();
    void receiptGivenUpAfterResends();
    void receiptOutcome_data();
    void receiptOutcome();
    void totalsBetweenReceipts_data();
    void totalsBetweenReceipts();
    void journalKeepsTheQueue();
    void journalRecords_data();
    void journalRecords();
    void dailyReport_data();
    void dailyReport();
    void stopRequestKeepsLine();
    void nestedRequestNeverInterleaves();
};

void TestExecutor::receiptRules() {
    ExecutorRig rig;
    rig.queue({QStringLiteral("   "), kSale, QStringLiteral("x/7/0/0/"), QStringLiteral("w/1/1//"), kPay,
               QStringLiteral("+/"), QStringLiteral("x/7/0/0/"), QStringLiteral(")/120/"),
               QStringLiteral(")/5"), QStringLiteral("b/1/"), QStringLiteral("7/1/1/after/")});
    rig.executor.ExecuteReceiptQueue();
    QCOMPARE(rig.sent(), (QStringList{kSale, "w/1/1//", kPay, "x/7/0/0/", ")/120/", ")/5/"}));
    // "b/" is not handled: the executor stops there and the rest waits.
    QCOMPARE(rig.session.runState().queue(), QStringList{"7/1/1/after/"});
    const QStringList m = rig.monitorInOrder();
    QCOMPARE(m.first(), QStringLiteral("PC -> ECR :    "));
    QVERIFY(m.contains(QStringLiteral("ECR        : Comando non gestito con scontrino aperto")));
    QVERIFY(m.contains(QStringLiteral("ECR        : Scontrino non aperto")));
    QCOMPARE(m.last(), QStringLiteral("ECR        : Comando b/ non gestito."));
    const QStringList log = rig.logLines();
    QVERIFY(log.size() >= 2);
    QVERIFY(log.at(1).mid(22, 50).startsWith(QStringLiteral("x/7/0/0/")));
    QVERIFY(
        log.at(1).mid(75).startsWith(QStringLiteral("\"x/\" - Comando non gestito con scontrino aperto !")));
    QVERIFY(log.last().mid(75).startsWith(QStringLiteral("\"b/\" - Comando non gestito !")));
    for (const QString &l : log)
        QCOMPARE(l.size(), 225);
    QVERIFY(!rig.session.runState().receiptOpen());

    // A line without its slash gets one before its code is taken.
    rig.queue({QStringLiteral("?")});
    rig.executor.ExecuteReceiptQueue();
    QCOMPARE(rig.session.monitor().lines().first(), QStringLiteral("ECR        : Comando ?/ non gestito."));
}

// The interface's check before it queues a receipt and the executor taking
// its lines are one judge: whatever text the interface accepts, the executor
// sends every line of, and whatever it refuses, the executor does not.
void TestExecutor::oneJudgeOfEveryLine() {
    const QStringList kinds{kSale,
                            kPay,
                            QStringLiteral("7/1/0/testo/"),
                            QStringLiteral("+/"),
                            QStringLiteral("x/1/1/1/"),
                            QStringLiteral(")/5/"),
                            QStringLiteral(")/28/"),
                            QStringLiteral(")/120/"),
                            QStringLiteral("t0/"),
                            QStringLiteral("Z/"),
                            QStringLiteral("j/a/b/"),
                            QStringLiteral("0/"),
                            QStringLiteral("U/1/"),
                            QStringLiteral("6/1/"),
                            QStringLiteral("  ")};
    QRandomGenerator rng(20261209);
    for (int round = 0; round < 400; ++round) {
        QStringList lines;
        for (int i = 0, n = 1 + int(rng.bounded(5)); i < n; ++i) {
            QString line = kinds.at(int(rng.bounded(int(kinds.size()))));
            if (rng.bounded(4) == 0) // near the longest line, with or without its "/"
                line = line.left(2) + QString(kMaxLineChars - 4 + int(rng.bounded(5)), u'A') + u'/';
            if (rng.bounded(3) == 0 && line.endsWith(u'/'))
                line.chop(1);
            if (rng.bounded(12) == 0)
                line.insert(int(rng.bounded(int(line.size()) + 1)), QChar(char16_t(rng.bounded(0x20))));
            lines.append(line);
        }
        const QString body = lines.join(QStringLiteral("\r\n"));
        const ReceiptReading reading = ReadReceiptText(body.toUtf8());
        if (reading.error == QStringLiteral("nessuna riga da stampare"))
            continue;
        ExecutorRig rig;
        quint64 id = 0;
        // As the receipt folder would take the same text.
        QVERIFY(rig.executor.enqueue(SplitReceiptLines(body), {}, {}, &id));
        rig.executor.ExecuteReceiptQueue();
        const QueuedReceipt *r = rig.executor.state().find(id);
        QVERIFY(r);
        const bool sentWhole = rig.session.runState().queue().isEmpty() && r->errors.isEmpty();
        QVERIFY2(sentWhole == reading.ok(), qPrintable(lines.join(u'|').left(300) + u' ' + reading.error));
    }
}

// A file's payment the register refuses leaves its receipt open, as the
// register holds it: the next file's payment closes it.
void TestExecutor::staysOpenWhenPaymentRefused() {
    ExecutorRig rig;
    rig.queue({kSale});
    rig.executor.ExecuteReceiptQueue();
    QVERIFY(rig.session.runState().receiptOpen());
    QVERIFY(rig.fault(QStringLiteral("answer:text=15/00/00/0/")));
    rig.queue({kPay});
    rig.executor.ExecuteReceiptQueue();
    QVERIFY(rig.session.runState().receiptOpen());
    QCOMPARE(rig.session.monitor().lines().first(),
             QStringLiteral("ECR-errore :21-Comando '5/' - Errore N. 21 Ignoro l'errore"));
}

void TestExecutor::lineRewrites() {
    ExecutorRig rig;
    testsupport::editConfig(rig.session, [](norvvelm::PcConfig &c) {
        c.WrapDescription = true;
        c.AlIvaAuto = true;
        c.DescrWidth1 = 10;
        c.DescrWidth2 = 0;
    });
    norvvelm::VatTable vat = rig.session.settings().vatTable();
    vat[1] = 10;
    rig.session.settings().setVatTable(vat);
    rig.queue({QStringLiteral("3/S/ABCDEFGHIJKLMNO/X/1/5.26/2/4/"), QStringLiteral("j/A/B/C/0/")});
    rig.executor.ExecuteReceiptQueue();
    QCOMPARE(rig.sent(), (QStringList{"3/S/ABCDEFGHIJ/KLMNO-X/1/5.26/2/10/", "j/A/B/C///////0/"}));
    // The monitor shows the line as it was read.
    QVERIFY(rig.session.monitor().lines().contains(
        QStringLiteral("PC -> ECR : 3/S/ABCDEFGHIJKLMNO/X/1/5.26/2/4/")));
}

void TestExecutor::nakRepeatsThenDrops() {
    {
        ExecutorRig rig;
        QVERIFY(rig.fault(QStringLiteral("frame:nak*2")));
        rig.queue({kSale});
        rig.executor.ExecuteReceiptQueue();
        QCOMPARE(rig.sent(), QStringList{kSale});
        QCOMPARE(rig.sim.enquiries(), 3);
        QVERIFY(rig.clock.nowMs() >= 2000 && rig.clock.nowMs() < 2200);
    }
    {
        ExecutorRig rig;
        QVERIFY(rig.fault(QStringLiteral("frame:nak*11")));
        rig.queue({kSale, kPay});
        rig.executor.ExecuteReceiptQueue();
        QCOMPARE(rig.sent(), QStringList{kPay});
        QCOMPARE(rig.sim.nakToFrames(), 11);
        QCOMPARE(rig.prompter.shown.size(), 1);
        QVERIFY(rig.prompter.shown[0].text.contains(QStringLiteral("NAK")));
        QVERIFY(rig.logLines().first().contains(QStringLiteral("NAK")));
    }
}

void TestExecutor::busyRepeatsThenWaitsForLater() {
    {
        ExecutorRig rig;
        QVERIFY(rig.fault(QStringLiteral("answer:text=1A/00/00/0/*3")));
        rig.queue({kSale});
        rig.executor.ExecuteReceiptQueue();
        QCOMPARE(rig.sent().size(), 4);
        QCOMPARE(rig.monitorInOrder().at(1),
                 QStringLiteral("ECR-errore :26-Comando '3/' - Errore N. 26 Ripeto comando"));
        // The busy message ends in 26: it never reaches the log.
        QCOMPARE(rig.logLines().size(), 1);
        QVERIFY(rig.session.runState().queue().isEmpty());
    }
    {
        ExecutorRig rig;
        ExecutorLimits limits = rig.executor.limits();
        limits.busyRepeats = 5;
        rig.executor.setLimits(limits);
        QVERIFY(rig.fault(QStringLiteral("answer:text=1A/00/00/0/*100")));
        rig.queue({kSale, kPay});
        rig.executor.ExecuteReceiptQueue();
        QCOMPARE(rig.sent().size(), 6);
        QCOMPARE(rig.session.runState().queue(), (QStringList{kSale, kPay}));
        QCOMPARE(rig.prompter.shown.size(), 1);
        // The line was never taken, so no receipt counts as open.
        QVERIFY(!rig.session.runState().receiptOpen());
    }
}

void TestExecutor::refusedGoesOn() {
    ExecutorRig rig;
    QVERIFY(rig.fault(QStringLiteral("answer:text=08/00/00/0/")));
    rig.queue({kSale, kPay});
    rig.executor.ExecuteReceiptQueue();
    QCOMPARE(rig.sent(), (QStringList{kSale, kPay}));
    QCOMPARE(rig.monitorInOrder().at(1),
             QStringLiteral("ECR-errore :8-Comando '3/' - Errore N. 8 Ignoro l'errore"));
    QVERIFY(rig.logLines().first().mid(75).startsWith(QStringLiteral("Comando '3/' - Errore N. 8 ")));
}

void TestExecutor::paperStatusRepeats() {
    ExecutorRig rig;
    QVERIFY(rig.fault(QStringLiteral("answer:text=00/04/00/0/")));
    QVERIFY(rig.fault(QStringLiteral("answer:text=00/07/00/0/")));
    rig.queue({kSale});
    rig.executor.ExecuteReceiptQueue();
    QCOMPARE(rig.sent().size(), 3);
    QVERIFY(rig.clock.nowMs() >= 4000);
    QCOMPARE(rig.session.monitor().lines().count(QStringLiteral("ECR        : Sostituire rotolo scontrino")),
             2);
    QCOMPARE(rig.logLines().size(), 3);
    QVERIFY(rig.logLines().first().mid(75).startsWith(QStringLiteral("Sostituire rotolo scontrino")));
}

void TestExecutor::paperOutWaitsForOperator() {
    ExecutorRig rig;
    QVERIFY(rig.fault(QStringLiteral("answer:text=31/00/00/0/")));   // the sale: paper out
    QVERIFY(rig.fault(QStringLiteral("answer:text=31/00/00/0/*2"))); // two status requests: still out
    rig.queue({kSale});
    rig.executor.ExecuteReceiptQueue();
    QCOMPARE(rig.sent(), (QStringList{kSale, "?/", "?/", "?/", kSale}));
    QCOMPARE(
        rig.monitorInOrder().at(1),
        QStringLiteral("ECR-errore :49-Comando '3/' - Errore N. 49 Ricontrollo stato ECR e ripeto comando"));
    // Three status requests 3000 ms apart, two 500 ms pauses, then 3000 ms.
    QVERIFY(rig.clock.nowMs() >= 3 * 3000 + 2 * 500 + 3000);
    QVERIFY(rig.prompter.shown.isEmpty());
}

void TestExecutor::seriousFaultDropsQueue() {
    ExecutorRig rig;
    rig.queue({kSale});
    rig.executor.ExecuteReceiptQueue();
    QVERIFY(rig.fault(QStringLiteral("answer:text=37/00/00/0/")));
    rig.queue({kSale, kPay});
    rig.executor.ExecuteReceiptQueue();
    QVERIFY(rig.session.runState().queue().isEmpty());
    QVERIFY(!rig.session.runState().receiptOpen());
    QCOMPARE(rig.prompter.shown.size(), 1);
    QCOMPARE(rig.prompter.shown[0].text, QStringLiteral("errore grave. Chiamare Casa madre"));
    QCOMPARE(rig.prompter.shown[0].title, QStringLiteral("ATTENZIONE"));
    const QStringList log = rig.logLines();
    QVERIFY(log.at(log.size() - 2).mid(75).startsWith(QStringLiteral("Comando '3/' - Errore N. 55")));
    QVERIFY(log.last().mid(75).startsWith(QStringLiteral("errore grave. Chiamare Casa madre")));
}

void TestExecutor::unreachableKeepsQueue() {
    ExecutorRig rig;
    QVERIFY(rig.fault(QStringLiteral("enq:silent*6")));
    rig.queue({kSale, kPay});
    rig.executor.ExecuteReceiptQueue();
    QCOMPARE(rig.session.runState().queue(), (QStringList{kSale, kPay}));
    QCOMPARE(rig.session.lastExchange().enquiryStatus(), 1004);
    QVERIFY(!rig.session.runState().receiptOpen());
    rig.executor.ExecuteReceiptQueue(); // still off: said only once
    QCOMPARE(rig.prompter.count(Executor::unreachableMessage()), 1);
    QCOMPARE(
        rig.session.monitor().lines().count(QStringLiteral("ECR        : ") + Executor::unreachableMessage()),
        1);
    rig.executor.ExecuteReceiptQueue(); // back on: everything is printed once
    QCOMPARE(rig.sent(), (QStringList{kSale, kPay}));
    QVERIFY(rig.session.runState().queue().isEmpty());
}

void TestExecutor::lostAnswer_data() {
    QTest::addColumn<QStringList>("faults");
    QTest::addColumn<QStringList>("queued");
    QTest::addColumn<QStringList>("sent");
    QTest::addColumn<bool>("said"); // the operator is told
    const QString text = QStringLiteral("7/1/1/X/");
    // Outside a receipt a text or a read goes again while the status is fine.
    QTest::newRow("text, status fine")
        << QStringList{"lose=7/"} << QStringList{text} << QStringList{text, "?/", text} << false;
    QTest::newRow("text, status not fine")
        << QStringList{"lose=7/", "answer:text=1A/00/00/0/"} << QStringList{text, kPay}
        << QStringList{text, "?/", kPay} << false;
    // A line of a receipt: the receipt is voided and sent again from its start.
    QTest::newRow("sale") << QStringList{"lose=3/"} << QStringList{kSale, kPay}
                          << QStringList{kSale, ")/28/", kSale, kPay} << false;
    QTest::newRow("second sale") << QStringList{"lose=3/#2"} << QStringList{kSale, kSale, kPay}
                                 << QStringList{kSale, kSale, ")/28/", kSale, kSale, kPay} << false;
    // The payment: nothing left open to void means it closed the receipt.
    QTest::newRow("payment carried out")
        << QStringList{"lose=5/", "answer:text=00/00/00/0/", "answer:text=6C/00/00/0/"}
        << QStringList{kSale, kPay} << QStringList{kSale, kPay, ")/28/"} << false;
    QTest::newRow("payment not carried out") << QStringList{"lose=5/"} << QStringList{kSale, kPay}
                                             << QStringList{kSale, kPay, ")/28/", kSale, kPay} << false;
    // A closing or a report outside a receipt is never sent twice.
    QTest::newRow("daily closing") << QStringList{"lose=x/"} << QStringList{"x/7/0/0/", text}
                                   << QStringList{"x/7/0/0/", text} << true;
}

void TestExecutor::lostAnswer() {
    QFETCH(QStringList, faults);
    QFETCH(QStringList, queued);
    QFETCH(QStringList, sent);
    QFETCH(bool, said);
    ExecutorRig rig;
    for (const QString &f : faults)
        QVERIFY(rig.fault(f));
    rig.queue(queued);
    rig.executor.ExecuteReceiptQueue();
    QCOMPARE(rig.sent(), sent);
    QCOMPARE(rig.prompter.shown.size(), said ? 1 : 0);
    QVERIFY(!rig.session.runState().receiptOpen());
    QVERIFY(!rig.executor.recoveryPending());
}

void TestExecutor::receiptGivenUpAfterResends() {
    ExecutorRig rig;
    // Every sale loses its answer: after three resends the receipt goes.
    QVERIFY(rig.fault(QStringLiteral("lose=3/*4")));
    rig.queue({kSale, kPay, QStringLiteral("7/1/1/NEXT/")});
    rig.executor.ExecuteReceiptQueue();
    QCOMPARE(rig.sent().count(kSale), 4);
    QCOMPARE(rig.sent().count(QStringLiteral(")/28/")), 4);
    QCOMPARE(rig.sent().count(kPay), 0);
    QCOMPARE(rig.sent().last(), QStringLiteral("7/1/1/NEXT/"));
    QCOMPARE(rig.prompter.shown.size(), 1);
    QVERIFY(rig.prompter.shown.first().text.contains(QStringLiteral("non ristampato")));
}

void TestExecutor::receiptOutcome_data() {
    using S = QueuedReceipt::State;
    QTest::addColumn<QStringList>("faults");
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<int>("state");
    QTest::addColumn<int>("errors");
    QTest::addColumn<int>("number");    // the register's count of receipts once it closed this one
    QTest::addColumn<QString>("total"); // what the register's sales total rose by; empty: not known
    QTest::addColumn<bool>("voided");
    QTest::newRow("printed") << QStringList{} << QStringList{kSale, kPay} << int(S::Finished) << 0 << 2
                             << QStringLiteral("2.50") << false;
    // A request prints what it asked or nothing: a line that does not go
    // out stops it, and its receipt is voided.
    QTest::newRow("a line not handled, the receipt voided")
        << QStringList{} << QStringList{kSale, "b/1/"} << int(S::GivenUp) << 1 << -1 << QString() << false;
    QTest::newRow("a line dropped after NAKs") << QStringList{"frame:nak*11"} << QStringList{kSale, kPay}
                                               << int(S::GivenUp) << 1 << -1 << QString() << false;
    QTest::newRow("voided once, sent again") << QStringList{"lose=3/"} << QStringList{kSale, kPay}
                                             << int(S::Finished) << 0 << 2 << QStringLiteral("2.50") << true;
    QTest::newRow("voided too often") << QStringList{"lose=3/*4"} << QStringList{kSale, kPay}
                                      << int(S::GivenUp) << 1 << -1 << QString() << true;
    QTest::newRow("serious fault") << QStringList{"answer:text=37/00/00/0/"} << QStringList{kSale, kPay}
                                   << int(S::GivenUp) << 1 << -1 << QString() << false;
    // The register refused the payment: it closed nothing, so no number.
    QTest::newRow("payment refused") << QStringList{"pay:refused"} << QStringList{kSale, kPay}
                                     << int(S::GivenUp) << 1 << -1 << QString() << false;
    QTest::newRow("no payment: left open, voided")
        << QStringList{} << QStringList{kSale} << int(S::GivenUp) << 0 << -1 << QString() << false;
}

void TestExecutor::receiptOutcome() {
    QFETCH(QStringList, faults);
    QFETCH(QStringList, lines);
    QFETCH(int, state);
    QFETCH(int, errors);
    QFETCH(int, number);
    QFETCH(QString, total);
    QFETCH(bool, voided);
    ExecutorRig rig;
    rig.readTotals();
    // Time runs with the link's clock: the receipt started when its first
    // line went out, not at a later one.
    const QDateTime from = rig.session.now();
    rig.session.setNow([&rig, from] { return from.addMSecs(rig.clock.nowMs()); });
    QDateTime firstTaken;
    rig.sim.onCommand = [&](const QByteArray &, const QByteArray &) {
        if (!firstTaken.isValid())
            firstTaken = rig.session.now();
    };
    for (const QString &f : faults) {
        if (f == QLatin1String("pay:refused"))
            rig.reg.refusePay = true;
        else
            QVERIFY(rig.fault(f));
    }
    quint64 id = 0;
    QVERIFY(rig.executor.enqueue(lines, {}, {ReceiptSource::Kind::Request, QStringLiteral("k1"), {}}, &id));
    rig.executor.ExecuteReceiptQueue();
    const QueuedReceipt *r = rig.executor.state().find(id);
    QVERIFY(r);
    QCOMPARE(r->source.key, QStringLiteral("k1"));
    QCOMPARE(int(r->state), state);
    QCOMPARE(r->errors.size(), errors);
    QCOMPARE(r->receiptNumber, number);
    QCOMPARE(r->totalCents ? AmountText(*r->totalCents) : QString(), total);
    QCOMPARE(r->voided, voided);
    QVERIFY(r->started.isValid() && r->started <= firstTaken);
    // Stopped for a line, or left open: given up with its void key.
    QCOMPARE(!r->reasonCode.isEmpty(), state == int(QueuedReceipt::State::GivenUp) && !voided &&
                                           !faults.join(u' ').contains(QStringLiteral("=37")));
    if (!r->reasonCode.isEmpty())
        QCOMPARE(rig.sent().last(), VoidReceiptLine());
    if (faults.join(u' ').contains(QStringLiteral("=37"))) {
        // A serious fault keeps the register's code and the line that met it.
        const ReceiptError &e = r->errors.first();
        QCOMPARE(e.code, QStringLiteral("37"));
        QCOMPARE(e.number, 0x37);
        QCOMPARE(r->lines.value(e.line - 1), kSale);
    }
}

void TestExecutor::totalsBetweenReceipts_data() {
    QTest::addColumn<QString>("fault");
    QTest::addColumn<int>("gapMs");         // between the two receipts; -1: queued together
    QTest::addColumn<QStringList>("lines"); // queued between them
    QTest::addColumn<bool>("statusRead");   // a status read goes between them
    QTest::addColumn<bool>("keyboard"); // a receipt of 7.00 closed on the register's own keys between them
    QTest::addColumn<int>("reads");     // totals reads in all
    QTest::addColumn<int>("number");    // of the second receipt
    // The totals read after the first closing stand for the second receipt
    // only when its first line follows at once and nothing else went between.
    const QStringList none;
    QTest::newRow("back to back") << QString() << -1 << none << false << false << 3 << 3;
    QTest::newRow("back to back, the second closing's answer lost")
        << QStringLiteral("lose=5/#2") << -1 << none << false << false << 3 << 3;
    // The daily closing sets the register's totals back to nothing.
    QTest::newRow("a daily closing queued between")
        << QString() << -1 << QStringList{"x/7/0/0/"} << false << false << 4 << 1;
    QTest::newRow("later, a receipt on the keys between")
        << QString() << 1000 << none << false << true << 4 << 4;
    QTest::newRow("at once, a status read between") << QString() << 0 << none << true << true << 4 << 4;
    QTest::newRow("at once, nothing between") << QString() << 0 << none << false << false << 3 << 3;
}

void TestExecutor::totalsBetweenReceipts() {
    QFETCH(QString, fault);
    QFETCH(int, gapMs);
    QFETCH(QStringList, lines);
    QFETCH(bool, statusRead);
    QFETCH(bool, keyboard);
    QFETCH(int, reads);
    QFETCH(int, number);
    ExecutorRig rig;
    rig.readTotals();
    if (!fault.isEmpty())
        QVERIFY(rig.fault(fault));
    quint64 first = 0, second = 0;
    QVERIFY(rig.executor.enqueue({kSale, kPay}, {}, {}, &first));
    if (!lines.isEmpty())
        rig.queue(lines);
    if (gapMs >= 0) {
        rig.executor.ExecuteReceiptQueue();
        rig.clock.advance(gapMs);
        if (statusRead)
            rig.runner.RequestStatus();
        if (keyboard) {
            ++rig.reg.closed;
            rig.reg.sales += 700;
        }
    }
    QVERIFY(rig.executor.enqueue({kSale, kPay}, {}, {}, &second));
    rig.executor.ExecuteReceiptQueue();
    QCOMPARE(rig.sent().count(QStringLiteral("0/")), reads);
    QCOMPARE(rig.sent().count(kSale), 2); // neither voided nor sent again
    for (const quint64 id : {first, second}) {
        const QueuedReceipt *r = rig.executor.state().find(id);
        QVERIFY(r);
        QCOMPARE(int(r->state), int(QueuedReceipt::State::Finished));
        QCOMPARE(r->totalCents ? AmountText(*r->totalCents) : QString(), QStringLiteral("2.50"));
    }
    QCOMPARE(rig.executor.state().find(second)->receiptNumber, number);
}

void TestExecutor::journalKeepsTheQueue() {
    ExecutorRig rig;
    const QString path = rig.dir.filePath(ReceiptJournal::fileName());
    ReceiptJournal journal(path);
    QVERIFY(journal.start({}));
    rig.executor.setJournal(&journal);
    // Any text survives the file: backslashes, control characters, accents.
    const QStringList odd{QStringLiteral("7/1/1/a\\x41\\b/"), QStringLiteral("7/1/1/\u00e8\u20ac/"),
                          QStringLiteral("7/1/1/x\ty/")};
    QVERIFY(rig.executor.enqueue(QStringList{kSale} + odd + QStringList{kPay}));
    {
        QueueState state; // what a new run reads back
        QString detail;
        ReceiptJournal again(path);
        QCOMPARE(again.load(state, detail), ReceiptJournal::Load::Loaded);
        QCOMPARE(state.queue, QStringList{kSale} + odd + QStringList{kPay});
    }
    QVERIFY(rig.fault(QStringLiteral("lose=7/#2")));
    rig.executor.ExecuteReceiptQueue();
    QCOMPARE(rig.sent().count(kPay), 1);
    // Nothing left to do: the file holds its header and the idle mark.
    QCOMPARE(testsupport::readFile(path), QByteArray("NORVVELM-JOURNAL 2\nI\n"));
    // A stop in the middle of the receipt leaves its state on disk.
    QVERIFY(rig.executor.enqueue({kSale, kSale, kPay}));
    int taken = 0;
    rig.sim.onCommand = [&](const QByteArray &, const QByteArray &) {
        if (++taken == 2)
            rig.session.runState().requestStop();
    };
    rig.executor.ExecuteReceiptQueue();
    QueueState state;
    QString detail;
    ReceiptJournal again(path);
    QCOMPARE(again.load(state, detail), ReceiptJournal::Load::Loaded);
    QVERIFY(state.receiptOpen);
    QCOMPARE(state.receipt, (QStringList{kSale, kSale}));
    QCOMPARE(state.queue, QStringList{kPay});
    QVERIFY(!state.inFlight);
    // The resends of the receipt under way outlive a new run's rewrite of
    // the file, so the limit on them holds across restarts.
    QueueState resent = state;
    QVERIFY(ApplyQueueEvent(resent, QueueEvent::resent(false)));
    QCOMPARE(resent.resends, 1);
    ReceiptJournal next(path);
    QVERIFY(next.start(resent));
    QueueState back;
    ReceiptJournal third(path);
    QCOMPARE(third.load(back, detail), ReceiptJournal::Load::Loaded);
    QCOMPARE(back.resends, 1);
    QCOMPARE(back.queue, (QStringList{kSale, kSale, kPay}));
    QCOMPARE(third.ending(), ReceiptJournal::Ending::Unfinished);
#ifdef Q_OS_UNIX
    // The disk full in the middle of a record: nothing more is appended after
    // the part that may have reached it, until the file is written anew.
    ReceiptJournal full(path);
    QVERIFY(full.start({}));
    ExecutorRig other;
    other.executor.setJournal(&full);
    rlimit before{};
    QCOMPARE(::getrlimit(RLIMIT_FSIZE, &before), 0);
    rlimit limit = before;
    limit.rlim_cur = rlim_t(QFileInfo(path).size() + 8);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    QCOMPARE(::setrlimit(RLIMIT_FSIZE, &limit), 0);
    const bool accepted = other.executor.enqueue({kSale, kPay});
    QCOMPARE(::setrlimit(RLIMIT_FSIZE, &before), 0);
    std::signal(SIGXFSZ, oldHandler);
    QVERIFY(!accepted);
    QVERIFY(!full.writable());
    QVERIFY(!other.executor.enqueue({kSale, kPay}));
    QVERIFY(full.start(other.executor.state()));
    QVERIFY(other.executor.enqueue({kSale, kPay}));
#endif
}

void TestExecutor::journalRecords_data() {
    QTest::addColumn<QByteArray>("record");
    QTest::addColumn<bool>("read");
    QTest::addColumn<int>("count");    // the record's count, or the line of a problem
    QTest::addColumn<QString>("code"); // a problem's register code
    QTest::newRow("done, open") << QByteArray("D1") << true << -1 << QString();
    QTest::newRow("closing, one-digit count") << QByteArray("D0,5") << true << 5 << QString();
    QTest::newRow("closing, count and total") << QByteArray("D0,12:345") << true << 12 << QString();
    QTest::newRow("closing, no count") << QByteArray("D0,") << false << -1 << QString();
    QTest::newRow("end of a receipt's lines") << QByteArray("T3") << true << -1 << QString();
    QTest::newRow("end of receipt 0") << QByteArray("T0") << false << -1 << QString();
    QTest::newRow("end, signed") << QByteArray("T+3") << false << -1 << QString();
    QTest::newRow("register's error") << QByteArray("G4,2,6C,Pagamento") << true << 2 << QStringLiteral("6C");
    QTest::newRow("problem of our own") << QByteArray("G4,0,,riga scartata") << true << 0 << QString();
    QTest::newRow("problem, version 1")
        << QByteArray("E4,6C\\x09Pagamento\\x095/1/") << true << -1 << QStringLiteral("6C");
    QTest::newRow("problem without its code") << QByteArray("G4,2") << false << -1 << QString();
    QTest::newRow("closed on the register") << QByteArray("C4,35:526") << true << 35 << QString();
    QTest::newRow("closed, no count") << QByteArray("C4,") << false << -1 << QString();
    QTest::newRow("withdrawn") << QByteArray("Z4,cancelled,Ritirato") << true << -1
                               << QStringLiteral("cancelled");
    QTest::newRow("withdrawn, no reason") << QByteArray("Z4") << false << -1 << QString();
    QTest::newRow("to be voided") << QByteArray("Y4,left_open,Rimasto aperto") << true << -1
                                  << QStringLiteral("left_open");
    QTest::newRow("given up") << QByteArray("V") << true << -1 << QString();
    QTest::newRow("given up, a receipt") << QByteArray("V4") << true << -1 << QString();
    QTest::newRow("given up, signed") << QByteArray("V+4") << false << -1 << QString();
    QTest::newRow("request with its terms")
        << QByteArray("J4,R,k1 ab12 1765101072000 - items[0]: cambiato\\x0aitems[1]: tagliato") << true << -1
        << QString();
    QTest::newRow("request, no terms") << QByteArray("J4,R,k1 ab12") << true << -1 << QString();
    QTest::newRow("a closing's document")
        << QByteArray("J4,R,k1 ab12 0 daily_closing") << true << -1 << QString();
    QTest::newRow("figures before a closing")
        << QByteArray("N4,0,12,3,12345,100,200,300,,0,5,60,70") << true << -1 << QString();
    QTest::newRow("figures, one short")
        << QByteArray("N4,0,12,3,12345,100,200,300,,0,5,60") << false << -1 << QString();
    QTest::newRow("figures without a count")
        << QByteArray("N4,1,,3,0,0,0,0,0,0,0,0,0") << false << -1 << QString();
}

// Each record reads back as it was written, and a record that is not one
// is refused rather than read in part.
void TestExecutor::journalRecords() {
    QFETCH(QByteArray, record);
    QFETCH(bool, read);
    QFETCH(int, count);
    QFETCH(QString, code);
    QueueEvent e;
    QCOMPARE(ReceiptJournal::decode(record, e), read);
    if (!read)
        return;
    QCOMPARE(e.count, count);
    QCOMPARE(e.code, code);
    if (record.startsWith('G') || record.startsWith('E'))
        QCOMPARE(e.number, code.isEmpty() ? -1 : 0x6C);
    if (record.startsWith("J4,R,k1 ab12 1"))
        QCOMPARE(e.warnings, (QStringList{"items[0]: cambiato", "items[1]: tagliato"}));
    if (!record.startsWith('E'))
        QCOMPARE(ReceiptJournal::encode(e), record);
}

void TestExecutor::dailyReport_data() {
    QTest::addColumn<bool>("silent");
    QTest::newRow("answers") << false;
    QTest::newRow("every answer empty") << true;
}

void TestExecutor::dailyReport() {
    QFETCH(bool, silent);
    ExecutorRig rig;
    if (silent)
        QVERIFY(rig.fault(QStringLiteral("answer:silent*4")));
    QFile old(rig.dir.filePath(QStringLiteral("NV4220261207.FMN")));
    QVERIFY(old.open(QIODevice::WriteOnly));
    old.write("stale\r\nstale\r\nstale\r\nstale\r\nstale\r\n");
    old.close();
    rig.queue({QStringLiteral("t0"), kSale});
    rig.executor.ExecuteReceiptQueue();
    QCOMPARE(rig.sent(), (QStringList{"t/", "0/", "9/", "X/", kSale}));
    QFile f(rig.dir.filePath(QStringLiteral("NV4220261207.FMN")));
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QByteArray expected = silent ? QByteArray("<t>?\r\n<0>?\r\n<9>?\r\n<X>?\r\n")
                                       : QByteArray("<t>00/00/00/0/\r\n<0>00/00/00/0/\r\n<9>00/00/00/0/\r\n"
                                                    "<X>00/00/00/0/\r\n");
    QCOMPARE(f.readAll(), expected);
}

void TestExecutor::stopRequestKeepsLine() {
    ExecutorRig rig;
    QVERIFY(rig.fault(QStringLiteral("answer:text=31/00/00/0/*1000")));
    int pumps = 0;
    rig.onPump = [&] {
        if (++pumps == 500)
            rig.session.runState().requestStop();
    };
    rig.queue({kSale, kPay});
    rig.executor.ExecuteReceiptQueue();
    QCOMPARE(rig.session.runState().queue(), (QStringList{kSale, kPay}));
}

void TestExecutor::nestedRequestNeverInterleaves() {
    ExecutorRig rig;
    int refused = 0;
    rig.onPump = [&] {
        // A button pressed while the executor waits on the line.
        if (rig.link.lineBusy() &&
            rig.runner.SendAndCheck(QStringLiteral("?/")) == statusNumber(LinkStatus::LineBusy))
            ++refused;
    };
    QVERIFY(rig.fault(QStringLiteral("answer:text=1A/00/00/0/*2")));
    rig.queue({kSale, kPay});
    rig.executor.ExecuteReceiptQueue();
    QVERIFY(refused > 0);
    QCOMPARE(rig.sim.badChecksums(), 0);
    QCOMPARE(rig.sent().count(kSale), 3);
    QCOMPARE(rig.sent().count(kPay), 1);
    QCOMPARE(rig.session.statusBar().panel(2),
             QStringLiteral("Err. 9998 : Linea occupata da un altro comando"));
}

QTEST_GUILESS_MAIN(TestExecutor)
#include "tst_executor.moc"
