// norvvelmd killed, stopped and losing answers in the middle of 200-line
// receipts, fed by slow writers and hostile files, against ecrsim over a
// pseudo-terminal. Judged from the register's own paper and log: every
// receipt printed once, complete, never joined with another.

#include "support/DaemonRig.h"

#include <QRegularExpression>

using testsupport::Daemon;

namespace {

constexpr int kSales = 199; // and the payment: 200 lines

QByteArray saleLine(const QByteArray &tag, int i) {
    return "3/S/" + tag + '-' + QByteArray::number(i) + "//1/0.10/1/4/";
}

QByteArray receipt(const QByteArray &tag, int sales = kSales) {
    QByteArray r;
    for (int i = 1; i <= sales; ++i)
        r += saleLine(tag, i) + "\r\n";
    return r + "5/1/0.00/////\r\n";
}

// The documents on the roll, each ended by its rule of '='.
QStringList documents(const Daemon &d) {
    QStringList docs;
    QString current;
    for (const QString &l : d.paperText().split(u'\n')) {
        current += l + u'\n';
        if (l == QString(32, u'=')) {
            docs << current;
            current.clear();
        }
    }
    return docs;
}

// Empty when the receipt of `tag` is on the paper once, complete and alone;
// otherwise what is wrong with it.
QString printedOnce(const Daemon &d, const QString &tag, int sales = kSales) {
    static const QRegularExpression saleText(QStringLiteral("^([A-Z0-9]+)-([0-9]+)$"),
                                             QRegularExpression::MultilineOption);
    int complete = 0;
    QString problem;
    for (const QString &doc : documents(d)) {
        if (!doc.contains(QStringLiteral("SCONTR. N.")) || doc.contains(QStringLiteral("ANNULLATO")))
            continue;
        QList<int> seen;
        bool ours = false, others = false;
        for (auto it = saleText.globalMatch(doc); it.hasNext();) {
            const auto m = it.next();
            if (m.captured(1) == tag) {
                ours = true;
                seen << m.captured(2).toInt();
            } else {
                others = true;
            }
        }
        if (!ours)
            continue;
        ++complete;
        if (others)
            problem += QStringLiteral(" joined with another receipt;");
        std::sort(seen.begin(), seen.end());
        QList<int> all;
        for (int i = 1; i <= sales; ++i)
            all << i;
        if (seen != all)
            problem += QStringLiteral(" %1 sales of %2;").arg(seen.size()).arg(sales);
    }
    if (complete != 1)
        problem += QStringLiteral(" printed %1 times;").arg(complete);
    return problem.isEmpty() ? QString() : tag + u':' + problem;
}

// How many lines beginning with `prefix` the register carried out or refused.
int registerTook(const Daemon &d, const QByteArray &prefix) {
    QFile f(d.commands);
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    int n = 0;
    for (const QByteArray &l : f.readAll().split('\n'))
        n += l.startsWith(prefix);
    return n;
}

bool waitFor(const std::function<bool()> &done, int ms) {
    QDeadlineTimer deadline(ms);
    while (!done() && !deadline.hasExpired())
        QTest::qWait(5);
    return done();
}

} // namespace

class TestRecovery : public QObject {
    Q_OBJECT
private slots:
    void interruptedReceipts();
    void lostAnswers();
    void slowWritersAndHostileFiles();
};

void TestRecovery::interruptedReceipts() {
    Daemon d;
    QVERIFY(d.startSim());
    d.start();
    QVERIFY(waitFor([&] { return d.identified(); }, 10000));
    struct Point {
        QByteArray tag;
        QByteArray held;  // the line whose answer the register holds back while the daemon ends
        bool drop = true; // a new receipt file; else the one sent anew after the last kill
        bool terminate = false;
    };
    const QList<Point> points{
        {"KA", saleLine("KA", 1)},              // the receipt's first line
        {"KB", saleLine("KB", 60)},             // in the middle
        {"KC", saleLine("KC", kSales)},         // the last sale
        {"KD", "5/"},                           // the payment carried out, its answer not yet back
        {"KE", saleLine("KE", 120)},            // then again while the receipt is sent anew
        {"KE", saleLine("KE", 30), false},      //
        {"TA", saleLine("TA", 80), true, true}, // SIGTERM
    };
    for (const Point &p : points) {
        d.sim.control("fault hold=" + p.held + ",1500");
        const int before = registerTook(d, p.held);
        if (p.drop)
            d.drop(receipt(p.tag));
        QVERIFY2(waitFor([&] { return registerTook(d, p.held) > before; }, 30000), p.held.constData());
        if (p.terminate)
            QCOMPARE(d.stop(), 0);
        else
            d.kill();
        d.start();
        if (p.tag == "KE" && p.drop)
            continue; // killed again below, in the middle of the new copy
        QVERIFY2(waitFor([&] { return printedOnce(d, QString::fromLatin1(p.tag)).isEmpty(); }, 30000),
                 qPrintable(printedOnce(d, QString::fromLatin1(p.tag))));
    }
    QTest::qWait(300);
    for (const QByteArray tag : {"KA", "KB", "KC", "KD", "KE", "TA"})
        QVERIFY2(printedOnce(d, QString::fromLatin1(tag)).isEmpty(),
                 qPrintable(printedOnce(d, QString::fromLatin1(tag))));
    // One receipt of the register holds nothing but one receipt file's sales,
    // and none is left open.
    QVERIFY(!d.err.contains("Driver gi"));
}

void TestRecovery::lostAnswers() {
    Daemon d;
    QVERIFY(d.startSim());
    d.start();
    QVERIFY(waitFor([&] { return d.identified(); }, 10000));
    const QList<std::pair<QByteArray, QByteArray>> lost{
        {"LA", saleLine("LA", 1)}, {"LB", saleLine("LB", 100)}, {"LC", "5/"}};
    for (const auto &[tag, line] : lost) {
        d.sim.control("fault lose=" + line);
        d.drop(receipt(tag));
        QVERIFY2(
            waitFor([&] { return printedOnce(d, QString::fromLatin1(tag)).isEmpty() && d.taken(); }, 40000),
            qPrintable(printedOnce(d, QString::fromLatin1(tag))));
    }
    QTest::qWait(300);
    for (const auto &[tag, line] : lost)
        QVERIFY2(printedOnce(d, QString::fromLatin1(tag)).isEmpty(),
                 qPrintable(printedOnce(d, QString::fromLatin1(tag))));
    // The payment's answer was lost after it printed: the count told, nothing voided.
    int voided = 0;
    for (const QString &doc : documents(d))
        voided += doc.contains(QStringLiteral("ANNULLATO"));
    QCOMPARE(voided, 2);
}

void TestRecovery::slowWritersAndHostileFiles() {
    Daemon d;
    QVERIFY(d.startSim());
    d.start();
    QVERIFY(waitFor([&] { return d.identified(); }, 10000));

    // A line every 300 ms with the file held open.
    {
        QFile f(d.server + QStringLiteral("/scontrino.txt"));
        QVERIFY(f.open(QIODevice::WriteOnly));
        const QByteArray r = receipt("SW", 8);
        for (const QByteArray &line : r.split('\n')) {
            if (line.isEmpty())
                continue;
            f.write(line + '\n');
            f.flush();
            QTest::qWait(300);
        }
        QVERIFY(!d.taken());
    }
    QVERIFY(waitFor([&] { return d.taken() && printedOnce(d, QStringLiteral("SW"), 8).isEmpty(); }, 10000));

    // Appended in pieces, the file opened and closed for each.
    const QByteArray pieces = receipt("SP", 6);
    for (qsizetype at = 0; at < pieces.size(); at += 40) {
        QFile f(d.server + QStringLiteral("/scontrino.txt"));
        QVERIFY(f.open(QIODevice::Append));
        f.write(pieces.mid(at, 40));
        f.close();
        QTest::qWait(40);
    }
    QVERIFY(waitFor([&] { return d.taken() && printedOnce(d, QStringLiteral("SP"), 6).isEmpty(); }, 10000));

    // A link to a file the daemon may read: left alone, named once, nothing of it anywhere.
    QVERIFY(QFile::link(QStringLiteral("/etc/passwd"), d.server + QStringLiteral("/scontrino.txt")));
    QVERIFY(waitFor([&] { return d.err.contains("collegamento"); }, 5000));
    QTest::qWait(600);
    QCOMPARE(d.err.count("collegamento"), 1);
    QVERIFY(QFileInfo(d.server + QStringLiteral("/scontrino.txt")).isSymLink());
    QVERIFY(!d.out.contains("root:"));
    for (const QString &l : d.logLines())
        QVERIFY(!l.contains(QStringLiteral("root:")));
    QFile::remove(d.server + QStringLiteral("/scontrino.txt"));

    // A control character and a CR-only file: the rest of the receipt goes on.
    d.drop("3/S/CR-1//1/0.10/1/4/\r3/S/CR-2\x02//1/0.10/1/4/\r3/S/CR-2//1/0.10/1/4/\r5/1/0.00/////\r");
    QVERIFY(waitFor([&] { return printedOnce(d, QStringLiteral("CR"), 2).isEmpty(); }, 10000));
    QVERIFY(d.err.contains("carattere di controllo 0x02"));
}

QTEST_GUILESS_MAIN(TestRecovery)
#include "tst_recovery.moc"
