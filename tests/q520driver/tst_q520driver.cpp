#include "q520driver/Q520Driver.h"
#include "support/FakeRegister.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace q520;

namespace {

const QString kSale = QStringLiteral("3/S/REPARTO1//1/5.26/1/4/");
const QString kPay = QStringLiteral("5/1/0.00/////");

QString readText(const QString &path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

void writeText(const QString &path, const QByteArray &text) {
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(text);
}

} // namespace

class TestQ520Driver : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void receiptSentLineByLineAndDeleted();
    void receiptRules_data();
    void receiptRules();
    void totalsFile();
    void failedTotalsLeaveNoOldFile();
    void registerAnswers_data();
    void registerAnswers();
    void busyLineGivenUpAfterRetries();
    void nakAsksWhetherToCancel_data();
    void nakAsksWhetherToCancel();
    void nulInPlaceOfAck();
    void repliesCutIntoPieces();
    void silentRegisterEndsTheFile();
    void overlongLineRefused();
    void startFailures_data();
    void startFailures();
    void settingsFailureKeepsDriverStopped();
    void stopDuringWorkKeepsTheFile();
    void logLines();

private:
    bool startDriver(const QByteArray &extraIni = {});
    bool serve(const QByteArray &content);
    QStringList keptFiles() const;

    QTemporaryDir *m_dir = nullptr;
    FakeRegister *m_reg = nullptr;
    ScriptedPrompter *m_prompter = nullptr;
    Driver *m_driver = nullptr;
};

void TestQ520Driver::init() {
    m_dir = new QTemporaryDir;
    m_reg = new FakeRegister;
    m_prompter = new ScriptedPrompter;
    m_driver = new Driver(m_dir->path(), m_reg, m_prompter);
    Timing t;
    t.presenceMs = 300;
    t.replyMs = 300;
    t.answerMs = 300;
    t.afterLineMs = 0;
    t.busyRetryMs = 1;
    t.secondSaleMs = 0;
    t.pollMs = 3600 * 1000; // the tests call each tick themselves
    m_driver->setTiming(t);
}

void TestQ520Driver::cleanup() {
    delete m_driver;
    delete m_prompter;
    delete m_reg;
    delete m_dir;
}

bool TestQ520Driver::startDriver(const QByteArray &extraIni) {
    writeText(m_dir->filePath(QStringLiteral("DriverQ520.ini")),
              "[Parametri]\r\nNomeFileScontrino=scontrino.txt\r\n" + extraIni);
    return m_driver->start();
}

bool TestQ520Driver::serve(const QByteArray &content) {
    writeText(m_dir->filePath(QStringLiteral("scontrino.txt")), content);
    m_reg->lines.clear();
    return m_driver->serveReceiptFile();
}

QStringList TestQ520Driver::keptFiles() const {
    return QDir(m_dir->path()).entryList({QStringLiteral("scontrino.txt*.err")}, QDir::Files);
}

void TestQ520Driver::receiptSentLineByLineAndDeleted() {
    QVERIFY(startDriver());
    QCOMPARE(m_reg->lines, QStringList{QStringLiteral("s/")}); // the on-line test
    QCOMPARE(m_reg->baud, 9600);
    QVERIFY(serve(kSale.toLatin1() + "\r\n" + kPay.toLatin1() + "\r\n"));
    QCOMPARE(m_reg->lines, (QStringList{kSale, kPay}));
    QCOMPARE(m_reg->acksFromDriver, 3); // every answer acknowledged
    QVERIFY(!QFile::exists(m_dir->filePath(QStringLiteral("scontrino.txt"))));
    QVERIFY(keptFiles().isEmpty());
    QVERIFY(m_prompter->texts.isEmpty());
    QVERIFY(!m_driver->serveReceiptFile()); // nothing left to do
}

void TestQ520Driver::receiptRules_data() {
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QStringList>("sent");
    QTest::addColumn<QStringList>("messages");
    QTest::addColumn<bool>("kept");
    QTest::newRow("blank lines only")
        << QByteArray("\r\n  \r\n\t\n") << QStringList{} << QStringList{} << false;
    QTest::newRow("text after a sale refused, the rest goes on")
        << QByteArray("3/S/A//1/1.00/1/4/\n7/0/1/RIGA/\n5/1/0.00/////\n")
        << QStringList{QStringLiteral("3/S/A//1/1.00/1/4/"), QStringLiteral("5/1/0.00/////")}
        << QStringList{QStringLiteral("\"7/\" - Comando non gestito con scontrino aperto !")} << true;
    QTest::newRow("text lines before the receipt are sent")
        << QByteArray("7/1/0/#SVUOTA-CASSA#/\nw/1/1//\nm//\n")
        << QStringList{QStringLiteral("7/1/0/#SVUOTA-CASSA#/"), QStringLiteral("w/1/1//"),
                       QStringLiteral("m//")}
        << QStringList{} << false;
    QTest::newRow("w/ after U/ refused")
        << QByteArray("U/\nw/1/1//\n") << QStringList{QStringLiteral("U/")}
        << QStringList{QStringLiteral("\"w/\" - Comando non gestito con scontrino aperto !")} << true;
    QTest::newRow("customer header cut to three fields")
        << QByteArray("j/ROSSI/VIA ROMA 1/MILANO/20100/IT/x/y/z/w/0/\nj/A\n")
        << QStringList{QStringLiteral("j/ROSSI/VIA ROMA 1/MILANO/0/"), QStringLiteral("j/A///0/")}
        << QStringList{} << false;
    QTest::newRow("unknown code stops the file")
        << QByteArray("3/S/A//1/1.00/1/4/\nx/7/0/0/\n5/1/0.00/////\n")
        << QStringList{QStringLiteral("3/S/A//1/1.00/1/4/")}
        << QStringList{QStringLiteral("\"x/\" - Comando non gestito !")} << true;
    QTest::newRow("final slash added")
        << QByteArray("0/") << QStringList{QStringLiteral("0/")} << QStringList{} << false;
    QTest::newRow("missing slash then refused")
        << QByteArray("?") << QStringList{} << QStringList{QStringLiteral("\"?/\" - Comando non gestito !")}
        << true;
    QTest::newRow("UTF-8 file goes out in the register's code page")
        << QByteArray("3/S/CAFF\xC3\x88//1/1.00/1/4/\n")
        << QStringList{QStringLiteral("3/S/CAFFÈ//1/1.00/1/4/")} << QStringList{} << false;
}

void TestQ520Driver::receiptRules() {
    QFETCH(QByteArray, file);
    QVERIFY(startDriver());
    QVERIFY(serve(file));
    QTEST(m_reg->lines, "sent");
    QTEST(m_prompter->texts, "messages");
    QVERIFY(!QFile::exists(m_dir->filePath(QStringLiteral("scontrino.txt"))));
    QFETCH(bool, kept);
    QCOMPARE(keptFiles().size(), kept ? 1 : 0);
    if (kept) {
        QFile copy(m_dir->filePath(keptFiles().front()));
        QVERIFY(copy.open(QIODevice::ReadOnly));
        QCOMPARE(copy.readAll(), file);
    }
}

void TestQ520Driver::totalsFile() {
    QVERIFY(startDriver());
    m_reg->answer = [](const QString &line) {
        if (line == u"0/")
            return QStringLiteral("00/00/00/1.00/2.00/3.00/4.00/5.00/15.00/7/8/9.00/10.00/11.00/12/13/");
        return QStringLiteral("00/00/00/");
    };
    QVERIFY(serve("0/\n0/\n"));
    QCOMPARE(m_reg->lines.size(), 2);
    QCOMPARE(readText(m_dir->filePath(QStringLiteral("Totali.txt"))),
             QStringLiteral("IVA 1 = 1.00\nIVA 2 = 2.00\nIVA 3 = 3.00\nIVA 4 = 4.00\nIVA 5 = 5.00\n"
                            "TOTALE VENDITE = 15.00\nSCONTRINI = 7\nNON FISCALI = 8\nTOTALE STORNI = 9.00\n"
                            "TOTALE RESI = 10.00\nTOTALE ANNULLI = 11.00\n"));
}

void TestQ520Driver::failedTotalsLeaveNoOldFile() {
    QVERIFY(startDriver());
    writeText(m_dir->filePath(QStringLiteral("Totali.txt")), "IVA 1 = old\n");
    m_reg->answer = [](const QString &) { return QStringLiteral("1A/00/00/"); };
    QVERIFY(serve("0/\n"));
    QVERIFY(!QFile::exists(m_dir->filePath(QStringLiteral("Totali.txt"))));
    QCOMPARE(m_prompter->texts,
             QStringList{QStringLiteral("Comando '0/' - Errore N. 26\n\nImpossibile continuare.")});
}

void TestQ520Driver::registerAnswers_data() {
    QTest::addColumn<QStringList>("answers"); // answers to the sale line, in turn
    QTest::addColumn<int>("saleSends");
    QTest::addColumn<bool>("payReached");
    QTest::addColumn<QStringList>("messages");
    QTest::newRow("2C goes on") << QStringList{QStringLiteral("2C/00/00/")} << 1 << true << QStringList{};
    QTest::newRow("busy then accepted")
        << QStringList{QStringLiteral("0E/00/00/"), QStringLiteral("0E/00/00/"), QStringLiteral("00/00/00/")}
        << 3 << true << QStringList{};
    QTest::newRow("payment in progress: sent again after OK")
        << QStringList{QStringLiteral("68/00/00/"), QStringLiteral("00/00/00/")} << 2 << true
        << QStringList{QStringLiteral("Probabile pagamento in corso. Verificare cassa.")};
    QTest::newRow("paper out: sent again after OK")
        << QStringList{QStringLiteral("00/04/00/"), QStringLiteral("00/00/00/")} << 2 << true
        << QStringList{QStringLiteral("Sostituire rotolo scontrino poi premere OK")};
    QTest::newRow("other status bits are no paper")
        << QStringList{QStringLiteral("00/03/00/")} << 1 << true << QStringList{};
    QTest::newRow("other error stops")
        << QStringList{QStringLiteral("2D/00/00/")} << 1 << false
        << QStringList{QStringLiteral("Comando '3/' - Errore N. 45\n\nImpossibile continuare.")};
    QTest::newRow("garbled answer stops")
        << QStringList{QStringLiteral("?")} << 1 << false
        << QStringList{QStringLiteral("Comando '3/' - Risposta non valida : ?\n\nImpossibile continuare.")};
}

void TestQ520Driver::registerAnswers() {
    QFETCH(QStringList, answers);
    QVERIFY(startDriver());
    m_reg->answer = [&answers](const QString &line) {
        if (line.startsWith(u"3/") && !answers.isEmpty())
            return answers.takeFirst();
        return QStringLiteral("00/00/00/");
    };
    QVERIFY(serve(kSale.toLatin1() + '\n' + kPay.toLatin1() + '\n'));
    QTEST(int(m_reg->lines.count(kSale)), "saleSends");
    QTEST(m_reg->lines.contains(kPay), "payReached");
    QTEST(m_prompter->texts, "messages");
}

void TestQ520Driver::busyLineGivenUpAfterRetries() {
    QVERIFY(startDriver());
    m_reg->answer = [](const QString &line) {
        return line.startsWith(u"3/") ? QStringLiteral("0E/00/00/") : QStringLiteral("00/00/00/");
    };
    QVERIFY(serve(kSale.toLatin1() + '\n' + kPay.toLatin1() + '\n'));
    QCOMPARE(m_reg->lines.count(kSale), 41); // first send and 40 more
    QCOMPARE(m_reg->lines.last(), kPay);
    QVERIFY(m_prompter->texts.isEmpty());
    QVERIFY(readText(m_driver->settings().logPath()).contains(QStringLiteral("riga abbandonata : ") + kSale));
    QCOMPARE(keptFiles().size(), 1);
}

void TestQ520Driver::nakAsksWhetherToCancel_data() {
    QTest::addColumn<bool>("cancel");
    QTest::newRow("Yes: stop the file") << true;
    QTest::newRow("No: skip the line") << false;
}

void TestQ520Driver::nakAsksWhetherToCancel() {
    QFETCH(bool, cancel);
    QVERIFY(startDriver());
    m_prompter->yesNoAnswers = {cancel};
    m_reg->refuse = [](const QString &line) { return line.startsWith(u"3/"); };
    QVERIFY(serve(kSale.toLatin1() + '\n' + kPay.toLatin1() + '\n'));
    QCOMPARE(m_prompter->texts, QStringList{QStringLiteral("Annullo Stampa in corso ?")});
    QCOMPARE(m_reg->lines, cancel ? QStringList{} : QStringList{kPay});
    QCOMPARE(keptFiles().size(), 1);
    QVERIFY(
        readText(m_driver->settings().logPath())
            .contains(QStringLiteral(" - Ricevuto NAK, probabile comando inviato errato : <STX>") + kSale));
}

void TestQ520Driver::nulInPlaceOfAck() {
    m_reg->nulForAck = true;
    QVERIFY(startDriver());
    QVERIFY(serve(kSale.toLatin1() + '\n'));
    QCOMPARE(m_reg->lines, QStringList{kSale});
    QVERIFY(m_prompter->texts.isEmpty());
}

void TestQ520Driver::repliesCutIntoPieces() {
    m_reg->chunk = 3;
    QVERIFY(startDriver());
    QVERIFY(serve(kSale.toLatin1() + '\n' + kPay.toLatin1() + '\n'));
    QCOMPARE(m_reg->lines, (QStringList{kSale, kPay}));
    QVERIFY(m_prompter->texts.isEmpty());
}

void TestQ520Driver::silentRegisterEndsTheFile() {
    QVERIFY(startDriver());
    m_reg->answer = [](const QString &line) {
        return line.startsWith(u"5/") ? QString() : QStringLiteral("00/00/00/");
    };
    QElapsedTimer clock;
    clock.start();
    QVERIFY(serve(kSale.toLatin1() + '\n' + kPay.toLatin1() + '\n' + "0/\n"));
    QVERIFY(clock.elapsed() < 2000);
    QCOMPARE(m_reg->lines, (QStringList{kSale, kPay}));
    QCOMPARE(m_prompter->texts.size(), 1);
    QVERIFY(
        m_prompter->texts.front().startsWith(QStringLiteral("Comando '5/' - Nessuna risposta dalla cassa")));
    QCOMPARE(keptFiles().size(), 1);
    QVERIFY(m_driver->isRunning()); // the next file is tried again

    m_reg->answersEnquiry = false; // switched off
    m_prompter->texts.clear();
    QVERIFY(serve(kSale.toLatin1() + '\n'));
    QVERIFY(m_reg->lines.isEmpty());
    QCOMPARE(m_prompter->texts, QStringList{Driver::noCommunicationMessage()});
}

void TestQ520Driver::overlongLineRefused() {
    QVERIFY(startDriver());
    const QByteArray longSale = "3/S/" + QByteArray(260, 'A') + "//1/1.00/1/4/";
    QVERIFY(serve("3/S/" + QByteArray(238, 'A') + "//1/1.00/1/4/\n" + longSale + '\n' + kPay.toLatin1()));
    QCOMPARE(m_reg->lines.size(), 1); // exactly 255 characters go out
    QCOMPARE(m_reg->lines.front().size(), 255);
    QCOMPARE(m_prompter->texts,
             QStringList{QStringLiteral("Comando '3/' - Riga troppo lunga (277 caratteri, al massimo 255)\n\n"
                                        "Impossibile continuare.")});
}

void TestQ520Driver::startFailures_data() {
    QTest::addColumn<bool>("openOk");
    QTest::addColumn<bool>("present");
    QTest::addColumn<QString>("statusAnswer");
    QTest::addColumn<QString>("message");
    QTest::newRow("port in use") << false << true << QString()
                                 << QStringLiteral("Porta seriale già in uso !");
    QTest::newRow("register absent") << true << false << QString() << Driver::noCommunicationMessage();
    QTest::newRow("no answer to s/") << true << true << QString() << Driver::noCommunicationMessage();
    QTest::newRow("on line") << true << true
                             << QStringLiteral("00/00/00/0000000000000"
                                               "1/")
                             << QStringLiteral("Comunicazione impossibile !\n\nOn Line Attivo !");
}

void TestQ520Driver::startFailures() {
    QFETCH(bool, openOk);
    QFETCH(bool, present);
    QFETCH(QString, statusAnswer);
    m_reg->openOk = openOk;
    m_reg->answersEnquiry = present;
    m_reg->answer = [&](const QString &) { return statusAnswer; };
    QSignalSpy running(m_driver, &Driver::runningChanged);
    QVERIFY(!startDriver());
    QTEST(m_prompter->texts.value(0), "message");
    QCOMPARE(m_prompter->texts.size(), 1);
    QVERIFY(!m_driver->isRunning());
    QVERIFY(!m_reg->isOpen());
    QVERIFY(running.isEmpty());
}

void TestQ520Driver::settingsFailureKeepsDriverStopped() {
    writeText(m_dir->filePath(QStringLiteral("DriverQ520.ini")),
              "[Parametri]\r\nNomeFileScontrino=s\r\nPorta=\r\n");
    QVERIFY(!m_driver->start());
    QCOMPARE(m_prompter->texts, QStringList{QStringLiteral("Porta di comunicazione non impostata")});
    QVERIFY(m_reg->device.isEmpty()); // the port was never touched
}

void TestQ520Driver::stopDuringWorkKeepsTheFile() {
    QVERIFY(startDriver("Velocita=2\r\n"));
    QCOMPARE(m_reg->baud, 115200);
    m_reg->answer = [this](const QString &line) {
        if (line.startsWith(u"5/"))
            QTimer::singleShot(0, m_driver, &Driver::stop); // "Ferma" while the register works
        return QStringLiteral("00/00/00/");
    };
    QVERIFY(serve(kSale.toLatin1() + '\n' + kPay.toLatin1() + '\n' + "0/\n"));
    QVERIFY(!m_reg->lines.contains(QStringLiteral("0/")));
    QVERIFY(!m_driver->isRunning());
    QVERIFY(m_prompter->texts.isEmpty());
    QCOMPARE(keptFiles().size(), 1);
}

void TestQ520Driver::logLines() {
    QVERIFY(startDriver("Directory FileLog=log/q520\r\n")); // the folder is made when missing
    QVERIFY(serve("3/S/A//1/1.00/1/4/\n7/0/1/X/\n"));
    const QStringList lines =
        readText(m_dir->filePath(QStringLiteral("log/q520/DriverQ520.log"))).split(u'\n', Qt::SkipEmptyParts);
    QVERIFY(!lines.isEmpty());
    static const QRegularExpression shape(QStringLiteral("^\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d - .+$"));
    for (const QString &l : lines)
        QVERIFY2(shape.match(l).hasMatch(), qPrintable(l));
    QVERIFY(lines.front().endsWith(QStringLiteral(" - \"7/\" - Comando non gestito con scontrino aperto !")));
}

QTEST_GUILESS_MAIN(TestQ520Driver)
#include "tst_q520driver.moc"
