// norvvelmd's HTTP interface as a point-of-sale program meets it: the real
// daemon with ecrsim over a pseudo-terminal, driven over loopback HTTP.
// Judged from the register's own log and paper: what is refused never
// reaches it, and what is accepted is printed once.

#include "ecrsim/Register.h"
#include "support/DaemonRig.h"
#include "support/HttpProbe.h"
#include "support/OpenApiCheck.h"
#include "support/TestFiles.h"

#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QProcess>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>

using testsupport::Daemon;
using testsupport::HttpAnswer;
using testsupport::HttpProbe;

namespace {

const QByteArray kSale = "3/S/CAFFE//1/1.10/1//";

struct Api {
    Daemon &d;
    QByteArray token() const {
        QFile f(d.home.filePath(QStringLiteral("NorvVelm.token")));
        return f.open(QIODevice::ReadOnly) ? f.readAll().trimmed() : QByteArray();
    }
    bool up() const { return HttpProbe::ask(d.apiPort, get("/api/v1/status"), 2000).status == 200; }
    QByteArray get(const QByteArray &target) const {
        return "GET " + target + " HTTP/1.1\r\nHost: 127.0.0.1:" + QByteArray::number(d.apiPort) + "\r\n\r\n";
    }
    QByteArray post(const QByteArray &key, const QByteArray &type, const QByteArray &body,
                    const QByteArray &extra = {}, const QByteArray &target = "/api/v1/receipts") const {
        return "POST " + target + " HTTP/1.1\r\nHost: 127.0.0.1:" + QByteArray::number(d.apiPort) +
               "\r\nAuthorization: Bearer " + token() + "\r\nIdempotency-Key: " + key +
               "\r\nContent-Type: " + type + "\r\n" + extra +
               "Content-Length: " + QByteArray::number(body.size()) + "\r\n\r\n" + body;
    }
    QByteArray remove(const QByteArray &target) const {
        return "DELETE " + target + " HTTP/1.1\r\nHost: 127.0.0.1:" + QByteArray::number(d.apiPort) +
               "\r\nAuthorization: Bearer " + token() + "\r\n\r\n";
    }
    HttpAnswer ask(const QByteArray &request) const { return HttpProbe::ask(d.apiPort, request); }
};

} // namespace

class TestApiDaemon : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void refusedNeverReachTheRegister_data();
    void refusedNeverReachTheRegister();
    void statusAndMetrics();
    void receiptsToPrinted_data();
    void receiptsToPrinted();
    void takingsSoFar();
    void textMadePrintable();
    void sameKeyAgain();
    void outcomeFileForAFolderReceipt();
    void killedMidReceipt();
    void withdrawnAndExpiredWhileOffline();
    void everyKindToItsEnd_data();
    void everyKindToItsEnd();
    void documentsOfTheDay();
    void threeRegistersAtOnce();
    void keyKeptByAnEarlierVersion();

private:
    std::unique_ptr<Daemon> m_d;
};

void TestApiDaemon::initTestCase() {
    m_d = std::make_unique<Daemon>();
    QVERIFY(m_d->apiPort != 0);
    // The register's payment 8 has no description: it is not programmed.
    const QString state = m_d->home.filePath(QStringLiteral("ecr-state.json"));
    ecrsim::Register programmed;
    programmed.tables.payments[7].description.clear();
    QVERIFY(programmed.setStateFile(state));
    QVERIFY(m_d->startSim({QStringLiteral("--state"), state}));
    m_d->start();
    QTRY_VERIFY_WITH_TIMEOUT(m_d->identified(), 10000);
    const Api api{*m_d};
    QTRY_VERIFY_WITH_TIMEOUT(api.up(), 10000);
    // Online once identified with its tables read: the payment types with them.
    QTRY_VERIFY_WITH_TIMEOUT(api.ask(api.get("/api/v1/status"))
                                     .json()[QStringLiteral("register")][QStringLiteral("payment_types")]
                                     .toArray() == QJsonArray({1, 2, 3, 4, 5, 6, 7, 9}),
                             20000);
    // The key as the command tool prints it, private to its owner.
    QProcess cmd;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("NORVVELM_HOME"), m_d->home.path());
    cmd.setProcessEnvironment(env);
    cmd.start(EcrSimProcess::bin(QStringLiteral("norvvelm-cmd")), {QStringLiteral("--api-token")});
    QVERIFY(cmd.waitForFinished(10000));
    QCOMPARE(cmd.exitCode(), 0);
    QCOMPARE(cmd.readAllStandardOutput().trimmed(), api.token());
    QCOMPARE(api.token().size(), 64);
    const auto perms = QFile::permissions(m_d->home.filePath(QStringLiteral("NorvVelm.token")));
    QVERIFY(!(perms & (QFile::ReadGroup | QFile::ReadOther | QFile::WriteGroup | QFile::WriteOther)));
}

void TestApiDaemon::refusedNeverReachTheRegister_data() {
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("where"); // the field or line it names; empty: not checked
    const Api api{*m_d};
    const QByteArray body = kSale + "\r\n5/1/////\r\n";
    const QByteArray good = api.post("k-refused", "text/plain", body);
    QTest::newRow("no token") << QByteArray(good).replace(
                                     QByteArray("Authorization: Bearer " + api.token() + "\r\n"),
                                     QByteArray())
                              << 401 << QString();
    QTest::newRow("wrong token") << QByteArray(good).replace(api.token(), QByteArray(64, 'a')) << 401
                                 << QString();
    QTest::newRow("foreign Host") << QByteArray(good).replace("Host: 127.0.0.1:", "Host: pos.example:") << 403
                                  << QString();
    QTest::newRow("foreign Origin") << api.post("k-refused", "text/plain", body,
                                                "Origin: http://evil.example\r\n")
                                    << 403 << QString();
    QTest::newRow("3 MB") << api.post("k-refused", "text/plain", body + QByteArray(3 * 1024 * 1024, '\n'))
                          << 413 << QString();
    QTest::newRow("bad JSON") << api.post("k-refused", "application/json", "{\"lines\": [\"" + kSale + "\"")
                              << 400 << QString();
    QTest::newRow("control character")
        << api.post("k-refused", "application/json",
                    "{\"lines\": [\"3/S/CAFFE\\u0007//1/1.10/1//\", \"5/1/////\"]}")
        << 400 << QString();
    QTest::newRow("closing inside the receipt")
        << api.post("k-refused", "text/plain", kSale + "\r\nx/7/0/0/\r\n5/1/////\r\n") << 400 << QString();
    // The register's payment table, read at start, has no description for
    // payment 8; payment 10 it has not at all. Department 21 it lacks too.
    QTest::newRow("a payment type the register has not programmed")
        << api.post("k-refused", "text/plain", kSale + "\r\n5/8/////\r\n") << 400 << QStringLiteral("2");
    QTest::newRow("a payment type the register has not programmed, by field")
        << api.post(
               "k-refused", "application/json",
               R"({"items": [{"description": "CAFFE", "quantity": "1", "price": "1.10", "department": 1}],
                        "payments": [{"type": 1, "amount": "1.00"}, {"type": 8}]})")
        << 400 << QStringLiteral("payments[1].type");
    QTest::newRow("a payment type the register lacks")
        << api.post("k-refused", "text/plain", kSale + "\r\n5/10/////\r\n") << 400 << QStringLiteral("2");
    QTest::newRow("a department the register lacks")
        << api.post("k-refused", "text/plain", "3/S/CAFFE//1/1.10/21//\r\n5/1/////\r\n") << 400
        << QStringLiteral("1");
    QTest::newRow("payments short of the total")
        << api.post(
               "k-refused", "application/json",
               R"({"items": [{"description": "CAFFE", "quantity": "1", "price": "1.10", "department": 1}],
                        "payments": [{"type": 1, "amount": "1.00"}]})")
        << 400 << QStringLiteral("payments");
}

void TestApiDaemon::refusedNeverReachTheRegister() {
    QFETCH(QByteArray, request);
    QFETCH(int, status);
    QFETCH(QString, where);
    const Api api{*m_d};
    const HttpAnswer a = api.ask(request);
    QCOMPARE(a.status, status);
    const QJsonValue error = a.json()[QStringLiteral("error")];
    QVERIFY(!error[QStringLiteral("code")].toString().isEmpty());
    if (!where.isEmpty()) {
        const QJsonValue field = error[QStringLiteral("field")];
        QCOMPARE(field.isString() ? field.toString() : QString::number(error[QStringLiteral("line")].toInt()),
                 where);
    }
    // Nothing of it was queued or sent.
    const HttpAnswer list = api.ask(api.get("/api/v1/receipts"));
    QCOMPARE(list.status, 200);
    for (const QJsonValue r : list.json().value(QStringLiteral("receipts")).toArray())
        QVERIFY(r[QStringLiteral("key")].toString() != QLatin1String("k-refused"));
    QCOMPARE(m_d->timesTaken(kSale), 0);
}

void TestApiDaemon::statusAndMetrics() {
    const Api api{*m_d};
    const testsupport::OpenApiCheck doc(QStringLiteral(NORVVELM_SOURCE_DIR "/docs/api.md"));
    const HttpAnswer s = api.ask(api.get("/api/v1/status"));
    QCOMPARE(s.status, 200);
    QVERIFY2(doc.check(QStringLiteral("/api/v1/status"), QStringLiteral("get"), 200, s.body).isEmpty(),
             s.body.constData());
    const QJsonObject reg = s.json().value(QStringLiteral("register")).toObject();
    QVERIFY(reg.value(QStringLiteral("online")).toBool());
    QVERIFY(!reg.value(QStringLiteral("serial")).toString().isEmpty());
    QCOMPARE(reg.value(QStringLiteral("model")).toString(), QStringLiteral("Norv ONe"));
    QVERIFY(s.json()[QStringLiteral("server")][QStringLiteral("enabled")].toBool());
    const HttpAnswer m = api.ask(api.get("/metrics"));
    QCOMPARE(m.status, 200);
    QVERIFY(m.body.contains("\nnorvvelm_register_up 1\n"));
    const HttpAnswer mon = api.ask(api.get("/api/v1/monitor?since=0"));
    QCOMPARE(mon.status, 200);
    QVERIFY2(doc.check(QStringLiteral("/api/v1/monitor"), QStringLiteral("get"), 200, mon.body).isEmpty(),
             mon.body.constData());
}

namespace {

// The number of a receipt's id ("R41" is 41).
qulonglong idNumber(const QString &id) {
    return id.mid(1).toULongLong();
}

// The receipts on the paper that hold `text`, complete and not voided.
int onPaper(const Daemon &d, const QString &text) {
    int n = 0;
    QString doc;
    for (const QString &l : d.paperText().split(u'\n')) {
        doc += l + u'\n';
        if (l == QString(32, u'=')) {
            n += doc.contains(text) && doc.contains(QStringLiteral("SCONTR. N.")) &&
                 !doc.contains(QStringLiteral("ANNULLATO"));
            doc.clear();
        }
    }
    return n;
}

} // namespace

void TestApiDaemon::receiptsToPrinted_data() {
    QTest::addColumn<QByteArray>("key");
    QTest::addColumn<QByteArray>("type");
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QString>("tag");
    QTest::addColumn<QString>("state");
    QTest::addColumn<QString>("error"); // the register's code for a line, at line `errorLine`
    QTest::addColumn<int>("errorLine");
    QTest::addColumn<QString>("total"); // empty: null
    QTest::addColumn<QString>("reason");

    const QString printed = QStringLiteral("printed"), failed = QStringLiteral("failed");
    QTest::newRow("text") << QByteArray("t-1") << QByteArray("text/plain")
                          << QByteArray("3/S/TEXTSALE//1/1.10/1//\r\n5/1/0.00/////\r\n")
                          << QStringLiteral("TEXTSALE") << printed << QString() << 0 << QStringLiteral("1.10")
                          << QString();
    QTest::newRow("lines") << QByteArray("l-1") << QByteArray("application/json")
                           << QByteArray(R"({"lines": ["3/S/LINESALE//2/0.50/1//", "5/1/////"]})")
                           << QStringLiteral("LINESALE") << printed << QString() << 0
                           << QStringLiteral("1.00") << QString();
    QTest::newRow("structured")
        << QByteArray("s-1") << QByteArray("application/json")
        << QByteArray(
               R"({"items": [{"description": "JSONSALE", "quantity": "2", "price": "1.30", "department": 1}],
                          "text": ["GRAZIE"], "payments": [{"type": 1, "amount": "5.00"}]})")
        << QStringLiteral("JSONSALE") << printed << QString() << 0 << QStringLiteral("2.60") << QString();
    // Cash first, the rest by card: closed once, on the payment that completes it.
    QTest::newRow("split payment") << QByteArray("p-1") << QByteArray("text/plain")
                                   << QByteArray("3/S/SPLITPAY//1/10.00/1//\r\n5/1/1.00/////\r\n5/4/////\r\n")
                                   << QStringLiteral("SPLITPAY") << printed << QString() << 0
                                   << QStringLiteral("10.00") << QString();
    // What the register refuses stops the receipt: voided, nothing printed.
    QTest::newRow("a line the register refuses")
        << QByteArray("e-1") << QByteArray("text/plain")
        << QByteArray("3/S/ERRSALE//1/1.00/1//\r\n3/S/BADVAT//1/1.00/1/99/\r\n5/1/////\r\n")
        << QStringLiteral("ERRSALE") << failed << QStringLiteral("09") << 2 << QString()
        << QStringLiteral("line_refused");
    QTest::newRow("a payment the register refuses")
        << QByteArray("e-2") << QByteArray("text/plain")
        << QByteArray("3/S/PAYBIG//1/1.00/1//\r\n5/1/10000000000.00/////\r\n") << QStringLiteral("PAYBIG")
        << failed << QStringLiteral("15") << 2 << QString() << QStringLiteral("line_refused");
    QTest::newRow("a payment short of the total")
        << QByteArray("e-3") << QByteArray("text/plain")
        << QByteArray("3/S/SHORTPAY//1/10.00/1//\r\n5/1/5.00/////\r\n") << QStringLiteral("SHORTPAY")
        << failed << QString() << 0 << QString() << QStringLiteral("left_open");
    QTest::newRow("no payment") << QByteArray("e-4") << QByteArray("text/plain")
                                << QByteArray("3/S/NOPAY//1/1.00/1//\r\n") << QStringLiteral("NOPAY")
                                << failed << QString() << 0 << QString() << QStringLiteral("left_open");
}

// Each receipt judged from the register's paper: printed once with the
// register's number and total, or voided and on no receipt; and the next
// customer's receipt is alone on its own, whatever the one before did.
void TestApiDaemon::receiptsToPrinted() {
    QFETCH(QByteArray, key);
    QFETCH(QByteArray, type);
    QFETCH(QByteArray, body);
    QFETCH(QString, tag);
    QFETCH(QString, state);
    QFETCH(QString, error);
    QFETCH(int, errorLine);
    QFETCH(QString, total);
    QFETCH(QString, reason);
    const Api api{*m_d};
    const testsupport::OpenApiCheck doc(QStringLiteral(NORVVELM_SOURCE_DIR "/docs/api.md"));
    const HttpAnswer a = api.ask(api.post(key, type, body, {}, "/api/v1/receipts?wait=20000"));
    // Final when answered: created whole.
    QCOMPARE(a.status, 201);
    QVERIFY2(doc.check(QStringLiteral("/api/v1/receipts"), QStringLiteral("post"), 201, a.body).isEmpty(),
             a.body.constData());
    const QJsonObject r = a.json();
    QCOMPARE(r.value(QStringLiteral("state")).toString(), state);
    QCOMPARE(r.value(QStringLiteral("key")).toString(), QString::fromLatin1(key));
    QCOMPARE(r.value(QStringLiteral("receipt_number")).toInt(-1) > 0, state == QLatin1String("printed"));
    QCOMPARE(r.value(QStringLiteral("total")).toString(), total);
    QVERIFY(r.value(QStringLiteral("finished")).isString());
    QCOMPARE(r.value(QStringLiteral("reason"))[QStringLiteral("code")].toString(), reason);
    const QJsonArray errors = r.value(QStringLiteral("errors")).toArray();
    QCOMPARE(errors.isEmpty(), error.isEmpty());
    if (!error.isEmpty()) {
        // The register's code for the refused line, and where it was.
        QCOMPARE(errors.at(0)[QStringLiteral("line")].toInt(), errorLine);
        QCOMPARE(errors.at(0)[QStringLiteral("code")].toString(), error);
    }
    QCOMPARE(onPaper(*m_d, tag), state == QLatin1String("printed") ? 1 : 0);
    // Read again, and listed.
    const QString id = r.value(QStringLiteral("id")).toString();
    const HttpAnswer again = api.ask(api.get("/api/v1/receipts/" + id.toLatin1()));
    QCOMPARE(again.status, 200);
    QCOMPARE(again.json().value(QStringLiteral("state")).toString(), state);
    QVERIFY(
        doc.check(QStringLiteral("/api/v1/receipts/{id}"), QStringLiteral("get"), 200, again.body).isEmpty());
    const HttpAnswer list = api.ask(api.get("/api/v1/receipts?limit=3"));
    QCOMPARE(list.json().value(QStringLiteral("receipts")).toArray().at(0)[QStringLiteral("id")].toString(),
             id);
    // The next customer pays for their own.
    const QByteArray nextTag = "NEXT" + key.toUpper().replace('-', 'X');
    const HttpAnswer next =
        api.ask(api.post(key + "-next", "text/plain", "3/S/" + nextTag + "//1/0.10/1//\r\n5/1/////\r\n", {},
                         "/api/v1/receipts?wait=20000"));
    QCOMPARE(next.json().value(QStringLiteral("state")).toString(), QStringLiteral("printed"));
    QCOMPARE(next.json().value(QStringLiteral("total")).toString(), QStringLiteral("0.10"));
    QCOMPARE(onPaper(*m_d, QString::fromLatin1(nextTag)), 1);
}

// The day's figures as the register counts them, read when asked: as many
// receipts as the paper shows closed.
void TestApiDaemon::takingsSoFar() {
    const Api api{*m_d};
    const HttpAnswer t = api.ask(api.get("/api/v1/totals"));
    QCOMPARE(t.status, 200);
    QVERIFY(t.json().value(QStringLiteral("fresh")).toBool());
    const QJsonObject figures = t.json().value(QStringLiteral("figures")).toObject();
    QCOMPARE(figures.value(QStringLiteral("receipts")).toInt(), onPaper(*m_d, QStringLiteral("SCONTR. N.")));
    QVERIFY(figures.value(QStringLiteral("sales")).toString().toDouble() > 0);
    QCOMPARE(figures.value(QStringLiteral("vat")).toArray().size(), 5);
}

// What the register cannot print reaches the paper in its nearest form, and
// the outcome says so; a description longer than the register prints, too.
void TestApiDaemon::textMadePrintable() {
    const Api api{*m_d};
    const QByteArray body = R"({"items": [{"description": "\u017bUBR\u00d3WKA \u2615", "quantity": "1",
        "price": "4.00", "department": 1}, {"description": "LONGDESC ABCDEFGHIJKLMNOPQRSTUVWXYZ 0123456789 ABCDEFGHIJ",
        "quantity": "1", "price": "1.00", "department": 1}], "payments": [{"type": 1}]})";
    const HttpAnswer a =
        api.ask(api.post("print-1", "application/json", body, {}, "/api/v1/receipts?wait=20000"));
    QCOMPARE(a.status, 201);
    QCOMPARE(a.json().value(QStringLiteral("state")).toString(), QStringLiteral("printed"));
    const QJsonArray warnings = a.json().value(QStringLiteral("warnings")).toArray();
    QCOMPARE(warnings.size(), 2);
    QVERIFY(warnings.at(0).toString().startsWith(QStringLiteral("items[0].description: ")));
    QVERIFY(warnings.at(1).toString().contains(QStringLiteral("la cassa ne stampa 32")));
    QCOMPARE(onPaper(*m_d, QStringLiteral("ZUBR\u00d3WKA ?")), 1);
}

void TestApiDaemon::sameKeyAgain() {
    const Api api{*m_d};
    const QByteArray body = "3/S/ONCEONLY//1/2.00/1//\r\n5/1/////\r\n";
    const HttpAnswer first =
        api.ask(api.post("once-1", "text/plain", body, {}, "/api/v1/receipts?wait=20000"));
    QCOMPARE(first.status, 201);
    const HttpAnswer second = api.ask(api.post("once-1", "text/plain", body));
    QCOMPARE(second.status, 200);
    QCOMPARE(second.json().value(QStringLiteral("id")), first.json().value(QStringLiteral("id")));
    QCOMPARE(second.json().value(QStringLiteral("state")).toString(), QStringLiteral("printed"));
    const HttpAnswer other =
        api.ask(api.post("once-1", "text/plain", "3/S/OTHER//1/2.00/1//\r\n5/1/////\r\n"));
    QCOMPARE(other.status, 409);
    const HttpAnswer asJson = api.ask(api.post("once-1", "application/json", body));
    QVERIFY(asJson.status == 409 || asJson.status == 400);
    QCOMPARE(other.json()[QStringLiteral("error")][QStringLiteral("id")],
             first.json().value(QStringLiteral("id")));
    // The same meaning in other bytes: other line ends, keys in another order.
    QCOMPARE(api.ask(api.post("once-1", "text/plain", "3/S/ONCEONLY//1/2.00/1//\n5/1/////")).status, 200);
    QCOMPARE(api.ask(api.post("once-1", "text/plain", "3/S/ONCEONLY//1/2.00/1//\r5/1/////\r\n\r\n\n")).status,
             200);
    const QByteArray json = R"({"items": [{"description": "ONCEJSON", "quantity": "1", "price": "2.00",
                                "department": 1}], "payments": [{"type": 1}]})";
    const QByteArray reordered = R"({"payments":[{"type":1}],"items":[{"department":1,"price":"2.00",
                                     "quantity":"1","description":"ONCEJSON"}]})";
    QCOMPARE(api.ask(api.post("once-2", "application/json", json, {}, "/api/v1/receipts?wait=20000")).status,
             201);
    QCOMPARE(api.ask(api.post("once-2", "application/json", reordered)).status, 200);
    QCOMPARE(onPaper(*m_d, QStringLiteral("ONCEONLY")), 1);
    QCOMPARE(onPaper(*m_d, QStringLiteral("ONCEJSON")), 1);
    QCOMPARE(onPaper(*m_d, QStringLiteral("OTHER")), 0);
    // Listed by state, a page at a time, every receipt once; one that
    // arrives meanwhile is the newest, on none of the pages that follow.
    const int printed = onPaper(*m_d, QStringLiteral("SCONTR. N."));
    QStringList seen;
    QByteArray target = "/api/v1/receipts?limit=2&state=printed";
    QString arrived;
    for (int pages = 0; pages < 50 && !target.isEmpty(); ++pages) {
        if (pages == 1)
            arrived = api.ask(api.post("once-3", "text/plain", "3/S/MEANWHILE//1/0.50/1//\r\n5/1/////\r\n",
                                       {}, "/api/v1/receipts?wait=20000"))
                          .json()
                          .value(QStringLiteral("id"))
                          .toString();
        const HttpAnswer page = api.ask(api.get(target));
        QCOMPARE(page.status, 200);
        for (const QJsonValue r : page.json().value(QStringLiteral("receipts")).toArray()) {
            QCOMPARE(r[QStringLiteral("state")].toString(), QStringLiteral("printed"));
            seen << r[QStringLiteral("id")].toString();
        }
        const QJsonValue next = page.json().value(QStringLiteral("next"));
        target = next.isString()
                     ? "/api/v1/receipts?limit=2&state=printed&cursor=" + next.toString().toLatin1()
                     : QByteArray();
    }
    QVERIFY(target.isEmpty());
    QCOMPARE(seen.size(), printed);
    QCOMPARE(QSet<QString>(seen.cbegin(), seen.cend()).size(), seen.size());
    QVERIFY(!arrived.isEmpty() && !seen.contains(arrived));
    QCOMPARE(onPaper(*m_d, QStringLiteral("MEANWHILE")), 1);
    // Accepted since long ago: all of them; on a day long ago: none.
    const HttpAnswer since =
        api.ask(api.get("/api/v1/receipts?state=printed&limit=1000&since=2000-01-01T00:00:00%2B01:00"));
    QCOMPARE(since.json().value(QStringLiteral("receipts")).toArray().size(), printed + 1);
    QCOMPARE(since.json().value(QStringLiteral("receipts"))[0][QStringLiteral("id")].toString(), arrived);
    const HttpAnswer day = api.ask(api.get("/api/v1/receipts?date=2000-01-01"));
    QCOMPARE(day.json().value(QStringLiteral("receipts")).toArray().size(), 0);
    QVERIFY(day.json().value(QStringLiteral("next")).isNull());
}

// Each receipt file's outcome in a file of its own, found as the newest of
// its name; the next file of the same name never overwrites it.
void TestApiDaemon::outcomeFileForAFolderReceipt() {
    const QString folder = m_d->server + QStringLiteral("/esiti");
    const QString before = testsupport::newestOutcomeFile(folder, QStringLiteral("scontrino.txt"));
    auto newest = [&](const QString &than) {
        const QString path = testsupport::newestOutcomeFile(folder, QStringLiteral("scontrino.txt"));
        const QJsonObject o = QJsonDocument::fromJson(testsupport::readFile(path)).object();
        return path != than && o.value(QStringLiteral("state")).toString() == QLatin1String("printed")
                   ? path
                   : QString();
    };
    m_d->drop("3/S/FOLDERSALE//1/3.00/1//\r\n5/1/////\r\n");
    QTRY_VERIFY_WITH_TIMEOUT(!newest(before).isEmpty(), 20000);
    const QString first = newest(before);
    const QJsonObject o = QJsonDocument::fromJson(testsupport::readFile(first)).object();
    const QString id = o.value(QStringLiteral("id")).toString();
    QCOMPARE(QFileInfo(first).fileName(), QStringLiteral("scontrino.txt.") + id + QStringLiteral(".json"));
    QCOMPARE(o.value(QStringLiteral("source")).toString(), QStringLiteral("scontrino.txt"));
    QVERIFY(o.value(QStringLiteral("receipt_number")).toInt() > 0);
    QCOMPARE(o.value(QStringLiteral("total")).toString(), QStringLiteral("3.00"));
    QCOMPARE(o.value(QStringLiteral("lines")).toArray().size(), 2);
    // The same object as the interface answers, its times with their offset.
    const Api api{*m_d};
    const HttpAnswer a = api.ask(api.get("/api/v1/receipts/" + id.toLatin1()));
    QCOMPARE(a.json(), o);
    const testsupport::OpenApiCheck doc(QStringLiteral(NORVVELM_SOURCE_DIR "/docs/api.md"));
    QCOMPARE(doc.check(QStringLiteral("/api/v1/receipts/{id}"), QStringLiteral("get"), 200,
                       testsupport::readFile(first)),
             QString());
    QCOMPARE(onPaper(*m_d, QStringLiteral("FOLDERSALE")), 1);
    // The next file of the name: a file of its own, the first one left as it was.
    m_d->drop("3/S/FOLDERNEXT//1/2.00/1//\r\n5/1/////\r\n");
    QTRY_VERIFY_WITH_TIMEOUT(!newest(first).isEmpty(), 20000);
    const QJsonObject next = QJsonDocument::fromJson(testsupport::readFile(newest(first))).object();
    QVERIFY(idNumber(next.value(QStringLiteral("id")).toString()) > idNumber(id));
    QCOMPARE(next.value(QStringLiteral("total")).toString(), QStringLiteral("2.00"));
    QCOMPARE(QJsonDocument::fromJson(testsupport::readFile(first)).object(), o);
    QCOMPARE(onPaper(*m_d, QStringLiteral("FOLDERNEXT")), 1);
    // The name's own file is the newest of that name (written just after its own).
    const auto named = [&] {
        return QJsonDocument::fromJson(testsupport::readFile(folder + QStringLiteral("/scontrino.txt.json")))
            .object();
    };
    QTRY_COMPARE_WITH_TIMEOUT(named(), next, 5000);
    // The outcome folder is never taken for a receipt, nor complained of.
    QVERIFY(!m_d->err.contains("esiti"));
}

void TestApiDaemon::killedMidReceipt() {
    Daemon d;
    QVERIFY(d.startSim({QStringLiteral("--answer-delay"), QStringLiteral("40")}));
    d.start();
    const Api api{d};
    QTRY_VERIFY_WITH_TIMEOUT(api.up(), 10000);
    QByteArray body;
    for (int i = 1; i <= 40; ++i)
        body += "3/S/KILL-" + QByteArray::number(i) + "//1/0.10/1//\r\n";
    body += "5/1/////\r\n";
    const HttpAnswer a = api.ask(api.post("kill-1", "text/plain", body));
    QCOMPARE(a.status, 202);
    const QString id = a.json().value(QStringLiteral("id")).toString();
    QTRY_VERIFY_WITH_TIMEOUT(d.timesTaken("3/S/KILL-10//1/0.10/1//") == 1, 20000);
    d.kill();
    d.start();
    QTRY_VERIFY_WITH_TIMEOUT(api.up(), 10000);
    // Told as voided while it is sent again from its first line.
    const auto stateNow = [&] {
        return api.ask(api.get("/api/v1/receipts/" + id.toLatin1()))
            .json()
            .value(QStringLiteral("state"))
            .toString();
    };
    QTRY_COMPARE_WITH_TIMEOUT(stateNow(), QStringLiteral("voided"), 10000);
    const HttpAnswer again =
        api.ask(api.post("kill-1", "text/plain", body, {}, "/api/v1/receipts?wait=30000"));
    QCOMPARE(again.status, 200);
    QCOMPARE(again.json().value(QStringLiteral("id")).toString(), id);
    QCOMPARE(again.json().value(QStringLiteral("state")).toString(), QStringLiteral("printed"));
    QCOMPARE(onPaper(d, QStringLiteral("KILL-40")), 1);
    QCOMPARE(d.stop(), 0);
    // After a clean restart, still answered from the home folder.
    d.start();
    QTRY_VERIFY_WITH_TIMEOUT(api.up(), 10000);
    const HttpAnswer later = api.ask(api.get("/api/v1/receipts/" + id.toLatin1()));
    QCOMPARE(later.status, 200);
    QCOMPARE(later.json().value(QStringLiteral("state")).toString(), QStringLiteral("printed"));
    QCOMPARE(later.json().value(QStringLiteral("lines")).toArray().size(), 41);
    // Voided and sent again whole: the register's total is the receipt's.
    QCOMPARE(later.json().value(QStringLiteral("total")).toString(), QStringLiteral("4.00"));
    QCOMPARE(api.ask(api.post("kill-1", "text/plain", body + "5/1/////\r\n")).status, 409);

    // A daily closing killed as the register takes it, asked again with its
    // key after the restart: the same closing, never a second one.
    const QByteArray z = R"({"kind": "daily_closing"})";
    const HttpAnswer closing = api.ask(api.post("kill-z", "application/json", z, {}, "/api/v1/documents"));
    QCOMPARE(closing.status, 202);
    QTRY_VERIFY_WITH_TIMEOUT(d.timesTaken("x/7/0/0/") == 1, 20000);
    d.kill();
    d.start();
    QTRY_VERIFY_WITH_TIMEOUT(api.up(), 10000);
    const HttpAnswer retried =
        api.ask(api.post("kill-z", "application/json", z, {}, "/api/v1/documents?wait=30000"));
    QCOMPARE(retried.status, 200);
    QCOMPARE(retried.json().value(QStringLiteral("id")), closing.json().value(QStringLiteral("id")));
    // The figures read before it, and those read after the restart, tell
    // that the register made it.
    QCOMPARE(retried.json().value(QStringLiteral("state")).toString(), QStringLiteral("printed"));
    QVERIFY(retried.json().value(QStringLiteral("reset")).toBool());
    QCOMPARE(d.timesTaken("x/7/0/0/"), 1);
    QCOMPARE(d.paperText().count(QStringLiteral("CHIUSURA GIORNALIERA")), 1);
}

// With the register off, a receipt waits queued: withdrawn, or past its
// time, it never prints when the register comes back; one that printed can
// no longer be withdrawn.
void TestApiDaemon::withdrawnAndExpiredWhileOffline() {
    Daemon d;
    d.start();
    const Api api{d};
    QTRY_VERIFY_WITH_TIMEOUT(api.up(), 10000);
    const QByteArray withdrawn = "3/S/WITHDRAWN//1/1.00/1//\r\n5/1/////\r\n";
    // Not final when its wait ran out: 202, and a repeat 200, still queued.
    const HttpAnswer a = api.ask(api.post("w-1", "text/plain", withdrawn, {}, "/api/v1/receipts?wait=200"));
    QCOMPARE(a.status, 202);
    QCOMPARE(a.json().value(QStringLiteral("state")).toString(), QStringLiteral("queued"));
    const HttpAnswer repeated =
        api.ask(api.post("w-1", "text/plain", withdrawn, {}, "/api/v1/receipts?wait=200"));
    QCOMPARE(repeated.status, 200);
    QCOMPARE(repeated.json().value(QStringLiteral("state")).toString(), QStringLiteral("queued"));
    const QByteArray idA = a.json().value(QStringLiteral("id")).toString().toLatin1();
    const HttpAnswer b = api.ask(api.post("w-2", "text/plain", "3/S/EXPIRED//1/1.00/1//\r\n5/1/////\r\n", {},
                                          "/api/v1/receipts?expires_in=1"));
    QVERIFY(b.json().value(QStringLiteral("expires")).isString());
    const QByteArray idB = b.json().value(QStringLiteral("id")).toString().toLatin1();
    const HttpAnswer gone = api.ask(api.remove("/api/v1/receipts/" + idA));
    QCOMPARE(gone.status, 200);
    QCOMPARE(gone.json().value(QStringLiteral("state")).toString(), QStringLiteral("cancelled"));
    QCOMPARE(api.ask(api.remove("/api/v1/receipts/" + idA)).status, 200);
    const HttpAnswer expired = api.ask(api.get("/api/v1/receipts/" + idB + "?wait=30000"));
    QCOMPARE(expired.json().value(QStringLiteral("state")).toString(), QStringLiteral("cancelled"));
    QCOMPARE(expired.json()[QStringLiteral("reason")][QStringLiteral("code")].toString(),
             QStringLiteral("expired"));
    const HttpAnswer c = api.ask(api.post("w-3", "text/plain", "3/S/AFTERWARDS//1/1.00/1//\r\n5/1/////\r\n"));
    const QByteArray idC = c.json().value(QStringLiteral("id")).toString().toLatin1();
    QVERIFY(d.startSim());
    // The register is found again at the watch's next try.
    HttpAnswer printed;
    QTRY_VERIFY_WITH_TIMEOUT((printed = api.ask(api.get("/api/v1/receipts/" + idC + "?wait=5000")))
                                     .json()
                                     .value(QStringLiteral("state"))
                                     .toString() == QLatin1String("printed"),
                             90000);
    QCOMPARE(printed.json().value(QStringLiteral("total")).toString(), QStringLiteral("1.00"));
    QCOMPARE(api.ask(api.remove("/api/v1/receipts/" + idC)).status, 409);
    QCOMPARE(onPaper(d, QStringLiteral("AFTERWARDS")), 1);
    QVERIFY(!d.paperText().contains(QStringLiteral("WITHDRAWN")));
    QVERIFY(!d.paperText().contains(QStringLiteral("EXPIRED")));
}

// The day's documents through the one queue, each judged from the paper and
// the register's figures: a receipt, a withdrawal, the X report with the
// figures it counted, the Z resetting them, once for its key.
// Each kind of document to its final state, judged from the register's
// paper and figures: what the outcome says is what the register did.
void TestApiDaemon::everyKindToItsEnd_data() {
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QString>("state");
    QTest::addColumn<QString>("total"); // empty: none told
    QTest::addColumn<QString>("paper"); // printed once more by it; empty: nothing printed
    QTest::newRow("receipt with tax code, discount, return and surcharge")
        << QByteArray(R"({"kind": "receipt", "tax_code": "RSSMRA80A01H501U",
            "items": [{"description": "KINDA", "quantity": "1", "price": "10.00", "department": 1},
                      {"description": "KINDB", "quantity": "2", "price": "2.50", "department": 1}],
            "discounts": [{"percent": "10", "item": 0}], "surcharges": [{"amount": "0.50"}],
            "returns": [{"description": "KINDR", "quantity": "1", "price": "2.00", "department": 1}],
            "payments": [{"type": 1, "amount": "20.00"}]})")
        << QStringLiteral("printed") << QStringLiteral("12.50") << QStringLiteral("C.F. RSSMRA80A01H501U");
    QTest::newRow("discount by amount, split payment, the rest as 0")
        << QByteArray(R"({"kind": "receipt",
            "items": [{"description": "KINDSPLIT", "quantity": "1", "price": "3.00", "department": 1}],
            "discounts": [{"amount": "1.00", "item": 0}],
            "payments": [{"type": 1, "amount": "1.00"}, {"type": 2, "amount": "0.00"}]})")
        << QStringLiteral("printed") << QStringLiteral("2.00") << QStringLiteral("KINDSPLIT");
    QTest::newRow("invoice") << QByteArray(R"({"kind": "invoice", "vat_number": "01234567897",
            "customer": ["ROSSI SRL", "VIA ROMA 1", "00100", "ROMA"],
            "items": [{"description": "KINDINV", "quantity": "1", "price": "100.00", "department": 1}],
            "payments": [{"type": 1}]})")
                             << QStringLiteral("printed") << QStringLiteral("100.00")
                             << QStringLiteral("FATTURA N.");
    QTest::newRow("credit note") << QByteArray(
                                        R"({"kind": "credit_note", "file_number": "123", "reference": "RIF 7",
            "items": [{"description": "KINDNC", "quantity": "1", "price": "4.00", "department": 1}]})")
                                 << QStringLiteral("printed") << QStringLiteral("4.00")
                                 << QStringLiteral("NOTA DI CREDITO N.");
    QTest::newRow("credit note refunded by card")
        << QByteArray(R"({"kind": "credit_note", "file_number": "124", "payment_type": 2,
            "items": [{"description": "KINDNC2", "quantity": "1", "price": "1.50", "department": 1}]})")
        << QStringLiteral("printed") << QStringLiteral("1.50") << QStringLiteral("KINDNC2");
    QTest::newRow("deposit") << QByteArray(R"({"kind": "cash_in", "amount": "50.00"})")
                             << QStringLiteral("printed") << QString()
                             << QStringLiteral("VERSAMENTO DI CASSA");
    QTest::newRow("withdrawal") << QByteArray(R"({"kind": "cash_out"})") << QStringLiteral("printed")
                                << QString() << QStringLiteral("PRELIEVO DI CASSA");
    QTest::newRow("customer display")
        << QByteArray(R"({"kind": "customer_display", "top": "BENVENUTI", "bottom": "CASSA 1"})")
        << QStringLiteral("printed") << QString() << QString();
    QTest::newRow("reprint of the last receipt")
        << QByteArray(R"({"kind": "reprint_last"})") << QStringLiteral("printed") << QString()
        << QStringLiteral("COPIA DA GIORNALE");
}

void TestApiDaemon::everyKindToItsEnd() {
    QFETCH(QByteArray, body);
    QFETCH(QString, state);
    QFETCH(QString, total);
    QFETCH(QString, paper);
    const Api api{*m_d};
    const QByteArray key = "kind-" + QByteArray(QTest::currentDataTag()).toHex().left(40);
    const int before = m_d->paperText().count(paper);
    const int documents = m_d->paperText().count(QString(32, u'='));
    const int voids = m_d->paperText().count(QStringLiteral("ANNULLATO"));
    const HttpAnswer a = api.ask(api.post(key, "application/json", body, {}, "/api/v1/documents?wait=20000"));
    QCOMPARE(a.status, 201);
    const QJsonObject o = a.json();
    QCOMPARE(o.value(QStringLiteral("state")).toString(), state);
    QCOMPARE(o.value(QStringLiteral("total")).toString(), total);
    if (paper.isEmpty())
        QCOMPARE(m_d->paperText().count(QString(32, u'=')), documents);
    else
        QCOMPARE(m_d->paperText().count(paper), before + 1);
    // Nothing of it was left open on the register and voided.
    QCOMPARE(m_d->paperText().count(QStringLiteral("ANNULLATO")), voids);
    // The same key again: the same document, never a second one.
    const HttpAnswer again =
        api.ask(api.post(key, "application/json", body, {}, "/api/v1/documents?wait=20000"));
    QCOMPARE(again.status, 200);
    QCOMPARE(again.json().value(QStringLiteral("id")), o.value(QStringLiteral("id")));
    if (!paper.isEmpty())
        QCOMPARE(m_d->paperText().count(paper), before + 1);
}

void TestApiDaemon::documentsOfTheDay() {
    const Api api{*m_d};
    const auto post = [&api](const QByteArray &key, const QByteArray &body) {
        return api.ask(api.post(key, "application/json", body, {}, "/api/v1/documents?wait=20000"));
    };
    const HttpAnswer sale = post("doc-1", R"({"kind": "receipt", "items": [{"description": "DOCSALE",
        "quantity": "1", "price": "2.50", "department": 1}], "payments": [{"type": 1}]})");
    QCOMPARE(sale.status, 201);
    QCOMPARE(sale.json().value(QStringLiteral("kind")).toString(), QStringLiteral("receipt"));
    QCOMPARE(sale.json().value(QStringLiteral("total")).toString(), QStringLiteral("2.50"));
    QCOMPARE(onPaper(*m_d, QStringLiteral("DOCSALE")), 1);
    const HttpAnswer out = post("doc-2", R"({"kind": "cash_out"})");
    QCOMPARE(out.json().value(QStringLiteral("state")).toString(), QStringLiteral("printed"));
    QVERIFY(m_d->paperText().contains(QStringLiteral("PRELIEVO DI CASSA")));
    // A copy of a receipt reprinted from the journal is on the paper too:
    // the register's own count tells.
    const int receipts = api.ask(api.get("/api/v1/totals"))
                             .json()[QStringLiteral("figures")][QStringLiteral("receipts")]
                             .toInt();
    const HttpAnswer x = post("doc-3", R"({"kind": "sales_report"})");
    QCOMPARE(x.json().value(QStringLiteral("kind")).toString(), QStringLiteral("sales_report"));
    QCOMPARE(x.json()[QStringLiteral("figures")][QStringLiteral("receipts")].toInt(), receipts);
    QVERIFY(x.json().value(QStringLiteral("reset")).isNull());
    const HttpAnswer z = post("doc-6", R"({"kind": "daily_closing"})");
    QCOMPARE(z.status, 201);
    QCOMPARE(z.json()[QStringLiteral("figures")][QStringLiteral("receipts")].toInt(), receipts);
    QVERIFY(z.json().value(QStringLiteral("reset")).toBool());
    QVERIFY(m_d->paperText().contains(QStringLiteral("CHIUSURA GIORNALIERA")));
    QCOMPARE(api.ask(api.get("/api/v1/totals"))
                 .json()[QStringLiteral("figures")][QStringLiteral("receipts")]
                 .toInt(),
             0);
    // The same key again: the same closing, never a second one.
    QCOMPARE(post("doc-6", R"({"kind": "daily_closing"})").status, 200);
    QCOMPARE(m_d->paperText().count(QStringLiteral("CHIUSURA GIORNALIERA")), 1);
    QCOMPARE(post("doc-7", R"({"kind": "invoice"})").status, 400);
}

// Three print servers, each with its own register (one over TCP), driven at once: each
// lists all three; one register unplugged meanwhile holds up no other, and
// its receipt prints once, alone, when it is back; each receipt is on its
// own register's paper.
void TestApiDaemon::threeRegistersAtOnce() {
    QTemporaryDir shared;
    const QString run = QStringLiteral("NORVVELM_RUNTIME_DIR=") + shared.path();
    Daemon d[3];
    for (int i = 0; i < 3; ++i) {
        // Two on pseudo-terminals, the third behind a device server on TCP.
        const QStringList serial{QStringLiteral("--serial"), QStringLiteral("NV0000000%1").arg(i + 1)};
        QVERIFY(i == 2 ? d[i].startSimTcp(serial) : d[i].startSim(serial));
        d[i].start({}, {run});
    }
    const auto registers = [](Daemon &one) {
        const Api api{one};
        return api.ask(api.get("/api/v1/registers")).json().value(QStringLiteral("registers")).toArray();
    };
    const auto sale = [](int i) -> QByteArray {
        return "3/S/THREE-" + QByteArray::number(i) + "//1/1.00/1//\r\n5/1/////\r\n";
    };
    for (Daemon &one : d) {
        QTRY_VERIFY_WITH_TIMEOUT(Api{one}.up(), 10000);
        QTRY_COMPARE_WITH_TIMEOUT(registers(one).size(), 3, 15000);
    }
    // Each with its register's serial number once identified.
    const auto serials = [&] {
        QSet<QString> out;
        for (const QJsonValue r : registers(d[0]))
            out.insert(r[QStringLiteral("serial")].toString());
        return out;
    };
    QTRY_COMPARE_WITH_TIMEOUT(serials(), (QSet<QString>{"NV00000001", "NV00000002", "NV00000003"}), 15000);
    // The second register's port goes away for 4 s.
    d[1].sim.control("disconnect 4000");
    for (int i = 0; i < 3; ++i) {
        const Api api{d[i]};
        QCOMPARE(api.ask(api.post("three", "text/plain", sale(i))).status, 202);
    }
    for (const int i : {0, 2}) {
        const Api api{d[i]};
        const HttpAnswer a =
            api.ask(api.post("three", "text/plain", sale(i), {}, "/api/v1/receipts?wait=3000"));
        QCOMPARE(a.json().value(QStringLiteral("state")).toString(), QStringLiteral("printed"));
    }
    QCOMPARE(onPaper(d[1], QStringLiteral("THREE-1")), 0);
    const Api back{d[1]};
    const HttpAnswer late =
        back.ask(back.post("three", "text/plain", sale(1), {}, "/api/v1/receipts?wait=30000"));
    QCOMPARE(late.json().value(QStringLiteral("state")).toString(), QStringLiteral("printed"));
    for (int i = 0; i < 3; ++i) {
        for (int j = 0; j < 3; ++j)
            QCOMPARE(onPaper(d[i], QStringLiteral("THREE-%1").arg(j)), i == j ? 1 : 0);
    }
    // One stops: the others no longer list it.
    QCOMPARE(d[2].stop(), 0);
    QTRY_COMPARE_WITH_TIMEOUT(registers(d[0]).size(), 2, 5000);
}

// A key kept before the hash judged a body's meaning holds the hash of its
// bytes: those same bytes are still its receipt, never a second one.
void TestApiDaemon::keyKeptByAnEarlierVersion() {
    Daemon d;
    const QByteArray text = "3/S/KEPTBEFORE//1/1.00/1//\r\n5/1/////\r\n";
    const QByteArray json = R"({ "lines" : ["3/S/KEPTJSON//1/1.00/1//", "5/1/////"] })";
    const auto kept = [](const char *id, const char *key, const QByteArray &media,
                         const QByteArray &body) -> QByteArray {
        const QByteArray digest =
            QCryptographicHash::hash(QByteArray(media + '\n' + body), QCryptographicHash::Sha256).toHex();
        return "{\"id\":\"" + QByteArray(id) + "\",\"key\":\"" + key +
               "\",\"source\":\"api\",\"state\":\"printed\",\"receipt_number\":4,\"total\":\"1.00\","
               "\"lines\":[],\"errors\":[],\"accepted\":\"2026-12-09T10:00:00.000\",\"digest\":\"" +
               digest + "\"}\n";
    };
    testsupport::writeFile(d.home.filePath(QStringLiteral("NorvVelm.esiti")),
                           kept("R4", "old-text", "text/plain", text) +
                               kept("R5", "old-json", "application/json", json));
    d.start();
    const Api api{d};
    QTRY_VERIFY_WITH_TIMEOUT(api.up(), 10000);
    const HttpAnswer again = api.ask(api.post("old-text", "text/plain", text));
    QCOMPARE(again.status, 200);
    QCOMPARE(again.json().value(QStringLiteral("id")).toString(), QStringLiteral("R4"));
    QCOMPARE(again.json().value(QStringLiteral("state")).toString(), QStringLiteral("printed"));
    // Read back in local time, told with its offset.
    QVERIFY(again.json()
                .value(QStringLiteral("accepted"))
                .toString()
                .startsWith(QStringLiteral("2026-12-09T10:00:00.000")));
    QCOMPARE(
        api.ask(api.post("old-json", "application/json", json)).json().value(QStringLiteral("id")).toString(),
        QStringLiteral("R5"));
    // Other bytes of the same meaning were another body then, and still are.
    const HttpAnswer other =
        api.ask(api.post("old-text", "text/plain", "3/S/KEPTBEFORE//1/1.00/1//\n5/1/////"));
    QCOMPARE(other.status, 409);
    QCOMPARE(other.json()[QStringLiteral("error")][QStringLiteral("id")].toString(), QStringLiteral("R4"));
    const HttpAnswer list = api.ask(api.get("/api/v1/receipts"));
    QCOMPARE(list.json().value(QStringLiteral("receipts")).toArray().size(), 2);
}

QTEST_GUILESS_MAIN(TestApiDaemon)
#include "tst_api_daemon.moc"
