// Figures of the local HTTP interface of the real norvvelmd, one
// "name: value" a line, against ecrsim over a pty:
//   ms_api_accept_p99        POST of a 5-line receipt to its 202, while another receipt prints
//   ms_api_status_p99        GET /api/v1/status while a receipt prints
//   api_receipts_per_second  5-line receipts submitted and printed, on a register that answers at once
//   api_receipts_per_second_3_registers  the same on three print servers, each with its own register,
//                            at once (all three's receipts together)
//   api_3_registers_speedup  the second over the first

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <cstdio>

namespace {

QString bin(const QString &name) {
    return QCoreApplication::applicationDirPath() + u'/' + name;
}

// One request on its own connection; the status, and the body in `body`.
int ask(quint16 port, const QByteArray &request, QByteArray *body = nullptr) {
    QTcpSocket s;
    s.connectToHost(QStringLiteral("127.0.0.1"), port);
    if (!s.waitForConnected(5000))
        return 0;
    s.write(request);
    QByteArray in;
    while (s.waitForReadyRead(35000) || s.bytesAvailable()) {
        in += s.readAll();
        const qsizetype end = in.indexOf("\r\n\r\n");
        if (end < 0)
            continue;
        const qsizetype at = in.toLower().indexOf("content-length:");
        const qsizetype length =
            at < 0 ? 0 : in.mid(at + 15, in.indexOf('\r', at) - at - 15).trimmed().toLongLong();
        if (in.size() >= end + 4 + length) {
            if (body)
                *body = in.mid(end + 4, length);
            return in.mid(9, 3).toInt();
        }
    }
    return 0;
}

struct Rig {
    QTemporaryDir home;
    QProcess sim, daemon;
    quint16 port = 0;
    QByteArray token;

    bool start(const QStringList &simArgs) {
        {
            QTcpServer probe;
            if (!probe.listen(QHostAddress::LocalHost, 0))
                return false;
            port = probe.serverPort();
        }
        const QString link = home.filePath(QStringLiteral("ecr"));
        QDir().mkpath(home.filePath(QStringLiteral("server")));
        QFile ini(home.filePath(QStringLiteral("NorvVelm.ini")));
        if (!ini.open(QIODevice::WriteOnly))
            return false;
        ini.write(
            "[Parametri]\r\nModello=Norv ONe\r\nPorta=1\r\nVelocita=9600\r\nServerStato=On\r\nServerDir=" +
            home.filePath(QStringLiteral("server")).toUtf8() + "\r\nServerFile=scontrino.txt\r\nApiPorta=" +
            QByteArray::number(port) + "\r\n[Porte]\r\nCom1=" + link.toUtf8() + "\r\n");
        ini.close();
        sim.setProgram(bin(QStringLiteral("ecrsim")));
        sim.setArguments(QStringList{QStringLiteral("--pty"), link} + simArgs);
        sim.setStandardErrorFile(QProcess::nullDevice());
        sim.start();
        for (int i = 0; i < 500 && !QFileInfo::exists(link); ++i)
            QThread::msleep(10);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("NORVVELM_HOME"), home.path());
        daemon.setProcessEnvironment(env);
        daemon.setStandardOutputFile(QProcess::nullDevice());
        daemon.setStandardErrorFile(QProcess::nullDevice());
        daemon.start(bin(QStringLiteral("norvvelmd")), {});
        for (int i = 0; i < 1000; ++i) {
            QByteArray body;
            if (ask(port, get("/api/v1/status"), &body) == 200 &&
                QJsonDocument::fromJson(body)[QStringLiteral("register")][QStringLiteral("online")]
                    .toBool()) {
                QFile t(home.filePath(QStringLiteral("NorvVelm.token")));
                if (t.open(QIODevice::ReadOnly))
                    token = t.readAll().trimmed();
                return !token.isEmpty();
            }
            QThread::msleep(10);
        }
        return false;
    }
    ~Rig() {
        daemon.terminate();
        daemon.waitForFinished(15000);
        sim.terminate();
        sim.waitForFinished(3000);
    }
    QByteArray get(const QByteArray &target) const {
        return "GET " + target + " HTTP/1.1\r\nHost: 127.0.0.1:" + QByteArray::number(port) +
               "\r\nConnection: close\r\n\r\n";
    }
    QByteArray post(const QByteArray &key, const QByteArray &body, const QByteArray &query = {}) const {
        return "POST /api/v1/receipts" + query + " HTTP/1.1\r\nHost: 127.0.0.1:" + QByteArray::number(port) +
               "\r\nAuthorization: Bearer " + token + "\r\nIdempotency-Key: " + key +
               "\r\nContent-Type: text/plain\r\nConnection: close\r\nContent-Length: " +
               QByteArray::number(body.size()) + "\r\n\r\n" + body;
    }
};

QByteArray receipt(const QByteArray &tag, int sales) {
    QByteArray r;
    for (int i = 1; i <= sales; ++i)
        r += "3/S/" + tag + '-' + QByteArray::number(i) + "//1/0.10/1//\r\n";
    return r + "5/1/////\r\n";
}

// `each` 5-line receipts submitted to every rig, interleaved, until the
// last of every rig printed: receipts printed per second, all rigs
// together; 0 when one did not print.
double throughput(const QList<Rig *> &rigs, int each) {
    QElapsedTimer t;
    t.start();
    for (int i = 0; i < each; ++i) {
        for (Rig *rig : rigs) {
            if (ask(rig->port, rig->post("r" + QByteArray::number(i), receipt("R", 4))) != 202)
                return 0;
        }
    }
    // The last one printed means all printed: each queue keeps its order.
    for (Rig *rig : rigs) {
        QByteArray last;
        for (int i = 0; i < 60 && last != "printed"; ++i) {
            QByteArray body;
            if (ask(rig->port, rig->post("r" + QByteArray::number(each - 1), receipt("R", 4), "?wait=30000"),
                    &body) != 200)
                return 0;
            last = QJsonDocument::fromJson(body)[QStringLiteral("state")].toString().toLatin1();
            if (last == "failed" || last == "refused")
                return 0;
        }
        if (last != "printed")
            return 0;
    }
    return double(each) * double(rigs.size()) / (double(t.nsecsElapsed()) / 1e9);
}

double p99(QList<double> v) {
    std::sort(v.begin(), v.end());
    return v.isEmpty() ? -1 : v.at(qsizetype(double(v.size() - 1) * 0.99));
}

} // namespace

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    {
        // A register that takes 20 ms per answer: a long receipt keeps printing.
        Rig rig;
        if (!rig.start({QStringLiteral("--answer-delay"), QStringLiteral("20")})) {
            std::fprintf(stderr, "bench_api: the daemon did not come up\n");
            return 1;
        }
        ask(rig.port, rig.post("long", receipt("LONG", 300)));
        // Measured only once it prints.
        for (int i = 0; i < 500; ++i) {
            QByteArray body;
            if (ask(rig.port, rig.get("/api/v1/status"), &body) == 200 &&
                QJsonDocument::fromJson(body)[QStringLiteral("server")][QStringLiteral("printing")].toBool())
                break;
            QThread::msleep(10);
        }
        QList<double> accept, status;
        QElapsedTimer t;
        for (int i = 0; i < 100; ++i) {
            t.start();
            if (ask(rig.port, rig.post("a" + QByteArray::number(i), receipt("A", 4))) != 202)
                return 1;
            accept << double(t.nsecsElapsed()) / 1e6;
            t.start();
            if (ask(rig.port, rig.get("/api/v1/status")) != 200)
                return 1;
            status << double(t.nsecsElapsed()) / 1e6;
        }
        std::printf("ms_api_accept_p99: %.2f\n", p99(accept));
        std::printf("ms_api_status_p99: %.2f\n", p99(status));
    }
    {
        // One register, then three print servers each with its own register
        // at once: each register's queue is its own, none slows another.
        constexpr int kReceipts = 40;
        Rig one;
        if (!one.start({}))
            return 1;
        const double single = throughput({&one}, kReceipts);
        Rig a, b, c;
        if (!a.start({}) || !b.start({}) || !c.start({}))
            return 1;
        const double three = throughput({&a, &b, &c}, kReceipts);
        if (single <= 0 || three <= 0)
            return 1;
        std::printf("api_receipts_per_second: %.1f\n", single);
        std::printf("api_receipts_per_second_3_registers: %.1f\n", three);
        std::printf("api_3_registers_speedup: %.2f\n", three / single);
    }
    return 0;
}
