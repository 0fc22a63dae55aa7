#include "programming/PluFile.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace norvvelm;

class TstPluFile : public QObject {
    Q_OBJECT
private slots:
    void saveNeverReplaces();
    void roundTrip();
    void records_data();
    void records();
    void malformed();
};

namespace {
PluRow row(const QString &code) {
    PluRow r;
    const QStringList cells = {code,
                               QStringLiteral("CAFFE"),
                               QStringLiteral("1"),
                               QStringLiteral("0"),
                               QStringLiteral("1.2"),
                               QStringLiteral("0"),
                               QStringLiteral("0"),
                               QStringLiteral("00000000"),
                               QStringLiteral("3"),
                               QStringLiteral("3.6")};
    for (int i = 0; i < 10; ++i)
        r[size_t(i)] = cells.at(i);
    return r;
}
QByteArray read(const QString &path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}
} // namespace

void TstPluFile::saveNeverReplaces() {
    QTemporaryDir dir;
    const QString path = PluFile::defaultPath(dir.path());
    QCOMPARE(path, dir.filePath(QStringLiteral("plu.txt")));
    QList<int> progress;
    QCOMPARE(PluFile::save(path, {row(QStringLiteral("8001")), row(QStringLiteral("8002"))}, nullptr,
                           [&](int r) { progress << r; }),
             PluFile::SaveResult::Saved);
    QCOMPARE(read(path), QByteArray("8001/CAFFE/1/0/1.2/0/0/00000000/3/3.6/\r\n"
                                    "8002/CAFFE/1/0/1.2/0/0/00000000/3/3.6/\r\n"));
    QCOMPARE(progress, QList<int>({1, 2}));
    QCOMPARE(PluFile::save(path, {}, nullptr), PluFile::SaveResult::Exists);
    QCOMPARE(read(path).size(), 2 * 40);
    QString error;
    QCOMPARE(PluFile::save(dir.filePath(QStringLiteral("no/such/plu.txt")), {}, &error),
             PluFile::SaveResult::Failed);
    QVERIFY(!error.isEmpty());
}

void TstPluFile::roundTrip() {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("plu.txt"));
    PluRow accented = row(QStringLiteral("8003"));
    accented[1] = QStringLiteral("CAFFÈ");
    QCOMPARE(PluFile::save(path, {accented}), PluFile::SaveResult::Saved);
    QVERIFY(read(path).contains("CAFF\xC8/")); // one byte on the register's code page
    QList<PluRow> rows;
    QCOMPARE(PluFile::load(path, rows), PluFile::LoadResult::Loaded);
    QCOMPARE(rows.size(), 1);
    QCOMPARE(rows[0][1], QStringLiteral("CAFFÈ"));
    QCOMPARE(rows[0][7], QStringLiteral("00000000"));
    QCOMPARE(rows[0][8], QString()); // the counters are not loaded
    QCOMPARE(PluFile::load(dir.filePath(QStringLiteral("none.txt")), rows), PluFile::LoadResult::Missing);
    QCOMPARE(PluFile::load(dir.path(), rows), PluFile::LoadResult::Missing);
}

void TstPluFile::records_data() {
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QStringList>("codes");
    QTest::addColumn<QStringList>("descriptions");
    QTest::newRow("short in between leaves an empty row")
        << QByteArray("1/CAFFE/1/0/1.2/0/0/0/\r\nSHORT/\r\n2/TE/1/0/1.5/0/0/0/\r\n")
        << QStringList{QStringLiteral("1"), QStringLiteral(""), QStringLiteral("2")}
        << QStringList{QStringLiteral("CAFFE"), QStringLiteral(""), QStringLiteral("TE")};
    QTest::newRow("short last leaves no row")
        << QByteArray("1/CAFFE/1/0/1.2/0/0/0/\n\nx\n") << QStringList{QStringLiteral("1")}
        << QStringList{QStringLiteral("CAFFE")};
    QTest::newRow("comma cuts the line")
        << QByteArray("8001234567/CAFFE, TE E LATTE/1/0/1/0/0/0/\r\n")
        << QStringList{QStringLiteral("8001234567")} << QStringList{QStringLiteral("CAFFE")};
    QTest::newRow("quoted field keeps its comma")
        << QByteArray("\"1/CAFFE, TE/1/0/1/0/0/0/\",junk\r\n") << QStringList{QStringLiteral("1")}
        << QStringList{QStringLiteral("CAFFE, TE")};
    QTest::newRow("final slash added")
        << QByteArray("12345/ACQUA MINERALE") << QStringList{QStringLiteral("12345")}
        << QStringList{QStringLiteral("ACQUA MINERALE")};
    QTest::newRow("UTF-8 file") << QByteArray("7/CAFF\xC3\x88 LUNGO/1/0/1/0/0/0/\n")
                                << QStringList{QStringLiteral("7")}
                                << QStringList{QStringLiteral("CAFFÈ LUNGO")};
}

void TstPluFile::records() {
    QFETCH(QByteArray, content);
    QFETCH(QStringList, codes);
    QFETCH(QStringList, descriptions);
    const QList<PluRow> rows = PluFile::parse(content);
    QCOMPARE(rows.size(), codes.size());
    for (int i = 0; i < rows.size(); ++i) {
        QCOMPARE(rows[i][0], codes[i]);
        QCOMPARE(rows[i][1], descriptions[i]);
    }
}

void TstPluFile::malformed() {
    // Binary noise: rows of whatever it holds, never more than a table.
    QByteArray noise;
    for (int i = 0; i < 200000; ++i)
        noise.append(char((i * 7919) % 256));
    const QList<PluRow> rows = PluFile::parse(noise);
    QVERIFY(rows.size() <= PluFile::kMaxRecords);
    // More lines than the register has PLUs: the rest is not read.
    QByteArray many;
    for (int i = 1; i <= 9100; ++i)
        many += QByteArray::number(i) + "/ARTICOLO LUNGO/1/0/1/0/0/0/\n";
    QList<int> progress;
    const QList<PluRow> table = PluFile::parse(many, [&](int k) { progress << k; });
    QCOMPARE(table.size(), PluFile::kMaxRecords);
    QCOMPARE(table.last()[0], QStringLiteral("9000"));
    QCOMPARE(progress.size(), PluFile::kMaxRecords);
    // An unterminated quote runs to the line end only.
    const QList<PluRow> q = PluFile::parse("\"1/APERTA/1/0/1/0/0/0/\n2/SECONDA RIGA/1/0/1/0/0/0/\n");
    QCOMPARE(q.size(), 2);
    QCOMPARE(q[1][1], QStringLiteral("SECONDA RIGA"));
}

QTEST_GUILESS_MAIN(TstPluFile)
#include "tst_plufile.moc"
