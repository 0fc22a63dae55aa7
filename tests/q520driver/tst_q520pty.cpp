// DriverQ520 over a real pseudo-terminal, against the ecrsim program playing
// the Q520.

#include "q520driver/Q520Driver.h"
#include "q520driver/Q520Port.h"
#include "support/FakeRegister.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

using namespace q520;

namespace {

QString bin(const QString &name) {
    return qEnvironmentVariable("NORVVELM_BIN", QStringLiteral(".")) + u'/' + name;
}

QString readText(const QString &path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

bool writeText(const QString &path, const QByteArray &text) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(text) == text.size();
}

// The simulated Q520 on a pseudo-terminal linked at PATH.
class Q520Sim {
public:
    explicit Q520Sim(const QString &link) : m_link(link) {}
    ~Q520Sim() {
        if (m_proc.state() != QProcess::NotRunning) {
            m_proc.terminate();
            if (!m_proc.waitForFinished(5000))
                m_proc.kill();
        }
    }
    bool start(const QStringList &extra = {}) {
        m_proc.setProgram(bin(QStringLiteral("ecrsim")));
        m_proc.setArguments(QStringList{QStringLiteral("--pty"), m_link, QStringLiteral("--q520")} + extra);
        m_proc.setReadChannel(QProcess::StandardError);
        m_proc.start();
        return m_proc.waitForStarted(5000) && waitForLine("serving");
    }
    // A control line; returns once the simulator has taken it.
    bool control(const QByteArray &line) {
        m_proc.write(line + '\n');
        return waitForLine("ecrsim: ok");
    }
    const QString &link() const { return m_link; }

private:
    bool waitForLine(const QByteArray &text) {
        QDeadlineTimer deadline(5000);
        while (!m_err.contains(text)) {
            if (deadline.hasExpired() || !m_proc.waitForReadyRead(int(deadline.remainingTime())))
                return false;
            m_err += m_proc.readAllStandardError();
        }
        m_err.remove(0, m_err.indexOf(text) + text.size());
        return true;
    }
    QString m_link;
    QProcess m_proc;
    QByteArray m_err;
};

} // namespace

class TestQ520Pty : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void receiptServedWithTotalsAndLog();
    void speedFromSettings_data();
    void speedFromSettings();
    void busyRetriedThenDropped_data();
    void busyRetriedThenDropped();
    void nulAloneTakenAsAck_data();
    void nulAloneTakenAsAck();
    void onLineRegisterRefusesStart();
    void programServesWithoutAClick_data();
    void programServesWithoutAClick();

private:
    bool startDriver(const QStringList &simArgs, const QByteArray &extraIni = {});
    bool serve(const QByteArray &content);
    QString totals() const { return readText(m_dir->filePath(QStringLiteral("Totali.txt"))); }

    QTemporaryDir *m_dir = nullptr;
    Q520Sim *m_sim = nullptr;
    SerialPort *m_port = nullptr;
    ScriptedPrompter *m_prompter = nullptr;
    Driver *m_driver = nullptr;
};

void TestQ520Pty::init() {
    m_dir = new QTemporaryDir;
    m_sim = new Q520Sim(m_dir->filePath(QStringLiteral("ecr")));
    m_port = new SerialPort;
    m_prompter = new ScriptedPrompter;
    m_driver = new Driver(m_dir->path(), m_port, m_prompter);
    Timing t = m_driver->timing();
    t.pollMs = 3600 * 1000; // each test serves its file itself
    t.answerMs = 1000;
    m_driver->setTiming(t);
}

void TestQ520Pty::cleanup() {
    delete m_driver;
    delete m_prompter;
    delete m_port;
    delete m_sim;
    delete m_dir;
}

bool TestQ520Pty::startDriver(const QStringList &simArgs, const QByteArray &extraIni) {
    if (!m_sim->start(simArgs))
        return false;
    const QByteArray ini =
        "[Parametri]\r\nNomeFileScontrino=scontrino.txt\r\nDirectory FileLog=.\r\nPorta=3\r\n" + extraIni +
        "[Porte]\r\nCom3=" + m_sim->link().toUtf8() + "\r\n";
    return writeText(m_dir->filePath(QStringLiteral("DriverQ520.ini")), ini) && m_driver->start();
}

bool TestQ520Pty::serve(const QByteArray &content) {
    return writeText(m_dir->filePath(QStringLiteral("scontrino.txt")), content) &&
           m_driver->serveReceiptFile() && !QFile::exists(m_dir->filePath(QStringLiteral("scontrino.txt")));
}

void TestQ520Pty::receiptServedWithTotalsAndLog() {
    QVERIFY(startDriver({}));
    QVERIFY(
        serve("3/S/PANE//1/1.50/1/4/\r\n3/S/LATTE//2/1.00/2/10/\r\n7/0/1/RIGA/\r\n5/1/0.00/////\r\n0/\r\n"));
    QCOMPARE(m_prompter->texts,
             QStringList{QStringLiteral("\"7/\" - Comando non gestito con scontrino aperto !")});
    QCOMPARE(totals(), QStringLiteral("IVA 1 = 1.50\nIVA 2 = 2.00\nIVA 3 = 0.00\nIVA 4 = 0.00\nIVA 5 = 0.00\n"
                                      "TOTALE VENDITE = 3.50\nSCONTRINI = 1\nNON FISCALI = 0\n"
                                      "TOTALE STORNI = 0.00\nTOTALE RESI = 0.00\nTOTALE ANNULLI = 0.00\n"));
    const QStringList log =
        readText(m_dir->filePath(QStringLiteral("DriverQ520.log"))).split(u'\n', Qt::SkipEmptyParts);
    static const QRegularExpression shape(QStringLiteral(
        "^\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d - \"7/\" - Comando non gestito con scontrino aperto !$"));
    QVERIFY(!log.isEmpty());
    QVERIFY2(shape.match(log.front()).hasMatch(), qPrintable(log.front()));
}

void TestQ520Pty::speedFromSettings_data() {
    QTest::addColumn<QByteArray>("value");
    QTest::addColumn<qint32>("baud");
    QTest::newRow("2") << QByteArray("2") << 115200;
    QTest::newRow("1") << QByteArray("1") << 9600;
    QTest::newRow("3") << QByteArray("3") << 9600;
    QTest::newRow("empty") << QByteArray() << 9600;
}

void TestQ520Pty::speedFromSettings() {
    QFETCH(QByteArray, value);
    QVERIFY(startDriver({}, "Velocita=" + value + "\r\n"));
    QTEST(m_port->deviceBaudRate(), "baud");
    QVERIFY(serve("3/S/PANE//1/1.50/1/4/\n5/1/0.00/////\n"));
    QVERIFY(m_prompter->texts.isEmpty());
}

void TestQ520Pty::busyRetriedThenDropped_data() {
    QTest::addColumn<int>("busyAnswers");
    QTest::addColumn<QString>("sales");
    QTest::newRow("accepted at the last retry") << 40 << QStringLiteral("1.50");
    QTest::newRow("dropped after 40 retries") << 41 << QStringLiteral("0.00");
}

void TestQ520Pty::busyRetriedThenDropped() {
    QFETCH(int, busyAnswers);
    QVERIFY(startDriver({QStringLiteral("--q520-answer"), QStringLiteral("0E*%1@3/").arg(busyAnswers)}));
    QElapsedTimer clock;
    clock.start();
    QVERIFY(serve("3/S/PANE//1/1.50/1/4/\n0/\n"));
    QVERIFY(clock.elapsed() >= 40 * 50); // 50 ms before each of the 40 retries
    QFETCH(QString, sales);
    QVERIFY2(totals().contains(QStringLiteral("TOTALE VENDITE = ") + sales), qPrintable(totals()));
    QVERIFY(m_prompter->texts.isEmpty());
}

void TestQ520Pty::nulAloneTakenAsAck_data() {
    QTest::addColumn<QString>("fault");
    QTest::newRow("to the frames") << QStringLiteral("frame:byte=0*20");
    QTest::newRow("to the enquiries") << QStringLiteral("enq:byte=0*20");
}

void TestQ520Pty::nulAloneTakenAsAck() {
    QFETCH(QString, fault);
    QVERIFY(startDriver({QStringLiteral("--fault"), fault}));
    QVERIFY(serve("3/S/PANE//1/1.50/1/4/\n5/1/0.00/////\n0/\n"));
    QVERIFY(m_prompter->texts.isEmpty());
    QVERIFY(totals().contains(QStringLiteral("SCONTRINI = 1\n")));
}

void TestQ520Pty::onLineRegisterRefusesStart() {
    QVERIFY(!startDriver({QStringLiteral("--q520-online")}));
    QCOMPARE(m_prompter->texts,
             QStringList{QStringLiteral("Comunicazione impossibile !\n\nOn Line Attivo !")});
    QVERIFY(!m_port->isOpen());
}

void TestQ520Pty::programServesWithoutAClick_data() {
    QTest::addColumn<QString>("platform");
    QTest::addColumn<bool>("unattended");
    QTest::newRow("offscreen") << QStringLiteral("offscreen") << false;
    // No screen at all: an unattended run goes on without one...
    QTest::newRow("no screen, unattended") << QString() << true;
    // ... any other run says in one line why it cannot, and ends.
    QTest::newRow("no screen") << QString() << false;
}

void TestQ520Pty::programServesWithoutAClick() {
    QFETCH(QString, platform);
    QFETCH(bool, unattended);
    QVERIFY(m_sim->start());
    QVERIFY(writeText(m_dir->filePath(QStringLiteral("DriverQ520.ini")),
                      "[Parametri]\r\nNomeFileScontrino=scontrino.txt\r\n[Porte]\r\nCom1=" +
                          m_sim->link().toUtf8() + "\r\n"));
    QVERIFY(writeText(m_dir->filePath(QStringLiteral("scontrino.txt")),
                      "3/S/PANE//1/1.50/1/4/\n5/1/0.00/////\n0/\n"));
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DRIVERQ520_HOME"), m_dir->path());
    for (const char *name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY", "DRIVERQ520_UNATTENDED"})
        env.remove(QString::fromLatin1(name));
    if (!platform.isEmpty())
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), platform);
    if (unattended)
        env.insert(QStringLiteral("DRIVERQ520_UNATTENDED"), QStringLiteral("1"));
    QProcess driver;
    driver.setProcessEnvironment(env);
    driver.start(bin(QStringLiteral("DriverQ520")), {QStringLiteral("/A")});
    QVERIFY(driver.waitForStarted(5000));
    if (platform.isEmpty() && !unattended) {
        QVERIFY(driver.waitForFinished(10000));
        QCOMPARE(driver.exitStatus(), QProcess::NormalExit);
        QCOMPARE(driver.exitCode(), 2);
        const QByteArray said = driver.readAllStandardError();
        QCOMPARE(said.count('\n'), 1);
        QVERIFY2(said.contains("DRIVERQ520_UNATTENDED=1"), said.constData());
        QVERIFY(QFile::exists(m_dir->filePath(QStringLiteral("scontrino.txt")))); // untouched
        return;
    }
    QTRY_VERIFY_WITH_TIMEOUT(!QFile::exists(m_dir->filePath(QStringLiteral("scontrino.txt"))), 10000);
    QVERIFY(totals().contains(QStringLiteral("SCONTRINI = 1\n")));

    // a second copy on the same home folder refuses to run
    QProcess second;
    second.setProcessEnvironment(env);
    second.start(bin(QStringLiteral("DriverQ520")), {QStringLiteral("/A")});
    QVERIFY(second.waitForFinished(10000));
    QCOMPARE(second.exitCode(), 1);
    QVERIFY(QString::fromUtf8(second.readAllStandardError()).contains(QStringLiteral("Driver già attivo")));

    driver.terminate();
    QVERIFY(driver.waitForFinished(5000));
    QCOMPARE(driver.exitStatus(), QProcess::NormalExit);
}

QTEST_GUILESS_MAIN(TestQ520Pty)
#include "tst_q520pty.moc"
