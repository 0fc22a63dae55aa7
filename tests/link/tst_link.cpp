// The link protocol against the simulated register, in virtual time.

#include "ecrsim/Register.h"
#include "ecrsim/SimLink.h"
#include "link/Ansi.h"
#include "link/ClockTimer.h"
#include "link/Deadlines.h"
#include "link/EcrErrors.h"
#include "link/SerialFunz2.h"
#include "support/SimComPort.h"
#include "support/VirtualClock.h"

#include <QTest>

using namespace norvvelm;

namespace {
struct Rig {
    ecrsim::Register reg;
    ecrsim::SimLink sim{reg};
    testsupport::VirtualClock clock;
    testsupport::SimComPort port{sim, clock};
    SerialFunz2 link{port, clock};
    Rig() { link.OpenComPort(QStringLiteral("/dev/null"), 9600); }
};
} // namespace

class TestLink : public QObject {
    Q_OBJECT
private slots:
    void checksum_data();
    void checksum();
    void exchangeStatus_data();
    void exchangeStatus();
    void answerLengthLimits();
    void silentHuntEndsAtOnce();
    void strayEnquiryReplyCostsOneAttempt();
    void waitComData();
    void writeNothingForEmptyString();
    void registerNaksBadChecksum();
    void exchangeGuard();
    void errorTable_data();
    void errorTable();
    void errorTableRows();
    void ansiRoundTrip();
    void deadlines();
};

void TestLink::checksum_data() {
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<int>("sum");
    QTest::addColumn<QByteArray>("frame");
    QTest::newRow("status") << QByteArray("?/") << 10 << QByteArray("\x02?/10\x03");
    // 3 x 'z' (122) = 366 -> 110 mod 256 -> 10; "zzz{" = 489 -> 233 -> 33
    QTest::newRow("wraps at 256") << QByteArray("zzz{") << 33 << QByteArray("\x02zzz{33\x03");
    QTest::newRow("leading zero") << QByteArray("\x05") << 5
                                  << QByteArray("\x02\x05"
                                                "05\x03");
    QTest::newRow("empty") << QByteArray() << 0
                           << QByteArray("\x02"
                                         "00\x03");
    // 3/S/REPARTO1//1/5.26/1/4/ is a typical sale line
    QTest::newRow("sale") << QByteArray("3/S/REPARTO1//1/5.26/1/4/") << 73
                          << QByteArray("\x02"
                                        "3/S/REPARTO1//1/5.26/1/4/73\x03");
}

void TestLink::checksum() {
    QFETCH(QByteArray, line);
    QFETCH(int, sum);
    QFETCH(QByteArray, frame);
    QCOMPARE(SerialFunz2::FrameChecksum(line), sum);
    QCOMPARE(SerialFunz2::BuildFrame(line), frame);
}

void TestLink::exchangeStatus_data() {
    QTest::addColumn<QStringList>("faults");
    QTest::addColumn<int>("status");
    QTest::addColumn<int>("enquiries");
    QTest::addColumn<qint64>("minElapsed");
    QTest::addColumn<qint64>("maxElapsed");
    QTest::newRow("ok") << QStringList{} << 0 << 1 << qint64(10) << qint64(20);
    QTest::newRow("1001 frame nak") << QStringList{"frame:nak"} << 1001 << 1 << qint64(10) << qint64(20);
    QTest::newRow("1002 enquiry can at once")
        << QStringList{"enq:can"} << 1002 << 1 << qint64(10) << qint64(20);
    QTest::newRow("1003 frame can") << QStringList{"frame:can"} << 1003 << 1 << qint64(10) << qint64(20);
    QTest::newRow("1004 enquiry silent")
        << QStringList{"enq:silent*3"} << 1004 << 3 << qint64(3 * 1010) << qint64(3 * 1030);
    QTest::newRow("1004 enquiry answered by stray bytes")
        << QStringList{"enq:byte=0x41*3"} << 1004 << 3 << qint64(30) << qint64(60);
    QTest::newRow("1005 no answer") << QStringList{"answer:silent"} << 1005 << 1 << qint64(2010)
                                    << qint64(2030);
    QTest::newRow("1006 short answer thrice")
        << QStringList{"answer:short*3"} << 1006 << 1 << qint64(10) << qint64(30);
    QTest::newRow("1007 frame unanswered")
        << QStringList{"frame:silent*3"} << 1007 << 1 << qint64(10 + 3 * 2000) << qint64(10 + 3 * 2010);
    QTest::newRow("short once then ok") << QStringList{"answer:short"} << 0 << 1 << qint64(10) << qint64(30);
    QTest::newRow("inter-character time-out then ok")
        << QStringList{"answer:pause=5,600"} << 0 << 1 << qint64(510) << qint64(1300);
    QTest::newRow("1006 inter-character time-out thrice")
        << QStringList{"answer:pause=5,600*3"} << 1006 << 1 << qint64(1500) << qint64(2000);
    QTest::newRow("noise before STX is skipped")
        << QStringList{"answer:noise=abc"} << 0 << 1 << qint64(10) << qint64(20);
}

void TestLink::exchangeStatus() {
    QFETCH(QStringList, faults);
    QFETCH(int, status);
    QFETCH(int, enquiries);
    QFETCH(qint64, minElapsed);
    QFETCH(qint64, maxElapsed);
    Rig rig;
    for (const QString &f : std::as_const(faults)) {
        QString error;
        QVERIFY2(rig.sim.addFaultRule(f, &error), qPrintable(error));
    }
    QString answer;
    QCOMPARE(rig.link.ExchangeCommand(QStringLiteral("?/"), answer), status);
    QCOMPARE(rig.sim.enquiries(), enquiries);
    QVERIFY2(rig.clock.nowMs() >= minElapsed && rig.clock.nowMs() <= maxElapsed,
             qPrintable(QString::number(rig.clock.nowMs())));
    if (status == 0)
        QCOMPARE(answer, QStringLiteral("00/00/00/0/"));
}

void TestLink::answerLengthLimits() {
    {
        // Exactly 11 characters are accepted and acknowledged.
        Rig rig;
        rig.sim.addFaultRule(QStringLiteral("answer:text=00/00/00/12"));
        QString answer;
        QCOMPARE(rig.link.ExchangeCommand(QStringLiteral("?/"), answer), 0);
        QCOMPARE(answer, QStringLiteral("00/00/00/12"));
        QCOMPARE(rig.port.written.right(1), QByteArray(1, char(ctl::ACK)));
        QCOMPARE(rig.sim.answerResends(), 0);
    }
    {
        // Ten characters are refused with NAK; the register sends it again.
        Rig rig;
        rig.sim.addFaultRule(QStringLiteral("answer:text=00/00/00/1"));
        QString answer;
        QCOMPARE(rig.link.ExchangeCommand(QStringLiteral("?/"), answer), 0);
        QCOMPARE(rig.sim.answerResends(), 1);
        QCOMPARE(answer, QStringLiteral("00/00/00/0/"));
    }
    {
        // Over 2047 characters: cut to 2047 and accepted without its ETX.
        Rig rig;
        rig.sim.addFaultRule(QStringLiteral("answer:long"));
        QString answer;
        QCOMPARE(rig.link.ExchangeCommand(QStringLiteral("?/"), answer), 0);
        QCOMPARE(answer.size(), 2047);
        QVERIFY(answer.startsWith(QStringLiteral("00/00/00/LLL")));
        QCOMPARE(rig.sim.answerResends(), 0);
    }
    {
        // Three refused attempts: 1006, the answer holds the last attempt.
        Rig rig;
        rig.sim.addFaultRule(QStringLiteral("answer:short*3"));
        QString answer;
        QCOMPARE(rig.link.ExchangeCommand(QStringLiteral("?/"), answer), 1006);
        QCOMPARE(answer, QStringLiteral("00/00/00/1"));
        QCOMPARE(rig.port.written.count(char(ctl::NAK)), 3);
        QCOMPARE(rig.port.written.count(char(ctl::ACK)), 0);
    }
}

void TestLink::silentHuntEndsAtOnce() {
    // Stray bytes, then silence: 1005 after one 2000 ms wait, and no NAK sent.
    Rig rig;
    rig.sim.addFaultRule(QStringLiteral("answer:noise=xyz"));
    ecrsim::AnswerFault f;
    f.silent = true;
    f.noise = "xyz";
    rig.sim.clearFaults();
    rig.sim.pushAnswerFault(f);
    QString answer;
    QCOMPARE(rig.link.ExchangeCommand(QStringLiteral("?/"), answer), 1005);
    QVERIFY(rig.clock.nowMs() < 2100);
    QCOMPARE(rig.port.written.count(char(ctl::NAK)), 0);
}

void TestLink::strayEnquiryReplyCostsOneAttempt() {
    Rig rig;
    rig.sim.addFaultRule(QStringLiteral("enq:byte=0x41"));
    QCOMPARE(rig.link.SendEnquiry(), 0);
    QCOMPARE(rig.sim.enquiries(), 2);
    // Every attempt starts with three CAN and one ENQ.
    QCOMPARE(rig.port.written, QByteArray("\x18\x18\x18\x05\x18\x18\x18\x05"));
}

void TestLink::waitComData() {
    Rig rig;
    // Nothing queued: time-out 0 still checks once, then gives up.
    QCOMPARE(rig.link.WaitComData(0), 0);
    QVERIFY(rig.clock.nowMs() <= 2);
    // A byte already queued returns at once without waiting.
    rig.link.WriteComByte(ctl::ENQ);
    const qint64 before = rig.clock.nowMs();
    QCOMPARE(rig.link.WaitComData(1000), 1);
    QCOMPARE(rig.clock.nowMs(), before);
    QCOMPARE(rig.link.ReadComByte(), ctl::ACK);
    // Nothing to read reads as 0.
    QCOMPARE(rig.link.ReadComByte(), quint8(0));
    // Pending events run while waiting.
    int pumped = 0;
    SerialFunz2 pumping(rig.port, rig.clock, [&] { ++pumped; });
    QCOMPARE(pumping.WaitComData(50), 0);
    QVERIFY(pumped >= 5);
}

void TestLink::writeNothingForEmptyString() {
    Rig rig;
    rig.link.WriteComString({});
    QVERIFY(rig.port.written.isEmpty());
    rig.link.WriteComString("ab");
    QCOMPARE(rig.port.written, QByteArray("ab"));
}

void TestLink::registerNaksBadChecksum() {
    ecrsim::Register reg;
    ecrsim::SimLink sim(reg);
    sim.receive(QByteArray("\x02?/11\x03"), 0);
    QCOMPARE(sim.takeOutput(0), QByteArray(1, char(ctl::NAK)));
    QCOMPARE(sim.badChecksums(), 1);
    QVERIFY(sim.commandsExecuted().isEmpty());
    // The good frame is acknowledged and answered; the PC's NAK gets it again.
    sim.receive(SerialFunz2::BuildFrame("?/"), 0);
    const QByteArray answer = QByteArray("\x06\x02") + "00/00/00/0/" + "\x03";
    QCOMPARE(sim.takeOutput(0), answer);
    sim.receive(ctl::NAK, 1);
    QCOMPARE(sim.takeOutput(1), answer.mid(1));
}

void TestLink::exchangeGuard() {
    Rig rig;
    SerialFunz2::Exchange outer(rig.link);
    QVERIFY(outer.acquired());
    QVERIFY(rig.link.lineBusy());
    {
        SerialFunz2::Exchange nested(rig.link);
        QVERIFY(!nested.acquired());
    }
    QVERIFY(rig.link.lineBusy());
}

void TestLink::errorTable_data() {
    QTest::addColumn<QString>("code");
    QTest::addColumn<int>("cls");
    QTest::addColumn<QString>("message");
    QTest::newRow("empty") << QString() << 0 << QString();
    QTest::newRow("zero") << QStringLiteral("0") << 0 << QString();
    QTest::newRow("1A busy") << QStringLiteral("1A") << 1 << QStringLiteral("Busy, reinvia il comando");
    QTest::newRow("1a busy") << QStringLiteral("1a") << 1 << QStringLiteral("Busy, reinvia il comando");
    QTest::newRow("31 paper") << QStringLiteral("31") << 4 << QStringLiteral("Carta finita");
    QTest::newRow("32 cover") << QStringLiteral("32") << 4 << QStringLiteral("Portello rotolo aperto");
    QTest::newRow("48 gap") << QStringLiteral("48") << 0 << QString();
    QTest::newRow("51 gap") << QStringLiteral("51") << 0 << QString();
    QTest::newRow("50") << QStringLiteral("50") << 2 << QStringLiteral("Parola (TOTALE) non ammessa");
    QTest::newRow("81 above") << QStringLiteral("81") << 0 << QString();
    QTest::newRow("FF above") << QStringLiteral("FF") << 0 << QString();
    QTest::newRow("not hex") << QStringLiteral("G1") << 0 << QString();
    QTest::newRow("prefix") << QStringLiteral("0x1A") << 0 << QString();
    QTest::newRow("0D apostrophe") << QStringLiteral("0D") << 2
                                   << QStringLiteral("The requested Fiscal record doesn\u2019t exist");
    QTest::newRow("6D space") << QStringLiteral("6D") << 2
                              << QStringLiteral("No transactions in the receipt .");
    QTest::newRow("64 accent") << QStringLiteral("64") << 2
                               << QStringLiteral("Quantit\u00e0 superiore al consentito");
    QTest::newRow("37 fatal") << QStringLiteral("37") << 9 << QStringLiteral("Fatal error");
    QTest::newRow("80 last") << QStringLiteral("80") << 2
                             << QStringLiteral("Coupon discount in subtotal is not allowed.");
    QTest::newRow("padded") << QStringLiteral(" 05 ") << 2
                            << QStringLiteral("Controllare i campi del comando");
}

void TestLink::errorTable() {
    QFETCH(QString, code);
    QFETCH(int, cls);
    QFETCH(QString, message);
    const EcrError e = DescribeEcrError(code);
    QCOMPARE(int(e.errorClass), cls);
    QCOMPARE(e.message, message);
}

void TestLink::errorTableRows() {
    // 101 rows between 01 and 80, none in the gaps 48-4F and 51-63.
    int rows = 0;
    for (int code = 1; code <= 255; ++code) {
        const EcrError e = DescribeEcrError(QString::number(code, 16).rightJustified(2, u'0'));
        const bool gap = (code >= 0x48 && code <= 0x4F) || (code >= 0x51 && code <= 0x63) || code > 0x80;
        QCOMPARE(e.errorClass == ErrorClass::None, gap);
        QCOMPARE(e.message.isEmpty(), gap);
        rows += !gap;
    }
    QCOMPARE(rows, 101);
}

void TestLink::ansiRoundTrip() {
    const QString text = QStringLiteral("Caff\u00e8 \u20ac 5 \u2019 \u4e2d");
    const QByteArray ansi = toAnsi(text);
    QCOMPARE(ansi, QByteArray("Caff\xe8 \x80 5 \x92 ?"));
    QCOMPARE(fromAnsi(ansi), QStringLiteral("Caff\u00e8 \u20ac 5 \u2019 ?"));
    // A file that is valid UTF-8 and one in Windows-1252 read the same.
    QCOMPARE(decodeTextFile(QByteArray("Caff\xc3\xa8")), QStringLiteral("Caff\u00e8"));
    QCOMPARE(decodeTextFile(QByteArray("Caff\xe8")), QStringLiteral("Caff\u00e8"));
}

void TestLink::deadlines() {
    testsupport::VirtualClock clock;
    Deadlines d(clock);
    clock.onAdvance = [&](qint64) { d.check(); };
    QStringList ran;
    d.after(300, [&] { ran << "c"; });
    const Deadlines::Id b = d.after(200, [&] { ran << "b"; });
    d.after(100, [&] {
        ran << "a";
        // Added already due: runs in the same check; a check inside does nothing.
        d.after(0, [&] { ran << "a0"; });
        QCOMPARE(d.check(), 0);
    });
    const Deadlines::Id gone = d.after(150, [&] { ran << "cancelled"; });
    d.cancel(gone);
    d.cancel(gone); // twice, or after it ran: nothing
    clock.advance(99);
    QVERIFY(ran.isEmpty());
    QVERIFY(d.pending(b));
    clock.advance(151); // at 250: due at 100, 200 and (added at 250) 250
    QCOMPARE(ran, (QStringList{"a", "b", "a0"}));
    QVERIFY(!d.pending(b));
    QCOMPARE(d.count(), 1);
    clock.advance(1000);
    QCOMPARE(ran.last(), QStringLiteral("c"));
    QCOMPARE(d.count(), 0);

    // A timer restarted from its own action, stopped, and gone with its owner.
    int fired = 0;
    {
        ClockTimer t(d, [&] { ++fired; });
        t.start(50);
        t.start(100); // in place of the first
        clock.advance(60);
        QCOMPARE(fired, 0);
        clock.advance(40);
        QCOMPARE(fired, 1);
        QVERIFY(!t.isActive());
        t.start(10);
        QVERIFY(t.isActive());
    }
    clock.advance(10);
    QCOMPARE(fired, 1);
    QCOMPARE(d.count(), 0);

    // On the wall clock the event loop wakes the check.
    RealClock wall;
    Deadlines w(wall);
    bool woke = false;
    w.after(1, [&] { woke = true; });
    QTRY_VERIFY(woke);
}

QTEST_GUILESS_MAIN(TestLink)
#include "tst_link.moc"
