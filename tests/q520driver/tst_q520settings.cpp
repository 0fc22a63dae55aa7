#include "q520driver/Q520Settings.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace q520;

class TestQ520Settings : public QObject {
    Q_OBJECT
private slots:
    void checks_data();
    void checks();
    void values_data();
    void values();
    void profileRules();
    void fileAndHomeFolder();
};

namespace {
const QString kHome = QStringLiteral("/srv/q520");
QString ini(const QString &body) {
    return QStringLiteral("[Parametri]\n") + body;
}
} // namespace

void TestQ520Settings::checks_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("message");
    QTest::newRow("no file") << QString() << QStringLiteral("Nome file scontrino non impostato");
    QTest::newRow("empty name") << ini(QStringLiteral("NomeFileScontrino=  \n"))
                                << QStringLiteral("Nome file scontrino non impostato");
    QTest::newRow("name with a folder") << ini(QStringLiteral("NomeFileScontrino=../x.txt\n"))
                                        << QStringLiteral("Nome file scontrino non valido : ../x.txt");
    QTest::newRow("receipt folder empty")
        << ini(QStringLiteral("NomeFileScontrino=s.txt\nDirectory Scontrini=\n"))
        << QStringLiteral("Directory scontrini non impostata");
    QTest::newRow("log folder empty") << ini(QStringLiteral("NomeFileScontrino=s.txt\nDirectory FileLog=\n"))
                                      << QStringLiteral("Directory file log non impostata");
    QTest::newRow("port empty") << ini(QStringLiteral("NomeFileScontrino=s.txt\nPorta=\n"))
                                << QStringLiteral("Porta di comunicazione non impostata");
    QTest::newRow("port not a number") << ini(QStringLiteral("NomeFileScontrino=s.txt\nPorta=COM1\n"))
                                       << QStringLiteral("Porta di comunicazione non valida : CO");
    // the first failing key in reading order decides
    QTest::newRow("order") << ini(QStringLiteral("Porta=\nDirectory FileLog=\nNomeFileScontrino=s\n"))
                           << QStringLiteral("Directory file log non impostata");
}

void TestQ520Settings::checks() {
    QFETCH(QString, text);
    QFETCH(QString, message);
    const SettingsResult r = readSettingsText(text, kHome);
    QVERIFY(!r.ok);
    QCOMPARE(r.message, message);
}

void TestQ520Settings::values_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<qint32>("baud");
    QTest::addColumn<bool>("logOn");
    QTest::addColumn<QString>("device");
    QTest::addColumn<QString>("receipt");
    const QString base = QStringLiteral("NomeFileScontrino=scontrino.txt\n");
    const QString defDevice = defaultPortDevice(1);
    QTest::newRow("defaults") << ini(base) << 9600 << true << defDevice
                              << kHome + QStringLiteral("/scontrino.txt");
    QTest::newRow("speed 2") << ini(base + QStringLiteral("Velocita=2\n")) << 115200 << true << defDevice
                             << kHome + QStringLiteral("/scontrino.txt");
    QTest::newRow("speed 1") << ini(base + QStringLiteral("Velocita=1\n")) << 9600 << true << defDevice
                             << kHome + QStringLiteral("/scontrino.txt");
    QTest::newRow("speed 3") << ini(base + QStringLiteral("Velocita=3\n")) << 9600 << true << defDevice
                             << kHome + QStringLiteral("/scontrino.txt");
    QTest::newRow("speed empty") << ini(base + QStringLiteral("Velocita=\n")) << 9600 << true << defDevice
                                 << kHome + QStringLiteral("/scontrino.txt");
    QTest::newRow("log off") << ini(base + QStringLiteral("LivelloLog=2\n")) << 9600 << false << defDevice
                             << kHome + QStringLiteral("/scontrino.txt");
    QTest::newRow("port mapped") << ini(base + QStringLiteral("Porta=12\n")) +
                                        QStringLiteral("[Porte]\nCom12=/dev/ttyUSB0\n")
                                 << 9600 << true << QStringLiteral("/dev/ttyUSB0")
                                 << kHome + QStringLiteral("/scontrino.txt");
    QTest::newRow("absolute folder with backslash")
        << ini(base + QStringLiteral("Directory Scontrini=/var/pos\\cassa\n")) << 9600 << true << defDevice
        << QStringLiteral("/var/pos/cassa/scontrino.txt");
    QTest::newRow("relative folder") << ini(base + QStringLiteral("Directory Scontrini=in/\n")) << 9600
                                     << true << defDevice << kHome + QStringLiteral("/in/scontrino.txt");
}

void TestQ520Settings::values() {
    QFETCH(QString, text);
    const SettingsResult r = readSettingsText(text, kHome);
    QVERIFY2(r.ok, qPrintable(r.message));
    QTEST(r.settings.baudRate, "baud");
    QTEST(r.settings.logEnabled, "logOn");
    QTEST(r.settings.portDevice, "device");
    QTEST(r.settings.receiptPath(), "receipt");
    QCOMPARE(r.settings.totalsPath(),
             QFileInfo(r.settings.receiptPath()).path() + QStringLiteral("/Totali.txt"));
    QCOMPARE(r.settings.logPath(), kHome + QStringLiteral("/DriverQ520.log"));
}

void TestQ520Settings::profileRules() {
    const ProfileFile p = ProfileFile::fromText(
        QStringLiteral("; note\r\n[altro]\r\nNome=no\r\n[ PARAMETRI ]\r\n  nomefilescontrino =  \"a b\"  \r\n"
                       "Nome=first\r\nNome=second\r\nLungo=0123456789012345678901234567890123456789ABC\r\n"
                       "Nul=x\0y\r\n"));
    QCOMPARE(p.value(QStringLiteral("Parametri"), QStringLiteral("NomeFileScontrino"), {}, 40),
             QStringLiteral("a b"));
    QCOMPARE(p.value(QStringLiteral("parametri"), QStringLiteral("Nome"), {}, 40), QStringLiteral("first"));
    // a buffer of N characters holds N - 1 of them and the terminating NUL
    QCOMPARE(p.value(QStringLiteral("Parametri"), QStringLiteral("Lungo"), {}, 40).size(), 39);
    QCOMPARE(p.value(QStringLiteral("Parametri"), QStringLiteral("Porta"), QStringLiteral("12345"), 3),
             QStringLiteral("12"));
    QCOMPARE(p.value(QStringLiteral("Parametri"), QStringLiteral("Nul"), {}, 10), QStringLiteral("x y"));
    QCOMPARE(p.value(QStringLiteral("Parametri"), QStringLiteral("Assente"), QStringLiteral(" "), 40),
             QString());
}

void TestQ520Settings::fileAndHomeFolder() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QFile f(dir.filePath(QStringLiteral("DriverQ520.ini")));
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("[Parametri]\r\nNomeFileScontrino=s.txt\r\nDirectory FileLog=log\r\n");
    f.close();
    qputenv("DRIVERQ520_HOME", QByteArray());
    QCOMPARE(homeFolder(dir.path()), dir.path()); // beside the program
    QVERIFY(homeFolder(dir.filePath(QStringLiteral("none"))).endsWith(QStringLiteral("/DriverQ520")));
    qputenv("DRIVERQ520_HOME", dir.path().toUtf8());
    QCOMPARE(homeFolder(QStringLiteral("/elsewhere")), dir.path());
    const SettingsResult r = readSettings(homeFolder(QString()));
    QVERIFY(r.ok);
    QCOMPARE(r.settings.logPath(), dir.filePath(QStringLiteral("log/DriverQ520.log")));
}

QTEST_GUILESS_MAIN(TestQ520Settings)
#include "tst_q520settings.moc"
