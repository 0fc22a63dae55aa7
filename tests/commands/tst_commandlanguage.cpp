// Command and answer lines.

#include "commands/CommandLanguage.h"

#include <QTest>

using namespace norvvelm;

class TestCommandLanguage : public QObject {
    Q_OBJECT
private slots:
    void customerHeader_data();
    void customerHeader();
    void receiptRules_data();
    void receiptRules();
    void saleRewrite_data();
    void saleRewrite();
    void answers();
    void identification();
};

void TestCommandLanguage::customerHeader_data() {
    QTest::addColumn<QString>("in");
    QTest::addColumn<QString>("out");
    QTest::newRow("short") << "j/A/B/C/0/"
                           << "j/A/B/C///////0/";
    QTest::newRow("own final field dropped") << "j/A/B/C"
                                             << "j/A/B////////0/";
    QTest::newRow("more than nine") << "j/1/2/3/4/5/6/7/8/9/10/11/0/"
                                    << "j/1/2/3/4/5/6/7/8/9/0/";
    QTest::newRow("no slash") << "jjj"
                              << "j//////////0/";
    QTest::newRow("other code") << "x/A/0"
                                << "j/A/////////0/";
    QTest::newRow("empty fields kept") << "j/A//C/0/"
                                       << "j/A//C///////0/";
}

void TestCommandLanguage::customerHeader() {
    QFETCH(QString, in);
    QFETCH(QString, out);
    QCOMPARE(NormalizeCustomerHeader(in), out);
    QCOMPARE(NormalizeCustomerHeader(out), out); // stable
}

void TestCommandLanguage::receiptRules_data() {
    QTest::addColumn<QString>("code");
    QTest::addColumn<int>("rule");
    QTest::newRow("t0") << "t0" << int(ReceiptRule::DailyReport);
    for (const char *c : {"U/", "j/", "2/", "3/", "4/", "-/"})
        QTest::newRow(c) << QString::fromLatin1(c) << int(ReceiptRule::Opens);
    QTest::newRow("5/") << "5/" << int(ReceiptRule::Closes);
    for (const char *c : {"W/", "7/", "'/", "[/", "w/", "q/", "m/", "0/"})
        QTest::newRow(c) << QString::fromLatin1(c) << int(ReceiptRule::Neutral);
    QTest::newRow("+/") << "+/" << int(ReceiptRule::EndsOpen);
    for (const char *c : {"6/", "x/", "B/", "G/"})
        QTest::newRow(c) << QString::fromLatin1(c) << int(ReceiptRule::ClosedOnly);
    QTest::newRow(")/") << ")/" << int(ReceiptRule::KeyCode);
    for (const char *c : {"b/", "X/", "?/", "a/", "(/", "e/", "H/", "$/", "t/", "9/", "T0"})
        QTest::newRow(c) << QString::fromLatin1(c) << int(ReceiptRule::NotHandled);
}

void TestCommandLanguage::receiptRules() {
    QFETCH(QString, code);
    QTEST(int(ReceiptRuleFor(code)), "rule");
}

void TestCommandLanguage::saleRewrite_data() {
    QTest::addColumn<QString>("line");
    QTest::addColumn<bool>("wrap");
    QTest::addColumn<int>("w1");
    QTest::addColumn<int>("w2");
    QTest::addColumn<bool>("autoVat");
    QTest::addColumn<QString>("out");
    const QString abc = QStringLiteral("ABCDEFGHIJKLMNO");
    QTest::newRow("overflow into empty second")
        << "3/S/" + abc + "//1/5.26/1/4/" << true << 10 << 10 << false << "3/S/ABCDEFGHIJ/KLMNO/1/5.26/1/4/";
    QTest::newRow("overflow before second") << "3/S/" + abc + "/X/1/5.26/1/4/" << true << 10 << 10 << false
                                            << "3/S/ABCDEFGHIJ/KLMNO-X/1/5.26/1/4/";
    QTest::newRow("second cut to width 2") << "3/S/" + abc + "/XYZ/1/5.26/1/4/" << true << 10 << 7 << false
                                           << "3/S/ABCDEFGHIJ/KLMNO-X/1/5.26/1/4/";
    QTest::newRow("zero widths count as 10")
        << "3/S/" + abc + "//1/5.26/1/4/" << true << 0 << -3 << false << "3/S/ABCDEFGHIJ/KLMNO/1/5.26/1/4/";
    QTest::newRow("fits: trimmed, second untouched")
        << "3/S/ SHORT / LONGER THAN TEN CHARS /1/5.26/1/4/" << true << 10 << 10 << false
        << "3/S/SHORT/LONGER THAN TEN CHARS/1/5.26/1/4/";
    QTest::newRow("wrap off") << "3/S/" + abc + "//1/5.26/1/4/" << false << 10 << 10 << false
                              << "3/S/" + abc + "//1/5.26/1/4/";
    QTest::newRow("department 2 takes entry 1")
        << "3/S/A//1/5.26/2/4/" << false << 0 << 0 << true << "3/S/A//1/5.26/2/10/";
    QTest::newRow("entry never read")
        << "3/S/A//1/5.26/ 3 /4/" << false << 0 << 0 << true << "3/S/A//1/5.26/ 3 /-1/";
    QTest::newRow("department out of range keeps its VAT")
        << "3/S/A//1/5.26/22/4/" << false << 0 << 0 << true << "3/S/A//1/5.26/22/4/";
    QTest::newRow("too few fields") << "3/S/" << true << 10 << 10 << true << "3/S/";
}

void TestCommandLanguage::saleRewrite() {
    QFETCH(QString, line);
    std::array<int, 21> vat;
    vat.fill(-1);
    vat[0] = 4;
    vat[1] = 10;
    SaleRewrite how;
    QFETCH(bool, wrap);
    QFETCH(int, w1);
    QFETCH(int, w2);
    QFETCH(bool, autoVat);
    how.wrapDescription = wrap;
    how.width1 = w1;
    how.width2 = w2;
    how.autoVat = autoVat;
    how.vatTable = &vat;
    QTEST(RewriteSaleLine(line, how), "out");
}

void TestCommandLanguage::answers() {
    const QString a = QStringLiteral("1A/05/00/f1//f3/tail");
    QCOMPARE(AnswerErrorCode(a), QStringLiteral("1A"));
    QCOMPARE(AnswerStatusNumber(a), 5);
    QVERIFY(AnswerNeedsPaper(a));
    QCOMPARE(AnswerFields(a), (QStringList{"f1", "", "f3"}));
    QVERIFY(!AnswerNeedsPaper(QStringLiteral("00/03/00/0/")));
    QVERIFY(!AnswerNeedsPaper(QStringLiteral("00/12/00/0/"))); // above 7: no bits
    QCOMPARE(AnswerStatusNumber(QStringLiteral("00/xx/00/0/")), -1);
    QVERIFY(!AnswerNeedsPaper(QStringLiteral("00/xx/00/0/")));
    QCOMPARE(AnswerFields(QStringLiteral("00/00/00")), QStringList());
    QCOMPARE(CompleteLine(QStringLiteral("?")), QStringLiteral("?/"));
    QCOMPARE(CompleteLine(QStringLiteral("?/")), QStringLiteral("?/"));
    // The totals' answer: the sales total (field 6) and the receipts (field 7).
    const ReceiptTotals t = TotalsOfAnswer(QStringLiteral("00/00/00/1/2/3/4/5/1234,5/17/0/"));
    QCOMPARE(t.receipts, 17);
    QCOMPARE(t.salesCents, std::optional<qint64>(123450));
    QVERIFY(!TotalsOfAnswer(QStringLiteral("00/00/00/1/2/3/4/5/12.3x/17/")).salesCents);
    QCOMPARE(TotalsOfAnswer(QStringLiteral("6C/00/00/1/2/3/4/5/1.00/17/")).receipts, -1);
    QCOMPARE(AmountCents(QStringLiteral("-0.5")), std::optional<qint64>(-50));
    QVERIFY(!AmountCents(QStringLiteral("1.005")) && !AmountCents(QString()));
    QCOMPARE(AmountText(-50), QStringLiteral("-0.50"));
    QCOMPARE(AmountText(123405), QStringLiteral("1234.05"));
}

void TestCommandLanguage::identification() {
    const RegisterIdentity id = ParseIdentification(QStringLiteral("00/00/00/ NV123 /7/72/x/y/1.02/"));
    QCOMPARE(id.sn, QStringLiteral("NV123"));
    QCOMPARE(id.num, QStringLiteral("7"));
    QCOMPARE(id.campo, QStringLiteral("72"));
    QCOMPARE(id.fw, QStringLiteral("1.02"));
    const RegisterIdentity shortOne = ParseIdentification(QStringLiteral("00/00/00/NV9/"));
    QCOMPARE(shortOne.sn, QStringLiteral("NV9"));
    QVERIFY(shortOne.fw.isEmpty());
}

QTEST_GUILESS_MAIN(TestCommandLanguage)
#include "tst_commandlanguage.moc"
