// --help and --version are answered before anything else; every other
// argument, register command lines such as "-/" included, is the program's.

#include "shell/InfoOptions.h"

#include <QTest>

#include <vector>

using namespace norvvelm;

class TestInfoOptions : public QObject {
    Q_OBJECT
private slots:
    void answered_data();
    void answered();
};

void TestInfoOptions::answered_data() {
    QTest::addColumn<QByteArrayList>("args");
    QTest::addColumn<bool>("answered");
    QTest::newRow("none") << QByteArrayList{} << false;
    QTest::newRow("help") << QByteArrayList{"--help"} << true;
    QTest::newRow("short help") << QByteArrayList{"-h"} << true;
    QTest::newRow("version") << QByteArrayList{"--version"} << true;
    QTest::newRow("short version") << QByteArrayList{"-V"} << true;
    QTest::newRow("after other arguments") << QByteArrayList{"?/", "--version"} << true;
    QTest::newRow("test mode") << QByteArrayList{"/TESTMODE"} << false;
    QTest::newRow("register line starting with a dash") << QByteArrayList{"-/1/", "-h/"} << false;
    QTest::newRow("after --") << QByteArrayList{"--", "--help"} << false;
    QTest::newRow("near misses") << QByteArrayList{"--helpme", "-v", "--ver"} << false;
}

void TestInfoOptions::answered() {
    QFETCH(QByteArrayList, args);
    QFETCH(bool, answered);
    std::vector<const char *> argv{"prog"};
    for (const QByteArray &a : args)
        argv.push_back(a.constData());
    const auto rc = answerInfoOption(int(argv.size()), argv.data(), QStringLiteral("prog"),
                                     QStringLiteral("usage: prog"));
    QCOMPARE(rc.has_value(), answered);
    if (rc)
        QCOMPARE(*rc, 0);
}

QTEST_GUILESS_MAIN(TestInfoOptions)
#include "tst_infooptions.moc"
