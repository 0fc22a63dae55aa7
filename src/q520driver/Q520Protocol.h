#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <functional>

// The Q520's link: command frames, their checksum, the single-byte text of the
// wire, and the reception of acknowledgements and answers.
namespace q520 {

inline constexpr char kNul = 0x00;
inline constexpr char kStx = 0x02;
inline constexpr char kEtx = 0x03;
inline constexpr char kEnq = 0x05;
inline constexpr char kAck = 0x06;
inline constexpr char kNak = 0x15;
inline constexpr char kCan = 0x18;

// Longest command line the driver sends; longer lines are refused.
inline constexpr int kMaxCommandLength = 255;
// Longest answer text taken from the register.
inline constexpr int kMaxAnswerLength = 2047;

// Sum of the bytes of the line, kept modulo 256, then taken modulo 100.
int frameChecksum(const QByteArray &line);
// STX, line, two checksum digits (zero-padded), ETX.
QByteArray buildFrame(const QByteArray &line);

// Windows-1252 text of the wire; characters it lacks become "?".
QByteArray toAnsi(const QString &text);
QString fromAnsi(const QByteArray &bytes);
// A receipt file that is valid UTF-8 is read as UTF-8, any other as Windows-1252.
QString decodeReceiptText(const QByteArray &bytes);

// Bytes shown for a log line: control bytes as <STX>, <ETX>, ... or <xx>.
QString visibleBytes(const QByteArray &bytes);
QString visibleText(const QString &text);

// "0" to "9" and "A" to "F" give their value, everything else 0.
int hexDigitValue(QChar c);
// Error number of a two-character code as the operator reads it ("2C" -> 44).
int errorNumber(const QString &code);

struct Message {
    enum class Kind { Ack, Nak, Answer };
    Kind kind = Kind::Ack;
    QString text; // the answer line, for Kind::Answer

    bool operator==(const Message &o) const = default;
};

// Splits the received byte stream into messages, one after the other, however
// the bytes are cut into reads: ACK (or a NUL sent in its place), NAK, and the
// text between STX and ETX. Bytes that belong to no message are kept until an
// STX shows they were a broken message; then they are reported and dropped.
class Receiver {
public:
    std::function<void(const QString &)> log;

    QList<Message> feed(const QByteArray &bytes);
    // Bytes received but not yet part of a complete message.
    QByteArray pending() const;
    void clear();

private:
    void reportIncomplete(const QByteArray &bytes);

    bool m_inAnswer = false;
    bool m_repaired = false;
    QByteArray m_text;
    QByteArray m_stray;
};

} // namespace q520
