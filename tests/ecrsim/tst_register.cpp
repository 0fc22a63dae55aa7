// The simulated register at the command level: receipt state, paper, totals,
// register faults and hostile input.

#include "ecrsim/Control.h"
#include "ecrsim/PtyServer.h"
#include "ecrsim/Register.h"
#include "ecrsim/SimLink.h"

#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

using ecrsim::Register;
using Steps = QByteArrayList;

namespace {

// Runs steps "LINE > ANSWER", where ANSWER is how the answer must begin (the
// error code, or code and status "1A/00"; "00" when left out). Empty when all
// answered so, else the first step that did not.
QByteArray run(Register &reg, const Steps &steps) {
    for (const QByteArray &s : steps) {
        const qsizetype at = s.lastIndexOf(" > ");
        const QByteArray line = at < 0 ? s : s.left(at), want = at < 0 ? "00" : s.mid(at + 3);
        const QByteArray got = reg.execute(line);
        if (!got.startsWith(want))
            return line.left(60) + " answered " + got + " instead of " + want;
    }
    return {};
}

QString row(const char *left, const char *right) {
    return ecrsim::Paper::row(QString::fromUtf8(left), QString::fromUtf8(right));
}

void fixClock(Register &reg) {
    reg.clock = [] { return QDateTime(QDate(2026, 12, 8), QTime(19, 5, 30)); };
}

// The six demonstration receipts, as the console writes them.
const Steps kDemo = {"7/0/1/##PROMEMORIA##/", "7/0/0/#SVUOTA-CASSA#/",
                     // Reso Merce
                     "3/S/REPARTO1//1/5.26/1/4/", "3/S/REPARTO1//1/2.18/1/4/", "U/",
                     "3/R/REPARTO1//1/7.43/1/4/", "5/1/0.00/////",
                     // Avviso Stampato
                     "7/1/1/##PROMEMORIA##/", "7/1/0/#SVUOTA-CASSA#/", "w/1/1//", "7/1/1/##PROMEMORIA##/",
                     "7/1/0/#SVUOTA-CASSA#/", "w/1/1//", "7/1/1/##PROMEMORIA##/", "7/1/0/#SVUOTA-CASSA#/",
                     "w/1/1//", "7/1/1/##PROMEMORIA##/", "7/1/0/#SVUOTA-CASSA#/", "w/1/1//",
                     "7/1/1/##PROMEMORIA##/", "7/1/0/#SVUOTA-CASSA#/", "w/1/1//", "m//",
                     // Fattura
                     "3/F/OPEN//1/1/1/4/", "3/S/REPARTO 1//1/80/1/4/", "3/S/REPARTO 1//1/70/1/4/",
                     "'/1/01234567897/1111111111111111/",
                     "j//INTESTAZIONE CLIENTE/VIA DEL CORSO 12/00186 ROMA RM//////0/", "5/1/0.00/////",
                     // Nota di Credito
                     "-/123-2010/", "3/N/CAMICIA ROSSA/rif.sco.123del010109/1/1/1/4/", "5/1/0.00/////",
                     // Scontrino
                     "3/S/Coca Cola 1,70/second , descr/1/25.88/1/4/", "3/S/REPARTO2//1/25.88/2/10/",
                     "3/S/REPARTO3//1/7.33/3/20/", "4/10.00///0/0/0//", "5/1/0.00/////"};

} // namespace

class TestRegister : public QObject {
    Q_OBJECT
private slots:
    void receiptRules_data();
    void receiptRules();
    void paymentWithoutDescription();
    void demoReceiptsAndTotals();
    void dailyClosingAndVatRates();
    void paperTypicalReceipt();
    void paperDocuments();
    void windows1252TextAndDisplay();
    void faults_data();
    void faults();
    void faultsPersistUntilCleared();
    void subclassOverridesOneCommand();
    void hostileInput();
};

void TestRegister::receiptRules_data() {
    QTest::addColumn<Steps>("steps");
    QTest::addColumn<bool>("openAfter");
    const QByteArray sale = "3/S/REPARTO1//1/5.00/1/4/ > 00";
    QTest::newRow("nothing open") << Steps{"5/1/0.00///// > 6C", "+/ > 6C", "4/10.00///0/0/0// > 6C"}
                                  << false;
    QTest::newRow("closings refused while open")
        << Steps{sale,         "x/7/0/0/ > 14",     "x/1/1/1/ > 14",      "6/1/ > 14",
                 "B/12/ > 14", "G/12/1/1/42/ > 14", "b/4/10/20/0/0/ > 14"}
        << true;
    QTest::newRow("closings after payment")
        << Steps{sale,           "5/1/0.00/////",        "x/1/1/1/", "6/1/",     "B/12/ > 00/00/00/00/",
                 "G/12/1/1/42/", "B/12/ > 00/00/00/42/", "x/7/0/0/", "x/9/ > 0F"}
        << false;
    QTest::newRow("unknown commands")
        << Steps{"Z/ > 06", "? > 06", " > 06", "@@/1/ > 06", "t0 > 06"} << false;
    QTest::newRow("department") << Steps{"3/S/A//1/1.00/21/4/ > 67", "3/S/A//1/1.00/0/4/ > 67",
                                         "3/S/A//1/1.00/x/4/ > 78", "3/S/A//1/1.00/20/4/"}
                                << true;
    QTest::newRow("vat value") << Steps{"3/S/A//1/1.00/1/7/ > 09",  "3/S/A//1/1.00/1/10/ > 17",
                                        "3/S/A//1/1.00/1/-1/ > 09", "3/S/A//1/1.00/1//",
                                        "3/S/A//1/1.00/2/10.00/",   "3/S/A//1/1.00/3/20/"}
                               << true;
    QTest::newRow("price and quantity")
        << Steps{"3/S/A//1/abc/1/4/ > 18",   "3/S/A//1/1,50/1/4/ > 18",
                 "3/S/A//1/5.261/1/4/ > 18", "3/S/A//1/0/1/4/ > 7C",
                 "3/S/A//1/-2/1/4/ > 18",    "3/S/A//1/100000/1/4/ > 65",
                 "3/S/A//x/1/1/4/ > 04",     "3/S/A//0/1/1/4/ > 04",
                 "3/S/A//10000/1/1/4/ > 64", "3/S/A//2.5/80/1/4/ > 00/00/00/200.00/"}
        << true;
    QTest::newRow("line type and fields") << Steps{"3/Q/A//1/1/1/4/ > 1B", "3/S/A//1/ > 01"} << false;
    QTest::newRow("returns and discounts")
        << Steps{sale,        "3/R/A//1/6.00/1/4/ > 70", "3/R/A//1/1.00/1/4/", "4/4.01/ > 70", "4/0/ > 7A",
                 "4/x/ > 18", "4/4.00/ > 00/00/00/0.00/"}
        << true;
    QTest::newRow("empty receipt") << Steps{"2/", "5/1/0.00///// > 6D", "+/"} << false;
    QTest::newRow("partial payment keeps it open")
        << Steps{sale, "5/1/2.00/ > 00/00/00/3.00/", "x/7/0/0/ > 14", "5/2/3.00/", "x/7/0/0/"} << false;
    QTest::newRow("payment fields") << Steps{sale, "5/0/0.00/ > 0C", "5/10/ > 0C", "5/1/abc/ > 15", "5/9/"}
                                    << false;
    QTest::newRow("cash key pays") << Steps{sale,    ")/90/",     "5/1/0.00///// > 6C",
                                            ")/90/", ")/5/ > 18", ")/x/ > 04"}
                                   << false;
    QTest::newRow("empty invoice closes") << Steps{"3/F/OPENFAT//0/0/0/0/", "5/1/0////"} << false;
    QTest::newRow("no credit note after a sale")
        << Steps{sale, "-/123/ > 6E", "3/F/OPEN//1/1/1/4/ > 6E"} << true;
    QTest::newRow("customer codes") << Steps{"'/1/0123/1111111111111111/ > 04", "'/3/x/y/ > 04",
                                             "'/2/11111111111/RSSMRA80A01H501U/"}
                                    << true;
    // The SC and Magg keys (a value typed on the digit keys first: 1 is 22, 0
    // is 69, 5 is 46) apply to the sale they follow, at its VAT rate; after
    // the subtotal, a return or any other line to the receipt so far, shared
    // among its rates. "0/": five VAT totals, sales, receipts, non-fiscal,
    // corrections, returns, voids.
    const QByteArray saleA = "3/S/A//1/10.00/1/4/", saleB = "3/S/B//1/10.00/2/10/";
    QTest::newRow("10% off the sale it follows")
        << Steps{saleA,
                 saleB,
                 ")/22/",
                 ")/69/",
                 ")/60/ > 00/00/00/19.00/",
                 "5/",
                 "0/ > 00/00/00/10.00/9.00/0.00/0.00/0.00/19.00/1/0/1.00/0.00/0.00/"}
        << false;
    QTest::newRow("10% off the subtotal, shared by the rates")
        << Steps{saleA,   "3/S/B//3/10.00/2/10/",
                 "U/",    ")/22/",
                 ")/69/", ")/60/ > 00/00/00/36.00/",
                 "5/",    "0/ > 00/00/00/9.00/27.00/0.00/0.00/0.00/36.00/1/0/4.00/0.00/0.00/"}
        << false;
    QTest::newRow("1.50 more on the sale it follows")
        << Steps{saleA,   saleB,
                 ")/22/", ")/46/",
                 ")/69/", ")/67/",
                 ")/37/", ")/90/ > 00/00/00/21.50/",
                 "5/",    "0/ > 00/00/00/10.00/11.50/0.00/0.00/0.00/21.50/1/0/0.00/0.00/0.00/"}
        << false;
    QTest::newRow("5% more on the subtotal, shared by the rates")
        << Steps{saleA,
                 "3/S/B//3/10.00/2/10/",
                 "U/",
                 ")/46/",
                 ")/53/ > 00/00/00/42.00/",
                 "5/",
                 "0/ > 00/00/00/10.50/31.50/0.00/0.00/0.00/42.00/1/0/0.00/0.00/0.00/"}
        << false;
    QTest::newRow("a discount beyond its sale, then on the subtotal") << Steps{saleA,
                                                                               "3/S/B//1/1.00/2/10/",
                                                                               ")/30/",
                                                                               ")/69/",
                                                                               ")/69/",
                                                                               ")/67/",
                                                                               ")/22/",
                                                                               ")/90/ > 70",
                                                                               "U/",
                                                                               ")/30/",
                                                                               ")/69/",
                                                                               ")/69/",
                                                                               ")/67/",
                                                                               ")/22/",
                                                                               ")/90/ > 00/00/00/9.00/"}
                                                                      << true;
    QTest::newRow("after a return, 10% off what is left")
        << Steps{saleA,
                 "3/R/A//1/2.00/1/4/",
                 ")/22/",
                 ")/69/",
                 ")/60/ > 00/00/00/7.20/",
                 "5/",
                 "0/ > 00/00/00/7.20/0.00/0.00/0.00/0.00/7.20/1/0/0.80/2.00/0.00/"}
        << false;
}

void TestRegister::receiptRules() {
    QFETCH(Steps, steps);
    QFETCH(bool, openAfter);
    Register reg;
    QCOMPARE(run(reg, steps), QByteArray());
    QCOMPARE(reg.receiptOpen(), openAfter);
}

// A payment its table leaves without a description is not programmed: the
// register refuses it, with or without an amount, and takes the others.
void TestRegister::paymentWithoutDescription() {
    Register reg;
    reg.tables.payments[7].description.clear();
    QCOMPARE(run(reg, {"3/S/A//1/1.00/1/4/", "5/8/ > 0C", "5/8/0.50/ > 0C", "5/9/"}), QByteArray());
    QVERIFY(!reg.receiptOpen());
}

void TestRegister::demoReceiptsAndTotals() {
    Register reg;
    QCOMPARE(run(reg, kDemo), QByteArray());
    QVERIFY(!reg.receiptOpen());
    // Scontrino: 25.88 + 25.88 + 7.33 less 10.00, the discount shared by the rates;
    // Reso Merce 0.01; Fattura 150.00; the credit note of 1.00 counts as a return.
    QCOMPARE(reg.execute("0/"),
             QByteArray("00/00/00/171.50/21.51/6.09/0.00/0.00/199.10/4/5/10.00/8.43/0.00/"));
    const QStringList docs = reg.paper().documents();
    QCOMPARE(docs.size(), 4 + 5);
    for (const char *s : {"FATTURA N. 1", "P.IVA 01234567897", "SPETT.LE\nINTESTAZIONE CLIENTE\n"})
        QVERIFY2(docs.at(6).contains(QString::fromUtf8(s)), s);
    QVERIFY(docs.at(7).contains(QStringLiteral("NOTA DI CREDITO N. 1")));
    QVERIFY(docs.at(7).contains(QStringLiteral("PRATICA N. 123-2010")));
    QVERIFY(docs.at(2).contains(QStringLiteral("##PROMEMORIA##\n#SVUOTA-CASSA#\n")));
}

void TestRegister::dailyClosingAndVatRates() {
    Register reg;
    fixClock(reg);
    QCOMPARE(run(reg, {"3/S/A//2/1.50/1/4/", "5/1/5.00/ > 00/00/00/2.00/", "3/S/B//1/1.00/2/10/", "+/",
                       "0/ > 00/00/00/3.00/0.00/0.00/0.00/0.00/3.00/1/0/0.00/0.00/1.00/",
                       "9/ > 00/00/00/1/1/0/0/0/", "X/ > 00/00/00/3.00/0/",
                       "t/ > 00/00/00/08-12-2026/19:05:30/", "b/4/10/20/0/0/ > 10", "x/7/0/0/"}),
             QByteArray());
    QVERIFY(reg.paper().last().contains(QStringLiteral("CHIUSURA GIORNALIERA")));
    QVERIFY(reg.paper().last().contains(row("TOTALE VENDITE", "3,00")));
    QVERIFY(reg.paper().last().contains(row("TOTALE ANNULLI", "1,00")));
    QCOMPARE(
        run(reg, {"0/ > 00/00/00/0.00/0.00/0.00/0.00/0.00/0.00/0/0/0.00/0.00/0.00/",
                  "9/ > 00/00/00/2/0/0/0/0/", "X/ > 00/00/00/3.00/1/",
                  "e/ > 00/00/00/4.00/10.00/20.00/0.00/0.00/", "b/4/10/ > 01", "b/4/10/x/0/0/ > 09",
                  "b/4/10/100/0/0/ > 09", "b/5/10/22.5/0/0/", "e/ > 00/00/00/5.00/10.00/22.50/0.00/0.00/",
                  // the PC rounds 22.5 to the even 22 when it fills the VAT value
                  "3/S/A//1/1/3/22/", "3/S/A//1/1/3/22.50/", "3/S/A//1/1/1/4/ > 09", "+/"}),
        QByteArray());
    for (int i = 2; i <= Register::kMaxVatChanges; ++i)
        QCOMPARE(reg.execute("b/4/10/20/0/0/").left(2), QByteArray("00"));
    QCOMPARE(reg.execute("b/4/10/20/0/0/").left(2), QByteArray("2B"));
}

void TestRegister::paperTypicalReceipt() {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("paper.txt"));
    Register reg;
    fixClock(reg);
    QVERIFY(reg.paper().setFile(path));
    QCOMPARE(reg.execute("3/S/REPARTO1//1/5.26/1/4/"), QByteArray("00/00/00/5.26/"));
    QFile f(path);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.size(), 0); // nothing on the roll until the receipt is closed
    QCOMPARE(reg.execute("5/1/0.00/////"), QByteArray("00/00/00/0.00/"));
    QCOMPARE(QString::fromUtf8(f.readAll()), QStringLiteral("       NORVVELM DEMO SRL\n"
                                                            "       VIA DELLA PROVA 1\n"
                                                            "        00100 ROMA (RM)\n"
                                                            "       P.IVA 01234567897\n"
                                                            "\n"
                                                            "                            EURO\n"
                                                            "REPARTO1\n"
                                                            "  1 x 5,26          4%      5,26\n"
                                                            "--------------------------------\n"
                                                            "TOTALE EURO                 5,26\n"
                                                            "CONTANTI                    5,26\n"
                                                            "--------------------------------\n"
                                                            "      GRAZIE E ARRIVEDERCI\n"
                                                            "08-12-2026 19:05    SCONTR. N. 1\n"
                                                            "         MF NV00012345\n"
                                                            "================================\n"
                                                            "\n"));

    // The next receipt is appended: both description lines, quantity, change.
    run(reg, {"3/S/Coca Cola 1,70/second , descr/3/1.70/2/10/", "5/1/10.00/"});
    const QString second = QString::fromUtf8(f.readAll());
    QVERIFY2(second.contains(QStringLiteral("EURO\nCoca Cola 1,70\nsecond , descr\n"
                                            "  3 x 1,70         10%      5,10\n")),
             qPrintable(second));
    QVERIFY(second.contains(row("CONTANTI", "10,00") + u'\n' + row("RESTO", "4,90")));
    QVERIFY(second.contains(QStringLiteral("SCONTR. N. 2")));
}

void TestRegister::paperDocuments() {
    Register reg;
    QCOMPARE(run(reg, {"3/S/A//1/5.00/1/4/", "U/", "3/R/B//1/1.00/1/4/", "4/0.50/", "5/"}), QByteArray());
    const QString r = reg.paper().last();
    QVERIFY(r.contains(row("SUBTOTALE", "5,00")));
    QVERIFY2(r.contains(QStringLiteral("RESO B\n  1 x 1,00          4%     -1,00\n")), qPrintable(r));
    QVERIFY(
        r.contains(row("SCONTO", "-0,50") + u'\n' + QString(32, u'-') + u'\n' + row("TOTALE EURO", "3,50")));

    run(reg, {"3/S/A//1/2.00/1/4/", "+/"});
    QVERIFY(reg.paper().last().contains(QStringLiteral("*** SCONTRINO ANNULLATO ***")));

    // Text lines wait for the end of their document; a receipt ends it too.
    run(reg, {"7/1/1/RIGA UNO/", "7/1/0/RIGA DUE/"});
    QCOMPARE(reg.paper().printed(), 2);
    run(reg, {"m//", "7/1/1/PRIMA/", "3/S/A//1/1/1/4/"});
    QCOMPARE(reg.paper().printed(), 4);
    QVERIFY(reg.paper().documents().at(2).contains(QStringLiteral("RIGA UNO\nRIGA DUE\n")));
    QVERIFY(reg.paper().last().contains(QStringLiteral("PRIMA\n")));
    QVERIFY(reg.paper().last().contains(QStringLiteral("DOCUMENTO NON FISCALE")));
    run(reg, {"5/", ")/120/"});
    QVERIFY(reg.paper().last().startsWith(QStringLiteral("   *** COPIA DA GIORNALE ***")));
    QVERIFY(reg.paper().last().contains(QStringLiteral("SCONTR. N. 2")));
}

void TestRegister::windows1252TextAndDisplay() {
    QTemporaryDir dir;
    Register reg;
    QVERIFY(reg.paper().setFile(dir.filePath(QStringLiteral("p"))));
    QCOMPARE(reg.execute("(/").size(), 43); // the PC needs 43 characters for the two lines
    run(reg, {"7/0/1/##PROMEMORIA##/", "7/0/0/#SVUOTA-CASSA#/"});
    QCOMPARE(reg.execute("(/"), QByteArray("00/00/00/##PROMEMORIA##  /#SVUOTA-CASSA#  /"));
    // È, Ù, é and the euro sign as single bytes of the register's code page.
    run(reg, {"3/S/CAFF\xC8 PI\xD9 MOLTO BUONO/perch\xE9 \x80 1/1/1.00/1/4/"});
    // The first line begins with the running total.
    QCOMPARE(reg.execute("(/"), QByteArray("00/00/00/1,00 CAFF\xC8 PI\xD9 M/            1,00/"));
    run(reg, {"5/"});
    QVERIFY(reg.paper().last().contains(QStringLiteral("CAFFÈ PIÙ MOLTO BUONO\nperché € 1\n")));
    QFile f(reg.paper().filePath());
    QVERIFY(f.open(QIODevice::ReadOnly));
    QVERIFY(f.readAll().contains("CAFF\xC3\x88 PI\xC3\x99 MOLTO BUONO\nperch\xC3\xA9 \xE2\x82\xAC 1\n"));
}

void TestRegister::faults_data() {
    QTest::addColumn<QStringList>("rules");
    QTest::addColumn<Steps>("steps");
    QTest::addColumn<qint64>("subtotal"); // what was sold: a faulted command is not executed
    const QByteArray sale = "3/S/A//1/1.00/1/4/";
    QTest::newRow("busy for three") << QStringList{"busy*3"}
                                    << Steps{"?/ > 1A/00", sale + " > 1A", sale + " > 1A", sale, "?/ > 00/00"}
                                    << qint64(100);
    QTest::newRow("busy then refused")
        << QStringList{"busy*2", "refuse=14"} << Steps{sale + " > 1A", sale + " > 1A", sale + " > 14", sale}
        << qint64(100);
    QTest::newRow("refused twice, lower case")
        << QStringList{"refuse=6c*2"} << Steps{sale + " > 6C/00", sale + " > 6C", sale} << qint64(100);
    QTest::newRow("serious") << QStringList{"serious=37", "serious*2"}
                             << Steps{"?/ > 37", "?/ > 37", sale + " > 37", sale} << qint64(100);
    QTest::newRow("paper bit for two")
        << QStringList{"paperbit*2"}
        << Steps{sale + " > 00/04", sale + " > 00/04", sale + " > 00/00", "?/ > 00/00"} << qint64(100);
    QTest::newRow("paper out holds everything")
        << QStringList{"paperout", "busy"} << Steps{"?/ > 31", sale + " > 31", "a/ > 31", "?/ > 31"}
        << qint64(0);
    QTest::newRow("cover open first")
        << QStringList{"paperout", "coveropen"} << Steps{"?/ > 32", sale + " > 32"} << qint64(0);
}

void TestRegister::faults() {
    QFETCH(QStringList, rules);
    QFETCH(Steps, steps);
    QFETCH(qint64, subtotal);
    Register reg;
    ecrsim::SimLink link(reg);
    for (const QString &s : rules) {
        QString error;
        QVERIFY2(link.addFaultRule(s, &error), qPrintable(error));
    }
    QCOMPARE(run(reg, steps), QByteArray());
    QCOMPARE(reg.subtotal(), subtotal);
}

void TestRegister::faultsPersistUntilCleared() {
    Register reg;
    ecrsim::SimLink link(reg);
    ecrsim::PtyServer server(link, QStringLiteral("/nonexistent/ecr"));
    ecrsim::Control control(link, server);
    const Steps twenty(20, "?/ > 31/00");
    QCOMPARE(control.execute("paper out"), QByteArray("ok"));
    QCOMPARE(run(reg, twenty), QByteArray());
    QCOMPARE(control.execute("cover open"), QByteArray("ok"));
    QCOMPARE(run(reg, Steps(20, "?/ > 32")), QByteArray());
    QCOMPARE(control.execute("cover close"), QByteArray("ok"));
    QCOMPARE(run(reg, twenty), QByteArray());
    QCOMPARE(control.execute("paper in"), QByteArray("ok"));
    QCOMPARE(run(reg, {"?/ > 00/00"}), QByteArray());

    // The paper bit until a new roll, over the register's other status bits.
    reg.statusBits = 1;
    QCOMPARE(control.execute("paper low"), QByteArray("ok"));
    QCOMPARE(run(reg, Steps(20, "3/S/A//1/1/1/4/ > 00/05")), QByteArray());
    QCOMPARE(control.execute("paper in"), QByteArray("ok"));
    QCOMPARE(reg.execute("3/S/A//1/1/1/4/"), QByteArray("00/01/00/1.00/"));
    reg.statusBits = 0;

    // A serious fault stops the register: the open receipt is lost.
    QCOMPARE(control.execute("fault serious=34"), QByteArray("ok"));
    QCOMPARE(run(reg, {"5/ > 34", "5/ > 6C"}), QByteArray());
    QVERIFY(reg.paper().last().contains(QStringLiteral("SCONTRINO ANNULLATO")));

    // clear drops everything at once.
    for (const char *s : {"paperout", "coveropen", "paperlow", "paperbit*5", "busy*9", "refuse=14*9"})
        QCOMPARE(control.execute(QByteArray("fault ") + s), QByteArray("ok"));
    QCOMPARE(reg.pendingFaults(), 18);
    QCOMPARE(control.execute("clear"), QByteArray("ok"));
    QCOMPARE(reg.pendingFaults(), 0);
    QCOMPARE(reg.execute("?/"), QByteArray("00/00/00/0/"));

    for (const char *bad : {"refuse", "refuse=1", "refuse=XY", "refuse=00", "serious=123", "bogus", "busy=3"})
        QVERIFY2(control.execute(QByteArray("fault ") + bad).startsWith("bad fault"), bad);
    QVERIFY(control.execute("paper sideways").startsWith("expected"));
    QCOMPARE(reg.pendingFaults(), 0);
}

namespace {
// A model of its own changes one command and adds another.
class OtherModel : public Register {
public:
    OtherModel() {
        handle("s/", [this](const Command &) { return ok({"MODEL"}); });
    }

protected:
    QByteArray status(const Command &) override { return ok({"1"}); }
};
} // namespace

void TestRegister::subclassOverridesOneCommand() {
    OtherModel reg;
    reg.pushFault({Register::Fault::Busy, {}, 1}); // faults come before any command
    QCOMPARE(run(reg, {"s/ > 1A", "?/ > 00/00/00/1/", "s/ > 00/00/00/MODEL/", "5/ > 6C"}), QByteArray());
}

void TestRegister::hostileInput() {
    Register reg;
    // A huge description is cut on the roll, the sale goes through.
    const QByteArray huge(8000, 'W');
    QCOMPARE(run(reg, {"3/S/" + huge + '/' + huge + "/1/1.00/1/4/", "3/S/A//99999999999999999999/1/1/4/ > 04",
                       "3/S/A//1/1e5/1/4/ > 18", "3/S/A//1/ /1/4/ > 18", "3/S/A//1/1..0/1/4/ > 18",
                       "3/S/A//1/1/99999999999999999999/4/ > 78", "5/1/1e9/ > 15",
                       ")/99999999999999999999/ > 04", "B/" + huge + "/ > 14", "7/1/1/" + huge + "/", "5/"}),
             QByteArray());
    for (const QString &l : reg.paper().last().split(u'\n'))
        QVERIFY2(l.size() <= ecrsim::Paper::kWidth, qPrintable(l));

    // Thousands of sales in one receipt: refused past the register's limit.
    int refused = 0;
    for (int i = 0; i < 3000; ++i)
        refused += reg.execute("3/S/ITEM//1/0.01/1/4/").startsWith("29");
    QVERIFY(refused > 2500);
    QCOMPARE(run(reg, {"5/", "3/S/ITEM//1/0.01/1/4/"}), QByteArray());
    QVERIFY(reg.paper().last().count(u'\n') < Register::kMaxDocumentLines + 40);

    // Random bytes: always a well-formed answer.
    QRandomGenerator rng(4242);
    const QByteArray alphabet("0123456789./-SRFN3457U2j'wm+x60tX9ebBG)(?a ,\xE8\x80");
    for (int i = 0; i < 3000; ++i) {
        QByteArray line(int(rng.bounded(60)), ' ');
        for (char &c : line)
            c = alphabet.at(int(rng.bounded(int(alphabet.size()))));
        if (i % 3 == 0 && line.size() >= 2)
            line[1] = '/';
        const QByteArray a = reg.execute(line);
        QVERIFY2(a.size() >= 11 && a.at(2) == '/' && a.at(5) == '/' && a.at(8) == '/', line.constData());
    }

    // A frame longer than the register keeps is taken and refused, not left unanswered.
    ecrsim::SimLink link(reg);
    const QByteArray line = "3/S/" + QByteArray(20000, 'X') + "/1/1/1/4/";
    int sum = 0;
    for (const char c : line)
        sum = (sum + quint8(c)) % 256;
    link.receive(
        QByteArray("\x18\x05\x02" + line + QByteArray::number(sum % 100).rightJustified(2, '0') + "\x03"), 0);
    QCOMPARE(link.takeOutput(0), QByteArray("\x06\x06\x02"
                                            "02/00/00/0/\x03"));
    link.receive(QByteArray("\x06\x05\x02" + line +
                            QByteArray::number((sum + 1) % 100).rightJustified(2, '0') + "\x03"),
                 0);
    QCOMPARE(link.takeOutput(0), QByteArray("\x06\x15"));
}

QTEST_GUILESS_MAIN(TestRegister)
#include "tst_register.moc"
