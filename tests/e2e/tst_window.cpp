// The window NorvVelm as a program on the offscreen platform, against ecrsim
// over a pseudo-terminal: receipts end to end, and one instance per home
// folder shared with norvvelmd.

#include "support/EcrSimProcess.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

namespace {

struct Home {
    QTemporaryDir dir;
    QString server = dir.filePath(QStringLiteral("server"));
    QString link = dir.filePath(QStringLiteral("ecr"));
    EcrSimProcess sim{link};
    QString paper = dir.filePath(QStringLiteral("paper.txt"));

    Home() {
        QDir().mkpath(server);
        QFile ini(dir.filePath(QStringLiteral("NorvVelm.ini")));
        ini.open(QIODevice::WriteOnly);
        ini.write(
            "[Parametri]\r\nModello=Norv ONe\r\nPorta=1\r\nVelocita=9600\r\nServerStato=On\r\nServerDir=" +
            server.toUtf8() +
            "\r\nServerFile=scontrino.txt\r\nServerLog=On\r\nApiPorta=0\r\n[Porte]\r\nCom1=" + link.toUtf8() +
            "\r\n");
    }
    QProcessEnvironment env() const {
        QProcessEnvironment e = QProcessEnvironment::systemEnvironment();
        e.insert(QStringLiteral("NORVVELM_HOME"), dir.path());
        e.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        return e;
    }
    bool startSim() { return sim.start({QStringLiteral("--paper"), paper}); }
    QString paperText() const {
        QFile f(paper);
        return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
    }
};

// A program of the build, its standard error gathered.
struct Program {
    QProcess proc;
    QByteArray err;
    void start(const Home &home, const QString &name, const QStringList &args = {}) {
        proc.setProcessEnvironment(home.env());
        proc.setStandardOutputFile(QProcess::nullDevice());
        QObject::connect(&proc, &QProcess::readyReadStandardError,
                         [this] { err += proc.readAllStandardError(); });
        proc.start(EcrSimProcess::bin(name), args);
        QVERIFY(proc.waitForStarted(5000));
    }
    ~Program() {
        if (proc.state() != QProcess::NotRunning) {
            proc.terminate();
            if (!proc.waitForFinished(5000))
                proc.kill();
            proc.waitForFinished(1000);
        }
    }
};

const QString kShown = QStringLiteral("window Normal");
const QString kAlready = QStringLiteral("Driver gi\u00e0 attivo");

} // namespace

class TestWindow : public QObject {
    Q_OBJECT
private slots:
    void printsAReceipt();
    void secondInstanceEitherWay();
};

void TestWindow::printsAReceipt() {
    Home home;
    QVERIFY(home.startSim());
    Program window;
    window.start(home, QStringLiteral("NorvVelm"));
    QTRY_VERIFY_WITH_TIMEOUT(QString::fromUtf8(window.err).contains(kShown), 15000);
    QFile f(home.server + QStringLiteral("/scontrino.txt"));
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("3/S/REPARTO1//1/5.26/1/4/\r\n5/1/0.00/////\r\n");
    f.close();
    QTRY_VERIFY_WITH_TIMEOUT(!QFile::exists(home.server + QStringLiteral("/scontrino.txt")), 15000);
    QTRY_VERIFY_WITH_TIMEOUT(home.paperText().contains(QStringLiteral("REPARTO1")), 15000);
    QCOMPARE(window.proc.state(), QProcess::Running);
}

void TestWindow::secondInstanceEitherWay() {
    {
        // The window first: norvvelmd refuses to start.
        Home home;
        QVERIFY(home.startSim());
        Program window;
        window.start(home, QStringLiteral("NorvVelm"));
        QTRY_VERIFY_WITH_TIMEOUT(QString::fromUtf8(window.err).contains(kShown), 15000);
        Program daemon;
        daemon.start(home, QStringLiteral("norvvelmd"));
        QVERIFY(daemon.proc.waitForFinished(10000));
        QCOMPARE(daemon.proc.exitCode(), 1);
        QVERIFY(QString::fromUtf8(daemon.err + daemon.proc.readAllStandardError()).contains(kAlready));
        QCOMPARE(window.proc.state(), QProcess::Running);
    }
    {
        // norvvelmd first: the window says so (its box waits for OK) and
        // takes nothing; the daemon keeps serving.
        Home home;
        QVERIFY(home.startSim());
        Program daemon;
        daemon.start(home, QStringLiteral("norvvelmd"));
        QTRY_VERIFY_WITH_TIMEOUT(daemon.err.contains("norvvelmd"), 10000);
        Program window;
        window.start(home, QStringLiteral("NorvVelm"));
        QTRY_VERIFY_WITH_TIMEOUT(QString::fromUtf8(window.err).contains(kAlready), 10000);
        QVERIFY(!QString::fromUtf8(window.err).contains(kShown));
        QCOMPARE(daemon.proc.state(), QProcess::Running);
    }
    {
        // Two windows on the same home folder.
        Home home;
        QVERIFY(home.startSim());
        Program first;
        first.start(home, QStringLiteral("NorvVelm"));
        QTRY_VERIFY_WITH_TIMEOUT(QString::fromUtf8(first.err).contains(kShown), 15000);
        Program second;
        second.start(home, QStringLiteral("NorvVelm"));
        QTRY_VERIFY_WITH_TIMEOUT(QString::fromUtf8(second.err).contains(kAlready), 10000);
        QCOMPARE(first.proc.state(), QProcess::Running);
    }
}

QTEST_GUILESS_MAIN(TestWindow)
#include "tst_window.moc"
