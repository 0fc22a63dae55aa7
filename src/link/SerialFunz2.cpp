#include "link/SerialFunz2.h"

#include "link/Ansi.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QTimer>

#include <algorithm>

namespace norvvelm {

namespace {
constexpr int kEnquiryCanBytes = 3;
constexpr int kEnquiryPauseMs = 10;
constexpr int kAnswerMinChars = 11;
constexpr int kAnswerMaxChars = 2047;
} // namespace

SerialFunz2::SerialFunz2(ComPort &port, Clock &clock, EventPump pump)
    : m_port(port), m_clock(clock), m_pump(std::move(pump)) {}

bool SerialFunz2::OpenComPort(const QString &device, qint32 speed) {
    if (speed <= 0)
        return false; // no line settings can be built: nothing is opened
    m_device = device;
    return m_port.open(device, speed);
}

void SerialFunz2::CloseComPort() {
    if (m_port.isOpen())
        m_port.purge();
    m_port.close();
}

void SerialFunz2::WriteComByte(quint8 byte) {
    m_port.writeByte(byte);
}

void SerialFunz2::WriteComString(QByteArrayView bytes) {
    for (const char b : bytes)
        WriteComByte(quint8(b));
}

quint8 SerialFunz2::ReadComByte() {
    quint8 b = 0;
    if (!m_port.readByte(b))
        return 0;
    ++m_bytesRead;
    return b;
}

void SerialFunz2::PumpEvents() {
    if (m_pump)
        m_pump();
}

bool SerialFunz2::eventsWake() const {
    return m_pump && m_clock.followsWall() && QCoreApplication::instance() &&
           QAbstractEventDispatcher::instance() != nullptr;
}

void SerialFunz2::waitForEvents(int ms) {
    // The deadline is a timer of the event loop: the wait there ends at it,
    // at the port's data, or at any event before.
    QTimer deadline;
    deadline.setSingleShot(true);
    deadline.setTimerType(Qt::PreciseTimer);
    deadline.start(ms);
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

void SerialFunz2::WaitMs(int ms) {
    const qint64 end = m_clock.nowMs() + ms;
    const bool wake = eventsWake();
    for (qint64 left = ms; left > 0; left = end - m_clock.nowMs()) {
        PumpEvents();
        left = end - m_clock.nowMs();
        if (left <= 0)
            break;
        if (wake)
            waitForEvents(int(left));
        else
            m_clock.sleepMs(int(std::min<qint64>(left, kWaitSliceMs)));
    }
}

int SerialFunz2::WaitComData(int ms) {
    const qint64 start = m_clock.nowMs();
    if (m_port.bytesQueued() > 0)
        return 1;
    const bool wake = m_port.wakesEventLoop() && eventsWake();
    for (;;) {
        const qint64 elapsed = m_clock.nowMs() - start;
        if (elapsed > ms)
            return 0;
        PumpEvents();
        if (m_port.bytesQueued() > 0)
            return 1;
        const int left = int(std::max<qint64>(ms - elapsed + 1, 1));
        if (!m_port.isOpen()) {
            m_clock.sleepMs(std::min(left, kWaitSliceMs));
        } else if (wake) {
            // An answer mostly follows at once: a first short look on the
            // port takes it without a trip through the event loop.
            if (!m_port.waitForData(std::min(left, kQuickLookMs)))
                waitForEvents(left);
        } else if (m_pump || !m_port.wakesEventLoop()) {
            // Short slices on the port, so pending events run between them.
            m_port.waitForData(std::min(left, kWaitSliceMs));
        } else {
            m_port.waitForData(left); // nothing else to run: the port alone wakes it
        }
    }
}

int SerialFunz2::FrameChecksum(QByteArrayView line) {
    int sum = 0;
    for (const char c : line)
        sum = (sum + static_cast<unsigned char>(c)) % 256;
    return sum % 100;
}

QByteArray SerialFunz2::BuildFrame(QByteArrayView line) {
    QByteArray frame;
    frame.reserve(line.size() + 4);
    frame.append(char(ctl::STX));
    frame.append(line);
    const int sum = FrameChecksum(line);
    frame.append(char('0' + sum / 10));
    frame.append(char('0' + sum % 10));
    frame.append(char(ctl::ETX));
    return frame;
}

namespace {
// What a one-byte reply says: ACK, CAN and (where it counts) NAK end the
// attempts with their status; anything else, or nothing, asks for another.
constexpr int kNoReply = -1;
int replyStatus(quint8 b, int onCan, int onNak) {
    if (b == ctl::ACK)
        return statusNumber(LinkStatus::Ok);
    if (b == ctl::CAN)
        return onCan;
    return b == ctl::NAK ? onNak : kNoReply;
}
} // namespace

quint8 SerialFunz2::replyByte(int ms) {
    return WaitComData(ms) > 0 ? ReadComByte() : 0;
}

int SerialFunz2::SendEnquiry() {
    for (int attempt = 0; attempt < m_patience.enquiryAttempts; ++attempt) {
        for (int i = 0; i < kEnquiryCanBytes; ++i)
            WriteComByte(ctl::CAN);
        m_port.purge();
        WriteComByte(ctl::ENQ);
        // The register's pause: events run in it, so a request that comes
        // meanwhile is answered at once rather than after it.
        WaitMs(kEnquiryPauseMs);
        if (const int s = replyStatus(replyByte(m_patience.enquiryWaitMs),
                                      statusNumber(LinkStatus::EnquiryCan), kNoReply);
            s != kNoReply)
            return s;
    }
    return statusNumber(LinkStatus::EnquiryNoAck);
}

int SerialFunz2::SendCommandFrame(const QString &line) {
    const QByteArray frame = BuildFrame(toAnsi(line));
    ++m_linesSent;
    for (int attempt = 0; attempt < m_patience.frameAttempts; ++attempt) {
        m_port.purge();
        WriteComString(frame);
        if (const int s = replyStatus(replyByte(m_patience.frameWaitMs), statusNumber(LinkStatus::FrameCan),
                                      statusNumber(LinkStatus::FrameNak));
            s != kNoReply)
            return s;
    }
    return statusNumber(LinkStatus::FrameNoReply);
}

int SerialFunz2::ReceiveAnswer(QString &answer) {
    answer.clear();
    QByteArray text;
    int attempt = 1;
    while (attempt <= m_patience.answerAttempts) {
        // Hunt for the start of the answer; a silent register ends it at once.
        for (;;) {
            if (WaitComData(m_patience.answerStartWaitMs) <= 0)
                return statusNumber(LinkStatus::AnswerNoStart);
            if (ReadComByte() == ctl::STX)
                break;
        }
        text.clear();
        answer.clear();
        int counter = 1;
        bool timedOut = false;
        for (;;) {
            if (WaitComData(m_patience.answerCharWaitMs) <= 0) {
                timedOut = true;
                break;
            }
            const quint8 b = ReadComByte();
            if (b == ctl::ETX || counter >= kAnswerMaxChars + 1)
                break;
            text.append(char(b));
            ++counter;
        }
        answer = fromAnsi(text);
        if (timedOut) {
            // The partial text is discarded: the register sends it all again.
            WriteComByte(ctl::NAK);
            ++attempt;
            continue;
        }
        if (counter >= kAnswerMinChars + 1) {
            WriteComByte(ctl::ACK);
            return statusNumber(LinkStatus::Ok);
        }
        WriteComByte(ctl::NAK);
        ++attempt;
    }
    return statusNumber(LinkStatus::AnswerFailed);
}

int SerialFunz2::ExchangeCommand(const QString &line, QString &answer) {
    const Reply reply = exchangeHeld(line);
    answer = reply.answer;
    return statusNumber(reply.status);
}

Reply SerialFunz2::exchangeHeld(const QString &line, AfterFrameRefusal after, int pauseBeforeFrameMs) {
    Reply reply;
    reply.enquiry = LinkStatus(SendEnquiry());
    reply.status = reply.enquiry;
    if (reply.enquiry != LinkStatus::Ok)
        return reply;
    if (pauseBeforeFrameMs > 0)
        WaitMs(pauseBeforeFrameMs);
    reply.frame = LinkStatus(SendCommandFrame(line));
    reply.status = reply.frame;
    const bool refused = reply.frame != LinkStatus::Ok;
    if (refused && (after == AfterFrameRefusal::Stop ||
                    (after == AfterFrameRefusal::StopOnNak && reply.frame == LinkStatus::FrameNak)))
        return reply;
    reply.listened = true;
    const LinkStatus answer = LinkStatus(ReceiveAnswer(reply.answer));
    reply.status = refused ? reply.frame : answer;
    return reply;
}

Reply SerialFunz2::exchange(const QString &line) {
    Exchange hold(*this);
    Reply reply;
    if (!isOpen())
        reply.status = LinkStatus::NoPort; // nothing to wait for: no port, no answer
    else if (!hold.acquired())
        reply.status = LinkStatus::LineBusy; // another exchange is on the line
    else
        return exchangeHeld(line);
    reply.enquiry = reply.status;
    return reply;
}

} // namespace norvvelm
