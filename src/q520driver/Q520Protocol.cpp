#include "q520driver/Q520Protocol.h"

#include <QStringDecoder>

namespace q520 {

namespace {

// Characters of Windows-1252 at 0x80..0x9F; 0 where the code page has none
// (those bytes map to the same code point, as the platform does). DriverQ520
// shares no code with the main program, so it keeps its own copy of the table.
constexpr char16_t kCp1252High[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178,
};

QString controlName(unsigned char b) {
    switch (b) {
    case 0x00:
        return QStringLiteral("<NUL>");
    case 0x02:
        return QStringLiteral("<STX>");
    case 0x03:
        return QStringLiteral("<ETX>");
    case 0x05:
        return QStringLiteral("<ENQ>");
    case 0x06:
        return QStringLiteral("<ACK>");
    case 0x15:
        return QStringLiteral("<NAK>");
    case 0x18:
        return QStringLiteral("<CAN>");
    default:
        return u'<' + QString::number(b, 16).toUpper().rightJustified(2, u'0') + u'>';
    }
}

} // namespace

int frameChecksum(const QByteArray &line) {
    unsigned sum = 0;
    for (char c : line)
        sum = (sum + static_cast<unsigned char>(c)) % 256;
    return static_cast<int>(sum % 100);
}

QByteArray buildFrame(const QByteArray &line) {
    QByteArray frame;
    frame.reserve(line.size() + 4);
    frame += kStx;
    frame += line;
    frame += QByteArray::number(frameChecksum(line)).rightJustified(2, '0');
    frame += kEtx;
    return frame;
}

QByteArray toAnsi(const QString &text) {
    QByteArray out;
    out.reserve(text.size());
    for (QChar ch : text) {
        const char16_t u = ch.unicode();
        if (u < 0x80 || (u >= 0xA0 && u <= 0xFF)) {
            out += static_cast<char>(u);
            continue;
        }
        char b = '?';
        for (int i = 0; i < 32; ++i) {
            const char16_t mapped = kCp1252High[i] ? kCp1252High[i] : char16_t(0x80 + i);
            if (mapped == u) {
                b = static_cast<char>(0x80 + i);
                break;
            }
        }
        out += b;
    }
    return out;
}

QString fromAnsi(const QByteArray &bytes) {
    QString out;
    out.reserve(bytes.size());
    for (char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        if (b >= 0x80 && b < 0xA0 && kCp1252High[b - 0x80])
            out += QChar(kCp1252High[b - 0x80]);
        else
            out += QChar(char16_t(b));
    }
    return out;
}

QString decodeReceiptText(const QByteArray &bytes) {
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8(bytes);
    if (!utf8.hasError())
        return text;
    return fromAnsi(bytes);
}

QString visibleBytes(const QByteArray &bytes) {
    QString out;
    for (char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        if (b < 0x20 || b == 0x7F)
            out += controlName(b);
        else
            out += fromAnsi(QByteArray(1, c));
    }
    return out;
}

QString visibleText(const QString &text) {
    return visibleBytes(toAnsi(text));
}

int hexDigitValue(QChar c) {
    if (c >= u'0' && c <= u'9')
        return c.unicode() - u'0';
    if (c >= u'A' && c <= u'F')
        return c.unicode() - 55;
    return 0;
}

int errorNumber(const QString &code) {
    if (code.isEmpty())
        return 0;
    return 16 * hexDigitValue(code.front()) + hexDigitValue(code.back());
}

QList<Message> Receiver::feed(const QByteArray &bytes) {
    QList<Message> out;
    for (char c : bytes) {
        if (!m_inAnswer) {
            switch (c) {
            case kAck:
            case kNul: // the register sometimes sends a NUL in place of ACK
                reportIncomplete(m_stray);
                m_stray.clear();
                out.append({Message::Kind::Ack, {}});
                break;
            case kNak:
                reportIncomplete(m_stray);
                m_stray.clear();
                out.append({Message::Kind::Nak, {}});
                break;
            case kStx:
                if (!m_stray.isEmpty()) {
                    reportIncomplete(m_stray);
                    m_stray.clear();
                    m_repaired = true;
                }
                m_inAnswer = true;
                m_text.clear();
                break;
            default:
                m_stray += c;
                if (m_stray.size() > kMaxAnswerLength) {
                    reportIncomplete(m_stray);
                    m_stray.clear();
                }
                break;
            }
            continue;
        }
        if (c == kEtx) {
            const QString answer = fromAnsi(m_text);
            if (m_repaired && log)
                log(QStringLiteral("Messaggio sistemato: ") + visibleText(answer));
            m_repaired = false;
            m_inAnswer = false;
            m_text.clear();
            out.append({Message::Kind::Answer, answer});
        } else if (c == kStx) {
            // A new answer starts before the last one ended: the last one is lost.
            reportIncomplete(kStx + m_text);
            m_repaired = true;
            m_text.clear();
        } else {
            m_text += c;
            if (m_text.size() > kMaxAnswerLength) {
                reportIncomplete(kStx + m_text);
                m_text.clear();
                m_inAnswer = false;
                m_repaired = false;
            }
        }
    }
    return out;
}

QByteArray Receiver::pending() const {
    return m_inAnswer ? kStx + m_text : m_stray;
}

void Receiver::clear() {
    m_inAnswer = false;
    m_repaired = false;
    m_text.clear();
    m_stray.clear();
}

void Receiver::reportIncomplete(const QByteArray &bytes) {
    if (!bytes.isEmpty() && log)
        log(QStringLiteral("Ricevuto messaggio incompleto: ") + visibleBytes(bytes));
}

} // namespace q520
