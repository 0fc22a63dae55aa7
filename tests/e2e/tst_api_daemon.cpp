// norvvelmd's HTTP interface as a point-of-sale program meets it: the real
// daemon with ecrsim over a pseudo-terminal, driven over loopback HTTP.
// Judged from the register's own log and paper: what is refused never
// reaches it, and what is accepted is printed once.

#include "support/DaemonRig.h"
#include "support/HttpProbe.h"
#include "support/OpenApiCheck.h"

#include <QFile>
#include <QProcess>
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
    bool up() const {
        return HttpProbe::ask(d.apiPort, get("/api/v1/status"), 2000).status == 200;
    }
    QByteArray get(const QByteArray &target) const {
        return "GET " + target + " HTTP/1.1\r\nHost: 127.0.0.1:" + QByteArray::number(d.apiPort) + "\r\n\r\n";
    }
    QByteArray post(const QByteArray &key, const QByteArray &type, const QByteArray &body,
                    const QByteArray &extra = {}, const QByteArray &target = "/api/v1/receipts") const {
        return "POST " + target + " HTTP/1.1\r\nHost: 127.0.0.1:" + QByteArray::number(d.apiPort) +
               "\r\nAuthorization: Bearer " + token() + "\r\nIdempotency-Key: " + key + "\r\nContent-Type: " + type +
               "\r\n" + extra + "Content-Length: " + QByteArray::number(body.size()) + "\r\n\r\n" + body;
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

private:
    std::unique_ptr<Daemon> m_d;
};

void TestApiDaemon::initTestCase() {
    m_d = std::make_unique<Daemon>();
    QVERIFY(m_d->apiPort != 0);
    QVERIFY(m_d->startSim());
    m_d->start();
    QTRY_VERIFY_WITH_TIMEOUT(m_d->identified(), 10000);
    const Api api{*m_d};
    QTRY_VERIFY_WITH_TIMEOUT(api.up(), 10000);
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
    const Api api{*m_d};
    const QByteArray body = kSale + "\r\n5/1/////\r\n";
    const QByteArray good = api.post("k-refused", "text/plain", body);
    QTest::newRow("no token") << QByteArray(good).replace(QByteArray("Authorization: Bearer " + api.token() + "\r\n"), QByteArray())
                              << 401;
    QTest::newRow("wrong token") << QByteArray(good).replace(api.token(), QByteArray(64, 'a')) << 401;
    QTest::newRow("foreign Host")
        << QByteArray(good).replace("Host: 127.0.0.1:", "Host: pos.example:") << 403;
    QTest::newRow("foreign Origin") << api.post("k-refused", "text/plain", body, "Origin: http://evil.example\r\n")
                                    << 403;
    QTest::newRow("3 MB") << api.post("k-refused", "text/plain", body + QByteArray(3 * 1024 * 1024, '\n')) << 413;
    QTest::newRow("bad JSON") << api.post("k-refused", "application/json", "{\"lines\": [\"" + kSale + "\"") << 400;
    QTest::newRow("control character")
        << api.post("k-refused", "application/json",
                    "{\"lines\": [\"3/S/CAFFE\\u0007//1/1.10/1//\", \"5/1/////\"]}")
        << 400;
    QTest::newRow("closing inside the receipt")
        << api.post("k-refused", "text/plain", kSale + "\r\nx/7/0/0/\r\n5/1/////\r\n") << 400;
}

void TestApiDaemon::refusedNeverReachTheRegister() {
    QFETCH(QByteArray, request);
    QFETCH(int, status);
    const Api api{*m_d};
    const HttpAnswer a = api.ask(request);
    QCOMPARE(a.status, status);
    QVERIFY(!a.json().value(QStringLiteral("error")).toString().isEmpty());
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
    QVERIFY2(doc.check(QStringLiteral("/api/v1/status"), QStringLiteral("get"), 200, s.body).isEmpty(), s.body.constData());
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

QTEST_GUILESS_MAIN(TestApiDaemon)
#include "tst_api_daemon.moc"
