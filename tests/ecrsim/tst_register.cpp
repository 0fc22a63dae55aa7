// The simulated register at the command level: receipt state, paper, totals,
// register faults and hostile input.

#include "Control.h"
#include "PtyServer.h"
#include "Register.h"
#include "SimLink.h"

#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

using ecrsim::Register;

namespace {

QByteArrayList codes(Register &reg, const QByteArrayList &lines) {
    QByteArrayList out;
    for (const QByteArray &l : lines)
        out << reg.execute(l).left(2);
    return out;
}

// A row of a report: label on the left, figure flush right.
QString row(const char *left, const char *right) {
    return ecrsim::Paper::row(QString::fromUtf8(left), QString::fromUtf8(right));
}

void fixClock(Register &reg) {
    reg.clock = [] { return QDateTime(QDate(2026, 12, 8), QTime(19, 5, 30)); };
}

// The six demonstration receipts, as the console writes them.
const QList<QByteArrayList> kDemo = {
    {"7/0/1/##PROMEMORIA##/", "7/0/0/#SVUOTA-CASSA#/"},
    {"3/S/REPARTO1//1/5.26/1/4/", "3/S/REPARTO1//1/2.18/1/4/", "U/", "3/R/REPARTO1//1/7.43/1/4/",
     "5/1/0.00/////"},
    {"7/1/1/##PROMEMORIA##/", "7/1/0/#SVUOTA-CASSA#/", "w/1/1//", "7/1/1/##PROMEMORIA##/",
     "7/1/0/#SVUOTA-CASSA#/", "w/1/1//", "7/1/1/##PROMEMORIA##/", "7/1/0/#SVUOTA-CASSA#/", "w/1/1//",
     "7/1/1/##PROMEMORIA##/", "7/1/0/#SVUOTA-CASSA#/", "w/1/1//", "7/1/1/##PROMEMORIA##/",
     "7/1/0/#SVUOTA-CASSA#/", "w/1/1//", "m//"},
    {"3/F/OPEN//1/1/1/4/", "3/S/REPARTO 1//1/80/1/4/", "3/S/REPARTO 1//1/70/1/4/",
     "'/1/01234567897/1111111111111111/", "j//INTESTAZIONE CLIENTE/VIA DEL CORSO 12/00186 ROMA RM//////0/",
     "5/1/0.00/////"},
    {"-/123-2010/", "3/N/CAMICIA ROSSA/rif.sco.123del010109/1/1/1/4/", "5/1/0.00/////"},
    {"3/S/Coca Cola 1,70/second , descr/1/25.88/1/4/", "3/S/REPARTO2//1/25.88/2/10/",
     "3/S/REPARTO3//1/7.33/3/20/", "4/10.00///0/0/0//", "5/1/0.00/////"},
};

} // namespace

class TestRegister : public QObject {
    Q_OBJECT
private slots:
    void receiptRules_data();
    void receiptRules();
    void demoReceiptsAndTotals();
    void dailyClosingResetsTheDay();
    void vatRates();
    void paperTypicalReceipt();
    void paperDocuments();
    void windows1252Text();
    void displayRead();
    void faults_data();
    void faults();
    void faultsPersistUntilCleared();
    void seriousFaultLosesTheReceipt();
    void badFaultSpecs_data();
    void badFaultSpecs();
    void controlVerbs();
    void subclassOverridesOneCommand();
    void hostileInput();
    void documentLineLimit();
    void oversizedFrameIsRefused();
};

void TestRegister::receiptRules_data() {
    QTest::addColumn<QByteArrayList>("lines");
    QTest::addColumn<QByteArrayList>("expected");
    QTest::addColumn<bool>("openAfter");
    const QByteArray sale = "3/S/REPARTO1//1/5.00/1/4/";
    QTest::newRow("payment without receipt")
        << QByteArrayList{"5/1/0.00/////"} << QByteArrayList{"6C"} << false;
    QTest::newRow("end without receipt") << QByteArrayList{"+/"} << QByteArrayList{"6C"} << false;
    QTest::newRow("discount without receipt")
        << QByteArrayList{"4/10.00///0/0/0//"} << QByteArrayList{"6C"} << false;
    QTest::newRow("sale and payment")
        << QByteArrayList{sale, "5/1/0.00/////"} << QByteArrayList{"00", "00"} << false;
    QTest::newRow("closings refused while open")
        << QByteArrayList{sale, "x/7/0/0/", "x/1/1/1/", "6/1/", "B/12/", "G/12/1/1/42/", "b/4/10/20/0/0/"}
        << QByteArrayList{"00", "14", "14", "14", "14", "14", "14"} << true;
    QTest::newRow("closings after payment")
        << QByteArrayList{sale, "5/1/0.00/////", "x/1/1/1/", "6/1/", "B/12/", "G/12/1/1/42/", "x/7/0/0/"}
        << QByteArrayList{"00", "00", "00", "00", "00", "00", "00"} << false;
    QTest::newRow("unknown commands") << QByteArrayList{"Z/", "?", "", "@@/1/", "t0"}
                                      << QByteArrayList{"06", "06", "06", "06", "06"} << false;
    QTest::newRow("department") << QByteArrayList{"3/S/A//1/1.00/21/4/", "3/S/A//1/1.00/0/4/",
                                                  "3/S/A//1/1.00/x/4/", "3/S/A//1/1.00/20/4/"}
                                << QByteArrayList{"67", "67", "78", "00"} << true;
    QTest::newRow("vat value") << QByteArrayList{"3/S/A//1/1.00/1/7/",     "3/S/A//1/1.00/1/10/",
                                                 "3/S/A//1/1.00/1/-1/",    "3/S/A//1/1.00/1//",
                                                 "3/S/A//1/1.00/2/10.00/", "3/S/A//1/1.00/3/20/"}
                               << QByteArrayList{"09", "17", "09", "00", "00", "00"} << true;
    QTest::newRow("price") << QByteArrayList{"3/S/A//1/abc/1/4/",   "3/S/A//1/1,50/1/4/",
                                             "3/S/A//1/5.261/1/4/", "3/S/A//1/0/1/4/",
                                             "3/S/A//1/-2/1/4/",    "3/S/A//1/100000/1/4/",
                                             "3/S/A//1/80/1/4/"}
                           << QByteArrayList{"18", "18", "18", "7C", "18", "65", "00"} << true;
    QTest::newRow("quantity") << QByteArrayList{"3/S/A//x/1/1/4/", "3/S/A//0/1/1/4/", "3/S/A//10000/1/1/4/",
                                                "3/S/A//2.5/1/1/4/"}
                              << QByteArrayList{"04", "04", "64", "00"} << true;
    QTest::newRow("line type and fields") << QByteArrayList{"3/Q/A//1/1/1/4/", "3/S/A//1/", "3/S/A//1/1/1/4/"}
                                          << QByteArrayList{"1B", "01", "00"} << true;
    QTest::newRow("return beyond the total")
        << QByteArrayList{"3/S/A//1/1.00/1/4/", "3/R/A//1/2.00/1/4/", "3/R/A//1/1.00/1/4/"}
        << QByteArrayList{"00", "70", "00"} << true;
    QTest::newRow("discount") << QByteArrayList{sale, "4/6.00///0/0/0//", "4/0///0/0/0//", "4/x///",
                                                "4/5.00///"}
                              << QByteArrayList{"00", "70", "7A", "18", "00"} << true;
    QTest::newRow("empty receipt cannot be paid")
        << QByteArrayList{"2/", "5/1/0.00/////", "+/"} << QByteArrayList{"00", "6D", "00"} << false;
    QTest::newRow("partial payment keeps it open")
        << QByteArrayList{sale, "5/1/2.00/", "x/7/0/0/", "5/2/3.00/", "x/7/0/0/"}
        << QByteArrayList{"00", "00", "14", "00", "00"} << false;
    QTest::newRow("payment fields") << QByteArrayList{sale, "5/0/0.00/", "5/10/", "5/1/abc/", "5/9/"}
                                    << QByteArrayList{"00", "0C", "0C", "15", "00"} << false;
    QTest::newRow("cash key pays") << QByteArrayList{sale, ")/90/", "5/1/0.00/////", ")/90/", ")/5/", ")/x/"}
                                   << QByteArrayList{"00", "00", "6C", "00", "00", "04"} << false;
    QTest::newRow("empty invoice closes")
        << QByteArrayList{"3/F/OPENFAT//0/0/0/0/", "5/1/0////"} << QByteArrayList{"00", "00"} << false;
    QTest::newRow("credit note after a sale")
        << QByteArrayList{sale, "-/123/", "3/F/OPEN//1/1/1/4/"} << QByteArrayList{"00", "6E", "6E"} << true;
    QTest::newRow("customer codes") << QByteArrayList{"'/1/0123/1111111111111111/", "'/3/x/y/",
                                                      "'/2/11111111111/RSSMRA80A01H501U/"}
                                    << QByteArrayList{"04", "04", "00"} << true;
    QTest::newRow("text line places")
        << QByteArrayList{"7/2/0/X/", "7/0/0/X/", "7/1/0/X/"} << QByteArrayList{"04", "00", "00"} << false;
}

void TestRegister::receiptRules() {
    QFETCH(QByteArrayList, lines);
    QFETCH(QByteArrayList, expected);
    QFETCH(bool, openAfter);
    Register reg;
    QCOMPARE(codes(reg, lines), expected);
    QCOMPARE(reg.receiptOpen(), openAfter);
}

void TestRegister::demoReceiptsAndTotals() {
    Register reg;
    for (const QByteArrayList &demo : kDemo)
        QCOMPARE(codes(reg, demo), QByteArrayList(demo.size(), "00"));
    QVERIFY(!reg.receiptOpen());
    // Scontrino: 25.88 + 25.88 + 7.33 less 10.00, the discount shared by the rates;
    // Reso Merce 0.01; Fattura 150.00; the credit note of 1.00 counts as a return.
    QCOMPARE(reg.execute("0/"),
             QByteArray("00/00/00/171.50/21.51/6.09/0.00/0.00/199.10/4/5/10.00/8.43/0.00/"));
    QCOMPARE(reg.paper().printed(), 4 + 5);
    QVERIFY(reg.paper().documents().at(6).contains(QStringLiteral("FATTURA N. 1")));
    QVERIFY(reg.paper().documents().at(6).contains(QStringLiteral("P.IVA 01234567897")));
    QVERIFY(reg.paper().documents().at(6).contains(QStringLiteral("INTESTAZIONE CLIENTE")));
    QVERIFY(reg.paper().documents().at(7).contains(QStringLiteral("NOTA DI CREDITO N. 1")));
    QVERIFY(reg.paper().documents().at(7).contains(QStringLiteral("PRATICA N. 123-2010")));
    // The display notice reached the display, not the paper.
    QCOMPARE(reg.displayLine(0), QStringLiteral("TOTALE"));
}

void TestRegister::dailyClosingResetsTheDay() {
    Register reg;
    fixClock(reg);
    codes(reg, {"3/S/A//2/1.50/1/4/", "5/1/5.00/", "3/S/B//1/1.00/2/10/", "+/"});
    QCOMPARE(reg.execute("0/"), QByteArray("00/00/00/3.00/0.00/0.00/0.00/0.00/3.00/1/0/0.00/0.00/1.00/"));
    QCOMPARE(reg.execute("9/"), QByteArray("00/00/00/1/1/0/0/0/"));
    QCOMPARE(reg.execute("X/"), QByteArray("00/00/00/3.00/0/"));
    QCOMPARE(reg.execute("t/"), QByteArray("00/00/00/08-12-2026/19:05:30/"));
    QCOMPARE(reg.execute("x/7/0/0/").left(2), QByteArray("00"));
    const QString z = reg.paper().last();
    QVERIFY2(z.contains(QStringLiteral("CHIUSURA GIORNALIERA")), qPrintable(z));
    QVERIFY(z.contains(row("TOTALE VENDITE", "3,00")));
    QCOMPARE(reg.execute("0/"), QByteArray("00/00/00/0.00/0.00/0.00/0.00/0.00/0.00/0/0/0.00/0.00/0.00/"));
    QCOMPARE(reg.execute("9/"), QByteArray("00/00/00/2/0/0/0/0/"));
    QCOMPARE(reg.execute("X/"), QByteArray("00/00/00/3.00/1/"));
    QCOMPARE(reg.execute("x/9/").left(2), QByteArray("0F"));
}

void TestRegister::vatRates() {
    Register reg;
    QCOMPARE(reg.execute("e/"), QByteArray("00/00/00/4.00/10.00/20.00/0.00/0.00/"));
    QCOMPARE(codes(reg, {"b/4/10/", "b/4/10/x/0/0/", "b/4/10/100/0/0/", "b/5/10/22.5/0/0/"}),
             (QByteArrayList{"01", "09", "09", "00"}));
    QCOMPARE(reg.execute("e/"), QByteArray("00/00/00/5.00/10.00/22.50/0.00/0.00/"));
    // The PC rounds 22.5 to the even 22 when it fills the VAT value itself.
    QCOMPARE(codes(reg, {"3/S/A//1/1/3/22/", "3/S/A//1/1/3/22.50/", "3/S/A//1/1/1/4/"}),
             (QByteArrayList{"00", "00", "09"}));
    codes(reg, {"5/"});
    QCOMPARE(reg.execute("b/4/10/20/0/0/").left(2), QByteArray("10")); // the day has sales
    codes(reg, {"x/7/0/0/"});
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
    const QString expected = QStringLiteral("       NORVVELM DEMO SRL\n"
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
                                            "\n");
    QCOMPARE(QString::fromUtf8(f.readAll()), expected);

    // The next receipt is appended: both description lines, quantity, change.
    codes(reg, {"3/S/Coca Cola 1,70/second , descr/3/1.70/2/10/", "5/1/10.00/"});
    const QString second = QString::fromUtf8(f.readAll());
    QVERIFY2(second.startsWith(QStringLiteral("       NORVVELM DEMO SRL\n")), qPrintable(second));
    QVERIFY2(
        second.contains(QStringLiteral("Coca Cola 1,70\nsecond , descr\n  3 x 1,70         10%      5,10\n")),
        qPrintable(second));
    QVERIFY(second.contains(row("CONTANTI", "10,00") + u'\n' + row("RESTO", "4,90")));
    QVERIFY(second.contains(QStringLiteral("SCONTR. N. 2")));
}

void TestRegister::paperDocuments() {
    Register reg;
    fixClock(reg);
    // A return, a discount, a void, a text document, a closing and a copy.
    codes(reg, {"3/S/A//1/5.00/1/4/", "U/", "3/R/B//1/1.00/1/4/", "4/0.50/", "5/"});
    const QString r = reg.paper().last();
    QVERIFY(r.contains(row("SUBTOTALE", "5,00")));
    QVERIFY2(r.contains(QStringLiteral("RESO B\n  1 x 1,00          4%     -1,00\n")), qPrintable(r));
    QVERIFY(r.contains(row("SCONTO", "-0,50")));
    QVERIFY(r.contains(row("TOTALE EURO", "3,50")));

    codes(reg, {"3/S/A//1/2.00/1/4/", "+/"});
    QVERIFY(reg.paper().last().contains(QStringLiteral("*** SCONTRINO ANNULLATO ***")));

    codes(reg, {"7/1/1/RIGA UNO/", "7/1/0/RIGA DUE/"});
    QCOMPARE(reg.paper().printed(), 2);
    codes(reg, {"m//"});
    QCOMPARE(reg.paper().printed(), 3);
    QVERIFY(reg.paper().last().contains(QStringLiteral("RIGA UNO\nRIGA DUE\n")));
    QVERIFY(reg.paper().last().contains(QStringLiteral("DOCUMENTO NON FISCALE")));
    // A pending text document is printed before a receipt starts.
    codes(reg, {"7/1/1/PRIMA/", "3/S/A//1/1/1/4/"});
    QCOMPARE(reg.paper().printed(), 4);
    QVERIFY(reg.paper().last().contains(QStringLiteral("PRIMA")));
    codes(reg, {"5/", ")/120/"});
    QVERIFY(reg.paper().last().startsWith(QStringLiteral("   *** COPIA DA GIORNALE ***")));
    QVERIFY(reg.paper().last().contains(QStringLiteral("SCONTR. N. 2")));
    QCOMPARE(reg.execute("0/"), QByteArray("00/00/00/4.50/0.00/0.00/0.00/0.00/4.50/2/2/0.50/1.00/2.00/"));
}

void TestRegister::windows1252Text() {
    QTemporaryDir dir;
    Register reg;
    QVERIFY(reg.paper().setFile(dir.filePath(QStringLiteral("p"))));
    // È, Ù, é and the euro sign as single bytes of the register's code page.
    codes(reg, {"3/S/CAFF\xC8 PI\xD9/perch\xE9 \x80 1/1/1.00/1/4/", "5/", "7/0/1/CAFF\xC8/"});
    const QString doc = reg.paper().last();
    QVERIFY2(doc.contains(QStringLiteral("CAFFÈ PIÙ\nperché € 1\n")), qPrintable(doc));
    QFile f(reg.paper().filePath());
    QVERIFY(f.open(QIODevice::ReadOnly));
    QVERIFY(f.readAll().contains("CAFF\xC3\x88 PI\xC3\x99\nperch\xC3\xA9 \xE2\x82\xAC 1\n"));
    // The display gives the text back in the code page.
    QCOMPARE(reg.execute("(/"), QByteArray("00/00/00/CAFF\xC8           /            1,00/"));
}

void TestRegister::displayRead() {
    Register reg;
    const QByteArray a = reg.execute("(/");
    QCOMPARE(a.size(), 43); // the PC needs 43 characters for the two lines
    codes(reg, {"7/0/1/##PROMEMORIA##/", "7/0/0/#SVUOTA-CASSA#/"});
    QCOMPARE(reg.execute("(/"), QByteArray("00/00/00/##PROMEMORIA##  /#SVUOTA-CASSA#  /"));
    codes(reg, {"3/S/A VERY LONG DESCRIPTION//1/12.50/1/4/"});
    QCOMPARE(reg.execute("(/"), QByteArray("00/00/00/A VERY LONG DESC/           12,50/"));
}

void TestRegister::faults_data() {
    QTest::addColumn<QStringList>("specs");
    QTest::addColumn<QByteArrayList>("lines");
    QTest::addColumn<QByteArrayList>("answers"); // the first five characters: code and status
    QTest::addColumn<qint64>("subtotal");
    const QByteArray sale = "3/S/A//1/1.00/1/4/";
    QTest::newRow("busy for three") << QStringList{"busy*3"} << QByteArrayList{"?/", sale, sale, sale, "?/"}
                                    << QByteArrayList{"1A/00", "1A/00", "1A/00", "00/00", "00/00"}
                                    << qint64(100);
    QTest::newRow("busy then refused")
        << QStringList{"busy*2", "refuse=14"} << QByteArrayList{sale, sale, sale, sale}
        << QByteArrayList{"1A/00", "1A/00", "14/00", "00/00"} << qint64(100);
    QTest::newRow("refused twice, lower case")
        << QStringList{"refuse=6c*2"} << QByteArrayList{sale, sale, sale}
        << QByteArrayList{"6C/00", "6C/00", "00/00"} << qint64(100);
    QTest::newRow("serious once") << QStringList{"serious=37"} << QByteArrayList{"?/", "?/"}
                                  << QByteArrayList{"37/00", "00/00"} << qint64(0);
    QTest::newRow("serious default code") << QStringList{"serious*2"} << QByteArrayList{"?/", sale, sale}
                                          << QByteArrayList{"37/00", "37/00", "00/00"} << qint64(100);
    QTest::newRow("paper bit for two") << QStringList{"paperbit*2"} << QByteArrayList{sale, sale, sale, "?/"}
                                       << QByteArrayList{"00/04", "00/04", "00/00", "00/00"} << qint64(100);
    QTest::newRow("paper out") << QStringList{"paperout"} << QByteArrayList{"?/", sale, "a/"}
                               << QByteArrayList{"31/00", "31/00", "31/00"} << qint64(0);
    QTest::newRow("cover open before paper out")
        << QStringList{"paperout", "coveropen"} << QByteArrayList{"?/", sale}
        << QByteArrayList{"32/00", "32/00"} << qint64(0);
    QTest::newRow("paper out holds the queue")
        << QStringList{"paperout", "busy"} << QByteArrayList{"?/", "?/"} << QByteArrayList{"31/00", "31/00"}
        << qint64(0);
}

void TestRegister::faults() {
    QFETCH(QStringList, specs);
    QFETCH(QByteArrayList, lines);
    QFETCH(QByteArrayList, answers);
    QFETCH(qint64, subtotal);
    Register reg;
    ecrsim::SimLink link(reg);
    for (const QString &s : specs) {
        QString error;
        QVERIFY2(link.addFaultSpec(s, &error), qPrintable(error));
    }
    QByteArrayList got;
    for (const QByteArray &l : lines)
        got << reg.execute(l).left(5);
    QCOMPARE(got, answers);
    // A command answered with a fault is not executed: one sale booked at most.
    QCOMPARE(reg.subtotal(), subtotal);
}

void TestRegister::faultsPersistUntilCleared() {
    Register reg;
    ecrsim::SimLink link(reg);
    QVERIFY(link.addFaultSpec(QStringLiteral("paperout")));
    for (int i = 0; i < 20; ++i)
        QCOMPARE(reg.execute("?/").left(2), QByteArray("31"));
    reg.paperIn();
    QCOMPARE(reg.execute("?/").left(2), QByteArray("00"));

    reg.setCoverOpen(true);
    for (int i = 0; i < 20; ++i)
        QCOMPARE(reg.execute("?/").left(2), QByteArray("32"));
    reg.setCoverOpen(false);
    QCOMPARE(reg.execute("?/").left(2), QByteArray("00"));

    // The paper bit until the roll is replaced, over the other status bits.
    reg.statusBits = 1;
    QVERIFY(link.addFaultSpec(QStringLiteral("paperlow")));
    for (int i = 0; i < 20; ++i)
        QCOMPARE(reg.execute("3/S/A//1/1/1/4/").left(5), QByteArray("00/05"));
    reg.paperIn();
    QCOMPARE(reg.execute("3/S/A//1/1/1/4/"), QByteArray("00/01/00/1.00/"));
    reg.statusBits = 0;

    // clear drops everything at once.
    for (const char *s : {"paperout", "coveropen", "paperlow", "paperbit*5", "busy*9", "refuse=14*9"})
        QVERIFY(link.addFaultSpec(QString::fromLatin1(s)));
    QCOMPARE(reg.pendingFaults(), 18);
    link.clearFaults();
    QCOMPARE(reg.pendingFaults(), 0);
    QCOMPARE(reg.execute("?/"), QByteArray("00/00/00/0/"));
}

void TestRegister::seriousFaultLosesTheReceipt() {
    Register reg;
    codes(reg, {"3/S/A//1/2.00/1/4/"});
    reg.pushFault({Register::Fault::Serious, "34", 1});
    QCOMPARE(reg.execute("3/S/B//1/1.00/1/4/").left(2), QByteArray("34"));
    QVERIFY(!reg.receiptOpen());
    QVERIFY(reg.paper().last().contains(QStringLiteral("SCONTRINO ANNULLATO")));
    QCOMPARE(codes(reg, {"5/", "x/7/0/0/"}), (QByteArrayList{"6C", "00"}));
    QVERIFY(reg.paper().last().contains(row("TOTALE ANNULLI", "2,00")));
}

void TestRegister::badFaultSpecs_data() {
    QTest::addColumn<QString>("spec");
    for (const char *s :
         {"refuse", "refuse=1", "refuse=XY", "refuse=00", "serious=123", "bogus", "busy=3", "enq:bogus"})
        QTest::newRow(s) << QString::fromLatin1(s);
}

void TestRegister::badFaultSpecs() {
    QFETCH(QString, spec);
    Register reg;
    ecrsim::SimLink link(reg);
    QString error;
    QVERIFY(!link.addFaultSpec(spec, &error));
    QVERIFY2(error.contains(spec), qPrintable(error));
    QCOMPARE(reg.pendingFaults(), 0);
}

void TestRegister::controlVerbs() {
    Register reg;
    ecrsim::SimLink link(reg);
    ecrsim::PtyServer server(link, QStringLiteral("/nonexistent/ecr"));
    ecrsim::Control control(link, server);
    QCOMPARE(control.execute("paper out"), QByteArray("ok"));
    QVERIFY(reg.paperOut());
    QCOMPARE(control.execute("cover open"), QByteArray("ok"));
    QCOMPARE(reg.execute("?/").left(2), QByteArray("32"));
    QCOMPARE(control.execute("cover close"), QByteArray("ok"));
    QCOMPARE(reg.execute("?/").left(2), QByteArray("31"));
    QCOMPARE(control.execute("paper in"), QByteArray("ok"));
    QCOMPARE(reg.execute("?/").left(2), QByteArray("00"));
    QCOMPARE(control.execute("paper low"), QByteArray("ok"));
    QCOMPARE(reg.execute("?/").left(5), QByteArray("00/04"));
    QCOMPARE(control.execute("paper in"), QByteArray("ok"));
    QCOMPARE(control.execute("fault busy*2"), QByteArray("ok"));
    QCOMPARE(control.execute("fault refuse=14"), QByteArray("ok"));
    QCOMPARE(control.execute("fault serious=37"), QByteArray("ok"));
    QCOMPARE(codes(reg, {"?/", "?/", "?/", "?/", "?/"}), (QByteArrayList{"1A", "1A", "14", "37", "00"}));
    QCOMPARE(control.execute("fault paperbit*2"), QByteArray("ok"));
    QCOMPARE(control.execute("clear"), QByteArray("ok"));
    QCOMPARE(reg.execute("?/").left(5), QByteArray("00/00"));
    QVERIFY(control.execute("paper sideways").startsWith("expected"));
    QVERIFY(control.execute("fault refuse=1").startsWith("bad fault"));
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
    QCOMPARE(reg.execute("?/"), QByteArray("00/00/00/1/"));
    QCOMPARE(reg.execute("s/"), QByteArray("00/00/00/MODEL/"));
    QCOMPARE(reg.execute("5/").left(2), QByteArray("6C")); // the rest as before
    reg.pushFault({Register::Fault::Busy, {}, 1});
    QCOMPARE(reg.execute("s/").left(2), QByteArray("1A")); // faults before any command
}

void TestRegister::hostileInput() {
    Register reg;
    // A huge description is cut on the roll, the sale goes through.
    const QByteArray huge(8000, 'W');
    QCOMPARE(reg.execute("3/S/" + huge + '/' + huge + "/1/1.00/1/4/").left(2), QByteArray("00"));
    QCOMPARE(
        codes(reg, {"3/S/A//99999999999999999999/1/1/4/", "3/S/A//1/1e5/1/4/", "3/S/A//1/ /1/4/",
                    "3/S/A//1/1..0/1/4/", "3/S/A//1/1/99999999999999999999/4/", "5/1/1e9/", "b/1e2/1/1/1/1/",
                    ")/99999999999999999999/", "B/" + huge + '/', "7/1/1/" + huge + '/'}),
        (QByteArrayList{"04", "18", "18", "18", "78", "15", "14", "04", "14", "00"}));
    QCOMPARE(codes(reg, {"5/"}), QByteArrayList{"00"});
    const QStringList lines = reg.paper().last().split(u'\n');
    for (const QString &l : lines)
        QVERIFY2(l.size() <= ecrsim::Paper::kWidth, qPrintable(l));

    // Random bytes: always a well-formed answer, never a crash.
    QRandomGenerator rng(4242);
    const QByteArray alphabet("0123456789./-SRFN3457U2j'wm+x60tX9ebBG)(?a ,\xE8\x80");
    for (int i = 0; i < 3000; ++i) {
        QByteArray line;
        const int n = int(rng.bounded(60));
        for (int k = 0; k < n; ++k)
            line.append(alphabet.at(int(rng.bounded(int(alphabet.size())))));
        if (i % 3 == 0 && line.size() >= 2)
            line[1] = '/';
        const QByteArray a = reg.execute(line);
        QVERIFY2(a.size() >= 11 && a.at(2) == '/' && a.at(5) == '/' && a.at(8) == '/', line.constData());
    }
}

void TestRegister::documentLineLimit() {
    Register reg;
    int refused = 0;
    for (int i = 0; i < 5000; ++i) {
        const QByteArray code = reg.execute("3/S/ITEM//1/0.01/1/4/").left(2);
        if (code == "29")
            ++refused;
        else
            QCOMPARE(code, QByteArray("00"));
    }
    QVERIFY(refused > 4000);
    QCOMPARE(reg.execute("5/").left(2), QByteArray("00"));
    QVERIFY(reg.paper().last().count(u'\n') < Register::kMaxDocumentLines + 40);
    // The register goes on with the next receipt.
    QCOMPARE(reg.execute("3/S/ITEM//1/0.01/1/4/").left(2), QByteArray("00"));
}

void TestRegister::oversizedFrameIsRefused() {
    Register reg;
    ecrsim::SimLink link(reg);
    const QByteArray line = "3/S/" + QByteArray(20000, 'X') + "/1/1/1/4/";
    int sum = 0;
    for (const char c : line)
        sum = (sum + quint8(c)) % 256;
    const QByteArray digits = QByteArray::number(sum % 100).rightJustified(2, '0');
    const QByteArray wrong = QByteArray::number((sum + 1) % 100).rightJustified(2, '0');
    link.receive(QByteArray(QByteArray("\x05\x02") + line + digits + "\x03"), 0);
    QCOMPARE(link.takeOutput(0), QByteArray("\x06\x06\x02"
                                            "02/00/00/0/\x03"));
    link.receive(QByteArray(QByteArray("\x06\x05\x02") + line + wrong + "\x03"), 0);
    QCOMPARE(link.takeOutput(0), QByteArray("\x06\x15"));
    QVERIFY(!reg.receiptOpen());
}

QTEST_GUILESS_MAIN(TestRegister)
#include "tst_register.moc"
