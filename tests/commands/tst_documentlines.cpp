// The documents composed from their parts: their lines, every field refused,
// and what each does on the simulated register in memory, judged from its
// totals and its paper.

#include "commands/DocumentLines.h"
#include "commands/Runner.h"
#include "commands/Session.h"
#include "ecrsim/Register.h"
#include "support/MemoryLinkRig.h"

#include <QTest>

#include <functional>

using namespace norvvelm;

using Composition = std::function<ComposedDocument()>;
Q_DECLARE_METATYPE(Composition)

namespace {

DocumentItem item(const QString &description, const QString &price, int department = 1,
                  const QString &quantity = QStringLiteral("1")) {
    DocumentItem i;
    i.description = description;
    i.price = price;
    i.department = department;
    i.quantity = quantity;
    return i;
}

PriceChange amountOff(const QString &amount, std::optional<int> on = std::nullopt) {
    return PriceChange{amount, {}, on};
}

PriceChange percentOff(const QString &percent, std::optional<int> on = std::nullopt) {
    return PriceChange{{}, percent, on};
}

// A receipt of one sale of 10.00 (department 1) paid in cash, changed by `change`.
Composition receipt(const std::function<void(ReceiptDocument &)> &change = {}) {
    return [change] {
        ReceiptDocument r;
        r.items = {item(QStringLiteral("A"), QStringLiteral("10.00"))};
        r.payments = {DocumentPayment{}};
        if (change)
            change(r);
        return ComposeReceipt(r);
    };
}

Composition invoice(const std::function<void(InvoiceDocument &)> &change = {}) {
    return [change] {
        InvoiceDocument d;
        d.vatNumber = QStringLiteral("01234567897");
        d.customer = {QStringLiteral("ROSSI SRL"), QStringLiteral("VIA ROMA 1"), QStringLiteral("00100")};
        d.items = {item(QStringLiteral("REPARTO 1"), QStringLiteral("12.00"))};
        d.payments = {DocumentPayment{}};
        if (change)
            change(d);
        return ComposeInvoice(d);
    };
}

Composition creditNote(const std::function<void(CreditNoteDocument &)> &change = {}) {
    return [change] {
        CreditNoteDocument d;
        d.fileNumber = QStringLiteral("123-2010");
        d.reference = QStringLiteral("rif. scontrino 45");
        d.items = {item(QStringLiteral("REPARTO 1"), QStringLiteral("7.50"))};
        if (change)
            change(d);
        return ComposeCreditNote(d);
    };
}

Composition cashIn(const QString &amount) {
    return [amount] { return ComposeCashIn({amount}); };
}

Composition display(const QString &top, const QString &bottom) {
    return [top, bottom] { return ComposeCustomerDisplay({top, bottom}); };
}

// The simulated register in memory, the lines sent as the console sends them.
struct RegisterRig : MemoryLinkRig<ecrsim::Register> {
    Session session;
    Runner runner{session, link};
    // Sends each line; the first the register refuses stops it: its error
    // code (as the runner gives it), else 0.
    int send(const QStringList &lines) {
        for (const QString &l : lines) {
            if (const int status = runner.SendAndCheck(l); status != 0)
                return status;
        }
        return 0;
    }
    QByteArray totals() { return reg.execute("0/"); }
};

} // namespace

class TestDocumentLines : public QObject {
    Q_OBJECT
private slots:
    void composed_data();
    void composed();
    void onRegister_data();
    void onRegister();
    void reprint();
};

void TestDocumentLines::composed_data() {
    QTest::addColumn<Composition>("compose");
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("error"); // how the error begins; empty when composed

    const QString cash = QStringLiteral("5/1//////");
    const QString clear = QStringLiteral(")/118/");
    // --- receipts
    QTest::newRow("receipt: tax code, item discount, return, surcharge, text")
        << receipt([](ReceiptDocument &r) {
               r.taxCode = QStringLiteral("01234567897");
               r.items << item(QStringLiteral("B"), QStringLiteral("2.50"), 2, QStringLiteral("2"));
               r.discounts = {percentOff(QStringLiteral("10"), 0)};
               r.surcharges = {amountOff(QStringLiteral("1.00"))};
               r.returns = {item(QStringLiteral("C"), QStringLiteral("1.20"))};
               r.text = {QStringLiteral("GRAZIE")};
               r.payments = {{1, QStringLiteral("20.00")}, {4, {}}};
           })
        << QStringList{"'/1/01234567897/1111111111111111/",
                       "3/S/A//1/10.00/1//",
                       clear,
                       ")/22/",
                       ")/69/",
                       ")/60/",
                       "3/S/B//2/2.50/2//",
                       "U/",
                       "3/R/C//1/1.20/1//",
                       "U/",
                       clear,
                       ")/22/",
                       ")/69/",
                       ")/69/",
                       ")/67/",
                       ")/37/",
                       ")/90/",
                       "7/1/0/GRAZIE/",
                       "5/1/20.00/////",
                       "5/4//////"}
        << QString() << QString();
    QTest::newRow("receipt: fiscal code in capitals, amount off the subtotal, percent more on an item")
        << receipt([](ReceiptDocument &r) {
               r.taxCode = QStringLiteral("rssmra80a01h501u");
               r.discounts = {amountOff(QStringLiteral("0.50"))};
               r.surcharges = {percentOff(QStringLiteral("2.5"), 0)};
           })
        << QStringList{"'/2/11111111111/RSSMRA80A01H501U/",
                       "3/S/A//1/10.00/1//",
                       clear,
                       ")/30/",
                       ")/73/",
                       ")/46/",
                       ")/53/",
                       "U/",
                       clear,
                       ")/46/",
                       ")/69/",
                       ")/67/",
                       ")/22/",
                       ")/90/",
                       cash}
        << QString() << QString();
    const auto receiptFault = [](const char *name, const std::function<void(ReceiptDocument &)> &change,
                                 const char *field, const QString &error) {
        QTest::newRow(name) << receipt(change) << QStringList() << QString::fromLatin1(field) << error;
    };
    receiptFault(
        "tax code of 12 characters", [](ReceiptDocument &r) { r.taxCode = QStringLiteral("012345678901"); },
        "tax_code", QStringLiteral("PI/CF errato"));
    receiptFault(
        "VAT number with a letter", [](ReceiptDocument &r) { r.taxCode = QStringLiteral("0123456789a"); },
        "tax_code", QStringLiteral("la partita IVA ha 11 cifre"));
    receiptFault(
        "tax code with a slash", [](ReceiptDocument &r) { r.taxCode = QStringLiteral("0123456789/"); },
        "tax_code", QStringLiteral("contiene \"/\""));
    receiptFault(
        "no items", [](ReceiptDocument &r) { r.items.clear(); }, "items",
        QStringLiteral("serve almeno una vendita"));
    receiptFault(
        "description missing", [](ReceiptDocument &r) { r.items[0].description.clear(); },
        "items[0].description", QStringLiteral("manca"));
    receiptFault(
        "control character", [](ReceiptDocument &r) { r.items[0].description2 = QStringLiteral("a\tb"); },
        "items[0].description2", QStringLiteral("carattere di controllo 0x09"));
    receiptFault(
        "quantity zero", [](ReceiptDocument &r) { r.items[0].quantity = QStringLiteral("0"); },
        "items[0].quantity", QStringLiteral("quantit\u00e0 zero"));
    receiptFault(
        "quantity with a comma", [](ReceiptDocument &r) { r.items[0].quantity = QStringLiteral("1,5"); },
        "items[0].quantity", QStringLiteral("importo non valido \"1,5\""));
    receiptFault(
        "price missing", [](ReceiptDocument &r) { r.items[0].price.clear(); }, "items[0].price",
        QStringLiteral("manca"));
    receiptFault(
        "price too high", [](ReceiptDocument &r) { r.items[0].price = QStringLiteral("100000"); },
        "items[0].price", QStringLiteral("prezzo oltre 99999.99"));
    receiptFault(
        "sale of nothing",
        [](ReceiptDocument &r) {
            r.items[0].quantity = QStringLiteral("0.001");
            r.items[0].price = QStringLiteral("0.01");
        },
        "items[0].price", QStringLiteral("la vendita vale 0.00"));
    receiptFault(
        "department 22", [](ReceiptDocument &r) { r.items[0].department = 22; }, "items[0].department",
        QStringLiteral("deve essere un numero intero da 1 a 21"));
    receiptFault(
        "VAT value", [](ReceiptDocument &r) { r.items[0].vat = QStringLiteral("x"); }, "items[0].vat",
        QStringLiteral("importo non valido"));
    receiptFault(
        "return beyond the total",
        [](ReceiptDocument &r) { r.returns = {item(QStringLiteral("R"), QStringLiteral("10.01"))}; },
        "returns[0]", QStringLiteral("il reso (10.01) supera il totale dello scontrino (10.00)"));
    receiptFault(
        "discount of neither form", [](ReceiptDocument &r) { r.discounts = {PriceChange{}}; }, "discounts[0]",
        QStringLiteral("serve amount o percent"));
    receiptFault(
        "discount of both forms",
        [](ReceiptDocument &r) {
            r.discounts = {{QStringLiteral("1"), QStringLiteral("1"), {}}};
        },
        "discounts[0]", QStringLiteral("amount o percent, non entrambi"));
    receiptFault(
        "discount of zero", [](ReceiptDocument &r) { r.discounts = {amountOff(QStringLiteral("0.00"))}; },
        "discounts[0].amount", QStringLiteral("vale zero"));
    receiptFault(
        "surcharge above 100%",
        [](ReceiptDocument &r) { r.surcharges = {percentOff(QStringLiteral("100.01"))}; },
        "surcharges[0].percent", QStringLiteral("oltre 100"));
    receiptFault(
        "discount on an item not there",
        [](ReceiptDocument &r) { r.discounts = {amountOff(QStringLiteral("1"), 1)}; }, "discounts[0].item",
        QStringLiteral("deve essere un numero intero da 0 a 0"));
    receiptFault(
        "discount beyond its item",
        [](ReceiptDocument &r) {
            r.items << item(QStringLiteral("B"), QStringLiteral("1.00"));
            r.discounts = {amountOff(QStringLiteral("1.01"), 1)};
        },
        "discounts[0]", QStringLiteral("lo sconto (1.01) supera l'importo a cui si applica (1.00)"));
    receiptFault(
        "percentage of nothing",
        [](ReceiptDocument &r) {
            r.items[0].price = QStringLiteral("0.04");
            r.discounts = {percentOff(QStringLiteral("10"), 0)};
        },
        "discounts[0]", QStringLiteral("vale 0.00 su 0.04"));
    receiptFault(
        "text with a slash",
        [](ReceiptDocument &r) {
            r.text = {QStringLiteral("ok"), QStringLiteral("1/2")};
        },
        "text[1]", QStringLiteral("contiene \"/\""));
    receiptFault(
        "no payment", [](ReceiptDocument &r) { r.payments.clear(); }, "payments",
        QStringLiteral("serve almeno un pagamento"));
    receiptFault(
        "payment type 11", [](ReceiptDocument &r) { r.payments[0].type = 11; }, "payments[0].type",
        QStringLiteral("deve essere un numero intero da 1 a 10"));
    receiptFault(
        "payment amount", [](ReceiptDocument &r) { r.payments[0].amount = QStringLiteral("1.234"); },
        "payments[0].amount", QStringLiteral("importo non valido"));
    receiptFault(
        "payments short of the total after a surcharge",
        [](ReceiptDocument &r) {
            r.surcharges = {amountOff(QStringLiteral("1.00"))};
            r.payments = {{1, QStringLiteral("10.00")}};
        },
        "payments", QStringLiteral("i pagamenti (10.00) non coprono il totale (11.00)"));
    QTest::newRow("receipt paid with 0.00: what is due") << receipt([](ReceiptDocument &r) {
        r.payments = {{1, QStringLiteral("0.00")}};
    }) << QStringList{"3/S/A//1/10.00/1//", "5/1/0.00/////"}
                                                         << QString() << QString();

    // --- invoices: the lines of the register page's invoice
    QTest::newRow("invoice as the register page sends it")
        << invoice()
        << QStringList{"3/F/OPENFAT//0/0/0/0/", "3/S/REPARTO 1//1/12.00/1//",
                       "'/1/01234567897/1111111111111111/", "j/ROSSI SRL/VIA ROMA 1/00100///////0/",
                       "5/1/0////"}
        << QString() << QString();
    QTest::newRow("invoice paid in two") << invoice([](InvoiceDocument &d) {
        d.payments = {{1, QStringLiteral("2.00")}, {4, {}}};
    })
                                         << QStringList{"3/F/OPENFAT//0/0/0/0/",
                                                        "3/S/REPARTO 1//1/12.00/1//",
                                                        "'/1/01234567897/1111111111111111/",
                                                        "j/ROSSI SRL/VIA ROMA 1/00100///////0/",
                                                        "5/1/2.00////",
                                                        "5/4/0////"}
                                         << QString() << QString();
    const auto invoiceFault = [](const char *name, const std::function<void(InvoiceDocument &)> &change,
                                 const char *field, const QString &error) {
        QTest::newRow(name) << invoice(change) << QStringList() << QString::fromLatin1(field) << error;
    };
    invoiceFault(
        "invoice without VAT number", [](InvoiceDocument &d) { d.vatNumber.clear(); }, "vat_number",
        QStringLiteral("manca"));
    invoiceFault(
        "invoice without postcode", [](InvoiceDocument &d) { d.customer[2].clear(); }, "customer[2]",
        QStringLiteral("manca (CAP)"));
    invoiceFault(
        "invoice without name", [](InvoiceDocument &d) { d.customer = {}; }, "customer[0]",
        QStringLiteral("manca (Ragione Sociale)"));
    invoiceFault(
        "VAT number of 10 digits", [](InvoiceDocument &d) { d.vatNumber.chop(1); }, "vat_number",
        QStringLiteral("la partita IVA ha 11 cifre"));
    invoiceFault(
        "customer line of 33", [](InvoiceDocument &d) { d.customer[1] = QString(33, u'V'); }, "customer[1]",
        QStringLiteral("33 caratteri (al massimo 32)"));
    invoiceFault(
        "seven customer lines",
        [](InvoiceDocument &d) {
            d.customer << "4"
                       << "5"
                       << "6"
                       << "7";
        },
        "customer", QStringLiteral("al massimo 6 righe"));
    invoiceFault(
        "invoice without items", [](InvoiceDocument &d) { d.items.clear(); }, "items",
        QStringLiteral("serve almeno una vendita"));
    invoiceFault(
        "invoice without payment", [](InvoiceDocument &d) { d.payments.clear(); }, "payments",
        QStringLiteral("serve almeno un pagamento"));

    // --- credit notes: the lines of the register page's credit note
    QTest::newRow("credit note as the register page sends it")
        << creditNote()
        << QStringList{"-/123-2010/", "3/S/REPARTO 1//1/7.50/1//", ")/90/", "7/1/1/rif. scontrino 45/",
                       ")/90/"}
        << QString() << QString();
    QTest::newRow("credit note refunded by card") << creditNote([](CreditNoteDocument &d) {
        d.paymentType = 4;
    }) << QStringList{"-/123-2010/", "3/S/REPARTO 1//1/7.50/1//",
                      ")/90/",       "7/1/1/rif. scontrino 45/",
                      ")/58/",       ")/37/",
                      ")/90/"} << QString() << QString();
    const auto noteFault = [](const char *name, const std::function<void(CreditNoteDocument &)> &change,
                              const char *field, const QString &error) {
        QTest::newRow(name) << creditNote(change) << QStringList() << QString::fromLatin1(field) << error;
    };
    noteFault(
        "file number missing", [](CreditNoteDocument &d) { d.fileNumber.clear(); }, "file_number",
        QStringLiteral("manca"));
    noteFault(
        "file number with a letter", [](CreditNoteDocument &d) { d.fileNumber = QStringLiteral("12a"); },
        "file_number", QStringLiteral("solo cifre, spazi e \"-\""));
    noteFault(
        "file number of 9", [](CreditNoteDocument &d) { d.fileNumber = QStringLiteral("123456789"); },
        "file_number", QStringLiteral("9 caratteri (al massimo 8)"));
    noteFault(
        "reference with a slash", [](CreditNoteDocument &d) { d.reference = QStringLiteral("del 01/12"); },
        "reference", QStringLiteral("contiene \"/\""));
    noteFault(
        "reference of 33", [](CreditNoteDocument &d) { d.reference = QString(33, u'r'); }, "reference",
        QStringLiteral("33 caratteri (al massimo 32)"));
    noteFault(
        "refund of type 10", [](CreditNoteDocument &d) { d.paymentType = 10; }, "payment_type",
        QStringLiteral("deve essere un numero intero da 1 a 9"));
    noteFault(
        "credit note without items", [](CreditNoteDocument &d) { d.items.clear(); }, "items",
        QStringLiteral("serve almeno una vendita"));

    // --- documents outside a receipt
    QTest::newRow("deposit of 12.50")
        << cashIn(QStringLiteral("12.50")) << QStringList{clear, ")/22/", ")/30/", ")/46/", ")/69/", ")/26/"}
        << QString() << QString();
    QTest::newRow("deposit of 0.05") << cashIn(QStringLiteral("0.05")) << QStringList{clear, ")/46/", ")/26/"}
                                     << QString() << QString();
    QTest::newRow("deposit without amount")
        << cashIn({}) << QStringList() << QStringLiteral("amount") << QStringLiteral("manca");
    QTest::newRow("deposit of zero") << cashIn(QStringLiteral("0")) << QStringList()
                                     << QStringLiteral("amount") << QStringLiteral("vale zero");
    QTest::newRow("deposit of a thousandth")
        << cashIn(QStringLiteral("1.001")) << QStringList() << QStringLiteral("amount")
        << QStringLiteral("importo non valido");
    QTest::newRow("deposit too large") << cashIn(QStringLiteral("10000000")) << QStringList()
                                       << QStringLiteral("amount") << QStringLiteral("oltre 9999999.99");
    QTest::newRow("withdrawal") << Composition(&ComposeCashOut) << QStringList{"6/1/"} << QString()
                                << QString();
    QTest::newRow("sales report") << Composition(&ComposeSalesReport) << QStringList{"x/1/1/1/"} << QString()
                                  << QString();
    QTest::newRow("daily closing") << Composition(&ComposeDailyClosing) << QStringList{"x/7/0/0/"}
                                   << QString() << QString();
    QTest::newRow("customer display")
        << display(QStringLiteral("##PROMEMORIA##"), QStringLiteral("#SVUOTA-CASSA#"))
        << QStringList{"7/0/1/##PROMEMORIA##/", "7/0/0/#SVUOTA-CASSA#/"} << QString() << QString();
    QTest::newRow("customer display cleared")
        << display({}, {}) << QStringList{"7/0/1//", "7/0/0//"} << QString() << QString();
    QTest::newRow("display line of 17")
        << display(QString(17, u'x'), {}) << QStringList() << QStringLiteral("top")
        << QStringLiteral("17 caratteri (al massimo 16)");
    QTest::newRow("display line with a slash")
        << display({}, QStringLiteral("1/2")) << QStringList() << QStringLiteral("bottom")
        << QStringLiteral("contiene \"/\"");
}

void TestDocumentLines::composed() {
    QFETCH(Composition, compose);
    QFETCH(QString, field);
    QFETCH(QString, error);
    const ComposedDocument d = compose();
    QCOMPARE(d.field, field);
    QVERIFY2(error.isEmpty() ? d.error.isEmpty() : d.error.startsWith(error), qPrintable(d.message()));
    QCOMPARE(d.ok(), error.isEmpty());
    QTEST(d.lines, "lines"); // nothing of a faulty document
}

void TestDocumentLines::onRegister_data() {
    QTest::addColumn<QStringList>("before"); // sent first
    QTest::addColumn<Composition>("compose");
    QTest::addColumn<int>("refused"); // the register's code for the document's first line refused; 0 none
    QTest::addColumn<QByteArray>("totals"); // "0/" after it: five VAT totals, sales, receipts,
                                            // non-fiscal, corrections, returns, voids
    QTest::addColumn<QStringList>("paper"); // what its last document printed says
    const QStringList none;
    const QString sold = QStringLiteral("3/S/A//1/4.00/1//");
    const QStringList earlier{sold, QStringLiteral("5/1//////")};

    QTest::newRow("10% off 10.00 makes 9.00")
        << none << receipt([](ReceiptDocument &r) { r.discounts = {percentOff(QStringLiteral("10"), 0)}; })
        << 0 << QByteArray("00/00/00/9.00/0.00/0.00/0.00/0.00/9.00/1/0/1.00/0.00/0.00/")
        << QStringList{ecrsim::Paper::row(QStringLiteral("SCONTO 10,00%"), QStringLiteral("-1,00")),
                       ecrsim::Paper::row(QStringLiteral("TOTALE EURO"), QStringLiteral("9,00"))};
    QTest::newRow("an item's discount stays on its VAT rate")
        << none << receipt([](ReceiptDocument &r) {
               r.items << item(QStringLiteral("B"), QStringLiteral("10.00"), 2);
               r.discounts = {amountOff(QStringLiteral("2.00"), 1)};
           })
        << 0 << QByteArray("00/00/00/10.00/8.00/0.00/0.00/0.00/18.00/1/0/2.00/0.00/0.00/")
        << QStringList{ecrsim::Paper::row(QStringLiteral("SCONTO"), QStringLiteral("-2,00"))};
    QTest::newRow("a return lowers the total") << none << receipt([](ReceiptDocument &r) {
        r.returns = {item(QStringLiteral("A"), QStringLiteral("3.00"))};
    }) << 0 << QByteArray("00/00/00/7.00/0.00/0.00/0.00/0.00/7.00/1/0/0.00/3.00/0.00/")
                                               << QStringList{QStringLiteral("RESO A\n")};
    QTest::newRow("a surcharge on the subtotal raises it, shared by the rates")
        << none << receipt([](ReceiptDocument &r) {
               r.items << item(QStringLiteral("B"), QStringLiteral("10.00"), 2);
               r.surcharges = {percentOff(QStringLiteral("10"))};
           })
        << 0 << QByteArray("00/00/00/11.00/11.00/0.00/0.00/0.00/22.00/1/0/0.00/0.00/0.00/")
        << QStringList{ecrsim::Paper::row(QStringLiteral("MAGG. 10,00%"), QStringLiteral("2,00"))};
    QTest::newRow("digits typed before are not taken with a discount")
        << QStringList{")/22/", ")/22/"}
        << receipt([](ReceiptDocument &r) { r.discounts = {amountOff(QStringLiteral("1.00"))}; }) << 0
        << QByteArray("00/00/00/9.00/0.00/0.00/0.00/0.00/9.00/1/0/1.00/0.00/0.00/") << QStringList();
    QTest::newRow("tax code on the receipt")
        << none << receipt([](ReceiptDocument &r) { r.taxCode = QStringLiteral("RSSMRA80A01H501U"); }) << 0
        << QByteArray("00/00/00/10.00/0.00/0.00/0.00/0.00/10.00/1/0/0.00/0.00/0.00/")
        << QStringList{QStringLiteral("C.F. RSSMRA80A01H501U")};
    QTest::newRow("invoice") << none << invoice() << 0
                             << QByteArray("00/00/00/12.00/0.00/0.00/0.00/0.00/12.00/1/0/0.00/0.00/0.00/")
                             << QStringList{QStringLiteral("FATTURA N. 1"),
                                            QStringLiteral("P.IVA 01234567897\nSPETT.LE\nROSSI SRL\n")};
    QTest::newRow("credit note counts as a return")
        << none << creditNote() << 0
        << QByteArray("00/00/00/0.00/0.00/0.00/0.00/0.00/0.00/1/0/0.00/7.50/0.00/")
        << QStringList{QStringLiteral("NOTA DI CREDITO N. 1"), QStringLiteral("rif. scontrino 45\n"),
                       ecrsim::Paper::row(QStringLiteral("CONTANTI"), QStringLiteral("7,50"))};
    QTest::newRow("credit note refunded by card")
        << none << creditNote([](CreditNoteDocument &d) { d.paymentType = 4; }) << 0
        << QByteArray("00/00/00/0.00/0.00/0.00/0.00/0.00/0.00/1/0/0.00/7.50/0.00/")
        << QStringList{ecrsim::Paper::row(QStringLiteral("CARTA DI CREDITO"), QStringLiteral("7,50"))};
    QTest::newRow("deposit: a non-fiscal document")
        << QStringList{")/22/"} << cashIn(QStringLiteral("12.50")) << 0
        << QByteArray("00/00/00/0.00/0.00/0.00/0.00/0.00/0.00/0/1/0.00/0.00/0.00/")
        << QStringList{QStringLiteral("VERSAMENTO DI CASSA"),
                       ecrsim::Paper::row(QStringLiteral("IMPORTO"), QStringLiteral("12,50"))};
    QTest::newRow("deposit refused while a receipt is open")
        << QStringList{sold} << cashIn(QStringLiteral("1.00")) << 0x14
        << QByteArray("00/00/00/0.00/0.00/0.00/0.00/0.00/0.00/0/0/0.00/0.00/0.00/") << QStringList();
    QTest::newRow("withdrawal") << none << Composition(&ComposeCashOut) << 0
                                << QByteArray("00/00/00/0.00/0.00/0.00/0.00/0.00/0.00/0/1/0.00/0.00/0.00/")
                                << QStringList{QStringLiteral("PRELIEVO DI CASSA")};
    QTest::newRow("sales report changes nothing")
        << earlier << Composition(&ComposeSalesReport) << 0
        << QByteArray("00/00/00/4.00/0.00/0.00/0.00/0.00/4.00/1/0/0.00/0.00/0.00/")
        << QStringList{QStringLiteral("LETTURA VENDUTO"),
                       ecrsim::Paper::row(QStringLiteral("TOTALE VENDITE"), QStringLiteral("4,00"))};
    QTest::newRow("daily closing resets the totals")
        << earlier << Composition(&ComposeDailyClosing) << 0
        << QByteArray("00/00/00/0.00/0.00/0.00/0.00/0.00/0.00/0/0/0.00/0.00/0.00/")
        << QStringList{QStringLiteral("CHIUSURA GIORNALIERA"),
                       ecrsim::Paper::row(QStringLiteral("TOTALE VENDITE"), QStringLiteral("4,00"))};
    QTest::newRow("daily closing refused while a receipt is open")
        << QStringList{earlier.first(), earlier.last(), sold} << Composition(&ComposeDailyClosing) << 0x14
        << QByteArray("00/00/00/4.00/0.00/0.00/0.00/0.00/4.00/1/0/0.00/0.00/0.00/") << QStringList();
}

void TestDocumentLines::onRegister() {
    QFETCH(QStringList, before);
    QFETCH(Composition, compose);
    QFETCH(int, refused);
    QFETCH(QStringList, paper);
    RegisterRig rig;
    QCOMPARE(rig.send(before), 0);
    const int printed = rig.reg.paper().printed();
    const ComposedDocument d = compose();
    QVERIFY2(d.ok(), qPrintable(d.message()));
    QCOMPARE(rig.send(d.lines), refused);
    QTEST(rig.totals(), "totals");
    if (refused != 0) {
        QCOMPARE(rig.reg.paper().printed(), printed);
        return;
    }
    QVERIFY(!rig.reg.receiptOpen());
    QCOMPARE(rig.reg.paper().printed(), printed + 1);
    for (const QString &p : paper)
        QVERIFY2(rig.reg.paper().last().contains(p), qPrintable(p + u'\n' + rig.reg.paper().last()));
}

// The copy of the last receipt: the journal's setting read, written only
// when it lacks it, then the key; a copy is printed and nothing counted.
void TestDocumentLines::reprint() {
    QCOMPARE(ReprintLines(QStringLiteral("00/00/00/00/")), (QStringList{"G/12/1/1/42/", ")/120/"}));
    QCOMPARE(ReprintLines(QStringLiteral("00/00/00/42/")), QStringList{")/120/"});
    QVERIFY(ReprintLines(QStringLiteral("14/00/00/0/")).isEmpty()); // refused: too short to read

    RegisterRig rig;
    QCOMPARE(rig.send({QStringLiteral("3/S/A//1/4.00/1//"), QStringLiteral("5/1//////")}), 0);
    const QByteArray totals = rig.totals();
    for (const QStringList &expected : {QStringList{"G/12/1/1/42/", ")/120/"}, QStringList{")/120/"}}) {
        QCOMPARE(rig.send({JournalReadLine()}), 0);
        const QStringList lines = ReprintLines(rig.session.lastExchange().lastAnswer());
        QCOMPARE(lines, expected);
        QCOMPARE(rig.send(lines), 0);
        QVERIFY(rig.reg.paper().last().startsWith(QStringLiteral("   *** COPIA DA GIORNALE ***")));
        QVERIFY(rig.reg.paper().last().contains(QStringLiteral("SCONTR. N. 1")));
        QCOMPARE(rig.totals(), totals);
    }
    QCOMPARE(rig.reg.paper().printed(), 3);
}

QTEST_GUILESS_MAIN(TestDocumentLines)
#include "tst_documentlines.moc"
