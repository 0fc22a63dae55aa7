#pragma once

#include "support/EcrSimProcess.h"
#include "support/HttpProbe.h"

#include <QDate>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>

namespace testsupport {

// norvvelmd as a program in a home folder of its own, with the simulated
// register on a pseudo-terminal, its paper roll and its log of the lines it took.
struct Daemon {
    // A loopback port free at the time of asking, for the daemon's HTTP interface.
    static quint16 freePort() {
        QTcpServer probe;
        return probe.listen(QHostAddress::LocalHost, 0) ? probe.serverPort() : 0;
    }
    QTemporaryDir home;
    quint16 apiPort;
    QString server;
    QString link;
    EcrSimProcess sim;
    QProcess proc;
    QByteArray out;
    QByteArray err;
    QString paper;
    QString commands;

    explicit Daemon(const QByteArray &extraParams = {})
        : apiPort(freePort()), server(home.filePath(QStringLiteral("server"))),
          link(home.filePath(QStringLiteral("ecr"))), sim(link),
          paper(home.filePath(QStringLiteral("paper.txt"))),
          commands(home.filePath(QStringLiteral("commands.txt"))) {
        QDir().mkpath(server);
        QFile ini(home.filePath(QStringLiteral("NorvVelm.ini")));
        ini.open(QIODevice::WriteOnly);
        ini.write(
            "[Parametri]\r\nModello=Norv ONe\r\nPorta=1\r\nVelocita=9600\r\nServerStato=On\r\nServerDir=" +
            server.toUtf8() + "\r\nServerFile=scontrino.txt\r\nServerLog=On\r\nApiPorta=" +
            QByteArray::number(apiPort) + "\r\n" + extraParams + "[Porte]\r\nCom1=" + link.toUtf8() + "\r\n");
        ini.close();
        QFile ext(home.filePath(QStringLiteral("FileExt.ini")));
        ext.open(QIODevice::WriteOnly);
        ext.write("[velm]\r\n[log]\r\n[FMN]\r\n");
    }
    ~Daemon() { stop(); }

    // The environment it starts with: the system's, the home folder, and
    // `changes` ("NAME=value" sets, a bare "NAME" removes).
    QProcessEnvironment environment(const QStringList &changes = {}) const {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("NORVVELM_HOME"), home.path());
        // Its entry among the till's registers in a folder of its own,
        // unless a test shares one between daemons.
        env.insert(QStringLiteral("NORVVELM_RUNTIME_DIR"), home.path() + QStringLiteral("/run"));
        for (const QString &c : changes) {
            const qsizetype eq = c.indexOf(u'=');
            if (eq < 0)
                env.remove(c);
            else
                env.insert(c.left(eq), c.mid(eq + 1));
        }
        return env;
    }
    void start(const QStringList &args = {}, const QStringList &envChanges = {}) {
        proc.setProcessEnvironment(environment(envChanges));
        if (!connected) {
            connected = true;
            QObject::connect(&proc, &QProcess::readyReadStandardOutput,
                             [this] { out += proc.readAllStandardOutput(); });
            QObject::connect(&proc, &QProcess::readyReadStandardError,
                             [this] { err += proc.readAllStandardError(); });
        }
        proc.start(EcrSimProcess::bin(QStringLiteral("norvvelmd")), args);
        QVERIFY(proc.waitForStarted(5000));
    }
    // As a power cut or kill -9 would end it.
    void kill() {
        proc.kill();
        proc.waitForFinished(5000);
        out += proc.readAllStandardOutput();
        err += proc.readAllStandardError();
    }
    bool connected = false;
    int stop() {
        if (proc.state() == QProcess::NotRunning)
            return proc.exitCode();
        proc.terminate();
        if (!proc.waitForFinished(15000))
            proc.kill();
        out += proc.readAllStandardOutput();
        err += proc.readAllStandardError();
        return proc.exitStatus() == QProcess::NormalExit ? proc.exitCode() : -1;
    }
    // The simulated register with its paper roll and its log of the lines it took.
    bool startSim(const QStringList &extra = {}) {
        return sim.start(QStringList{QStringLiteral("--paper"), paper, QStringLiteral("--log"), commands} +
                         extra);
    }
    // The same register behind a serial device server on the loopback
    // interface: ecrsim on a TCP port, the daemon's Com1 pointing at it.
    bool startSimTcp(const QStringList &extra = {}) {
        return sim.startTcp(QStringList{QStringLiteral("--paper"), paper, QStringLiteral("--log"), commands} +
                            extra) &&
               setDevice(sim.device());
    }
    // Com1 of [Porte] names `device`, for the next start.
    bool setDevice(const QString &device) {
        QFile ini(home.filePath(QStringLiteral("NorvVelm.ini")));
        if (!ini.open(QIODevice::ReadOnly))
            return false;
        QByteArray text = ini.readAll();
        ini.close();
        const qsizetype at = text.indexOf("\nCom1=");
        if (at < 0)
            return false;
        const qsizetype end = text.indexOf('\r', at + 1);
        text.replace(at + 6, (end < 0 ? text.size() : end) - at - 6, device.toUtf8());
        return ini.open(QIODevice::WriteOnly | QIODevice::Truncate) && ini.write(text) == text.size();
    }
    QString paperText() const {
        QFile f(paper);
        return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
    }
    // How many times the register carried a line out: accepted ("00") and
    // without the paper status (a line answered with it is not carried out).
    int timesTaken(const QByteArray &line) const {
        QFile f(commands);
        if (!f.open(QIODevice::ReadOnly))
            return 0;
        int n = 0;
        for (const QByteArray &l : f.readAll().split('\n')) {
            const QByteArray answer = l.mid(line.size() + 1);
            n += l.startsWith(QByteArray(line + '\t')) && answer.startsWith("00/") &&
                 !(answer.mid(3, 2).toInt() & 4);
        }
        return n;
    }
    bool identified() const {
        QFile f(home.filePath(QStringLiteral("NorvVelm.ini")));
        return f.open(QIODevice::ReadOnly) && f.readAll().contains("[Current]");
    }
    QStringList monitor() const {
        QStringList l = QString::fromUtf8(out).split(u'\n');
        l.removeAll(QString());
        return l;
    }
    void drop(const QByteArray &content, const QString &name = QStringLiteral("scontrino.txt")) {
        QFile f(server + u'/' + name);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(content);
    }
    bool taken(const QString &name = QStringLiteral("scontrino.txt")) const {
        return !QFile::exists(server + u'/' + name);
    }
    // One key of [Parametri] in NorvVelm.ini set anew, for the next start.
    void setParam(const QByteArray &key, const QByteArray &value) {
        QFile ini(home.filePath(QStringLiteral("NorvVelm.ini")));
        QVERIFY(ini.open(QIODevice::ReadOnly));
        QByteArray text = ini.readAll();
        ini.close();
        const QRegularExpression line(QStringLiteral("(^|\\n)") + QString::fromLatin1(key) +
                                      QStringLiteral("=[^\\r\\n]*"));
        QString t = QString::fromUtf8(text);
        if (t.contains(line))
            t.replace(line, QStringLiteral("\\1") + QString::fromLatin1(key + '=' + value));
        else
            t.replace(QStringLiteral("[Parametri]\r\n"), QStringLiteral("[Parametri]\r\n") +
                                                             QString::fromLatin1(key + '=' + value) +
                                                             QStringLiteral("\r\n"));
        QVERIFY(ini.open(QIODevice::WriteOnly | QIODevice::Truncate));
        ini.write(t.toUtf8());
    }
    QString journal() const { return home.filePath(QStringLiteral("NorvVelm.journal")); }
    // The local HTTP interface as a point-of-sale program meets it, with the
    // key the daemon made at its first start.
    QByteArray apiToken() const {
        QFile f(home.filePath(QStringLiteral("NorvVelm.token")));
        return f.open(QIODevice::ReadOnly) ? f.readAll().trimmed() : QByteArray();
    }
    HttpAnswer apiGet(const QByteArray &target, int ms = 10000) const {
        return HttpProbe::ask(
            apiPort,
            "GET " + target + " HTTP/1.1\r\nHost: 127.0.0.1:" + QByteArray::number(apiPort) + "\r\n\r\n", ms);
    }
    HttpAnswer apiPost(const QByteArray &key, const QByteArray &type, const QByteArray &body,
                       const QByteArray &target = "/api/v1/receipts") const {
        return HttpProbe::ask(
            apiPort, "POST " + target + " HTTP/1.1\r\nHost: 127.0.0.1:" + QByteArray::number(apiPort) +
                         "\r\nAuthorization: Bearer " + apiToken() + "\r\nIdempotency-Key: " + key +
                         "\r\nContent-Type: " + type +
                         "\r\nContent-Length: " + QByteArray::number(body.size()) + "\r\n\r\n" + body);
    }
    QStringList logLines() const {
        QFile f(server + QStringLiteral("/scontrino.txt ") +
                QDate::currentDate().toString(QStringLiteral("yyyyMMdd")) + QStringLiteral(".log"));
        if (!f.open(QIODevice::ReadOnly))
            return {};
        QStringList l = QString::fromLatin1(f.readAll()).split(QStringLiteral("\r\n"));
        l.removeAll(QString());
        return l;
    }
};

} // namespace testsupport
