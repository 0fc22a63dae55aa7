// The Q520 model of the simulated register, line by line.

#include "ecrsim/Q520Register.h"

#include <QTest>

using ecrsim::Q520Register;

class TestQ520Sim : public QObject {
    Q_OBJECT
private slots:
    void script_data();
    void script();
};

void TestQ520Sim::script_data() {
    // Each step is either "> control line" or "line => expected answer".
    QTest::addColumn<QStringList>("steps");
    QTest::newRow("on-line flag at character 23")
        << QStringList{QStringLiteral("s/ => 00/00/00/Q520/0000000/0/"), QStringLiteral("> q520 online 1"),
                       QStringLiteral("s/ => 00/00/00/Q520/0000000/1/")};
    QTest::newRow("scripted codes by prefix and count")
        << QStringList{QStringLiteral("> q520 answer 0E*2@3/"), QStringLiteral("?/ => 00/00/00/0/"),
                       QStringLiteral("3/S/A//1/1.00/1/4/ => 0E/00/00/0/"),
                       QStringLiteral("3/S/A//1/1.00/1/4/ => 0E/00/00/0/"),
                       QStringLiteral("3/S/A//1/1.00/1/4/ => 00/00/00/1.00/")};
    QTest::newRow("paper bit, then the line goes through")
        << QStringList{QStringLiteral("> q520 paper 1"), QStringLiteral("3/S/A//1/1.00/1/4/ => 00/04/00/0/"),
                       QStringLiteral("3/S/A//1/1.00/1/4/ => 00/00/00/1.00/")};
    QTest::newRow("totals: eleven fields and two more") << QStringList{
        QStringLiteral("7/0/1/X/ => 00/00/00/0/"), QStringLiteral("3/S/A//2/1.25/2/10/ => 00/00/00/2.50/"),
        QStringLiteral("3/R/B//1/0.50/1/4/ => 00/00/00/2.00/"), QStringLiteral("5/1/0/ => 00/00/00/0.00/"),
        QStringLiteral("0/ => 00/00/00/0.00/2.50/0.00/0.00/0.00/2.50/1/1/0.00/0.50/0.00/0/0/")};
}

void TestQ520Sim::script() {
    QFETCH(QStringList, steps);
    Q520Register reg;
    for (const QString &step : steps) {
        if (step.startsWith(u'>')) {
            QCOMPARE(reg.control(step.mid(2).toLatin1()), QByteArray("ok"));
            continue;
        }
        const QString line = step.section(QStringLiteral(" => "), 0, 0);
        QCOMPARE(QString::fromLatin1(reg.execute(line.toLatin1())), step.section(QStringLiteral(" => "), 1));
    }
    QVERIFY(!reg.addScriptedAnswer(QStringLiteral("XYZ")));
    QCOMPARE(reg.control("other"), QByteArray());
}

QTEST_GUILESS_MAIN(TestQ520Sim)
#include "tst_q520sim.moc"
