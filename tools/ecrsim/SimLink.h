#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <deque>
#include <functional>
#include <optional>

namespace ecrsim {

class Register;

// How the register replies to an enquiry or a command frame when a fault is
// scripted in place of its normal reply.
enum class Reply { Ack, Nak, Can, Silent, Byte };

struct ReplyFault {
    Reply reply = Reply::Ack;
    quint8 byte = 0; // for Reply::Byte
    int times = 1;
};

// A fault on the answer frame, applied to the next `times` transmissions of an
// answer (the first one and the resends after the PC's NAK).
struct AnswerFault {
    bool silent = false;  // acknowledge the frame, never answer (after any noise)
    bool replace = false; // send `text` instead of the answer line
    QByteArray text;
    QByteArray noise;    // bytes sent before the STX
    int pauseAfter = -1; // pause after this many answer characters
    int pauseMs = 0;
    int delayMs = 0; // extra delay before the answer starts
    int times = 1;
};

// The register's side of the link, byte by byte. Bytes it sends are scheduled
// on a millisecond time line so that a virtual clock can deliver them.
class SimLink {
public:
    explicit SimLink(Register &reg);

    void receive(quint8 byte, qint64 nowMs);
    void receive(QByteArrayView bytes, qint64 nowMs);

    // Output due at or before nowMs.
    qint64 nextOutputAt() const; // -1 when nothing is scheduled
    QByteArray takeOutput(qint64 nowMs);
    // Everything scheduled, due or not (a disconnect drops it).
    void dropOutput();

    void pushEnquiryFault(ReplyFault f) { m_enquiryFaults.push_back(f); }
    void pushFrameFault(ReplyFault f) { m_frameFaults.push_back(f); }
    void pushAnswerFault(const AnswerFault &f) { m_answerFaults.push_back(f); }
    // Drops every scripted fault, the register's too (paper and cover included).
    void clearFaults();
    // Parses one fault rule; false with a message for a bad one. Link faults:
    // "enq:can", "frame:nak*3", "answer:short", "answer:pause=5,600" ...
    // Register faults, answered in place of the next N commands (*N, default 1):
    // "busy*3" (1A), "refuse=14*2", "serious=37"; the paper bit in the next N
    // answers: "paperbit*2"; until cleared: "paperlow", "paperout" (31),
    // "coveropen" (32). A lost answer: "lose=3/#60" carries out the 60th line
    // beginning with "3/" and never answers it ("lose=5/" the next payment);
    // "hold=5/,1500" answers the next payment 1.5 s after carrying it out.
    bool addFaultRule(const QString &rule, QString *error = nullptr);
    // The answer to the `nth` line from now beginning with `prefix` is lost
    // once the line is carried out.
    void loseAnswer(const QByteArray &prefix, int nth = 1) { m_lose.push_back({prefix, nth, -1}); }
    // The same line's answer comes `ms` late.
    void holdAnswer(const QByteArray &prefix, int nth, int ms) { m_lose.push_back({prefix, nth, ms}); }

    // Delay before every answer frame, and between its characters.
    void setAnswerDelayMs(int ms) { m_answerDelayMs = ms; }
    void setCharDelayMs(int ms) { m_charDelayMs = ms; }

    // What the register saw and did, for tests.
    const QList<QByteArray> &commandsExecuted() const { return m_executed; }
    int badChecksums() const { return m_badChecksums; }
    int enquiries() const { return m_enquiries; }
    int answerResends() const { return m_resends; }
    int nakToFrames() const { return m_nakToFrames; }

    Register &reg() { return m_register; }

    // Called with every command line taken and the answer the register gave.
    std::function<void(const QByteArray &line, const QByteArray &answer)> onCommand;

private:
    struct Out {
        qint64 at;
        char byte;
    };
    void send(quint8 byte, qint64 at);
    void sendAnswer(qint64 nowMs);
    void frameComplete(qint64 nowMs);
    void take(const QByteArray &line, const QByteArray &answer);
    template <typename T> static std::optional<T> takeFault(std::deque<T> &q);
    template <typename Fail>
    bool addRegisterFault(const QString &key, const QString &value, int times, Fail fail);

    Register &m_register;
    std::deque<Out> m_out;
    qint64 m_lastAt = 0;
    int m_answerDelayMs = 0;
    int m_charDelayMs = 0;

    bool m_inFrame = false;
    QByteArray m_frame;
    bool m_frameOverflow = false;
    int m_frameSum = 0;      // of every byte of the frame, modulo 256
    quint16 m_frameTail = 0; // its last two bytes
    bool m_awaitingAck = false;
    QByteArray m_pendingAnswer;

    std::deque<ReplyFault> m_enquiryFaults;
    std::deque<ReplyFault> m_frameFaults;
    std::deque<AnswerFault> m_answerFaults;
    struct Lose {
        QByteArray prefix;
        int nth;
        int holdMs; // -1: lost
    };
    std::deque<Lose> m_lose;
    bool m_loseThis = false;
    int m_holdMs = 0;

    QList<QByteArray> m_executed;
    int m_badChecksums = 0;
    int m_enquiries = 0;
    int m_resends = 0;
    int m_nakToFrames = 0;
};

} // namespace ecrsim
