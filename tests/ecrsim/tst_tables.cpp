#include "ecrsim/Register.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using ecrsim::Register;

class TstTables : public QObject {
    Q_OBJECT
private slots:
    void stateSurvivesARestart();
    void refusals_data();
    void refusals();
};

void TstTables::stateSurvivesARestart() {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("state.json"));
    {
        Register reg;
        QVERIFY(reg.setStateFile(path));
        QVERIFY(reg.execute("P/12/8001/CAFFE/3/0/1.2/0/10/00000001/").startsWith("00/"));
        QVERIFY(reg.execute("D/3/BAR/2//////").startsWith("00/"));
        QVERIFY(reg.execute("b/4/10/22.5/5/0/").startsWith("00/"));
        QVERIFY(reg.execute("Y/2/BUONO/BUON/00000000/0/0//1/1/").startsWith("00/"));
        QVERIFY(reg.execute("o/BENVENUTI/").startsWith("00/"));
        QByteArray h = "H/";
        for (int i = 0; i < 12; ++i)
            h += i == 0 ? "3/" + QByteArray(16, 'X') + '/' : QByteArray("1//");
        QVERIFY(reg.execute(h).startsWith("00/"));
    }
    Register again;
    QVERIFY(again.setStateFile(path));
    QCOMPARE(again.execute("p/12/"),
             QByteArray("00/00/00/8001/CAFFE/3/0/00000001/0/1.20/0.00/10/0/0.00/0/0/0/"));
    QCOMPARE(again.execute("d/3/"), QByteArray("00/00/00/BAR/2/0/0/0/0/"));
    QCOMPARE(again.vatRates().at(2), QByteArray("22.50"));
    QCOMPARE(again.tables.payments[1].credit, 1);
    QCOMPARE(again.tables.scrollMessage, QStringLiteral("BENVENUTI"));
    QCOMPARE(again.tables.headerChanges, 1);
    QCOMPARE(again.tables.printedHeader(), QStringList{QStringLiteral("X X X X X X X X X X X X X X X X ")});

    // A file that is not ours is refused and left alone.
    QFile bad(dir.filePath(QStringLiteral("bad.json")));
    QVERIFY(bad.open(QIODevice::WriteOnly));
    bad.write("{\"tables\": 7}");
    bad.close();
    Register other;
    QString error;
    QVERIFY(!other.setStateFile(bad.fileName(), &error));
    QVERIFY(error.contains(u"not a state file"));
    QVERIFY(bad.open(QIODevice::ReadOnly));
    QCOMPARE(bad.readAll(), QByteArray("{\"tables\": 7}"));
}

void TstTables::refusals_data() {
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<QByteArray>("code");
    QTest::newRow("PLU beyond the table") << QByteArray("P/9001/1/X/1/0/1/0/0/0/") << QByteArray("22");
    QTest::newRow("PLU number not a number") << QByteArray("p/X/") << QByteArray("07");
    QTest::newRow("PLU without department") << QByteArray("P/1/1/X/0/0/1/0/0/0/") << QByteArray("08");
    QTest::newRow("PLU code of another") << QByteArray("P/2/8001/X/1/0/1/0/0/0/") << QByteArray("3E");
    QTest::newRow("PLU price with a comma") << QByteArray("P/1/1/X/1/0/1,5/0/0/0/") << QByteArray("18");
    QTest::newRow("department 21") << QByteArray("d/21/") << QByteArray("08");
    QTest::newRow("payment 10") << QByteArray("y/10/") << QByteArray("0C");
    QTest::newRow("payment description too long")
        << QByteArray("Y/1/CONTANTI1/C/00000000/0/0//1/0/") << QByteArray("04");
    QTest::newRow("S record short") << QByteArray("S/00000000000000000000000000/1/") << QByteArray("01");
    QTest::newRow("header double width too long")
        << QByteArray("H/3/" + QByteArray(17, 'X') + "/1//1//1//1//1//1//1//1//1//1//1//")
        << QByteArray("04");
}

void TstTables::refusals() {
    QFETCH(QByteArray, line);
    QFETCH(QByteArray, code);
    Register reg;
    QVERIFY(reg.execute("P/1/8001/CAFFE/1/0/1/0/0/0/").startsWith("00/"));
    QCOMPARE(reg.execute(line).left(2), code);
}

QTEST_GUILESS_MAIN(TstTables)
#include "tst_tables.moc"
