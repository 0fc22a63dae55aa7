#pragma once

#include "link/Clock.h"
#include "link/ComPort.h"

#include <QByteArray>
#include <QString>

#include <functional>

namespace norvvelm {

// Control bytes of the link.
namespace ctl {
constexpr quint8 STX = 0x02;
constexpr quint8 ETX = 0x03;
constexpr quint8 ENQ = 0x05;
constexpr quint8 ACK = 0x06;
constexpr quint8 NAK = 0x15;
constexpr quint8 CAN = 0x18;
} // namespace ctl

// The link status of every exchange, one type: its numbers are those the
// link's routines return and the operator reads in "Err. N".
enum class LinkStatus : int {
    Ok = 0,
    FrameNak = 1001,      // the register answered the command frame with NAK
    EnquiryCan = 1002,    // the register answered the enquiry with CAN
    FrameCan = 1003,      // the register answered the command frame with CAN
    EnquiryNoAck = 1004,  // no ACK to the enquiry after 3 attempts
    AnswerNoStart = 1005, // no STX of an answer within 2000 ms
    AnswerFailed = 1006,  // the answer failed in 3 attempts
    FrameNoReply = 1007,  // no ACK, NAK or CAN to the command frame after 3 attempts
    LineBusy = 9998,      // another exchange is on the line
    NoPort = 9999,        // no port open
};
constexpr int statusNumber(LinkStatus status) {
    return static_cast<int>(status);
}

namespace link {
// A failure of the link protocol itself (1001-1007).
inline bool isLinkFailure(int status) {
    return status >= statusNumber(LinkStatus::FrameNak) && status <= statusNumber(LinkStatus::FrameNoReply);
}
// No answer could arrive: a protocol failure, no port, or the line held by
// another exchange.
inline bool noAnswer(int status) {
    return isLinkFailure(status) || status == statusNumber(LinkStatus::NoPort) ||
           status == statusNumber(LinkStatus::LineBusy);
}
} // namespace link

// What one exchange brought back.
struct Reply {
    LinkStatus status = LinkStatus::Ok;  // the first step that failed, or Ok
    LinkStatus enquiry = LinkStatus::Ok; // the enquiry's own (LineBusy, NoPort: never made)
    LinkStatus frame = LinkStatus::Ok;   // the command frame's own
    QString answer;                      // empty when none arrived
    bool listened = false;               // an answer was awaited
    bool answered() const { return status == LinkStatus::Ok; }
};

// How far an exchange goes when the register refuses its command frame.
enum class AfterFrameRefusal {
    Stop,      // no answer is awaited (the status says which refusal)
    StopOnNak, // a NAK ends it; other refusals still wait for an answer
    Listen,    // the answer is awaited whatever the frame's reply
};

// How long the link waits for the register and how often it tries again.
// The defaults are the register's own; a probe of a port that may hold
// anything waits briefly and tries once.
struct LinkPatience {
    int enquiryAttempts = 3;
    int enquiryWaitMs = 1000;
    int frameAttempts = 3;
    int frameWaitMs = 2000;
    int answerStartWaitMs = 2000;
    int answerCharWaitMs = 500;
    int answerAttempts = 3;
};

// The serial module: port access and the framed ENQ/ACK link protocol. One per
// process; every exchange with the register passes here.
class SerialFunz2 {
public:
    using EventPump = std::function<void()>;

    SerialFunz2(ComPort &port, Clock &clock, EventPump pump = {});

    // --- port access ---
    bool OpenComPort(const QString &device, qint32 speed);
    void CloseComPort();
    bool isOpen() const { return m_port.isOpen(); }
    void WriteComByte(quint8 byte);
    void WriteComString(QByteArrayView bytes);
    // 0 when nothing could be read (a received NUL reads the same).
    quint8 ReadComByte();
    // 1 when input is queued, 0 when the time-out passed first. Lets pending
    // events run while it waits: it sleeps until the port's data, the
    // deadline or an event, whichever comes first.
    int WaitComData(int ms);
    void Sleep(int ms) { m_clock.sleepMs(ms); }
    // A longer wait that lets events run as they come, so a window stays
    // responsive and a stop request is seen.
    void WaitMs(int ms);
    // Lets pending window events run once (a no-op without a window).
    void PumpEvents();

    Clock &clock() { return m_clock; }
    ComPort &port() { return m_port; }
    QString portName() const { return m_device; }

    // --- link protocol ---
    static int FrameChecksum(QByteArrayView line);
    static QByteArray BuildFrame(QByteArrayView line);
    int SendEnquiry();
    int SendCommandFrame(const QString &line);
    int ReceiveAnswer(QString &answer);
    // How many command lines went out on this link so far (a line's repeated
    // frames count once): a caller tells from it that nobody else spoke to
    // the register since it last did.
    quint64 linesSent() const { return m_linesSent; }
    // How many bytes were read from the port so far: whether anything at all
    // came back.
    quint64 bytesRead() const { return m_bytesRead; }
    void setPatience(const LinkPatience &patience) { m_patience = patience; }
    int ExchangeCommand(const QString &line, QString &answer);

    // One exchange on a line the caller holds (see Exchange): enquiry, the
    // pause, the command frame, the answer.
    Reply exchangeHeld(const QString &line, AfterFrameRefusal after = AfterFrameRefusal::Stop,
                       int pauseBeforeFrameMs = 0);
    // One whole exchange, guarded: NoPort without a port, LineBusy while
    // another exchange holds the line (nothing is sent then).
    Reply exchange(const QString &line);

    // --- one exchange at a time ---
    // Events run inside the waits; a request made from such an event while an
    // exchange is in flight must not put its bytes on the line.
    bool lineBusy() const { return m_exchangeDepth > 0; }
    // Told each time the line becomes busy and free again.
    void setLineObserver(std::function<void(bool busy)> observer) { m_lineObserver = std::move(observer); }
    class Exchange {
    public:
        explicit Exchange(SerialFunz2 &link) : m_link(link), m_owned(!link.lineBusy()) {
            if (m_owned && m_link.m_exchangeDepth++ == 0 && m_link.m_lineObserver)
                m_link.m_lineObserver(true);
        }
        ~Exchange() {
            if (m_owned && --m_link.m_exchangeDepth == 0 && m_link.m_lineObserver)
                m_link.m_lineObserver(false);
        }
        Exchange(const Exchange &) = delete;
        Exchange &operator=(const Exchange &) = delete;
        // False when another exchange already held the line.
        bool acquired() const { return m_owned; }

    private:
        SerialFunz2 &m_link;
        bool m_owned;
    };

private:
    // Without an event loop to sleep in (a virtual clock, a port of memory),
    // waits look again every few milliseconds.
    static constexpr int kWaitSliceMs = 10;
    static constexpr int kQuickLookMs = 2;
    // Events may be waited for in the thread's event loop.
    bool eventsWake() const;
    // Runs the events that come within `ms`, returning at the first.
    void waitForEvents(int ms);
    // The register's one-byte reply within `ms`; 0 when none came.
    quint8 replyByte(int ms);

    ComPort &m_port;
    Clock &m_clock;
    EventPump m_pump;
    QString m_device;
    int m_exchangeDepth = 0;
    quint64 m_linesSent = 0;
    quint64 m_bytesRead = 0;
    LinkPatience m_patience;
    std::function<void(bool)> m_lineObserver;
};

} // namespace norvvelm
