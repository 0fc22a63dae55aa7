// Looking for registers on ports by themselves: on virtual time against the
// simulated register in memory and scripted devices, and over real
// pseudo-terminals against the ecrsim program, a silent line and a device that
// answers anything with noise.

#include "ecrsim/Register.h"
#include "ecrsim/SimLink.h"
#include "link/SerialComPort.h"
#include "link/SerialFunz2.h"
#include "shell/RegisterDetection.h"
#include "support/EcrSimProcess.h"
#include "support/RawPty.h"
#include "support/SimComPort.h"
#include "support/VirtualClock.h"

#include <QTemporaryDir>
#include <QTest>

#include <atomic>
#include <poll.h>
#include <thread>
#include <unistd.h>

using namespace norvvelm;
using Outcome = DetectedPort::Outcome;

namespace {

// A device that is not a register: it says nothing, or answers every byte
// with a modem's noise; it may be held by another program or be missing.
class ScriptedDevice final : public ComPort {
public:
    enum class Kind { Silent, Noise, Acks, Held, Missing };
    ScriptedDevice(Kind kind, QByteArray &written, testsupport::VirtualClock &clock)
        : m_kind(kind), m_written(written), m_clock(clock) {}
    bool open(const QString &, qint32) override {
        m_open = m_kind != Kind::Held && m_kind != Kind::Missing;
        return m_open;
    }
    void close() override { m_open = false; }
    bool isOpen() const override { return m_open; }
    bool writeByte(quint8 byte) override {
        m_written.append(char(byte));
        if (m_kind == Kind::Noise)
            m_inbox.append("\r\nERROR\r\n");
        if (m_kind == Kind::Acks && (byte == 0x05 || byte == 0x03))
            m_inbox.append('\x06');
        return true;
    }
    bool readByte(quint8 &byte) override {
        if (m_inbox.isEmpty())
            return false;
        byte = quint8(m_inbox.front());
        m_inbox.remove(0, 1);
        return true;
    }
    qint64 bytesQueued() override { return m_inbox.size(); }
    bool waitForData(int ms) override {
        if (m_inbox.isEmpty())
            m_clock.advance(ms);
        return !m_inbox.isEmpty();
    }
    void purge() override { m_inbox.clear(); }
    QString errorText() const override {
        return m_kind == Kind::Held ? QStringLiteral("occupata da un altro programma")
                                    : QStringLiteral("dispositivo inesistente");
    }
    bool heldElsewhere() const override { return m_kind == Kind::Held; }

private:
    Kind m_kind;
    QByteArray &m_written;
    testsupport::VirtualClock &m_clock;
    QByteArray m_inbox;
    bool m_open = false;
};

// Only the enquiry (its clearing CANs and the ENQ) went out.
bool onlyEnquiry(const QByteArray &bytes) {
    for (const char b : bytes)
        if (b != '\x18' && b != '\x05')
            return false;
    return true;
}

} // namespace

class TestRegisterDetection : public QObject {
    Q_OBJECT
private slots:
    void onVirtualTime_data();
    void onVirtualTime();
    void overPseudoTerminals_data();
    void overPseudoTerminals();
    void speedsAndMarks();
};

void TestRegisterDetection::onVirtualTime_data() {
    QTest::addColumn<QString>("device");
    QTest::addColumn<int>("outcome");
    QTest::addColumn<QString>("line");
    QTest::newRow("register") << QStringLiteral("reg") << int(Outcome::Register)
                              << QStringLiteral("reg 9600 NV00012345 ");
    QTest::newRow("silent") << QStringLiteral("silent") << int(Outcome::Silent)
                            << QStringLiteral("silent - nessuna risposta");
    QTest::newRow("noise") << QStringLiteral("noise") << int(Outcome::Garbage)
                           << QStringLiteral("noise - risposta non riconosciuta");
    QTest::newRow("acknowledges, never answers")
        << QStringLiteral("acks") << int(Outcome::Unidentified)
        << QStringLiteral("acks - risponde ma non si identifica: Err. 1005");
    QTest::newRow("held") << QStringLiteral("held") << int(Outcome::Busy)
                          << QStringLiteral("held - occupata da un altro programma: non toccata");
    QTest::newRow("missing") << QStringLiteral("missing") << int(Outcome::NotOpened)
                             << QStringLiteral("missing - non apribile: dispositivo inesistente");
}

void TestRegisterDetection::onVirtualTime() {
    QFETCH(QString, device);
    QFETCH(int, outcome);
    QFETCH(QString, line);
    ecrsim::Register reg;
    ecrsim::SimLink sim{reg};
    testsupport::VirtualClock clock;
    QByteArray written;
    RegisterDetection detection(clock, [&]() -> std::unique_ptr<ComPort> {
        if (device == QLatin1String("reg"))
            return std::make_unique<testsupport::SimComPort>(sim, clock);
        const auto kind = device == QLatin1String("silent")  ? ScriptedDevice::Kind::Silent
                          : device == QLatin1String("noise") ? ScriptedDevice::Kind::Noise
                          : device == QLatin1String("acks")  ? ScriptedDevice::Kind::Acks
                          : device == QLatin1String("held")  ? ScriptedDevice::Kind::Held
                                                             : ScriptedDevice::Kind::Missing;
        return std::make_unique<ScriptedDevice>(kind, written, clock);
    });
    const QList<DetectedPort> found = detection.DetectRegisters({device}, {9600, 115200, 230400});
    QCOMPARE(found.size(), 1);
    QCOMPARE(int(found.first().outcome), outcome);
    QVERIFY2(DetectionLine(found.first()).startsWith(line), qPrintable(DetectionLine(found.first())));
    if (outcome == int(Outcome::Register)) {
        QCOMPARE(sim.commandsExecuted(), QList<QByteArray>{"a/"});
    } else if (outcome == int(Outcome::Unidentified)) {
        // Past an acknowledged enquiry only the identification goes out, at each speed.
        QCOMPARE(written,
                 QByteArray(QByteArray("\x18\x18\x18\x05") + SerialFunz2::BuildFrame("a/")).repeated(3));
    } else {
        QVERIFY2(onlyEnquiry(written), written.toHex().constData());
        // Each speed once, briefly: three speeds cost well under the link's own 3 s.
        QVERIFY(clock.nowMs() < 1500);
    }
    if (outcome == int(Outcome::Busy) || outcome == int(Outcome::NotOpened))
        QVERIFY(written.isEmpty());
}

void TestRegisterDetection::overPseudoTerminals_data() {
    QTest::addColumn<int>("row"); // which port of the four
    QTest::addColumn<int>("outcome");
    QTest::newRow("ecrsim") << 0 << int(Outcome::Register);
    QTest::newRow("silent") << 1 << int(Outcome::Silent);
    QTest::newRow("noise") << 2 << int(Outcome::Garbage);
    QTest::newRow("held by another program") << 3 << int(Outcome::Busy);
}

void TestRegisterDetection::overPseudoTerminals() {
    QFETCH(int, row);
    QFETCH(int, outcome);
    QTemporaryDir dir;
    EcrSimProcess sim(dir.filePath(QStringLiteral("ecr")));
    QVERIFY(sim.start({QStringLiteral("--serial"), QStringLiteral("SN777")}));
    RawPty silent, noise, held;
    QVERIFY(silent.open() && noise.open() && held.open());
    SerialComPort holder;
    QVERIFY2(holder.open(held.slave, 9600), qPrintable(holder.errorText()));

    // The far ends: what reaches them is kept; the noisy one answers each read.
    QByteArray got[3];
    std::atomic<bool> stop{false};
    std::thread peers([&] {
        const int fds[3] = {silent.master, noise.master, held.master};
        while (!stop) {
            pollfd p[3] = {{fds[0], POLLIN, 0}, {fds[1], POLLIN, 0}, {fds[2], POLLIN, 0}};
            if (::poll(p, 3, 20) <= 0)
                continue;
            for (int i = 0; i < 3; ++i) {
                char buf[256];
                const ssize_t n = (p[i].revents & POLLIN) ? ::read(fds[i], buf, sizeof buf) : 0;
                if (n <= 0)
                    continue;
                got[i].append(buf, n);
                if (i == 1 && ::write(fds[i], "\r\nERROR\r\n", 9) < 0)
                    break;
            }
        }
    });
    RealClock clock;
    RegisterDetection detection(clock, [] { return std::make_unique<SerialComPort>(); });
    const QList<DetectedPort> found =
        detection.DetectRegisters({sim.linkPath(), silent.slave, noise.slave, held.slave}, {9600, 115200});
    stop = true;
    peers.join();

    QCOMPARE(found.size(), 4);
    const DetectedPort &port = found.at(row);
    QVERIFY2(int(port.outcome) == outcome, qPrintable(DetectionLine(port)));
    if (row == 0) {
        QCOMPARE(port.identity.sn, QStringLiteral("SN777"));
        QCOMPARE(port.speed, 9600);
        QVERIFY(!port.identity.fw.isEmpty());
    } else {
        QVERIFY2(onlyEnquiry(got[row - 1]), got[row - 1].toHex().constData());
        QCOMPARE(got[row - 1].isEmpty(), row == 3); // the held port saw nothing at all
    }
}

void TestRegisterDetection::speedsAndMarks() {
    QCOMPARE(RegisterDetection::SpeedsFromNames({QStringLiteral("9600"), QStringLiteral(" 115200"),
                                                 QStringLiteral("x"), QStringLiteral("9600")}),
             (QList<qint32>{9600, 115200}));
    DetectedPort reg;
    reg.device = QStringLiteral("/dev/ttyUSB0");
    reg.outcome = Outcome::Register;
    reg.identity.sn = QStringLiteral("SN1");
    QCOMPARE(DeviceMark(reg), QStringLiteral("/dev/ttyUSB0 (cassa SN1)"));
    QCOMPARE(DeviceOfMark(DeviceMark(reg)), reg.device);
    QCOMPARE(DeviceOfMark(QStringLiteral(" /dev/ttyS1 ")), QStringLiteral("/dev/ttyS1"));
    DetectedPort silent;
    silent.device = QStringLiteral("/dev/ttyS0");
    QCOMPARE(DetectionSummary({silent}), QStringLiteral("Nessuna cassa trovata"));
    QCOMPARE(DetectionSummary({silent, reg}), QStringLiteral("Casse trovate: /dev/ttyUSB0 (cassa SN1)"));
}

QTEST_GUILESS_MAIN(TestRegisterDetection)
#include "tst_registerdetection.moc"
