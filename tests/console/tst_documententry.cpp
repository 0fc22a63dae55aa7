// The document dialogs' rules and the console's lines, without a display.

#include "commands/DocumentLines.h"
#include "console/ConsoleLines.h"
#include "console/DocumentEntry.h"
#include "console/RegisterKeys.h"

#include <QTest>

using namespace norvvelm;

class TestDocumentEntry : public QObject {
    Q_OBJECT
private slots:
    void taxCode_data();
    void taxCode();
    void customerFocus();
    void typedCharacters();
    void displayAmount_data();
    void displayAmount();
    void customerHeader();
    void displayFromAnswer();
    void keyTables();
    void documentButtons_data();
    void documentButtons();
    void composedDemoReceipts_data();
    void composedDemoReceipts();
};

void TestDocumentEntry::taxCode_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("length");
    QTest::addColumn<QString>("command");
    QTest::newRow("VAT number as typed") << "0123456789a" << 11 << "'/1/0123456789a/1111111111111111/";
    QTest::newRow("fiscal code in capitals")
        << "rssmra80a01h501u" << 16 << "'/2/11111111111/RSSMRA80A01H501U/";
    QTest::newRow("15 characters") << "RSSMRA80A01H501" << 0 << "";
    QTest::newRow("12 characters") << "012345678901" << 0 << "";
    QTest::newRow("empty") << "" << 0 << "";
    // A slash can not split the command's fields.
    QTest::newRow("slash") << "0123456789/" << 11 << "'/1/0123456789\\/1111111111111111/";
}

void TestDocumentEntry::taxCode() {
    QFETCH(QString, text);
    QFETCH(int, length);
    QFETCH(QString, command);
    const TaxCodeEntry e = CheckTaxCode(text);
    QCOMPARE(e.length, length);
    QCOMPARE(e.command, command);
}

void TestDocumentEntry::customerFocus() {
    std::array<QString, kCustomerLines> lines{QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("C")};
    QCOMPARE(CustomerEntryFocus(QStringLiteral("01234567897"), lines), kEntryComplete);
    QCOMPARE(CustomerEntryFocus(QString(), lines), 0);
    lines[2].clear(); // CAP
    QCOMPARE(CustomerEntryFocus(QStringLiteral("1"), lines), 3);
    lines[0].clear();
    QCOMPARE(CustomerEntryFocus(QStringLiteral("1"), lines), 1); // the first empty one
}

void TestDocumentEntry::typedCharacters() {
    QCOMPARE(FilterText(FieldKind::CommandText, QStringLiteral("VIA A/B")), QStringLiteral("VIA A\\B"));
    QCOMPARE(FilterText(FieldKind::FileNumber, QStringLiteral("12-3 4a/\u0663")), QStringLiteral("12-3 4"));
    QCOMPARE(FilterText(FieldKind::Reference, QStringLiteral("rif. 1/12")), QStringLiteral("rif. 112"));
    QVERIFY(FilterTypedChar(FieldKind::FileNumber, u'x').isNull());
}

void TestDocumentEntry::displayAmount_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<double>("value");
    QTest::newRow("idle register") << "0,00        PRONTO" << 0.0;
    QTest::newRow("running total") << "12,50   REPARTO 1" << 12.5;
    QTest::newRow("cents only") << "0,50   REPARTO 1" << 0.5;
    QTest::newRow("leading blanks") << "   7.5" << 7.5;
    QTest::newRow("text") << "CASSA PRONTA" << 0.0;
    QTest::newRow("empty") << "" << 0.0;
    QTest::newRow("sign") << "-3 RESO" << -3.0;
}

void TestDocumentEntry::displayAmount() {
    QFETCH(QString, text);
    QFETCH(double, value);
    QCOMPARE(DisplayAmount(text), value);
}

void TestDocumentEntry::customerHeader() {
    QCOMPARE(CustomerHeaderLine({"A", "B", "C", "", "", ""}), QStringLiteral("j/A/B/C///////0/"));
    QCOMPARE(CustomerHeaderLine({}), QStringLiteral("j//////////0/"));
    QCOMPARE(CustomerHeaderLine({"1", "2", "3", "4", "5", "6", "7", "8", "9", "10"}),
             QStringLiteral("j/1/2/3/4/5/6/7/8/9/0/"));
    QCOMPARE(CustomerHeaderLine({"A/B"}), QStringLiteral("j/A\\B/////////0/"));
}

void TestDocumentEntry::displayFromAnswer() {
    const QString full = QStringLiteral("00/00/00/0,00 CASSA PRONT/          12,50 /");
    QCOMPARE(full.size(), 43);
    const auto d = DisplayFromAnswer(full);
    QVERIFY(d);
    QCOMPARE(d->top, QStringLiteral("0,00 CASSA PRONT"));
    QCOMPARE(d->bottom, QStringLiteral("          12,50 "));
    QVERIFY(!DisplayFromAnswer(full.left(42)));
    QVERIFY(JournalAnswerHasReprintSetting(QStringLiteral("00/00/00/42/")));
    QVERIFY(!JournalAnswerHasReprintSetting(QStringLiteral("00/00/00/00/")));
    QVERIFY(!JournalAnswerReadable(QStringLiteral("14/00/00/0/")));
}

void TestDocumentEntry::keyTables() {
    // Indices as the panels have them: 28 to 31 and 29 do not exist, every
    // enabled key has a code, every disabled one none.
    const QList<RegisterKey> &panel = RegisterPanelKeys();
    QCOMPARE(panel.size(), 47);
    for (int i = 28; i <= 31; ++i)
        QVERIFY(!FindRegisterKey(panel, i));
    QList<QPair<int, int>> places;
    for (const RegisterKey &k : panel) {
        QVERIFY(!k.tag.trimmed().isEmpty());
        QCOMPARE(k.programming, k.index >= 44);
        const QPair<int, int> at{k.row + (k.programming ? 100 : 0), k.column};
        QVERIFY2(!places.contains(at), qPrintable(k.caption)); // no two buttons on one spot
        places.append(at);
    }
    QCOMPARE(FindRegisterKey(panel, 27)->toolTip, QStringLiteral("Tasto programmabile dal tecnico"));
    const QList<RegisterKey> &virt = VirtualKeyboardKeys();
    QCOMPARE(virt.size(), 34);
    QVERIFY(!FindRegisterKey(virt, 29));
    for (const RegisterKey &k : virt)
        QCOMPARE(k.enabled, !k.tag.isEmpty());
    QCOMPARE(FindRegisterKey(virt, 9)->tag, QStringLiteral("73"));
    // The PC keyboard's characters.
    QCOMPARE(RegisterPanelIndexForTypedText(QStringLiteral("7")), 14);
    QCOMPARE(RegisterPanelIndexForTypedText(QStringLiteral("0")), 21);
    QCOMPARE(RegisterPanelIndexForTypedText(QStringLiteral(",")), 26);
    QCOMPARE(RegisterPanelIndexForTypedText(QStringLiteral("a")), -1);
}

void TestDocumentEntry::documentButtons_data() {
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QList<int>>("keys"); // as the documents press them
    QTest::newRow("SC %") << "SC %" << PriceChangeKeys(false, true);
    QTest::newRow("SC euro") << QString::fromUtf8("SC €") << PriceChangeKeys(false, false);
    QTest::newRow("Magg %") << "Magg %" << PriceChangeKeys(true, true);
    QTest::newRow("Magg euro") << QString::fromUtf8("Magg €") << PriceChangeKeys(true, false);
    QTest::newRow("Entrate") << "Entrate" << QList<int>{kCashInKey};
    QTest::newRow("Clear") << "Clear" << QList<int>{kClearKey};
    QTest::newRow("comma") << "," << QList<int>{kCommaKey};
    QTest::newRow("Altro (Tot4)") << "Altro (Tot4)"
                                  << QList<int>{kOtherPaymentKey, DigitKeyCode(4), kCashKeyCode};
    QTest::newRow("Contanti") << "Contanti" << QList<int>{kCashKeyCode};
    for (int d = 0; d <= 9; ++d)
        QTest::newRow(qPrintable(QStringLiteral("digit %1").arg(d)))
            << QString::number(d) << QList<int>{DigitKeyCode(d)};
}

// The register page's buttons press the keys the composed documents press.
void TestDocumentEntry::documentButtons() {
    QFETCH(QString, caption);
    const RegisterKey *key = nullptr;
    for (const RegisterKey &k : RegisterPanelKeys()) {
        if (k.caption == caption && !k.programming)
            key = &k;
    }
    QVERIFY(key);
    QList<int> pressed{key->tag.toInt()};
    if (key->followUp == KeyFollowUp::ExtraKeys)
        pressed << key->extraKeys;
    QTEST(pressed, "keys");
}

void TestDocumentEntry::composedDemoReceipts_data() {
    QTest::addColumn<int>("index");
    QTest::addColumn<QStringList>("lines");
    QTest::newRow("Avviso Display") << 1 << QStringList{"7/0/1/##PROMEMORIA##/", "7/0/0/#SVUOTA-CASSA#/"};
    QTest::newRow("Reso Merce") << 2
                                << QStringList{"3/S/REPARTO1//1/5.26/1/4/", "3/S/REPARTO1//1/2.18/1/4/", "U/",
                                               "3/R/REPARTO1//1/7.43/1/4/", "5/1/0.00/////"};
}

// The demonstration receipts the composed documents make keep their lines.
void TestDocumentEntry::composedDemoReceipts() {
    QFETCH(int, index);
    QTEST(DemoReceiptLines(index), "lines");
}

QTEST_GUILESS_MAIN(TestDocumentEntry)
#include "tst_documententry.moc"
