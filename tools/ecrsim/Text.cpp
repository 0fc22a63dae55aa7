#include "ecrsim/Text.h"

#include <cstdlib>

namespace ecrsim {

namespace {

// Windows-1252 0x80..0x9F; 0 for the five bytes the code page leaves unassigned.
// The simulated register stands for a device outside the program and links
// none of it: it keeps its own copy of the register's code page.
constexpr char16_t kHigh[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178,
};

} // namespace

QString fromCp1252(QByteArrayView bytes) {
    QString out;
    out.reserve(bytes.size());
    for (const char b : bytes) {
        const auto u = static_cast<unsigned char>(b);
        if (u >= 0x80 && u < 0xA0)
            out.append(kHigh[u - 0x80] ? QChar(kHigh[u - 0x80]) : QChar(u'?'));
        else if (u < 0x20 || u == 0x7F)
            out.append(u' '); // control bytes never reach the print head
        else
            out.append(QChar(char16_t(u)));
    }
    return out;
}

QByteArray toCp1252(QStringView text) {
    QByteArray out;
    out.reserve(text.size());
    for (const QChar ch : text) {
        const char16_t c = ch.unicode();
        if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) {
            out.append(char(c));
            continue;
        }
        char b = '?';
        for (int i = 0; i < 32; ++i) {
            if (kHigh[i] == c)
                b = char(0x80 + i);
        }
        out.append(b);
    }
    return out;
}

std::optional<qint64> parseFixed(QByteArrayView text, int decimals) {
    text = text.trimmed();
    if (text.isEmpty() || text.size() > 16)
        return std::nullopt;
    qint64 whole = 0, frac = 0;
    int intDigits = 0, fracDigits = 0;
    bool point = false;
    for (const char c : text) {
        if (c == '.' && !point) {
            point = true;
        } else if (c >= '0' && c <= '9') {
            if (point) {
                if (++fracDigits > decimals)
                    return std::nullopt;
                frac = frac * 10 + (c - '0');
            } else {
                if (++intDigits > 9)
                    return std::nullopt;
                whole = whole * 10 + (c - '0');
            }
        } else {
            return std::nullopt;
        }
    }
    if (intDigits == 0 && fracDigits == 0)
        return std::nullopt;
    for (int i = fracDigits; i < decimals; ++i)
        frac *= 10;
    qint64 scale = 1;
    for (int i = 0; i < decimals; ++i)
        scale *= 10;
    return whole * scale + frac;
}

QByteArray wireAmount(qint64 cents) {
    const QByteArray sign = cents < 0 ? "-" : "";
    const qint64 a = std::llabs(cents);
    return sign + QByteArray::number(a / 100) + '.' + QByteArray::number(a % 100).rightJustified(2, '0');
}

QString paperAmount(qint64 cents) {
    QString s = QString::fromLatin1(wireAmount(cents));
    s.replace(u'.', u',');
    return s;
}

QString paperQuantity(qint64 thousandths) {
    QString s = QString::number(thousandths / 1000);
    qint64 frac = thousandths % 1000;
    if (frac) {
        QString f = QString::number(frac).rightJustified(3, u'0');
        while (f.endsWith(u'0'))
            f.chop(1);
        s += u',' + f;
    }
    return s;
}

} // namespace ecrsim
