#include "q520driver/Q520Protocol.h"

#include <QTest>

using namespace q520;

Q_DECLARE_METATYPE(QList<QByteArray>)

class TestQ520Protocol : public QObject {
    Q_OBJECT
private slots:
    void checksum_data();
    void checksum();
    void frameLayout();
    void ansiText_data();
    void ansiText();
    void receiptFileDecoding();
    void errorNumber_data();
    void errorNumber();
    void receiver_data();
    void receiver();
    void overlongAnswerIsDropped();
};

void TestQ520Protocol::checksum_data() {
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<int>("sum");
    QTest::newRow("status") << QByteArray("?/") << 10;
    QTest::newRow("empty") << QByteArray() << 0;
    QTest::newRow("below ten") << QByteArray("\x05") << 5;
    // 200 + 100 = 300 wraps to 44 at 256
    QTest::newRow("wraps at 256") << QByteArray("\xC8\x64") << 44;
}

void TestQ520Protocol::checksum() {
    QFETCH(QByteArray, line);
    QFETCH(int, sum);
    QCOMPARE(frameChecksum(line), sum);
}

void TestQ520Protocol::frameLayout() {
    QCOMPARE(buildFrame("?/"), QByteArray("\x02?/10\x03"));
    QCOMPARE(buildFrame("\x05"), QByteArray("\x02\x05"
                                            "05\x03"));
}

void TestQ520Protocol::ansiText_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("ascii") << QStringLiteral("3/S/PANE/") << QByteArray("3/S/PANE/");
    QTest::newRow("latin") << QStringLiteral("CAFFÈ già") << QByteArray("CAFF\xC8 gi\xE0");
    QTest::newRow("euro") << QStringLiteral("5 €") << QByteArray("5 \x80");
    QTest::newRow("quotes") << QStringLiteral("“x”") << QByteArray("\x93x\x94");
}

void TestQ520Protocol::ansiText() {
    QFETCH(QString, text);
    QFETCH(QByteArray, bytes);
    QCOMPARE(toAnsi(text), bytes);
    QCOMPARE(fromAnsi(bytes), text);
}

void TestQ520Protocol::receiptFileDecoding() {
    QCOMPARE(decodeReceiptText(QByteArray("3/S/CAFF\xC3\x88/")), QStringLiteral("3/S/CAFFÈ/"));
    QCOMPARE(decodeReceiptText(QByteArray("3/S/CAFF\xC8/")), QStringLiteral("3/S/CAFFÈ/"));
    // characters the register lacks go out as "?"
    QCOMPARE(toAnsi(decodeReceiptText(QByteArray("3/S/\xE2\x9C\x93/"))), QByteArray("3/S/?/"));
}

void TestQ520Protocol::errorNumber_data() {
    QTest::addColumn<QString>("code");
    QTest::addColumn<int>("number");
    QTest::newRow("00") << QStringLiteral("00") << 0;
    QTest::newRow("2C") << QStringLiteral("2C") << 44;
    QTest::newRow("0E") << QStringLiteral("0E") << 14;
    QTest::newRow("FF") << QStringLiteral("FF") << 255;
    QTest::newRow("lower case counts 0") << QStringLiteral("2c") << 32;
    QTest::newRow("not hex") << QStringLiteral("Z1") << 1;
}

void TestQ520Protocol::errorNumber() {
    QFETCH(QString, code);
    QFETCH(int, number);
    QCOMPARE(q520::errorNumber(code), number);
}

void TestQ520Protocol::receiver_data() {
    QTest::addColumn<QList<QByteArray>>("reads");
    QTest::addColumn<QList<Message>>("messages");
    QTest::addColumn<QStringList>("logged");
    using K = Message::Kind;
    const Message ack{K::Ack, {}};
    const Message nak{K::Nak, {}};
    const Message ans{K::Answer, QStringLiteral("00/00/0000/")};
    QTest::newRow("ACK with the answer behind it") << QList<QByteArray>{"\x06\x02"
                                                                        "00/00/0000/\x03"}
                                                   << QList<Message>{ack, ans} << QStringList{};
    QTest::newRow("answer over several reads") << QList<QByteArray>{"\x02"
                                                                    "00/0",
                                                                    "0/00", "00/\x03"}
                                               << QList<Message>{ans} << QStringList{};
    QTest::newRow("two answers in one read") << QList<QByteArray>{"\x02"
                                                                  "00/00/0000/\x03\x02"
                                                                  "00/00/0000/\x03"}
                                             << QList<Message>{ans, ans} << QStringList{};
    QTest::newRow("NUL alone is ACK")
        << QList<QByteArray>{QByteArray(1, '\0')} << QList<Message>{ack} << QStringList{};
    QTest::newRow("NAK") << QList<QByteArray>{"\x15"} << QList<Message>{nak} << QStringList{};
    QTest::newRow("ETX without STX waits")
        << QList<QByteArray>{"0000/\x03"} << QList<Message>{} << QStringList{};
    QTest::newRow("tail of a broken answer, then a whole one")
        << QList<QByteArray>{"0000/\x03", "\x02"
                                          "00/00/0000/\x03"}
        << QList<Message>{ans}
        << QStringList{QStringLiteral("Ricevuto messaggio incompleto: 0000/<ETX>"),
                       QStringLiteral("Messaggio sistemato: 00/00/0000/")};
    QTest::newRow("answer cut by a new STX")
        << QList<QByteArray>{"\x02"
                             "00/0\x02"
                             "00/00/0000/\x03"}
        << QList<Message>{ans}
        << QStringList{QStringLiteral("Ricevuto messaggio incompleto: <STX>00/0"),
                       QStringLiteral("Messaggio sistemato: 00/00/0000/")};
    QTest::newRow("control bytes inside an answer are text")
        << QList<QByteArray>{"\x02"
                             "00/\x06x\x03"}
        << QList<Message>{{K::Answer, QStringLiteral("00/\x06x")}} << QStringList{};
}

void TestQ520Protocol::receiver() {
    QFETCH(QList<QByteArray>, reads);
    QFETCH(QList<Message>, messages);
    QFETCH(QStringList, logged);
    Receiver r;
    QStringList log;
    r.log = [&](const QString &t) { log.append(t); };
    QList<Message> got;
    for (const QByteArray &b : reads)
        got += r.feed(b);
    QCOMPARE(got, messages);
    QCOMPARE(log, logged);
}

void TestQ520Protocol::overlongAnswerIsDropped() {
    Receiver r;
    QStringList log;
    r.log = [&](const QString &t) { log.append(t); };
    QVERIFY(r.feed(kStx + QByteArray(kMaxAnswerLength, 'x')).isEmpty());
    QVERIFY(log.isEmpty());
    QVERIFY(r.feed("y").isEmpty());
    QCOMPARE(log.size(), 1);
    QVERIFY(log.front().startsWith(QStringLiteral("Ricevuto messaggio incompleto: <STX>xxx")));
    // the next whole answer is taken as usual
    QCOMPARE(r.feed("\x03\x02"
                    "00/\x03")
                 .size(),
             1);
}

QTEST_GUILESS_MAIN(TestQ520Protocol)
#include "tst_q520protocol.moc"
