// The simulated register's keyboard and display, key code by key code.

#include "ecrsim/Register.h"

#include <QTest>

using ecrsim::Register;

namespace {

// Key codes by what the key says.
int code(const QString &k) {
    static const QHash<QString, int> codes = {
        {"0", 69},       {"1", 22},       {"2", 30},    {"3", 38},      {"4", 37},     {"5", 46},
        {"6", 54},       {"7", 61},       {"8", 62},    {"9", 70},      {",", 73},     {"x", 34},
        {"REP1", 5},     {"REP2", 6},     {"REP3", 4},  {"SUB", 102},   {"CASH", 90},  {"CLEAR", 118},
        {"VOID", 28},    {"STORNO", 35},  {"RESO", 43}, {"SC%", 60},    {"MAGG%", 53}, {"FN", 67},
        {"TOT4", 58},    {"TOT3", 9},     {"PLU", 51},  {"DRAWER", 36}, {"FEED", 21},  {"OPER", 29},
        {"ENTRATE", 26}, {"JOURNAL", 120}};
    return codes.value(k, -1);
}

// Presses keys written "1 5 0 REP1"; a key followed by ">CODE" must be
// answered with that error code. Empty when all went so.
QByteArray press(Register &reg, const QString &keys) {
    for (const QString &k : keys.split(u' ', Qt::SkipEmptyParts)) {
        const QString key = k.section(u'>', 0, 0);
        const QByteArray want = k.contains(u'>') ? k.section(u'>', 1).toLatin1() : QByteArray("00");
        const int c = code(key);
        if (c < 0)
            return "no key " + key.toLatin1();
        const QByteArray got = reg.execute(")/" + QByteArray::number(c) + '/');
        if (!got.startsWith(want))
            return key.toLatin1() + " answered " + got;
    }
    return {};
}

QString top(Register &reg) {
    return QString::fromLatin1(reg.execute("(/").mid(9, 16));
}
QString bottom(Register &reg) {
    return QString::fromLatin1(reg.execute("(/").mid(26, 16));
}

} // namespace

class TestKeyboard : public QObject {
    Q_OBJECT
private slots:
    void saleAndDisplay();
    void totals_data();
    void totals();
    void corrections();
    void creditNoteTakesTwoCashKeys();
    void otherKeys();
};

void TestKeyboard::saleAndDisplay() {
    Register reg;
    QVERIFY(top(reg).startsWith(QStringLiteral("0,00 ")));
    QCOMPARE(press(reg, "1 5"), QByteArray());
    QCOMPARE(bottom(reg), QStringLiteral("            0,15")); // implicit cents
    QCOMPARE(press(reg, "0 REP1"), QByteArray());
    QCOMPARE(top(reg), QStringLiteral("1,50   REPARTO 1"));
    QCOMPARE(bottom(reg), QStringLiteral("            1,50"));
    QVERIFY(reg.receiptOpen());
    QCOMPARE(press(reg, "3 x 2 , 2 5"), QByteArray());
    QCOMPARE(bottom(reg), QStringLiteral("        3 X 2,25"));
    QCOMPARE(press(reg, "REP2 SUB"), QByteArray());
    QCOMPARE(top(reg), QStringLiteral("8,25   SUBTOTALE"));
    QCOMPARE(press(reg, "1 0 0 0 CASH"), QByteArray()); // 10,00 given
    QVERIFY(!reg.receiptOpen());
    QVERIFY(top(reg).startsWith(QStringLiteral("0,00 ")));
    const QString paper = reg.paper().last();
    QVERIFY2(
        paper.contains(ecrsim::Paper::row(QStringLiteral("  3 x 2,25"), QStringLiteral("10%      6,75"))),
        qPrintable(paper));
    QVERIFY(paper.contains(ecrsim::Paper::row(QStringLiteral("SUBTOTALE"), QStringLiteral("8,25"))));
    QVERIFY(paper.contains(ecrsim::Paper::row(QStringLiteral("RESTO"), QStringLiteral("1,75"))));

    // Keys the register refuses, each clearing what was typed.
    QCOMPARE(press(reg, "REP1>18 , ,>46 CLEAR 0 REP1>18 x>04 SUB CASH"), QByteArray());
    QCOMPARE(press(reg, "1 2 3 4 5 6 7 8 9 0>46"), QByteArray());
    QCOMPARE(reg.paper().printed(), 1);
}

void TestKeyboard::totals_data() {
    QTest::addColumn<QString>("keys");
    QTest::addColumn<QString>("payment");
    QTest::newRow("cash") << "CASH"
                          << "CONTANTI";
    QTest::newRow("other total 4") << "TOT4 4 CASH"
                                   << "CARTA DI CREDITO";
    QTest::newRow("other total 3") << "TOT3"
                                   << "CREDITO";
}

void TestKeyboard::totals() {
    QFETCH(QString, keys);
    QFETCH(QString, payment);
    Register reg;
    QCOMPARE(press(reg, "5 0 0 REP3 " + keys), QByteArray());
    QVERIFY(!reg.receiptOpen());
    QVERIFY(reg.paper().last().contains(ecrsim::Paper::row(payment, QStringLiteral("5,00"))));
}

void TestKeyboard::corrections() {
    Register reg;
    // 10,00 and 4,00; void of the last item; 10% off; 1,00 off; 0,50 more;
    // a return of 2,00; 5% more.
    QCOMPARE(press(reg, "1 0 0 0 REP1 4 0 0 REP1 STORNO STORNO>6E"), QByteArray());
    QCOMPARE(reg.subtotal(), 1000);
    QCOMPARE(press(reg, "1 0 SC% 1 0 0 FN 1 CASH"), QByteArray());
    QCOMPARE(reg.subtotal(), 800);
    QCOMPARE(press(reg, "5 0 FN 4 CASH RESO 2 0 0 REP1"), QByteArray());
    QCOMPARE(reg.subtotal(), 650);
    QCOMPARE(press(reg, "5 MAGG% FN 7 CASH>21"), QByteArray());
    QCOMPARE(reg.subtotal(), 683);
    QCOMPARE(press(reg, "CASH"), QByteArray());
    const QString paper = reg.paper().last();
    QVERIFY2(paper.contains(ecrsim::Paper::row(QStringLiteral("STORNO REPARTO 1"), QStringLiteral("-4,00"))),
             qPrintable(paper));
    QVERIFY(paper.contains(ecrsim::Paper::row(QStringLiteral("SCONTO"), QStringLiteral("-1,00"))));
    QVERIFY(paper.contains(ecrsim::Paper::row(QStringLiteral("MAGGIORAZIONE"), QStringLiteral("0,50"))));
    QVERIFY(paper.contains(QStringLiteral("RESO REPARTO 1")));
    QVERIFY(paper.contains(ecrsim::Paper::row(QStringLiteral("MAGG. 5,00%"), QStringLiteral("0,33"))));
    QVERIFY(paper.contains(ecrsim::Paper::row(QStringLiteral("TOTALE EURO"), QStringLiteral("6,83"))));
    QCOMPARE(reg.totals().sales, 683);

    // The void of the receipt.
    QCOMPARE(press(reg, "3 0 0 REP2 VOID VOID>6C"), QByteArray());
    QVERIFY(reg.paper().last().contains(QStringLiteral("*** SCONTRINO ANNULLATO ***")));
    QCOMPARE(press(reg, "1 0 SC%>6C"), QByteArray());
}

void TestKeyboard::creditNoteTakesTwoCashKeys() {
    Register reg;
    QVERIFY(reg.execute("-/123-2010/").startsWith("00"));
    QCOMPARE(press(reg, "7 5 0 REP1 CASH"), QByteArray());
    QVERIFY(reg.receiptOpen()); // its total shown, the reference lines may follow
    QVERIFY(top(reg).startsWith(QStringLiteral("7,50 ")));
    QVERIFY(reg.execute("7/1/1/RIF. SCONTRINO 45/").startsWith("00"));
    QCOMPARE(press(reg, "CASH"), QByteArray());
    QVERIFY(!reg.receiptOpen());
    const QString paper = reg.paper().last();
    QVERIFY(paper.contains(QStringLiteral("NOTA DI CREDITO N. 1")));
    QVERIFY(paper.contains(QStringLiteral("RIF. SCONTRINO 45\n")));
    QCOMPARE(reg.totals().returns, 750);
}

void TestKeyboard::otherKeys() {
    Register reg;
    QCOMPARE(press(reg, "DRAWER FEED FEED 3 OPER 0 OPER>0A 1 PLU>07"), QByteArray());
    QCOMPARE(reg.keyboard().drawerOpenings, 1);
    QCOMPARE(reg.keyboard().paperFeeds, 2);
    QCOMPARE(reg.keyboard().operatorNumber, 3);
    ecrsim::Tables::Plu caffe;
    caffe.description = QStringLiteral("CAFFE");
    caffe.price = 120;
    caffe.department = 2;
    reg.tables.plus.insert(12, caffe);
    QCOMPARE(press(reg, "2 x 1 2 PLU 9 PLU>07"), QByteArray());
    QCOMPARE(reg.subtotal(), 240);
    QCOMPARE(press(reg, "ENTRATE>14 STORNO CASH 5 0 0 0 ENTRATE JOURNAL"), QByteArray());
    QCOMPARE(reg.subtotal(), 0);
    const QStringList docs = reg.paper().documents();
    QCOMPARE(docs.size(), 3);
    QVERIFY(docs.at(0).contains(QStringLiteral("CAFFE\n")));
    QVERIFY(docs.at(0).contains(ecrsim::Paper::row(QStringLiteral("STORNO CAFFE"), QStringLiteral("-2,40"))));
    QVERIFY(docs.at(1).contains(ecrsim::Paper::row(QStringLiteral("IMPORTO"), QStringLiteral("50,00"))));
    QVERIFY(docs.at(2).startsWith(QStringLiteral("   *** COPIA DA GIORNALE ***")));
}

QTEST_GUILESS_MAIN(TestKeyboard)
#include "tst_keyboard.moc"
