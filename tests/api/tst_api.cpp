// The local HTTP interface in the program itself, over real loopback
// sockets: what it reads from a receipt body, what it refuses on the wire
// and why, and how its answers fit the document of docs/api.md.

#include "api/ApiServer.h"
#include "api/ApiToken.h"
#include "api/HttpHead.h"
#include "api/OutcomeFiles.h"
#include "api/OutcomeStore.h"
#include "api/ReceiptReader.h"
#include "commands/Session.h"
#include "ecrsim/Register.h"
#include "link/Deadlines.h"
#include "support/HttpProbe.h"
#include "support/OpenApiCheck.h"
#include "support/TestFiles.h"
#include "support/VirtualClock.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

using namespace norvvelm;
using testsupport::HttpAnswer;
using testsupport::HttpProbe;

namespace {

// Which file a path names: the same after it was written in place.
ino_t inodeOf(const QString &path) {
    struct stat st {};
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_ino : 0;
}

// The register as read at its identification: payment type 8 without a
// description, 32 characters on a row.
ReceiptRules readRules() {
    return ReceiptRules{{1, 2, 3, 4, 5, 6, 7, 9}, 32, {}, {}};
}

} // namespace

class TestApi : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void readBody_data();
    void readBody();
    void linesJudgedAsTheRegister_data();
    void linesJudgedAsTheRegister();
    void paymentTypesOnceTheTableIsRead();
    void printedAsTheRegisterPrints_data();
    void printedAsTheRegisterPrints();
    void token();
    void tokenForClient();
    void parseHead_data();
    void parseHead();
    void refusals_data();
    void refusals();
    void bodyRefusedBeforeItIsSent();
    void slowAndIdleConnections();
    void idleConnectionsDoNotStarveStatus();
    void answersFitTheDocument();
    void metricsParse();
    void outcomeStore();
    void outcomeFiles_data();
    void outcomeFiles();

private:
    QTemporaryDir m_home;
    // The server's time-outs and waits on virtual time, moved by the probes
    // while they wait.
    testsupport::VirtualClock m_clock;
    std::unique_ptr<Deadlines> m_deadlines;
    std::unique_ptr<Session> m_session;
    std::unique_ptr<ApiServer> m_api;
    quint16 port() const { return m_api->port(); }
    QByteArray expand(QByteArray raw) const {
        return raw.replace("$PORT", QByteArray::number(port())).replace("$TOKEN", m_api->token());
    }
};

void TestApi::init() {
    m_session = std::make_unique<Session>();
    m_session->settings().setProgramDir(m_home.path());
    m_session->monitor().setMonitorEnabled(true);
    m_deadlines = std::make_unique<Deadlines>(m_clock);
    m_clock.onAdvance = [this](qint64) { m_deadlines->check(); };
    m_api = std::make_unique<ApiServer>(*m_session, *m_deadlines);
    QString error;
    QVERIFY2(m_api->listen(QStringLiteral("127.0.0.1"), 0, &error), qPrintable(error));
}

void TestApi::cleanup() {
    m_api.reset();
    m_session.reset();
    m_clock.onAdvance = {};
    m_deadlines.reset();
}

void TestApi::readBody_data() {
    QTest::addColumn<QByteArray>("type");
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<QString>("error"); // a part of the refusal's text

    const QByteArray json = "application/json";
    // Documents ("document": a body of POST /api/v1/documents), checked as
    // the register page's dialogs check them.
    const QByteArray document = "document";
    QTest::newRow("document, customer display")
        << document << QByteArray(R"({"kind": "customer_display", "top": "CIAO", "bottom": ""})")
        << QStringList{"7/0/1/CIAO/", "7/0/0//"} << QString();
    QTest::newRow("document, deposit")
        << document << QByteArray(R"({"kind": "cash_in", "amount": "1.05"})")
        << QStringList{")/118/", ")/22/", ")/69/", ")/46/", ")/26/"} << QString();
    QTest::newRow("document, invoice without the street")
        << document
        << QByteArray(R"({"kind": "invoice", "vat_number": "01234567897", "customer": ["ROSSI", "", "00100"],
                          "items": [{"description": "A", "quantity": "1", "price": "1", "department": 1}],
                          "payments": [{"type": 1}]})")
        << QStringList() << QStringLiteral("customer[1]: manca (Via)");
    QTest::newRow("document, credit note file number with letters")
        << document << QByteArray(R"({"kind": "credit_note", "file_number": "AB1",
                          "items": [{"description": "A", "quantity": "1", "price": "1", "department": 1}]})")
        << QStringList() << QStringLiteral("file_number: solo cifre");
    QTest::newRow("document, credit note of a receipt nobody knows")
        << document << QByteArray(R"({"kind": "credit_note", "receipt": "R9",
                          "items": [{"description": "A", "quantity": "1", "price": "1", "department": 1}]})")
        << QStringList() << QStringLiteral("receipt: scontrino sconosciuto");
    QTest::newRow("document, deposit of zero")
        << document << QByteArray(R"({"kind": "cash_in", "amount": "0.00"})") << QStringList()
        << QStringLiteral("amount: vale zero");
    QTest::newRow("document, discount above its item")
        << document << QByteArray(R"({"kind": "receipt", "discounts": [{"amount": "2.00", "item": 0}],
                          "items": [{"description": "A", "quantity": "1", "price": "1", "department": 1}],
                          "payments": [{"type": 1}]})")
        << QStringList() << QStringLiteral("discounts[0]: lo sconto (2.00) supera");
    QTest::newRow("document, discount on an item it lacks")
        << document << QByteArray(R"({"kind": "receipt", "discounts": [{"percent": "5", "item": 1}],
                          "items": [{"description": "A", "quantity": "1", "price": "1", "department": 1}],
                          "payments": [{"type": 1}]})")
        << QStringList() << QStringLiteral("discounts[0].item");
    QTest::newRow("document, tax code of 12 characters")
        << document << QByteArray(R"({"kind": "receipt", "tax_code": "RSSMRA80A01H",
                          "items": [{"description": "A", "quantity": "1", "price": "1", "department": 1}],
                          "payments": [{"type": 1}]})")
        << QStringList() << QStringLiteral("tax_code: PI/CF errato");
    QTest::newRow("document, withdrawal with a field")
        << document << QByteArray(R"({"kind": "cash_out", "amount": "5"})") << QStringList()
        << QStringLiteral("campo sconosciuto");
    // Keys are pressed only for what the server composes: lines given as
    // they are may not press them.
    QTest::newRow("lines pressing the cash key")
        << json << QByteArray(R"({"lines": ["3/S/A//1/1.00/1//", ")/90/", "5/1/////"]})") << QStringList()
        << QStringLiteral("Comando )/ non gestito");
    QTest::newRow("text lines, CR LF")
        << QByteArray("text/plain") << QByteArray("3/S/CAFFE//1/1.10/1//\r\n5/1/////\r\n")
        << QStringList{"3/S/CAFFE//1/1.10/1//", "5/1/////"} << QString();
    QTest::newRow("text in Windows-1252")
        << QByteArray("text/plain; charset=windows-1252") << QByteArray("3/S/CAFF\xc8//1/1/1//\n5/1/\n")
        << QStringList{QStringLiteral("3/S/CAFF\u00c8//1/1/1//"), "5/1/"} << QString();
    QTest::newRow("text with a control character")
        << QByteArray("text/plain") << QByteArray("3/S/A\x01//1/1/1//\n5/1/\n") << QStringList()
        << QStringLiteral("riga 1");
    QTest::newRow("text, closing outside a receipt")
        << QByteArray("text/plain") << QByteArray("+/\n") << QStringList()
        << QStringLiteral("Scontrino non aperto");
    QTest::newRow("text, a closing inside a receipt")
        << QByteArray("text/plain") << QByteArray("3/S/A//1/1/1//\nx/7/0/0/\n5/1/\n") << QStringList()
        << QStringLiteral("riga 2 \"x/7/0/0/\": Comando non gestito con scontrino aperto");
    QTest::newRow("text, a key the executor does not send")
        << QByteArray("text/plain") << QByteArray(")/22/\n") << QStringList()
        << QStringLiteral("Comando )/ non gestito.");
    QTest::newRow("text, the keys it does send") << QByteArray("text/plain") << QByteArray(")/5/\n)/120/")
                                                 << QStringList{")/5/", ")/120/"} << QString();
    QTest::newRow("text, not handled") << QByteArray("text/plain") << QByteArray("b/1/\n") << QStringList()
                                       << QStringLiteral("Comando b/ non gestito.");
    QTest::newRow("text, only blanks") << QByteArray("text/plain") << QByteArray("  \r\n\r\n")
                                       << QStringList() << QStringLiteral("nessuna riga");
    QTest::newRow("lines") << json << QByteArray(R"({"lines": ["3/S/A//1/1/1//", "5/1/"]})")
                           << QStringList{"3/S/A//1/1/1//", "5/1/"} << QString();
    QTest::newRow("lines with a line break inside")
        << json << QByteArray(R"({"lines": ["3/S/A//1/1/1//\n5/1/"]})") << QStringList()
        << QStringLiteral("carattere di controllo 0x0A");
    QTest::newRow("lines not strings")
        << json << QByteArray(R"({"lines": [3]})") << QStringList() << QStringLiteral("lines[0]");
    QTest::newRow("lines with other fields") << json << QByteArray(R"({"lines": [], "items": []})")
                                             << QStringList() << QStringLiteral("\"lines\"");
    QTest::newRow("bad JSON") << json << QByteArray(R"({"lines": [)") << QStringList()
                              << QStringLiteral("JSON non valido");
    QTest::newRow("JSON array") << json << QByteArray("[]") << QStringList()
                                << QStringLiteral("oggetto JSON");
    QTest::newRow("structured") << json << QByteArray(R"({"customer": ["ROSSI SRL", "VIA ROMA 1"],
                          "items": [{"description": "CAFFE", "quantity": "2", "price": "1.10", "department": 1},
                                    {"description": "TORTA", "description2": "FETTA", "quantity": "0.5",
                                     "price": "12.00", "department": "2", "vat": "10"}],
                          "text": ["GRAZIE"],
                          "payments": [{"type": 1, "amount": "5.00"}, {"type": 2}]})")
                                << QStringList{"j/ROSSI SRL/VIA ROMA 1////////0/",
                                               "3/S/CAFFE//2/1.10/1//",
                                               "3/S/TORTA/FETTA/0.5/12.00/2/10/",
                                               "7/1/0/GRAZIE/",
                                               "5/1/5.00/////",
                                               "5/2//////"}
                                << QString();
    QTest::newRow("price as a JSON number")
        << json
        << QByteArray(R"({"items": [{"description": "A", "quantity": "1", "price": 1.1, "department": 1}],
                                  "payments": [{"type": 1}]})")
        << QStringList() << QStringLiteral("items[0].price: deve essere un testo decimale");
    QTest::newRow("price with a comma")
        << json
        << QByteArray(R"({"items": [{"description": "A", "quantity": "1", "price": "1,10", "department": 1}],
                                  "payments": [{"type": 1}]})")
        << QStringList() << QStringLiteral("items[0].price: importo non valido");
    QTest::newRow("price with three decimals")
        << json
        << QByteArray(R"({"items": [{"description": "A", "quantity": "1", "price": "1.105", "department": 1}],
                                  "payments": [{"type": 1}]})")
        << QStringList() << QStringLiteral("al massimo 2 decimali");
    QTest::newRow("department 21, which the register lacks")
        << json
        << QByteArray(R"({"items": [{"description": "A", "quantity": "1", "price": "1", "department": 21}],
                                  "payments": [{"type": 1}]})")
        << QStringList() << QStringLiteral("items[0].department: deve essere un numero intero da 1 a 20");
    QTest::newRow("slash in a description")
        << json
        << QByteArray(R"({"items": [{"description": "A/B", "quantity": "1", "price": "1", "department": 1}],
                                  "payments": [{"type": 1}]})")
        << QStringList() << QStringLiteral("items[0].description: contiene");
    QTest::newRow("no payment")
        << json
        << QByteArray(R"({"items": [{"description": "A", "quantity": "1", "price": "1", "department": 1}]})")
        << QStringList() << QStringLiteral("payments:");
    QTest::newRow("lone surrogate in a description")
        << json
        << QByteArray(
               R"({"items": [{"description": "A\ud800B", "quantity": "1", "price": "1", "department": 1}],
                                  "payments": [{"type": 1}]})")
        << QStringList() << QStringLiteral("items[0].description: contiene un carattere Unicode non valido");
    QTest::newRow("a surrogate pair is a character")
        << json
        << QByteArray(
               R"({"items": [{"description": "A\ud83d\ude00", "quantity": "1", "price": "1", "department": 1}],
                                  "payments": [{"type": 1}]})")
        << QStringList{QStringLiteral("3/S/A?//1/1/1//"), "5/1//////"} << QString();
    // What the register cannot print is changed to what it prints (and said).
    QTest::newRow("letters outside what the register prints")
        << json << QByteArray(R"({"items": [{"description": "Żubrówka łódź", "quantity": "1",
                          "price": "1", "department": 1}], "payments": [{"type": 1}]})")
        << QStringList{QStringLiteral("3/S/Zubr\u00f3wka l\u00f3dz//1/1/1//"), "5/1//////"} << QString();
    QTest::newRow("a combining accent joins its letter")
        << QByteArray("text/plain") << QByteArray("3/S/CAFFE\xcc\x81//1/1/1//\n5/1/\n")
        << QStringList{QStringLiteral("3/S/CAFF\u00c9//1/1/1//"), "5/1/"} << QString();
    QTest::newRow("nothing printable left")
        << json << QByteArray(R"({"items": [{"description": "日本茶", "quantity": "1", "price": "1",
                          "department": 1}], "payments": [{"type": 1}]})")
        << QStringList() << QStringLiteral("items[0].description: nessun carattere stampabile");
    // What the register would refuse is refused before it is queued.
    QTest::newRow("a quantity of zero")
        << json
        << QByteArray(R"({"items": [{"description": "A", "quantity": "0", "price": "1", "department": 1}],
                          "payments": [{"type": 1}]})")
        << QStringList() << QStringLiteral("items[0].quantity: quantit\u00e0 zero");
    QTest::newRow("a sale of 0.00")
        << json
        << QByteArray(R"({"items": [{"description": "A", "quantity": "0.001", "price": "1", "department": 1}],
                          "payments": [{"type": 1}]})")
        << QStringList() << QStringLiteral("items[0].price: la vendita vale 0.00");
    QTest::newRow("a price beyond the register's")
        << json
        << QByteArray(
               R"({"items": [{"description": "A", "quantity": "1", "price": "100000", "department": 1}],
                          "payments": [{"type": 1}]})")
        << QStringList() << QStringLiteral("items[0].price: prezzo oltre");
    QTest::newRow("payments short of the total")
        << json
        << QByteArray(R"({"items": [{"description": "A", "quantity": "2", "price": "5", "department": 1}],
                          "payments": [{"type": 1, "amount": "5.00"}, {"type": 4, "amount": "4.99"}]})")
        << QStringList() << QStringLiteral("payments: i pagamenti (9.99) non coprono il totale (10.00)");
    QTest::newRow("text, a quantity of zero")
        << QByteArray("text/plain") << QByteArray("3/S/A//0/1/1//\n5/1/\n") << QStringList()
        << QStringLiteral("riga 1 \"3/S/A//0/1/1//\": quantit\u00e0 zero");
    const auto item = [](const char *quantity, const char *price) -> QByteArray {
        return QByteArray(R"({"description": "A", "quantity": ")") + quantity + R"(", "price": ")" + price +
               R"(", "department": 1})";
    };
    QTest::newRow("a quantity beyond the register's")
        << json << QByteArray(R"({"items": [)" + item("10000", "1") + R"(], "payments": [{"type": 1}]})")
        << QStringList() << QStringLiteral("items[0].quantity: quantit\u00e0 oltre 9999.999");
    QTest::newRow("a sale beyond 999999.99")
        << json
        << QByteArray(R"({"items": [)" + item("9999", "99999.99") + R"(], "payments": [{"type": 1}]})")
        << QStringList() << QStringLiteral("items[0].price: la vendita supera 999999.99");
    QByteArray tenMillion = R"({"items": [)" + item("10", "99999.99");
    for (int i = 1; i < 11; ++i)
        tenMillion += ", " + item("10", "99999.99");
    QTest::newRow("a receipt beyond 9999999.99")
        << json << QByteArray(tenMillion + R"(], "payments": [{"type": 1}]})") << QStringList()
        << QStringLiteral("items: il totale supera 9999999.99");
    QTest::newRow("a payment type the register has not programmed")
        << json
        << QByteArray(R"({"items": [)" + item("1", "1") + R"(], "payments": [{"type": 1, "amount": "0.50"},
                          {"type": 8}]})")
        << QStringList() << QStringLiteral("payments[1].type: pagamento 8 non programmato sulla cassa");
    QTest::newRow("a payment type the register lacks")
        << json << QByteArray(R"({"items": [)" + item("1", "1") + R"(], "payments": [{"type": 10}]})")
        << QStringList() << QStringLiteral("payments[0].type: deve essere un numero intero da 1 a 9");
    QTest::newRow("a payment without its amount pays the rest")
        << json
        << QByteArray(R"({"items": [)" + item("2", "5") + R"(], "payments": [{"type": 1, "amount": "1.00"},
                          {"type": 2}]})")
        << QStringList{"3/S/A//2/5/1//", "5/1/1.00/////", "5/2//////"} << QString();
    QTest::newRow("nothing printable but spaces")
        << json << QByteArray(R"({"items": [{"description": "☕ ☕", "quantity": "1", "price": "1",
                          "department": 1}], "payments": [{"type": 1}]})")
        << QStringList() << QStringLiteral("items[0].description: nessun carattere stampabile");
    // Lines given as they are, judged as the register would take them.
    const QByteArray text = "text/plain";
    const auto taken = [](const QByteArray &body) { return SplitReceiptLines(QString::fromLatin1(body)); };
    const QByteArray million = "3/S/A//10/99999.99/1//\n";
    QTest::newRow("text, a negative quantity")
        << text << QByteArray("3/S/A//-1/1/1//\n5/1/\n") << QStringList()
        << QStringLiteral("riga 1 \"3/S/A//-1/1/1//\": quantit\u00e0 non valida \"-1\"");
    QTest::newRow("text, no quantity") << text << QByteArray("3/S/A///1/1//\n5/1/\n") << QStringList()
                                       << QStringLiteral("quantit\u00e0 non valida \"\"");
    QTest::newRow("text, a quantity beyond the register's")
        << text << QByteArray("3/S/A//10000/1/1//\n5/1/\n") << QStringList()
        << QStringLiteral("quantit\u00e0 oltre 9999.999");
    QTest::newRow("text, a price with a comma")
        << text << QByteArray("3/S/A//1/1,50/1//\n5/1/\n") << QStringList()
        << QStringLiteral("prezzo non valido \"1,50\"");
    QTest::newRow("text, a price beyond the register's")
        << text << QByteArray("3/S/A//1/100000/1//\n5/1/\n") << QStringList()
        << QStringLiteral("prezzo oltre 99999.99");
    QTest::newRow("text, department 21") << text << QByteArray("3/S/A//1/1/21//\n5/1/\n") << QStringList()
                                         << QStringLiteral("reparto 21: la cassa ha i reparti da 1 a 20");
    QTest::newRow("text, department 0") << text << QByteArray("3/N/A//1/1/0//\n5/1/\n") << QStringList()
                                        << QStringLiteral("reparto 0: la cassa ha i reparti da 1 a 20");
    QTest::newRow("text, a department that is not a number")
        << text << QByteArray("3/S/A//1/1/x//\n5/1/\n") << QStringList()
        << QStringLiteral("reparto non valido \"x\"");
    QTest::newRow("text, a sale without its department")
        << text << QByteArray("3/S/A//1/1\n5/1/\n") << QStringList()
        << QStringLiteral("riga 1 \"3/S/A//1/1\": vendita incompleta");
    QTest::newRow("text, a sale of 0.00") << text << QByteArray("3/S/A//0.004/1/1//\n5/1/\n") << QStringList()
                                          << QStringLiteral("la vendita vale 0.00");
    QTest::newRow("text, a sale beyond 999999.99")
        << text << QByteArray("3/S/A//9999/99999.99/1//\n5/1/\n") << QStringList()
        << QStringLiteral("la vendita supera 999999.99");
    QTest::newRow("text, a receipt beyond 9999999.99")
        << text << million.repeated(11) + "5/1/\n"
        << QStringList()
        << QStringLiteral("riga 11 \"3/S/A//10/99999.99/1//\": il totale dello scontrino supera 9999999.99");
    const QByteArray discounted = million.repeated(10) + "4/5.00/\n3/S/A//1/5.00/1//\n5/1/\n";
    QTest::newRow("text, a discount leaves the total to the register")
        << text << discounted << taken(discounted) << QString();
    const QByteArray twoReceipts = million.repeated(6) + "5/1/\n" + million.repeated(6) + "5/1/\n";
    QTest::newRow("text, receipts add up each on its own")
        << text << twoReceipts << taken(twoReceipts) << QString();
    QTest::newRow("text, a payment type the register has not programmed")
        << text << QByteArray("3/S/A//1/1/1//\n5/8/\n") << QStringList()
        << QStringLiteral("riga 2 \"5/8/\": pagamento 8 non programmato sulla cassa");
    QTest::newRow("text, a payment type the register lacks")
        << text << QByteArray("3/S/A//1/1/1//\n5/10/1.00/////\n") << QStringList()
        << QStringLiteral("tipo di pagamento \"10\": la cassa ha i tipi da 1 a 9");
    QTest::newRow("lines, nothing printable in a description")
        << json << QByteArray(R"({"lines": ["3/S/日本茶//1/1/1//", "5/1/"]})") << QStringList()
        << QStringLiteral("riga 1 (descrizione): nessun carattere stampabile dalla cassa");
    QTest::newRow("lone low surrogate in a line")
        << json << QByteArray(R"({"lines": ["3/S/\udc00//1/1/1//", "5/1/"]})") << QStringList()
        << QStringLiteral("lines[0]: contiene un carattere Unicode non valido");
    QTest::newRow("unknown field")
        << json
        << QByteArray(R"({"items": [{"description": "A", "quantity": "1", "price": "1", "department": 1,
                                             "discount": "1"}], "payments": [{"type": 1}]})")
        << QStringList() << QStringLiteral("campo sconosciuto \"discount\"");
    QTest::newRow("a fault after the customer")
        << json << QByteArray(R"({"customer": ["ROSSI"], "items": [{"description": "A", "quantit{": "1"}],
                                  "payments": [{"type": 1}]})")
        << QStringList() << QStringLiteral("campo sconosciuto \"quantit{\"");
    QTest::newRow("ten customer rows")
        << json << QByteArray(R"({"customer": ["1","2","3","4","5","6","7","8","9","10"],
                                  "items": [{"description": "A", "quantity": "1", "price": "1", "department": 1}],
                                  "payments": [{"type": 1}]})")
        << QStringList() << QStringLiteral("customer: al massimo 9");
    QTest::newRow("another type") << QByteArray("application/xml") << QByteArray("<x/>") << QStringList()
                                  << QStringLiteral("Content-Type");
    QTest::newRow("JSON in another charset")
        << QByteArray("application/json; charset=latin1") << QByteArray(R"({"lines": ["5/1/"]})")
        << QStringList() << QStringLiteral("Content-Type");
}

void TestApi::readBody() {
    QFETCH(QByteArray, type);
    QFETCH(QByteArray, body);
    QFETCH(QStringList, lines);
    QFETCH(QString, error);
    const ReceiptReading r = type == "document" ? ReadDocumentJson(body, readRules())
                                                : ReadReceiptBody(body, ReceiptBodyTypeOf(type), readRules());
    if (error.isEmpty()) {
        QVERIFY2(r.ok(), qPrintable(r.error));
        QCOMPARE(r.lines, lines);
    } else {
        QVERIFY(!r.ok());
        QVERIFY2(r.error.contains(error), qPrintable(r.error));
        QVERIFY(r.lines.isEmpty());
    }
}

// A sale or payment line is refused before it is queued exactly when the
// simulated register, programmed as the rules say, refuses it.
void TestApi::linesJudgedAsTheRegister_data() {
    QTest::addColumn<QByteArray>("line");
    for (const char *line : {"3/S/A//1/1.00/1//",
                             "3/S/A//-1/1/1//",
                             "3/S/A///1/1//",
                             "3/S/A// 2 /1/1//",
                             "3/S/A//.5/1/1//",
                             "3/S/A//2./1/1//",
                             "3/S/A//0/1/1//",
                             "3/S/A//9999.999/1/1//",
                             "3/S/A//10000/1/1//",
                             "3/S/A//1.0001/1/1//",
                             "3/S/A//1/1,50/1//",
                             "3/S/A//1/-2/1//",
                             "3/S/A//1/99999.99/1//",
                             "3/S/A//1/100000/1//",
                             "3/S/A//1/1/0//",
                             "3/S/A//1/1/20//",
                             "3/S/A//1/1/21//",
                             "3/S/A//1/1/x//",
                             "3/S/A//1/1/1.0//",
                             "3/S/A//0.004/1/1//",
                             "3/S/A//0.005/1/1//",
                             "3/S/A//10/99999.99/1//",
                             "3/S/A//10.001/99999.99/1//",
                             "3/N/A//1/1/21//",
                             "3/S/A//1/1",
                             "5/",
                             "5/1/",
                             "5/8/",
                             "5/9/",
                             "5/10/",
                             "5/0/",
                             "5/ 2 /"})
        QTest::newRow(line) << QByteArray(line);
}

void TestApi::linesJudgedAsTheRegister() {
    QFETCH(QByteArray, line);
    ecrsim::Register reg;
    reg.tables.payments[7].description.clear(); // payment 8
    const QByteArray sale = "3/S/A//1/1.00/1//";
    const bool payment = line.startsWith("5/");
    if (payment)
        QCOMPARE(reg.execute(sale).left(3), QByteArray("00/"));
    const QByteArray answer = reg.execute(line);
    const ReceiptReading r = ReadReceiptText(payment ? sale + '\n' + line : line, readRules());
    QVERIFY2(r.ok() == answer.startsWith("00/"), QByteArray(answer + " / " + r.error.toUtf8()).constData());
}

// Until the register's payment table is read no type is refused as not
// programmed; a type the register lacks is refused all the same.
void TestApi::paymentTypesOnceTheTableIsRead() {
    const QByteArray unprogrammed = "3/S/A//1/1/1//\n5/8/\n";
    QVERIFY(ReadReceiptText(unprogrammed).ok());
    QVERIFY(!ReadReceiptText(unprogrammed, readRules()).ok());
    QVERIFY(!ReadReceiptText("3/S/A//1/1/1//\n5/10/\n").ok());
}

// Text the register cannot print reaches it in its nearest printable form,
// and what it cuts or changes is said, naming the field or the line.
void TestApi::printedAsTheRegisterPrints_data() {
    QTest::addColumn<QByteArray>("type");
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<bool>("wrap"); // WrapDescription, 10 and 10 characters
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<QStringList>("warnings");
    const QByteArray json = "application/json";
    const QByteArray text = "text/plain";
    const auto receipt = [](const QByteArray &item) -> QByteArray {
        return R"({"items": [)" + item + R"(], "payments": [{"type": 1}]})";
    };
    const auto sold = [](const QByteArray &description) -> QByteArray {
        return R"({"description": ")" + description + R"(", "quantity": "1", "price": "1", "department": 1})";
    };
    const QByteArray sixty = "ABCDEFGHIJKLMNOPQRSTUVWXYZ ABCDEFGHIJKLMNOPQRSTUVWXYZ 012345";
    QTest::newRow("letters the register lacks")
        << json << receipt(sold("Żubrówka")) << false
        << QStringList{QStringLiteral("3/S/Zubr\u00f3wka//1/1/1//"), "5/1//////"}
        << QStringList{QStringLiteral("items[0].description: \"\u017bubr\u00f3wka\" stampato "
                                      "come \"Zubr\u00f3wka\"")};
    QTest::newRow("Windows-1252 as it is: sharp s, curly quotes, the euro")
        << json << receipt(sold("Stra\u00dfe \u201cLa Perla\u201d \u20ac")) << false
        << QStringList{QStringLiteral("3/S/Stra\u00dfe \u201cLa Perla\u201d \u20ac//1/1/1//"), "5/1//////"}
        << QStringList();
    QTest::newRow("no printable form: a question mark, said")
        << json << receipt(sold("T\u00e8 \u65e5\u672c\u8336 \u2615")) << false
        << QStringList{QStringLiteral("3/S/T\u00e8 ??? ?//1/1/1//"), "5/1//////"}
        << QStringList{QStringLiteral("items[0].description: \"T\u00e8 \u65e5\u672c\u8336 \u2615\" stampato "
                                      "come \"T\u00e8 ??? ?\"")};
    QTest::newRow("a plain form never ends a field")
        << json << receipt(sold("A\uff0fB \ufb01")) << false
        << QStringList{QStringLiteral("3/S/A?B fi//1/1/1//"), "5/1//////"}
        << QStringList{QStringLiteral("items[0].description: \"A\uff0fB \ufb01\" stampato come \"A?B fi\"")};
    QTest::newRow("a description longer than a row")
        << json << receipt(sold(sixty)) << false
        << QStringList{QString::fromLatin1("3/S/" + sixty + "//1/1/1//"), "5/1//////"}
        << QStringList{QStringLiteral("items[0].description: 60 caratteri, la cassa ne stampa 32: "
                                      "\"ABCDEFGHIJKLMNOPQRSTUVWXYZ ABCDE\"")};
    QTest::newRow("a second description, a text and a customer row longer than a row")
        << json
        << QByteArray(R"({"customer": [")" + sixty + R"("], "text": [")" + sixty +
                      R"("], "items": [{"description": "A", "description2": ")" + sixty +
                      R"(", "quantity": "1", "price": "1", "department": 1}], "payments": [{"type": 1}]})")
        << false
        << QStringList{QString::fromLatin1("j/" + sixty + "/////////0/"),
                       QString::fromLatin1("3/S/A/" + sixty + "/1/1/1//"),
                       QString::fromLatin1("7/1/0/" + sixty + "/"), "5/1//////"}
        << QStringList{QStringLiteral("customer[0]: 60 caratteri, la cassa ne stampa 32: "
                                      "\"ABCDEFGHIJKLMNOPQRSTUVWXYZ ABCDE\""),
                       QStringLiteral("text[0]: 60 caratteri, la cassa ne stampa 32: "
                                      "\"ABCDEFGHIJKLMNOPQRSTUVWXYZ ABCDE\""),
                       QStringLiteral("items[0].description2: 60 caratteri, la cassa ne stampa 32: "
                                      "\"ABCDEFGHIJKLMNOPQRSTUVWXYZ ABCDE\"")};
    QTest::newRow("a wrapped description that fits")
        << json << receipt(sold("ABCDEFGHIJKLMNOPQRS")) << true
        << QStringList{"3/S/ABCDEFGHIJKLMNOPQRS//1/1/1//", "5/1//////"} << QStringList();
    QTest::newRow("a wrapped description cut")
        << json << receipt(sold("ABCDEFGHIJKLMNOPQRSTUVWXYZ")) << true
        << QStringList{"3/S/ABCDEFGHIJKLMNOPQRSTUVWXYZ//1/1/1//", "5/1//////"}
        << QStringList{QStringLiteral("items[0].description: descrizione a capo, la cassa stampa "
                                      "\"ABCDEFGHIJ\" e \"KLMNOPQRST\"")};
    QTest::newRow("text, a combining accent joins its letter")
        << text << QByteArray("3/S/CAFFE\xcc\x81//1/1/1//\n5/1/\n") << false
        << QStringList{QStringLiteral("3/S/CAFF\u00c9//1/1/1//"), "5/1/"}
        << QStringList{QStringLiteral("riga 1 (descrizione): \"CAFFE\u0301\" stampato come \"CAFF\u00c9\"")};
    QTest::newRow("lines, letters the register lacks, by field")
        << json << QByteArray(R"({"lines": ["3/S/Łódź/Ząb/1/1/1//", "7/1/0/Dziękuję/", "5/1/"]})") << false
        << QStringList{QStringLiteral("3/S/L\u00f3dz/Zab/1/1/1//"), "7/1/0/Dziekuje/", "5/1/"}
        << QStringList{QStringLiteral("riga 1 (descrizione): \"\u0141\u00f3d\u017a\" stampato come "
                                      "\"L\u00f3dz\""),
                       QStringLiteral("riga 1 (descrizione 2): \"Z\u0105b\" stampato come \"Zab\""),
                       QStringLiteral("riga 2 (testo): \"Dzi\u0119kuj\u0119\" stampato come \"Dziekuje\"")};
    QTest::newRow("text, rows longer than the register prints")
        << text
        << QByteArray("3/S/" + sixty + "//1/1/1//\n3/R/RETURNED ITEM DESCRIBED LONG//1/1/1//\n7/1/0/" +
                      sixty + "/\n5/1/\n")
        << false
        << QStringList{QString::fromLatin1("3/S/" + sixty + "//1/1/1//"),
                       "3/R/RETURNED ITEM DESCRIBED LONG//1/1/1//",
                       QString::fromLatin1("7/1/0/" + sixty + "/"), "5/1/"}
        << QStringList{QStringLiteral("riga 1 (descrizione): 60 caratteri, la cassa ne stampa 32: "
                                      "\"ABCDEFGHIJKLMNOPQRSTUVWXYZ ABCDE\""),
                       // "RESO " before it
                       QStringLiteral("riga 2 (descrizione): 28 caratteri, la cassa ne stampa 27: "
                                      "\"RETURNED ITEM DESCRIBED LON\""),
                       QStringLiteral("riga 3 (testo): 60 caratteri, la cassa ne stampa 32: "
                                      "\"ABCDEFGHIJKLMNOPQRSTUVWXYZ ABCDE\"")};
}

void TestApi::printedAsTheRegisterPrints() {
    QFETCH(QByteArray, type);
    QFETCH(QByteArray, body);
    QFETCH(bool, wrap);
    QFETCH(QStringList, lines);
    QFETCH(QStringList, warnings);
    ReceiptRules rules = readRules();
    rules.saleRewrite.wrapDescription = wrap;
    const ReceiptReading r = ReadReceiptBody(body, ReceiptBodyTypeOf(type), rules);
    QVERIFY2(r.ok(), qPrintable(r.error));
    QCOMPARE(r.lines, lines);
    QCOMPARE(r.warnings, warnings);
}

void TestApi::token() {
    const QString path = m_home.filePath(ApiToken::fileName());
    const QByteArray t = m_api->token();
    QVERIFY(QRegularExpression(QStringLiteral("^[0-9a-f]{64}$")).match(QString::fromLatin1(t)).hasMatch());
    const auto othersMay = QFile::ReadGroup | QFile::WriteGroup | QFile::ReadOther | QFile::WriteOther;
    QVERIFY(!(QFile::permissions(path) & othersMay));
    // Kept across starts; a file opened up to others is closed again; one
    // that is not a token is replaced.
    QCOMPARE(ApiToken::load(m_home.path()), t);
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadOther);
    QCOMPARE(ApiToken::load(m_home.path()), t);
    QVERIFY(!(QFile::permissions(path) & othersMay));
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("guessable\n");
    f.close();
    const QByteArray fresh = ApiToken::load(m_home.path());
    QVERIFY(fresh != t && fresh.size() == 64);
    QVERIFY(ApiToken::matches(fresh, fresh));
    QVERIFY(!ApiToken::matches(fresh, fresh.left(63) + 'x'));
    QVERIFY(!ApiToken::matches(QByteArray(), QByteArray()));
    // A key file that belongs to the group is readable by it (and by no
    // others); a file of any other group is its owner's alone. The group is
    // here the one the test's files get.
    const QString group = QFileInfo(path).group();
    QVERIFY(!group.isEmpty());
    const auto ownerOnly = QFile::ReadOwner | QFile::WriteOwner;
    const auto modeOf = [](const QString &file) {
        return QFile::permissions(file) & ~(QFile::ReadUser | QFile::WriteUser | QFile::ExeUser);
    };
    const struct {
        const char *name;
        QByteArray content; // the file before, empty: as the package makes it
        QFile::Permissions before;
        QString group; // the group that may read it
        QFile::Permissions after;
    } rows[] = {
        {"the group's key, made private", fresh, ownerOnly, group, ownerOnly | QFile::ReadGroup},
        {"the group's key, open to others", fresh, ownerOnly | QFile::ReadGroup | QFile::ReadOther, group,
         ownerOnly | QFile::ReadGroup},
        {"the group's empty file", QByteArray(), ownerOnly | QFile::ReadGroup | QFile::WriteOther, group,
         ownerOnly | QFile::ReadGroup},
        {"another group's key", fresh, ownerOnly | QFile::ReadGroup, QStringLiteral("norvvelm-api-other"),
         ownerOnly},
        {"no group named", fresh, ownerOnly | QFile::ReadGroup, QString(), ownerOnly},
    };
    for (const auto &row : rows) {
        QTemporaryDir service;
        const QString file = service.filePath(ApiToken::fileName());
        testsupport::writeFile(file, row.content);
        QVERIFY(QFile::setPermissions(file, row.before));
        QString why;
        const auto inode = inodeOf(file);
        const QByteArray key = ApiToken::load(service.path(), row.group, &why);
        QVERIFY2(key.size() == 64, qPrintable(why));
        // The group's file is written in place: it keeps its group.
        if (row.group == group)
            QCOMPARE(inodeOf(file), inode);
        QVERIFY2(row.content.isEmpty() || key == fresh, row.name);
        QVERIFY2(modeOf(file) == row.after, row.name);
        QCOMPARE(QFileInfo(file).group(), group); // never handed to another group
        QCOMPARE(ApiToken::read(service.path()), key);
    }
    QTemporaryDir empty;
    QString why;
    QVERIFY(ApiToken::read(empty.path(), &why).isEmpty());
    QVERIFY(!QFile::exists(empty.filePath(ApiToken::fileName())));
}

// norvvelm-cmd --api-token: the named home's key, else the installed
// service's (read, never made), else the user's own.
void TestApi::tokenForClient() {
    QTemporaryDir named, service, own;
    const QString nowhere = service.filePath(QStringLiteral("not-installed"));
    bool ownAsked = false;
    const auto ownHome = [&] {
        ownAsked = true;
        return own.path();
    };
    const auto keyOf = [](const QTemporaryDir &dir) {
        return testsupport::readFile(dir.filePath(ApiToken::fileName())).trimmed();
    };
    QString why;
    // Named: its key, made there.
    const QByteArray fromNamed = ApiToken::forClient(named.path(), service.path(), ownHome, &why);
    QCOMPARE(fromNamed, keyOf(named));
    QVERIFY(!QFile::exists(service.filePath(ApiToken::fileName())) && !ownAsked);
    // The service installed, its key not made yet: said, with how to join
    // its group; nothing made anywhere.
    QVERIFY(ApiToken::forClient(QString(), service.path(), ownHome, &why).isEmpty());
    QVERIFY2(why.contains(QStringLiteral("sudo adduser $USER norvvelm-api")), qPrintable(why));
    QVERIFY(!QFile::exists(service.filePath(ApiToken::fileName())) && !ownAsked);
    // The service's key, as it is.
    const QByteArray serviceKey = ApiToken::load(service.path());
    QCOMPARE(ApiToken::forClient(QString(), service.path(), ownHome, &why), serviceKey);
    QVERIFY(!ownAsked);
    // No service: the user's own, made there.
    const QByteArray fromOwn = ApiToken::forClient(QString(), nowhere, ownHome, &why);
    QVERIFY(ownAsked);
    QCOMPARE(fromOwn, keyOf(own));
    QVERIFY(fromOwn != serviceKey && fromOwn != fromNamed);
}

void TestApi::parseHead_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("status"); // 0: more is to come, 200: complete, else the refusal
    // Complete: "method path query authority body-length keep|close"; refused:
    // a part of the refusal's text.
    QTest::addColumn<QString>("what");

    const QByteArray host = "Host: 127.0.0.1\r\n";
    QTest::newRow("get") << QByteArray("GET /api/v1/status HTTP/1.1\r\n" + host + "\r\n") << 200
                         << QStringLiteral("GET /api/v1/status   0 keep");
    QTest::newRow("query and escapes") << QByteArray("GET /page/a%20b?since=3 HTTP/1.1\r\n" + host + "\r\n")
                                       << 200 << QStringLiteral("GET /page/a b since=3  0 keep");
    QTest::newRow("body after the head is not looked at")
        << QByteArray("POST /x HTTP/1.1\r\n" + host + "Content-Length: 5\r\n\r\na\nb\rc") << 200
        << QStringLiteral("POST /x   5 keep");
    QTest::newRow("HTTP/1.0 without Host")
        << QByteArray("GET / HTTP/1.0\r\n\r\n") << 200 << QStringLiteral("GET /   0 close");
    QTest::newRow("HTTP/1.0 kept alive") << QByteArray("GET / HTTP/1.0\r\nConnection: Keep-Alive\r\n\r\n")
                                         << 200 << QStringLiteral("GET /   0 keep");
    QTest::newRow("closed by the client")
        << QByteArray("GET / HTTP/1.1\r\n" + host + "Connection: close\r\n\r\n") << 200
        << QStringLiteral("GET /   0 close");
    QTest::newRow("absolute form") << QByteArray("GET http://127.0.0.1:8714/api/v1/status?x=1 HTTP/1.1\r\n" +
                                                 host + "\r\n")
                                   << 200 << QStringLiteral("GET /api/v1/status x=1 127.0.0.1:8714 0 keep");
    QTest::newRow("absolute form, no path")
        << QByteArray("HEAD HTTP://localhost?a HTTP/1.1\r\n" + host + "\r\n") << 200
        << QStringLiteral("HEAD / a localhost 0 keep");
    QTest::newRow("absolute form with a user")
        << QByteArray("GET http://u@127.0.0.1/ HTTP/1.1\r\n" + host + "\r\n") << 400
        << QStringLiteral("Destinazione");
    QTest::newRow("absolute form, empty authority")
        << QByteArray("GET http:///api/v1/status HTTP/1.1\r\n" + host + "\r\n") << 400
        << QStringLiteral("Destinazione");
    QTest::newRow("another scheme") << QByteArray("GET https://127.0.0.1/ HTTP/1.1\r\n" + host + "\r\n")
                                    << 400 << QStringLiteral("Destinazione");
    QTest::newRow("asterisk") << QByteArray("OPTIONS * HTTP/1.1\r\n" + host + "\r\n") << 400
                              << QStringLiteral("Destinazione");
    QTest::newRow("nothing yet") << QByteArray() << 0 << QString();
    QTest::newRow("half a head") << QByteArray("GET / HTTP/1.1\r\n" + host) << 0 << QString();
    QTest::newRow("a CR waiting for its LF") << QByteArray("GET / HTTP/1.1\r") << 0 << QString();
    QTest::newRow("bare LF before the head ends")
        << QByteArray("GET / HTTP/1.1\nHost") << 400 << QStringLiteral("Fine riga senza CR");
    QTest::newRow("LF first") << QByteArray("\n") << 400 << QStringLiteral("Fine riga senza CR");
    QTest::newRow("bare CR") << QByteArray("GET / HTTP/1.1\r" + host) << 400
                             << QStringLiteral("Fine riga senza LF");
    QTest::newRow("CR inside a value") << QByteArray("GET / HTTP/1.1\r\nX: a\rb\r\n" + host + "\r\n") << 400
                                       << QStringLiteral("Fine riga senza LF");
    QTest::newRow("request line of 4096")
        << QByteArray("GET /" + QByteArray(4096 - 14, 'a') + " HTTP/1.1\r\n" + host + "\r\n") << 200
        << QStringLiteral("GET /%1   0 keep").arg(QString(4096 - 14, u'a'));
    QTest::newRow("request line of 4096, its CR in")
        << QByteArray("GET /" + QByteArray(4096 - 14, 'a') + " HTTP/1.1\r") << 0 << QString();
    QTest::newRow("request line of 4097")
        << QByteArray("GET /" + QByteArray(4097 - 14, 'a') + " HTTP/1.1\r\n") << 414
        << QStringLiteral("troppo lunga");
    QTest::newRow("request line without end")
        << QByteArray("GET /" + QByteArray(5000, 'a')) << 414 << QStringLiteral("troppo lunga");
    QTest::newRow("head without end") << QByteArray("GET / HTTP/1.1\r\nX: " + QByteArray(17000, 'a')) << 431
                                      << QStringLiteral("troppo lunghe");
    QByteArray fields = "GET / HTTP/1.1\r\n" + host;
    for (int i = 1; i < 64; ++i)
        fields += "X-" + QByteArray::number(i) + ": 1\r\n";
    QTest::newRow("64 fields") << QByteArray(fields + "\r\n") << 200 << QStringLiteral("GET /   0 keep");
    QTest::newRow("65 fields") << QByteArray(fields + "X-65: 1\r\n\r\n") << 431 << QStringLiteral("Troppe");
    // The whole head, its blank line in, within 16384 bytes.
    const QByteArray padded = "GET / HTTP/1.1\r\n" + host + "X: ";
    QTest::newRow("head of 16384") << QByteArray(padded + QByteArray(16384 - padded.size() - 4, 'a') +
                                                 "\r\n\r\n")
                                   << 200 << QStringLiteral("GET /   0 keep");
    QTest::newRow("head of 16385") << QByteArray(padded + QByteArray(16385 - padded.size() - 4, 'a') +
                                                 "\r\n\r\n")
                                   << 431 << QStringLiteral("troppo lunghe");
    QTest::newRow("body of 1 MiB") << QByteArray("POST / HTTP/1.1\r\n" + host +
                                                 "Content-Length: 1048576\r\n\r\n")
                                   << 200 << QStringLiteral("POST /   1048576 keep");
    QTest::newRow("body of 1 MiB and a byte")
        << QByteArray("POST / HTTP/1.1\r\n" + host + "Content-Length: 1048577\r\n\r\n") << 413
        << QStringLiteral("massimo 1048576");
    QTest::newRow("length with a sign")
        << QByteArray("POST / HTTP/1.1\r\n" + host + "Content-Length: +5\r\n\r\n") << 400
        << QStringLiteral("Content-Length non valido");
    QTest::newRow("length of 19 digits")
        << QByteArray("POST / HTTP/1.1\r\n" + host + "Content-Length: 0000000000000000001\r\n\r\n") << 400
        << QStringLiteral("Content-Length non valido");
    QTest::newRow("two Hosts") << QByteArray("GET / HTTP/1.1\r\n" + host + host + "\r\n") << 400
                               << QStringLiteral("Host");
    QTest::newRow("value with DEL") << QByteArray("GET / HTTP/1.1\r\n" + host + "X: a\x7f\r\n\r\n") << 400
                                    << QStringLiteral("Valore");
    QTest::newRow("empty name") << QByteArray("GET / HTTP/1.1\r\n" + host + ": a\r\n\r\n") << 400
                                << QStringLiteral("Intestazione non valida");
    QTest::newRow("two blanks in the request line")
        << QByteArray("GET  / HTTP/1.1\r\n" + host + "\r\n") << 400 << QStringLiteral("Riga di richiesta");
    QTest::newRow("lower-case version")
        << QByteArray("GET / http/1.1\r\n" + host + "\r\n") << 505 << QStringLiteral("Versione");
}

void TestApi::parseHead() {
    QFETCH(QByteArray, bytes);
    QFETCH(int, status);
    QFETCH(QString, what);
    const HttpHead head = ParseHead(bytes, HttpLimits{});
    switch (head.outcome) {
    case HttpHead::Outcome::Incomplete:
        QCOMPARE(0, status);
        break;
    case HttpHead::Outcome::Complete: {
        QCOMPARE(200, status);
        const HttpRequest &r = head.request;
        QCOMPARE(QStringLiteral("%1 %2 %3 %4 %5 %6")
                     .arg(QString::fromLatin1(r.method), r.path, r.query.toString(),
                          QString::fromLatin1(r.authority))
                     .arg(head.bodyLength)
                     .arg(head.keepAlive ? QStringLiteral("keep") : QStringLiteral("close")),
                 what);
        QCOMPARE(bytes.mid(head.size - 4, 4), QByteArray("\r\n\r\n"));
        break;
    }
    case HttpHead::Outcome::Refused:
        QCOMPARE(head.refusal.status, status);
        QVERIFY2(head.refusal.body.contains(what.toUtf8()), head.refusal.body.constData());
        break;
    }
}

void TestApi::refusals_data() {
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<int>("status");
    // The refusal's stable code, and after an "@" the field (or the body's
    // line) it names; empty for an answer.
    QTest::addColumn<QString>("code");
    QTest::addColumn<QString>("error"); // a part of the refusal's message

    const QByteArray ok = "POST /api/v1/receipts HTTP/1.1\r\nHost: 127.0.0.1:$PORT\r\n"
                          "Authorization: Bearer $TOKEN\r\nIdempotency-Key: k1\r\n";
    auto post = [&](const QByteArray &extra,
                    const QByteArray &body = "3/S/A//1/1/1//\r\n5/1/\r\n") -> QByteArray {
        return ok + extra + "Content-Type: text/plain\r\nContent-Length: " + QByteArray::number(body.size()) +
               "\r\n\r\n" + body;
    };
    QTest::newRow("status") << QByteArray("GET /api/v1/status HTTP/1.1\r\nHost: 127.0.0.1:$PORT\r\n\r\n")
                            << 200 << QString() << QString();
    QTest::newRow("status by localhost")
        << QByteArray("GET /api/v1/status HTTP/1.1\r\nHost: LOCALHOST:$PORT\r\n\r\n") << 200 << QString()
        << QString();
    QTest::newRow("no Host") << QByteArray("GET /api/v1/status HTTP/1.1\r\n\r\n") << 400
                             << QStringLiteral("bad_request") << QStringLiteral("Host");
    QTest::newRow("two Hosts")
        << QByteArray("GET /api/v1/status HTTP/1.1\r\nHost: 127.0.0.1\r\nHost: 127.0.0.1\r\n\r\n") << 400
        << QStringLiteral("bad_request") << QStringLiteral("Host");
    QTest::newRow("foreign Host") << QByteArray(
                                         "GET /api/v1/status HTTP/1.1\r\nHost: till.example:$PORT\r\n\r\n")
                                  << 403 << QStringLiteral("bad_host") << QStringLiteral("Host non ammesso");
    QTest::newRow("Host of another address")
        << QByteArray("GET /api/v1/status HTTP/1.1\r\nHost: 192.0.2.1:$PORT\r\n\r\n") << 403
        << QStringLiteral("bad_host") << QStringLiteral("Host non ammesso");
    QTest::newRow("Host on another port")
        << QByteArray("GET /api/v1/status HTTP/1.1\r\nHost: 127.0.0.1:1\r\n\r\n") << 403
        << QStringLiteral("bad_host") << QStringLiteral("Host non ammesso");
    QTest::newRow("no token") << QByteArray("POST /api/v1/receipts HTTP/1.1\r\nHost: 127.0.0.1:$PORT\r\n"
                                            "Idempotency-Key: k\r\nContent-Type: text/plain\r\n"
                                            "Content-Length: 6\r\n\r\n5/1/\r\n")
                              << 401 << QStringLiteral("unauthorized") << QStringLiteral("mancante");
    QTest::newRow("wrong token") << QByteArray("POST /api/v1/receipts HTTP/1.1\r\nHost: 127.0.0.1:$PORT\r\n"
                                               "Authorization: Bearer 00$TOKEN\r\nContent-Length: 0\r\n\r\n")
                                 << 401 << QStringLiteral("unauthorized") << QStringLiteral("errata");
    QTest::newRow("token not bearer")
        << QByteArray("POST /api/v1/receipts HTTP/1.1\r\nHost: 127.0.0.1:$PORT\r\n"
                      "Authorization: Basic $TOKEN\r\nContent-Length: 0\r\n\r\n")
        << 401 << QStringLiteral("unauthorized") << QStringLiteral("errata");
    QTest::newRow("foreign Origin") << post("Origin: http://shop.example\r\n") << 403
                                    << QStringLiteral("forbidden_origin")
                                    << QStringLiteral("Origin non ammessa");
    QTest::newRow("own Origin without its port")
        << post("Origin: http://127.0.0.1\r\n") << 403 << QStringLiteral("forbidden_origin")
        << QStringLiteral("Origin non ammessa");
    QTest::newRow("two Origins") << post("Origin: http://127.0.0.1:$PORT\r\nOrigin: http://shop.example\r\n")
                                 << 400 << QStringLiteral("header_repeated@Origin")
                                 << QStringLiteral("Intestazione ripetuta: origin");
    QTest::newRow("two keys") << post("Idempotency-Key: k2\r\n") << 400
                              << QStringLiteral("header_repeated@Idempotency-Key")
                              << QStringLiteral("Intestazione ripetuta: idempotency-key");
    QTest::newRow("two tokens") << post("Authorization: Bearer $TOKEN\r\n") << 401
                                << QStringLiteral("unauthorized") << QStringLiteral("errata");
    // The largest body is taken whole: JSON lines padded with blanks.
    QByteArray mib = R"({"lines": ["5/1/"]})";
    mib.insert(1, QByteArray(1024 * 1024 - mib.size(), ' '));
    QTest::newRow("body of 1 MiB") << post("", mib).replace("text/plain", "application/json") << 503
                                   << QStringLiteral("queue_unavailable")
                                   << QStringLiteral("Coda non disponibile");
    QTest::newRow("body of 1 MiB and a byte")
        << post("", mib + ' ').replace("text/plain", "application/json") << 413
        << QStringLiteral("payload_too_large") << QStringLiteral("massimo");
    QTest::newRow("lone surrogate")
        << post("",
                R"({"items": [{"description": "\ud800", "quantity": "1", "price": "1", "department": 1}],
                    "payments": [{"type": 1}]})")
               .replace("text/plain", "application/json")
        << 400 << QStringLiteral("field_invalid@items[0].description")
        << QStringLiteral("items[0].description");
    QTest::newRow("null Origin") << post("Origin: null\r\n") << 403 << QStringLiteral("forbidden_origin")
                                 << QStringLiteral("Origin non ammessa");
    QTest::newRow("own Origin, no queue")
        << post("Origin: http://127.0.0.1:$PORT\r\n") << 503 << QStringLiteral("queue_unavailable")
        << QStringLiteral("Coda non disponibile");
    QTest::newRow("no key") << QByteArray("POST /api/v1/receipts HTTP/1.1\r\nHost: 127.0.0.1:$PORT\r\n"
                                          "Authorization: Bearer $TOKEN\r\nContent-Type: text/plain\r\n"
                                          "Content-Length: 6\r\n\r\n5/1/\r\n")
                            << 400 << QStringLiteral("idempotency_key_missing@Idempotency-Key")
                            << QStringLiteral("Idempotency-Key");
    QTest::newRow("key with a blank")
        << post("").replace("Idempotency-Key: k1", "Idempotency-Key: k 1") << 400
        << QStringLiteral("idempotency_key_invalid@Idempotency-Key") << QStringLiteral("Idempotency-Key");
    QTest::newRow("key of 65") << post("").replace("Idempotency-Key: k1",
                                                   QByteArray("Idempotency-Key: " + QByteArray(65, 'k')))
                               << 400 << QStringLiteral("idempotency_key_invalid@Idempotency-Key")
                               << QStringLiteral("Idempotency-Key");
    QTest::newRow("bad JSON") << post("").replace("text/plain", "application/json") << 400
                              << QStringLiteral("body_invalid") << QStringLiteral("JSON non valido");
    QTest::newRow("control character")
        << post("", "3/S/A\x1b//1/1/1//\r\n5/1/\r\n") << 400 << QStringLiteral("line_invalid@1")
        << QStringLiteral("carattere di controllo 0x1B");
    QTest::newRow("another type") << post("").replace("text/plain", "text/csv") << 415
                                  << QStringLiteral("unsupported_media_type")
                                  << QStringLiteral("Content-Type");
    QTest::newRow("wait too long") << post("").replace("/receipts ", "/receipts?wait=30001 ") << 400
                                   << QStringLiteral("wait_invalid@wait") << QStringLiteral("wait");
    QTest::newRow("no length") << QByteArray(ok + "Content-Type: text/plain\r\n\r\n") << 411
                               << QStringLiteral("length_required") << QStringLiteral("Content-Length");
    QTest::newRow("two lengths") << QByteArray(ok + "Content-Length: 6\r\nContent-Length: 7\r\n\r\n5/1/\r\n")
                                 << 400 << QStringLiteral("bad_request") << QStringLiteral("Content-Length");
    QTest::newRow("length not a number") << QByteArray(ok + "Content-Length: -6\r\n\r\n") << 400
                                         << QStringLiteral("bad_request") << QStringLiteral("Content-Length");
    QTest::newRow("chunked") << QByteArray(ok + "Transfer-Encoding: chunked\r\n\r\n6\r\n5/1/\r\n0\r\n\r\n")
                             << 501 << QStringLiteral("not_implemented")
                             << QStringLiteral("Transfer-Encoding");
    QTest::newRow("request line too long")
        << QByteArray("GET /" + QByteArray(5000, 'a') + " HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n") << 414
        << QStringLiteral("uri_too_long") << QStringLiteral("troppo lunga");
    QTest::newRow("header too long") << QByteArray("GET / HTTP/1.1\r\nHost: 127.0.0.1\r\nX-A: " +
                                                   QByteArray(17000, 'a') + "\r\n\r\n")
                                     << 431 << QStringLiteral("headers_too_large")
                                     << QStringLiteral("troppo lunghe");
    QByteArray many = "GET / HTTP/1.1\r\nHost: 127.0.0.1\r\n";
    for (int i = 0; i < 70; ++i)
        many += "X-" + QByteArray::number(i) + ": 1\r\n";
    QTest::newRow("too many headers") << QByteArray(many + "\r\n") << 431
                                      << QStringLiteral("headers_too_large") << QStringLiteral("Troppe");
    QTest::newRow("bare LF") << QByteArray("GET /api/v1/status HTTP/1.1\nHost: 127.0.0.1\r\n\r\n") << 400
                             << QStringLiteral("bad_request") << QStringLiteral("CR");
    QTest::newRow("folded header") << QByteArray(
                                          "GET /api/v1/status HTTP/1.1\r\nHost: 127.0.0.1\r\n x\r\n\r\n")
                                   << 400 << QStringLiteral("bad_request")
                                   << QStringLiteral("Intestazione non valida");
    QTest::newRow("space before colon")
        << QByteArray("GET /api/v1/status HTTP/1.1\r\nHost : 127.0.0.1\r\n\r\n") << 400
        << QStringLiteral("bad_request") << QStringLiteral("Nome di intestazione");
    QTest::newRow("absolute target")
        << QByteArray("GET http://127.0.0.1:$PORT/api/v1/status HTTP/1.1\r\nHost: 127.0.0.1:$PORT\r\n\r\n")
        << 200 << QString() << QString();
    QTest::newRow("absolute target, foreign")
        << QByteArray("GET http://till.example/api/v1/status HTTP/1.1\r\nHost: 127.0.0.1:$PORT\r\n\r\n")
        << 403 << QStringLiteral("bad_host") << QStringLiteral("Host non ammesso: till.example");
    QTest::newRow("absolute target, another scheme")
        << QByteArray("GET https://127.0.0.1:$PORT/api/v1/status HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n") << 400
        << QStringLiteral("bad_request") << QStringLiteral("Destinazione");
    QTest::newRow("bare LF, the head unfinished")
        << QByteArray("GET /api/v1/status HTTP/1.1\nHost: 127.0.0.1\n\n") << 400
        << QStringLiteral("bad_request") << QStringLiteral("CR");
    QTest::newRow("status by HEAD") << QByteArray("HEAD /api/v1/status HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n")
                                    << 200 << QString() << QString();
    // A method that may change something asks for the key before anything else.
    QTest::newRow("receipts by DELETE without the key")
        << QByteArray("DELETE /api/v1/receipts HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n") << 401
        << QStringLiteral("unauthorized") << QStringLiteral("Chiave");
    QTest::newRow("receipts by DELETE")
        << QByteArray("DELETE /api/v1/receipts HTTP/1.1\r\nHost: 127.0.0.1\r\nAuthorization: Bearer "
                      "$TOKEN\r\n\r\n")
        << 405 << QStringLiteral("method_not_allowed") << QStringLiteral("Metodo");
    QTest::newRow("withdraw an unknown receipt")
        << QByteArray("DELETE /api/v1/receipts/R999 HTTP/1.1\r\nHost: 127.0.0.1\r\nAuthorization: Bearer "
                      "$TOKEN\r\n\r\n")
        << 404 << QStringLiteral("unknown_receipt") << QStringLiteral("sconosciuto");
    QTest::newRow("withdraw from another origin")
        << QByteArray("DELETE /api/v1/receipts/R1 HTTP/1.1\r\nHost: 127.0.0.1\r\nOrigin: http://shop.example"
                      "\r\nAuthorization: Bearer $TOKEN\r\n\r\n")
        << 403 << QStringLiteral("forbidden_origin") << QStringLiteral("Origin");
    QTest::newRow("expires_in out of range")
        << post("", "3/S/A//1/1/1//\r\n5/1/\r\n").replace("receipts HTTP", "receipts?expires_in=0 HTTP")
        << 400 << QStringLiteral("expires_in_invalid@expires_in") << QStringLiteral("expires_in");
    QTest::newRow("version 2") << QByteArray("GET / HTTP/2.0\r\nHost: 127.0.0.1\r\n\r\n") << 505
                               << QStringLiteral("http_version_not_supported") << QStringLiteral("Versione");
    QTest::newRow("not a request") << QByteArray("\x16\x03\x01\x02\x05\x01\x07\x01\xfc\r\n\r\n") << 400
                                   << QStringLiteral("bad_request") << QStringLiteral("Riga di richiesta");
    QTest::newRow("unknown path") << QByteArray("GET /api/v2/status HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n")
                                  << 404 << QStringLiteral("not_found") << QStringLiteral("sconosciuta");
    QTest::newRow("page outside its folder")
        << QByteArray("GET /page/%2e%2e/%2e%2e/NorvVelm.token HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n") << 404
        << QStringLiteral("not_found") << QStringLiteral("sconosciuta");
    QTest::newRow("status by PUT")
        << QByteArray("PUT /api/v1/status HTTP/1.1\r\nHost: 127.0.0.1\r\nAuthorization: Bearer $TOKEN\r\n"
                      "Content-Length: 0\r\n\r\n")
        << 405 << QStringLiteral("method_not_allowed") << QStringLiteral("Metodo");
    QTest::newRow("unknown receipt") << QByteArray(
                                            "GET /api/v1/receipts/nosuch HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n")
                                     << 404 << QStringLiteral("unknown_receipt")
                                     << QStringLiteral("sconosciuto");
    QTest::newRow("monitor since garbage")
        << QByteArray("GET /api/v1/monitor?since=x HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n") << 400
        << QStringLiteral("since_invalid@since") << QStringLiteral("since");
    QTest::newRow("status, a parameter it does not take")
        << QByteArray("GET /api/v1/status?verbose=1 HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n") << 400
        << QStringLiteral("unknown_parameter@verbose") << QStringLiteral("verbose");
    QTest::newRow("post, a parameter it does not take")
        << post("", "3/S/A//1/1/1//\r\n5/1/\r\n").replace("receipts HTTP", "receipts?wiat=100 HTTP") << 400
        << QStringLiteral("unknown_parameter@wiat") << QStringLiteral("wiat");
    QTest::newRow("list, an unknown state")
        << QByteArray("GET /api/v1/receipts?state=printed,done HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n") << 400
        << QStringLiteral("state_invalid@state") << QStringLiteral("done");
    QTest::newRow("list, a date that is not one")
        << QByteArray("GET /api/v1/receipts?date=2026-13-01 HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n") << 400
        << QStringLiteral("date_invalid@date") << QStringLiteral("date");
    QTest::newRow("list, a cursor that is not one")
        << QByteArray("GET /api/v1/receipts?cursor=x HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n") << 400
        << QStringLiteral("cursor_invalid@cursor") << QStringLiteral("cursor");
    QTest::newRow("list, since and state")
        << QByteArray("GET /api/v1/receipts?since=2026-12-10T09:00:00%2B01:00"
                      "&state=failed HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n")
        << 200 << QString() << QString();
    QTest::newRow("list limit 0") << QByteArray(
                                         "GET /api/v1/receipts?limit=0 HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n")
                                  << 400 << QStringLiteral("limit_invalid@limit") << QStringLiteral("limit");
    // Every resource knows its parameters, and takes each once.
    const QByteArray keyed = "\r\nHost: 127.0.0.1\r\nAuthorization: Bearer $TOKEN\r\n\r\n";
    QTest::newRow("metrics, a parameter it does not take")
        << QByteArray("GET /metrics?name=x HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n") << 400
        << QStringLiteral("unknown_parameter@name") << QStringLiteral("Parametro sconosciuto");
    QTest::newRow("totals, a parameter it does not take")
        << QByteArray("GET /api/v1/totals?fresh=1 HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n") << 400
        << QStringLiteral("unknown_parameter@fresh") << QString();
    QTest::newRow("page, a parameter it does not take")
        << QByteArray("GET /page/page.js?v=2 HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n") << 400
        << QStringLiteral("unknown_parameter@v") << QString();
    QTest::newRow("monitor, a parameter beside since")
        << QByteArray("GET /api/v1/monitor?since=1&limit=5 HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n") << 400
        << QStringLiteral("unknown_parameter@limit") << QString();
    QTest::newRow("withdraw, a parameter it does not take")
        << QByteArray("DELETE /api/v1/receipts/R1?force=1 HTTP/1.1" + keyed) << 400
        << QStringLiteral("unknown_parameter@force") << QString();
    QTest::newRow("receipt, wait given twice")
        << QByteArray("GET /api/v1/receipts/R1?wait=0&wait=30000 HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n") << 400
        << QStringLiteral("parameter_repeated@wait") << QStringLiteral("ripetuto");
    QTest::newRow("receipt, wait and a parameter of the listing")
        << QByteArray("GET /api/v1/receipts/R1?wait=10&limit=5 HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n") << 400
        << QStringLiteral("unknown_parameter@limit") << QString();
    QTest::newRow("list, since that is not a time")
        << QByteArray("GET /api/v1/receipts?since=ieri HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n") << 400
        << QStringLiteral("since_invalid@since") << QString();
    QTest::newRow("list, since with its offset")
        << QByteArray("GET /api/v1/receipts?since=2026-12-10T09:00:00.000+01:00 HTTP/1.1\r\n"
                      "Host: 127.0.0.1\r\n\r\n")
        << 200 << QString() << QString();
    QTest::newRow("list, since with its plus sent as a blank")
        << QByteArray(
               "GET /api/v1/receipts?since=2026-12-10T09:00:00%2001:00 HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n")
        << 200 << QString() << QString();
    QTest::newRow("list, an empty state")
        << QByteArray("GET /api/v1/receipts?state= HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n") << 400
        << QStringLiteral("state_invalid@state") << QString();
    // The body's fault, where it lies.
    QTest::newRow("a closing inside the receipt")
        << post("", "3/S/A//1/1/1//\r\nx/7/0/0/\r\n5/1/\r\n") << 400 << QStringLiteral("line_invalid@2")
        << QStringLiteral("riga 2 \"x/7/0/0/\"");
    const auto json = [&](const QByteArray &body) {
        return post("", body).replace("text/plain", "application/json");
    };
    QTest::newRow("a price as a JSON number")
        << json(R"({"items": [{"description": "A", "quantity": "1", "price": 1.1, "department": 1}],
                    "payments": [{"type": 1}]})")
        << 400 << QStringLiteral("field_invalid@items[0].price") << QStringLiteral("items[0].price:");
    QTest::newRow("an item's field it does not know")
        << json(R"({"items": [{"description": "A", "quantity": "1", "price": "1", "department": 1,
                               "discount": "1"}], "payments": [{"type": 1}]})")
        << 400 << QStringLiteral("field_invalid@items[0].discount") << QStringLiteral("campo sconosciuto");
    QTest::newRow("a receipt's field it does not know")
        << json(R"({"items": [], "payments": [], "tip": "1"})") << 400 << QStringLiteral("field_invalid@tip")
        << QStringLiteral("campo sconosciuto");
    QTest::newRow("lines beside other fields") << json(R"({"lines": ["5/1/"], "items": []})") << 400
                                               << QStringLiteral("field_invalid@lines") << QString();
    QTest::newRow("a JSON line at fault") << json(R"({"lines": ["3/S/A//1/1/1//", "x/7/0/0/"]})") << 400
                                          << QStringLiteral("line_invalid@2") << QString();
    QTest::newRow("no line at all") << post("", "\r\n\r\n") << 400 << QStringLiteral("body_invalid")
                                    << QStringLiteral("nessuna riga");
    // The technician's raw lines: the key first, then the technician's
    // consent (off in a new configuration), before the body is read.
    const QByteArray rawBody = R"({"lines": ["?/"]})";
    const QByteArray raw =
        "POST /api/v1/raw HTTP/1.1\r\nHost: 127.0.0.1:$PORT\r\nContent-Type: application/json\r\n"
        "Content-Length: " +
        QByteArray::number(rawBody.size()) + "\r\n";
    QTest::newRow("raw lines without the key")
        << QByteArray(raw + "\r\n" + rawBody) << 401 << QStringLiteral("unauthorized")
        << QStringLiteral("mancante");
    QTest::newRow("raw lines not allowed")
        << QByteArray(raw + "Authorization: Bearer $TOKEN\r\n\r\n" + rawBody) << 403
        << QStringLiteral("raw_disabled") << QStringLiteral("tecnico");
    QTest::newRow("raw lines not allowed, a bad body")
        << QByteArray(raw + "Authorization: Bearer $TOKEN\r\n\r\n" + QByteArray(rawBody.size(), '{')) << 403
        << QStringLiteral("raw_disabled") << QString();
    QTest::newRow("raw lines from another origin")
        << QByteArray(raw + "Authorization: Bearer $TOKEN\r\nOrigin: http://shop.example\r\n\r\n" + rawBody)
        << 403 << QStringLiteral("forbidden_origin") << QString();
    QTest::newRow("raw lines by GET")
        << QByteArray("GET /api/v1/raw HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n") << 405
        << QStringLiteral("method_not_allowed") << QStringLiteral("Metodo");
}

void TestApi::refusals() {
    QFETCH(QByteArray, request);
    QFETCH(int, status);
    QFETCH(QString, code);
    QFETCH(QString, error);
    const HttpAnswer a = HttpProbe::ask(port(), expand(request));
    QCOMPARE(a.status, status);
    QCOMPARE(a.header("X-Content-Type-Options"), QByteArray("nosniff"));
    QCOMPARE(a.header("Cache-Control"), QByteArray("no-store"));
    QCOMPARE(a.header("Content-Security-Policy"), QByteArray("default-src 'self'"));
    if (status == 401)
        QVERIFY(a.header("WWW-Authenticate").startsWith("Bearer"));
    const QJsonObject e = a.json()[QStringLiteral("error")].toObject();
    if (!error.isEmpty())
        QVERIFY2(e.value(QStringLiteral("message")).toString().contains(error), a.body.constData());
    if (status >= 400) {
        // A stable code a program matches, each one listed in the document,
        // and where the fault lies.
        static const QString doc =
            QString::fromUtf8(testsupport::readFile(NORVVELM_SOURCE_DIR "/docs/api.md"));
        QCOMPARE(e.value(QStringLiteral("code")).toString(), code.section(u'@', 0, 0));
        QVERIFY2(doc.contains(u"| `" + e.value(QStringLiteral("code")).toString() + u"` |"),
                 qPrintable(code));
        static const testsupport::OpenApiCheck document(QStringLiteral(NORVVELM_SOURCE_DIR "/docs/api.md"));
        QCOMPARE(document.checkSchema(QStringLiteral("Error"), a.body), QString());
        const QString where = code.section(u'@', 1);
        bool isLine = false;
        const int line = where.toInt(&isLine);
        QCOMPARE(e.value(QStringLiteral("line")).toInt(), isLine ? line : 0);
        QCOMPARE(e.value(QStringLiteral("field")).toString(), isLine ? QString() : where);
    }
    // Every refusal closes its connection.
    QCOMPARE(a.closed, status >= 400);
    // A 405 lists what the resource takes: reads wherever a GET is taken,
    // the raw lines only a POST.
    if (status == 405)
        QVERIFY(a.header("Allow").contains("HEAD") || a.header("Allow") == "POST");
}

void TestApi::bodyRefusedBeforeItIsSent() {
    // 3 MB announced: refused on the header alone, while the client still
    // waits to send it, even when it asks to be told first.
    for (const QByteArray &expect : {QByteArray(), QByteArray("Expect: 100-continue\r\n")}) {
        HttpProbe p(port());
        QVERIFY(p.connect());
        p.send(expand(
            "POST /api/v1/receipts HTTP/1.1\r\nHost: 127.0.0.1:$PORT\r\nAuthorization: Bearer $TOKEN\r\n"
            "Idempotency-Key: big\r\nContent-Type: text/plain\r\n" +
            expect + "Content-Length: 3000000\r\n\r\n"));
        const HttpAnswer a = p.read();
        QCOMPARE(a.status, 413);
        QVERIFY(a.closed);
        QVERIFY(p.closedByServer());
    }
}

void TestApi::slowAndIdleConnections() {
    HttpLimits limits;
    limits.requestMs = 200;
    limits.idleMs = 1000;
    m_api->http().setLimits(limits);
    // Virtual time passes while the probes wait, 50 ms a step.
    const auto tick = [this] { m_clock.advance(50); };
    {
        // A request that never ends.
        HttpProbe p(port());
        p.setTick(tick);
        QVERIFY(p.connect());
        p.send("GET /api/v1/status HTTP/1.1\r\nHost: 127.0.0.1\r\n");
        QCOMPARE(p.read().status, 408);
        QVERIFY(p.closedByServer());
    }
    {
        // A connection kept after its answer, then left idle.
        HttpProbe p(port());
        QVERIFY(p.connect());
        p.send(expand("GET /api/v1/status HTTP/1.1\r\nHost: 127.0.0.1:$PORT\r\n\r\n"));
        const HttpAnswer a = p.read();
        QCOMPARE(a.status, 200);
        QVERIFY(!a.closed);
        // Two requests in one packet are answered in turn; a HEAD as a GET,
        // with the length of the body it does not send.
        p.send(expand("HEAD /api/v1/status HTTP/1.1\r\nHost: 127.0.0.1:$PORT\r\n\r\n"
                      "GET /metrics HTTP/1.1\r\nHost: 127.0.0.1:$PORT\r\nConnection: close\r\n\r\n"));
        const HttpAnswer head = p.read(10000, true);
        QCOMPARE(head.status, 200);
        QCOMPARE(head.header("Content-Length"), QByteArray::number(a.body.size()));
        const HttpAnswer m = p.read();
        QCOMPARE(m.status, 200);
        QVERIFY(m.body.contains("norvvelm_register_up"));
        QVERIFY(m.closed);
    }
    {
        HttpProbe p(port());
        p.setTick(tick);
        QVERIFY(p.connect());
        const qint64 from = m_clock.nowMs();
        QVERIFY(p.closedByServer());
        QVERIFY(m_clock.nowMs() - from >= limits.idleMs);
    }
    QTRY_COMPARE(m_api->http().connectionCount(), 0);
}

void TestApi::idleConnectionsDoNotStarveStatus() {
    m_api->http().setMaxConnections(8);
    std::vector<std::unique_ptr<HttpProbe>> idle;
    for (int i = 0; i < 40; ++i) {
        idle.push_back(std::make_unique<HttpProbe>(port()));
        QVERIFY(idle.back()->connect());
        if (i % 2)
            idle.back()->send("GET /api/v1/sta"); // half a request
    }
    const HttpAnswer a =
        HttpProbe::ask(port(), expand("GET /api/v1/status HTTP/1.1\r\nHost: 127.0.0.1:$PORT\r\n\r\n"));
    QCOMPARE(a.status, 200);
    QVERIFY(m_api->http().connectionCount() <= 8);
}

void TestApi::answersFitTheDocument() {
    const testsupport::OpenApiCheck doc(QStringLiteral(NORVVELM_SOURCE_DIR "/docs/api.md"));
    QVERIFY(doc.loaded());
    m_session->monitor().AddMonitorLine(QStringLiteral("PC -> ECR : 3/S/A//1/1/1//"));
    m_session->monitor().AddMonitorLine(QStringLiteral("PC -> ECR : 5/1/"));
    m_session->lastExchange().setLastAnswer(QStringLiteral("6C/00/00/"));
    struct Case {
        QByteArray target;
        QString path;
        int status;
    };
    const QList<Case> cases{
        {"/api/v1/status", QStringLiteral("/api/v1/status"), 200},
        {"/api/v1/status?verbose", QStringLiteral("/api/v1/status"), 400},
        {"/api/v1/totals", QStringLiteral("/api/v1/totals"), 503},
        {"/api/v1/totals?fresh=1", QStringLiteral("/api/v1/totals"), 400},
        {"/metrics?x=1", QStringLiteral("/metrics"), 400},
        {"/api/v1/receipts?state=printed,nope", QStringLiteral("/api/v1/receipts"), 400},
        {"/api/v1/receipts/R1?wait=1&wait=2", QStringLiteral("/api/v1/receipts/{id}"), 400},
        {"/api/v1/monitor?since=1", QStringLiteral("/api/v1/monitor"), 200},
        {"/api/v1/monitor?since=-1", QStringLiteral("/api/v1/monitor"), 400},
        {"/api/v1/receipts?limit=5", QStringLiteral("/api/v1/receipts"), 200},
        {"/api/v1/receipts/abc", QStringLiteral("/api/v1/receipts/{id}"), 404},
    };
    for (const Case &c : cases) {
        const HttpAnswer a =
            HttpProbe::ask(port(), expand("GET " + c.target + " HTTP/1.1\r\nHost: 127.0.0.1:$PORT\r\n\r\n"));
        QCOMPARE(a.status, c.status);
        const QString misfit = doc.check(c.path, QStringLiteral("get"), a.status, a.body);
        QVERIFY2(misfit.isEmpty(), qPrintable(c.target + ": " + misfit));
    }
    const HttpAnswer status =
        HttpProbe::ask(port(), expand("GET /api/v1/status HTTP/1.1\r\nHost: 127.0.0.1:$PORT\r\n\r\n"));
    const QJsonObject reg = status.json()[QStringLiteral("register")].toObject();
    QCOMPARE(reg[QStringLiteral("last_error")][QStringLiteral("code")].toString(), QStringLiteral("6C"));
    QCOMPARE(reg[QStringLiteral("last_error")][QStringLiteral("number")].toInt(), 108);
    // Nobody said yet why: not identified since the start.
    QCOMPARE(reg[QStringLiteral("offline_reason")][QStringLiteral("code")].toString(),
             QStringLiteral("not_identified"));
    QCOMPARE(reg[QStringLiteral("receipt_open")].toBool(true), false);
    const HttpAnswer monitor = HttpProbe::ask(
        port(), expand("GET /api/v1/monitor?since=1 HTTP/1.1\r\nHost: 127.0.0.1:$PORT\r\n\r\n"));
    const QJsonArray lines = monitor.json()[QStringLiteral("lines")].toArray();
    QCOMPARE(lines.size(), 1);
    QCOMPARE(lines.at(0)[QStringLiteral("seq")].toInt(), 2);
    QCOMPARE(lines.at(0)[QStringLiteral("text")].toString(), QStringLiteral("PC -> ECR : 5/1/"));
    QCOMPARE(monitor.json()[QStringLiteral("last")].toInt(), 2);
}

void TestApi::metricsParse() {
    m_session->lastExchange().setLastAnswer(QStringLiteral("00/00/00/"));
    m_session->lastExchange().setLastAnswer(QStringLiteral("6C/00/00/"));
    m_session->runState().setLineBusy(true);
    m_session->runState().setLineBusy(false);
    const HttpAnswer a =
        HttpProbe::ask(port(), expand("GET /metrics HTTP/1.1\r\nHost: 127.0.0.1:$PORT\r\n\r\n"));
    QCOMPARE(a.status, 200);
    QVERIFY(a.header("Content-Type").startsWith("text/plain; version=0.0.4"));
    // Every line is a comment (# HELP or # TYPE) or a sample: a name, labels
    // in braces, a value; every sample's family has its type.
    static const QRegularExpression sample(
        QStringLiteral(R"(^([a-zA-Z_:][a-zA-Z0-9_:]*)(\{([a-zA-Z_][a-zA-Z0-9_]*="([^"\\]|\\.)*",?)*\})? )"
                       R"((-?[0-9.e+-]+|\+Inf|NaN)$)"));
    static const QRegularExpression type(
        QStringLiteral(R"(^# TYPE ([a-zA-Z_:][a-zA-Z0-9_:]*) (counter|gauge|histogram)$)"));
    QSet<QString> typed;
    QMap<QString, double> values;
    for (const QString &l : QString::fromUtf8(a.body).split(u'\n', Qt::SkipEmptyParts)) {
        if (const auto t = type.match(l); t.hasMatch()) {
            typed << t.captured(1);
            continue;
        }
        if (l.startsWith(QLatin1String("# HELP ")))
            continue;
        const auto m = sample.match(l);
        QVERIFY2(m.hasMatch(), qPrintable(l));
        QString family = m.captured(1);
        for (const char *suffix : {"_bucket", "_sum", "_count"}) {
            if (family.endsWith(QLatin1String(suffix)) && !typed.contains(family))
                family.chop(int(qstrlen(suffix)));
        }
        QVERIFY2(typed.contains(family), qPrintable(l));
        values[m.captured(1) + m.captured(2)] = m.captured(5).toDouble();
    }
    QCOMPARE(values.value(QStringLiteral("norvvelm_lines_sent_total")), 2.0);
    QCOMPARE(values.value(QStringLiteral("norvvelm_register_errors_total{code=\"6C\",number=\"108\"}")), 1.0);
    QCOMPARE(values.value(QStringLiteral("norvvelm_exchange_seconds_count")), 1.0);
    QCOMPARE(values.value(QStringLiteral("norvvelm_exchange_seconds_bucket{le=\"+Inf\"}")), 1.0);
    QCOMPARE(values.value(QStringLiteral("norvvelm_register_up")), 0.0);
}

void TestApi::outcomeStore() {
    const QString path = m_home.filePath(OutcomeStore::fileName());
    const QDateTime now(QDate(2026, 12, 9), QTime(10, 0));
    auto outcome = [&](quint64 id, const QString &key, OutcomeState state, int daysAgo,
                       const QByteArray &digest = "h") {
        ReceiptHistory o;
        o.id = id;
        o.source = key.isEmpty() ? ReceiptSource{ReceiptSource::Kind::File, QStringLiteral("a.txt"), {}}
                                 : ReceiptSource{ReceiptSource::Kind::Request, key, digest};
        o.outcome = state;
        o.lines = {QStringLiteral("3/S/A//1/1/1//"), QStringLiteral("5/1/")};
        o.accepted = o.finished = now.addDays(-daysAgo);
        return o;
    };
    {
        OutcomeStore store(path);
        QVERIFY(store.open(now));
        QVERIFY(
            store.put(outcome(1, QStringLiteral("k1"), OutcomeState::Printed, 40, "h1"), now.addDays(-40)));
        QVERIFY(store.put(outcome(2, QStringLiteral("k2"), OutcomeState::Printing, 1, "h2"), now));
        QVERIFY(store.put(outcome(2, QStringLiteral("k2"), OutcomeState::Printed, 1, "h2"), now));
        QVERIFY(store.put(outcome(7, QString(), OutcomeState::Failed, 0, {}), now));
        // The last put of an id holds, and makes it the newest.
        QCOMPARE(store.findKey(QStringLiteral("k2"))->outcome, OutcomeState::Printed);
        QCOMPARE(store.newest(1).value(0).id, 7u);
        QVERIFY(store.put(outcome(2, QStringLiteral("k2"), OutcomeState::Printed, 0, "h2"), now));
        QCOMPARE(store.newest(1).value(0).id, 2u);
        QCOMPARE(store.size(), 2); // R1, 40 days old, went at the first put of today
    }
    {
        // Full, the oldest goes with its key.
        OutcomeStore full(m_home.filePath(QStringLiteral("full")));
        QVERIFY(full.open(now));
        for (int i = 0; i <= OutcomeStore::kKept; ++i) {
            const QString n = QString::number(i);
            QVERIFY(full.put(outcome(quint64(i + 1), u'k' + n, OutcomeState::Printed, 0), now));
        }
        QCOMPARE(full.size(), OutcomeStore::kKept);
        QVERIFY(!full.find(1) && !full.findKey(QStringLiteral("k0")));
        QVERIFY(full.findKey(QStringLiteral("k1")));
        // A listing's page walks down the ids from where the last one ended,
        // the oldest gone.
        QList<quint64> page;
        full.visitDown(9000, [&](const ReceiptHistory &r) {
            page << r.id;
            return page.size() < 3;
        });
        QCOMPARE(page, (QList<quint64>{8999, 8998, 8997}));
        page.clear();
        full.visitDown(4, [&](const ReceiptHistory &r) {
            page << r.id;
            return true;
        });
        QCOMPARE(page, (QList<quint64>{3, 2}));
        QCOMPARE(full.highestId(), quint64(OutcomeStore::kKept + 1));
    }
    // A record kept before times carried their offset is read as local
    // time; one cut short by a crash was never counted.
    QFile f(path);
    QVERIFY(f.open(QIODevice::Append));
    f.write(
        R"({"id": "R8", "key": "k8", "state": "printed", "lines": [], "errors": [{"line": 1, "code": "0C",)"
        R"( "text": "x"}], "accepted": "2026-12-09T09:30:00.250", "digest": "h8"})"
        "\n");
    f.write(R"({"id": "R9", "state": "printed")");
    f.close();
    OutcomeStore again(path);
    QVERIFY(again.open(now));
    QCOMPARE(again.size(), 3); // R1 is over 30 days old; R2's last record holds
    QVERIFY(!again.find(1) && !again.find(9));
    QCOMPARE(again.find(8)->accepted, QDateTime(QDate(2026, 12, 9), QTime(9, 30, 0, 250)));
    QCOMPARE(again.find(8)->errors.value(0).number, 12);
    const QJsonObject told = ReceiptJson(*again.find(8));
    const QDateTime at = again.find(8)->accepted;
    const int offset = at.offsetFromUtc() / 60;
    QCOMPARE(told.value(QStringLiteral("accepted")).toString(),
             QStringLiteral("2026-12-09T09:30:00.250%1%2:%3")
                 .arg(QChar(offset < 0 ? u'-' : u'+'))
                 .arg(qAbs(offset) / 60, 2, 10, QLatin1Char('0'))
                 .arg(qAbs(offset) % 60, 2, 10, QLatin1Char('0')));
    QCOMPARE(told.value(QStringLiteral("errors"))[0][QStringLiteral("number")].toInt(), 12);
    QCOMPARE(TimeFromText(told.value(QStringLiteral("accepted")).toString()), at);
    // Every time with its own offset, never "Z".
    const QDate day(2026, 12, 10);
    QCOMPARE(TimeJson(QDateTime(day, QTime(9, 15, 2, 123), Qt::OffsetFromUTC, 3600)).toString(),
             QStringLiteral("2026-12-10T09:15:02.123+01:00"));
    QCOMPARE(TimeJson(QDateTime(day, QTime(9, 15), Qt::OffsetFromUTC, -5400)).toString(),
             QStringLiteral("2026-12-10T09:15:00.000-01:30"));
    QCOMPARE(TimeJson(QDateTime(day, QTime(9, 15), Qt::UTC)).toString(),
             QStringLiteral("2026-12-10T09:15:00.000+00:00"));
    QVERIFY(TimeJson(QDateTime()).isNull());
    QCOMPARE(again.find(2)->outcome, OutcomeState::Printed);
    QCOMPARE(again.findKey(QStringLiteral("k2"))->source.bodyHash, QByteArray("h2"));
    QCOMPARE(again.find(2)->lines.size(), 2);
    QCOMPARE(again.newest(1).value(0).id, 8u); // read last
    QCOMPARE(again.highestId(), 8u);
}

void TestApi::outcomeFiles_data() {
    QTest::addColumn<QString>("setting");
    QTest::addColumn<QString>("source");
    QTest::addColumn<QString>("path"); // relative to the receipt folder; empty: none

    QTest::newRow("default") << QStringLiteral("esiti") << QStringLiteral("scontrino.txt")
                             << QStringLiteral("esiti/scontrino.txt.json");
    QTest::newRow("none") << QString() << QStringLiteral("scontrino.txt") << QString();
    QTest::newRow("nested") << QStringLiteral("out/ok") << QStringLiteral("a.txt")
                            << QStringLiteral("out/ok/a.txt.json");
    QTest::newRow("a path is not a name")
        << QStringLiteral("esiti") << QStringLiteral("../../etc/x") << QStringLiteral("esiti/x.json");
    QTest::newRow("dots") << QStringLiteral("esiti") << QStringLiteral("..") << QString();
}

void TestApi::outcomeFiles() {
    QFETCH(QString, setting);
    QFETCH(QString, source);
    QFETCH(QString, path);
    const QString server = m_home.filePath(QStringLiteral("server"));
    const QString folder = OutcomeFiles::folder(server, setting);
    ReceiptHistory o;
    o.id = 3;
    o.source.key = source;
    o.outcome = OutcomeState::Printed;
    o.receiptNumber = 12;
    o.totalCents = 220;
    QVERIFY(OutcomeFiles::write(folder, o));
    if (path.isEmpty()) {
        QCOMPARE(OutcomeFiles::pathFor(folder, source), QString());
        return;
    }
    QFile f(server + u'/' + path);
    QVERIFY2(f.open(QIODevice::ReadOnly), qPrintable(f.fileName()));
    const QJsonObject back = QJsonDocument::fromJson(f.readAll()).object();
    QCOMPARE(back.value(QStringLiteral("receipt_number")).toInt(), 12);
    QCOMPARE(back.value(QStringLiteral("total")).toString(), QStringLiteral("2.20"));
    const testsupport::OpenApiCheck doc(QStringLiteral(NORVVELM_SOURCE_DIR "/docs/api.md"));
    QCOMPARE(doc.check(QStringLiteral("/api/v1/receipts/{id}"), QStringLiteral("get"), 200,
                       QJsonDocument(back).toJson()),
             QString());
    // The next receipt of the same name: its own file beside this one's,
    // the name's file now its; the old own files go after their days.
    ReceiptHistory next = o;
    next.id = 4;
    next.receiptNumber = 13;
    QVERIFY(OutcomeFiles::write(folder, next));
    const QString own3 = OutcomeFiles::pathFor(folder, source, 3);
    QCOMPARE(own3, server + u'/' + path.chopped(5) + QStringLiteral(".R3.json"));
    QCOMPARE(
        QJsonDocument::fromJson(testsupport::readFile(own3)).object().value(QStringLiteral("receipt_number")),
        12);
    QCOMPARE(QJsonDocument::fromJson(testsupport::readFile(OutcomeFiles::pathFor(folder, source, 4)))
                 .object()
                 .value(QStringLiteral("receipt_number")),
             13);
    QCOMPARE(QJsonDocument::fromJson(testsupport::readFile(server + u'/' + path))
                 .object()
                 .value(QStringLiteral("receipt_number")),
             13);
    QCOMPARE(OutcomeFiles::prune(folder, QDateTime::currentDateTime().addDays(-1)), 0);
    QCOMPARE(OutcomeFiles::prune(folder, QDateTime::currentDateTime().addDays(1)), 2);
    QVERIFY(QFile::exists(server + u'/' + path));
}

QTEST_GUILESS_MAIN(TestApi)
#include "tst_api.moc"
