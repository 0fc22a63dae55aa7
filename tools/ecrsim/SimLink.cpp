#include "ecrsim/SimLink.h"

#include "ecrsim/Register.h"

#include <QRegularExpression>

#include <algorithm>
#include <utility>

namespace ecrsim {

namespace {
constexpr quint8 STX = 0x02, ETX = 0x03, ENQ = 0x05, ACK = 0x06, NAK = 0x15, CAN = 0x18;
constexpr int kMaxFrame = 8192; // characters of a frame the register keeps

int checksum(QByteArrayView line) {
    int sum = 0;
    for (const char c : line)
        sum = (sum + static_cast<unsigned char>(c)) % 256;
    return sum % 100;
}
} // namespace

SimLink::SimLink(Register &reg) : m_register(reg) {}

template <typename T> std::optional<T> SimLink::takeFault(std::deque<T> &q) {
    if (q.empty())
        return std::nullopt;
    T f = q.front();
    if (--q.front().times <= 0)
        q.pop_front();
    return f;
}

void SimLink::clearFaults() {
    m_enquiryFaults.clear();
    m_frameFaults.clear();
    m_answerFaults.clear();
    m_lose.clear();
    m_register.clearFaults();
}

void SimLink::send(quint8 byte, qint64 at) {
    at = std::max(at, m_lastAt);
    m_lastAt = at;
    m_out.push_back({at, char(byte)});
}

qint64 SimLink::nextOutputAt() const {
    return m_out.empty() ? -1 : m_out.front().at;
}

QByteArray SimLink::takeOutput(qint64 nowMs) {
    QByteArray bytes;
    while (!m_out.empty() && m_out.front().at <= nowMs) {
        bytes.append(m_out.front().byte);
        m_out.pop_front();
    }
    return bytes;
}

void SimLink::dropOutput() {
    m_out.clear();
    m_awaitingAck = false;
    m_inFrame = false;
    m_frame.clear();
}

void SimLink::receive(QByteArrayView bytes, qint64 nowMs) {
    for (const char b : bytes)
        receive(quint8(b), nowMs);
}

void SimLink::receive(quint8 byte, qint64 nowMs) {
    if (m_inFrame) {
        if (byte == ETX) {
            m_inFrame = false;
            frameComplete(nowMs);
        } else if (byte == CAN) {
            m_inFrame = false;
            m_frame.clear();
        } else {
            // A line longer than the register's buffer is not kept, but its
            // checksum is still followed so that it can be answered.
            m_frameSum = (m_frameSum + byte) % 256;
            m_frameTail = quint16((m_frameTail << 8) | byte);
            if (m_frame.size() < kMaxFrame)
                m_frame.append(char(byte));
            else
                m_frameOverflow = true;
        }
        return;
    }
    switch (byte) {
    case CAN:
        // The PC starts every exchange with CAN: forget any half exchange.
        m_awaitingAck = false;
        m_pendingAnswer.clear();
        break;
    case ENQ: {
        ++m_enquiries;
        const auto f = takeFault(m_enquiryFaults);
        const Reply r = f ? f->reply : Reply::Ack;
        if (r == Reply::Ack)
            send(ACK, nowMs);
        else if (r == Reply::Nak)
            send(NAK, nowMs);
        else if (r == Reply::Can)
            send(CAN, nowMs);
        else if (r == Reply::Byte)
            send(f->byte, nowMs);
        break;
    }
    case STX:
        m_inFrame = true;
        m_frame.clear();
        m_frameOverflow = false;
        m_frameSum = 0;
        m_frameTail = 0;
        break;
    case NAK:
        if (m_awaitingAck) {
            ++m_resends;
            sendAnswer(nowMs);
        }
        break;
    case ACK:
        m_awaitingAck = false;
        m_pendingAnswer.clear();
        break;
    default:
        break;
    }
}

void SimLink::frameComplete(qint64 nowMs) {
    if (m_frameOverflow) {
        m_frame.clear();
        const quint8 d1 = quint8(m_frameTail >> 8), d2 = quint8(m_frameTail);
        const int sum = ((m_frameSum - d1 - d2) % 256 + 256) % 256 % 100;
        if (d1 != '0' + sum / 10 || d2 != '0' + sum % 10) {
            ++m_badChecksums;
            ++m_nakToFrames;
            send(NAK, nowMs);
            return;
        }
        // Taken, and refused: too many characters for one command.
        send(ACK, nowMs);
        take(QByteArray("<line too long>"), m_register.error("02"));
        sendAnswer(nowMs);
        return;
    }
    const QByteArray body = m_frame;
    m_frame.clear();
    const QByteArray line = body.size() >= 2 ? body.left(body.size() - 2) : QByteArray();
    const QByteArray digits = body.right(2);
    const int sum = checksum(line);
    const bool good = body.size() >= 2 && digits.at(0) == '0' + sum / 10 && digits.at(1) == '0' + sum % 10;
    if (!good) {
        ++m_badChecksums;
        ++m_nakToFrames;
        send(NAK, nowMs);
        return;
    }
    if (const auto f = takeFault(m_frameFaults)) {
        switch (f->reply) {
        case Reply::Ack:
            break;
        case Reply::Nak:
            ++m_nakToFrames;
            send(NAK, nowMs);
            return;
        case Reply::Can:
            send(CAN, nowMs);
            return;
        case Reply::Silent:
            return;
        case Reply::Byte:
            // Another byte in place of ACK; the frame still counts as taken
            // (a register that answers NUL for ACK).
            send(f->byte, nowMs);
            take(line, m_register.execute(line));
            sendAnswer(nowMs);
            return;
        }
    }
    send(ACK, nowMs);
    take(line, m_register.execute(line));
    sendAnswer(nowMs);
}

void SimLink::take(const QByteArray &line, const QByteArray &answer) {
    m_executed.append(line);
    if (!m_lose.empty() && line.startsWith(m_lose.front().prefix) && --m_lose.front().nth <= 0) {
        const int hold = m_lose.front().holdMs;
        m_lose.pop_front();
        if (hold < 0)
            m_loseThis = true;
        else
            m_holdMs = hold;
    }
    m_pendingAnswer = answer;
    if (onCommand)
        onCommand(line, answer);
}

void SimLink::sendAnswer(qint64 nowMs) {
    m_awaitingAck = true;
    if (std::exchange(m_loseThis, false))
        return; // carried out, never answered
    const auto f = takeFault(m_answerFaults);
    if (f && f->silent && f->noise.isEmpty())
        return;
    const QByteArray text = f && f->replace ? f->text : m_pendingAnswer;
    qint64 at =
        std::max(nowMs, m_lastAt) + m_answerDelayMs + (f ? f->delayMs : 0) + std::exchange(m_holdMs, 0);
    if (f) {
        for (const char b : f->noise)
            send(quint8(b), at += m_charDelayMs);
        if (f->silent)
            return; // stray bytes, then silence
    }
    send(STX, at += m_charDelayMs);
    for (int i = 0; i < text.size(); ++i) {
        if (f && i == f->pauseAfter)
            at += f->pauseMs;
        send(quint8(text.at(i)), at += m_charDelayMs);
    }
    if (f && f->pauseAfter >= text.size())
        at += f->pauseMs;
    send(ETX, at += m_charDelayMs);
}

bool SimLink::addFaultRule(const QString &ruleIn, QString *error) {
    auto fail = [&](const QString &why) {
        if (error)
            *error = QStringLiteral("bad fault \"%1\": %2").arg(ruleIn, why);
        return false;
    };
    QString rule = ruleIn.trimmed();
    int times = 1;
    static const QRegularExpression repeat(QStringLiteral("\\*(\\d+)$"));
    if (const auto m = repeat.match(rule); m.hasMatch()) {
        times = std::max(1, m.captured(1).toInt());
        rule.chop(m.capturedLength());
    }
    const QString stage = rule.section(u':', 0, 0);
    const QString what = rule.section(u':', 1);
    const QString key = what.section(u'=', 0, 0);
    const QString value = what.section(u'=', 1);

    if (stage == u"enq" || stage == u"frame") {
        ReplyFault f;
        f.times = times;
        if (key == u"ack")
            f.reply = Reply::Ack;
        else if (key == u"nak")
            f.reply = Reply::Nak;
        else if (key == u"can")
            f.reply = Reply::Can;
        else if (key == u"silent")
            f.reply = Reply::Silent;
        else if (key == u"byte") {
            bool ok = false;
            const uint b = value.toUInt(&ok, 0);
            if (!ok || b > 255)
                return fail(QStringLiteral("byte needs a value 0..255"));
            f.reply = Reply::Byte;
            f.byte = quint8(b);
        } else
            return fail(QStringLiteral("expected ack, nak, can, silent or byte=N"));
        (stage == u"enq" ? m_enquiryFaults : m_frameFaults).push_back(f);
        return true;
    }
    if (stage == u"answer") {
        AnswerFault f;
        f.times = times;
        if (key == u"silent")
            f.silent = true;
        else if (key == u"short") {
            f.replace = true;
            f.text = QByteArray("00/00/00/1"); // ten characters: too short
        } else if (key == u"long") {
            f.replace = true;
            f.text = QByteArray("00/00/00/") + QByteArray(3000 - 9, 'L');
        } else if (key == u"text") {
            f.replace = true;
            f.text = value.toLatin1();
        } else if (key == u"noise")
            f.noise = value.isEmpty() ? QByteArray("\x11\x13garbage", 9) : value.toLatin1();
        else if (key == u"delay")
            f.delayMs = value.toInt();
        else if (key == u"pause") {
            f.pauseAfter = value.section(u',', 0, 0).toInt();
            f.pauseMs = value.section(u',', 1, 1).toInt();
            if (f.pauseMs <= 0)
                return fail(QStringLiteral("pause=AFTER,MS"));
        } else
            return fail(QStringLiteral("expected silent, short, long, text=, noise=, delay= or pause="));
        m_answerFaults.push_back(f);
        return true;
    }
    if (rule.startsWith(QLatin1String("lose=")) || rule.startsWith(QLatin1String("hold="))) {
        const bool hold = rule.startsWith(QLatin1String("hold="));
        QString target = rule.mid(5);
        int ms = -1;
        if (hold) {
            bool ok = false;
            ms = target.section(u',', 1).toInt(&ok);
            if (!ok || ms < 0)
                return fail(QStringLiteral("hold=PREFIX#N,MS needs the milliseconds"));
            target = target.section(u',', 0, 0);
        }
        const QString prefix = target.section(u'#', 0, 0);
        const int nth = target.contains(u'#') ? target.section(u'#', 1).toInt() : 1;
        if (prefix.isEmpty() || nth < 1)
            return fail(QStringLiteral("lose=PREFIX#N needs a line beginning and a count from 1"));
        for (int i = 0; i < times; ++i)
            m_lose.push_back({prefix.toLatin1(), i == 0 ? nth : 1, ms});
        return true;
    }
    if (!rule.contains(u':'))
        return addRegisterFault(rule.section(u'=', 0, 0), rule.section(u'=', 1), times, fail);
    return fail(QStringLiteral("expected enq:, frame:, answer:, busy, refuse=EE, serious=EE, paperbit, "
                               "paperlow, paperout or coveropen"));
}

template <typename Fail>
bool SimLink::addRegisterFault(const QString &key, const QString &value, int times, Fail fail) {
    static const QRegularExpression hexCode(QStringLiteral("^[0-9A-Fa-f]{2}$"));
    if (!value.isEmpty() && key != u"refuse" && key != u"serious")
        return fail(QStringLiteral("%1 takes no value").arg(key));
    if (key == u"busy") {
        m_register.pushFault({Register::Fault::Busy, {}, times});
    } else if (key == u"refuse" || key == u"serious") {
        const QString code = value.isEmpty() && key == u"serious" ? QStringLiteral("37") : value;
        if (!hexCode.match(code).hasMatch() || code == u"00")
            return fail(QStringLiteral("%1=EE needs an error code of two hexadecimal digits").arg(key));
        m_register.pushFault({key == u"refuse" ? Register::Fault::Refuse : Register::Fault::Serious,
                              code.toUpper().toLatin1(), times});
    } else if (key == u"paperbit") {
        m_register.addPaperBit(times);
    } else if (key == u"paperlow") {
        m_register.setPaperLow(true);
    } else if (key == u"paperout") {
        m_register.setPaperOut(true);
    } else if (key == u"coveropen") {
        m_register.setCoverOpen(true);
    } else {
        return fail(QStringLiteral("expected enq:, frame:, answer:, busy, refuse=EE, serious=EE, paperbit, "
                                   "paperlow, paperout or coveropen"));
    }
    return true;
}

} // namespace ecrsim
