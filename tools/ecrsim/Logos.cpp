#include "ecrsim/Logos.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>

#include <algorithm>
#include <cstdio>
#include <optional>
#include <utility>

namespace ecrsim {

namespace {

// A decimal number exactly as the register wants it: digits, no sign, no
// blanks, no leading zeros.
std::optional<int> strictNumber(const QByteArray &text) {
    if (text.isEmpty() || text.size() > 6 || (text.size() > 1 && text.startsWith('0')))
        return std::nullopt;
    for (char c : text) {
        if (c < '0' || c > '9')
            return std::nullopt;
    }
    return text.toInt();
}

bool registerSide(int side) {
    return side == 64 || side == 128 || side == 256;
}

bool upperHex(const QByteArray &digits) {
    for (char c : digits) {
        if (!((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F')))
            return false;
    }
    return true;
}

int hexValue(char c) {
    return c <= '9' ? c - '0' : c - 'A' + 10;
}

// The quadrant blocks, indexed by their black quarters: 1 top left, 2 top
// right, 4 bottom left, 8 bottom right.
constexpr char16_t kQuadrants[16] = {u' ',      u'\u2598', u'\u259D', u'\u2580', u'\u2596', u'\u258C',
                                     u'\u259E', u'\u259B', u'\u2597', u'\u259A', u'\u2590', u'\u259C',
                                     u'\u2584', u'\u2599', u'\u259F', u'\u2588'};

} // namespace

bool Logos::Logo::white(int x, int y) const {
    if (y < 0 || y >= rows.size() || x < 0 || x >= width)
        return true;
    const QByteArray &row = rows.at(y);
    return (hexValue(row.at(x / 4)) >> (3 - x % 4)) & 1;
}

int Logos::expectedRow(int n) const {
    const Logo &r = m_receiving.at(size_t(n - 1));
    return r.width == 0 ? 0 : int(r.rows.size()) + 1;
}

QByteArray Logos::takeRow(const QByteArrayList &fields) {
    // A refused row ends every logo being received.
    auto refuse = [this] {
        m_receiving = {};
        return QByteArray("23");
    };
    if (fields.size() != 6)
        return refuse();
    const auto n = strictNumber(fields.at(1));
    const auto width = strictNumber(fields.at(2));
    const auto height = strictNumber(fields.at(3));
    const auto row = strictNumber(fields.at(4));
    const QByteArray &digits = fields.at(5);
    if (!n || (*n != 1 && *n != 2) || !width || !height || !row || !registerSide(*width) ||
        !registerSide(*height) || *row < 1 || *row > *height || digits.size() != *width / 4 ||
        !upperHex(digits))
        return refuse();
    const size_t index = size_t(*n - 1);
    Logo &receiving = m_receiving[index];
    if (*row == 1) {
        receiving = Logo{};
        receiving.width = *width;
        receiving.height = *height;
    } else if (receiving.width != *width || receiving.height != *height) {
        return refuse(); // no logo of this size under way: its first rows are missing
    } else if (*row == receiving.rows.size()) {
        receiving.rows.removeLast(); // the last row again, as a repeated line brings it
    } else if (*row != receiving.rows.size() + 1) {
        return refuse();
    }
    receiving.rows.append(digits);
    if (receiving.rows.size() == receiving.height)
        complete(int(index));
    return "00";
}

void Logos::complete(int index) {
    m_stored[size_t(index)] = std::exchange(m_receiving[size_t(index)], Logo{});
    if (m_folder.isEmpty())
        return;
    QSaveFile file(pbmPath(index + 1));
    if (file.open(QIODevice::WriteOnly)) {
        file.write(pbm(m_stored[size_t(index)]));
        if (!file.commit())
            fprintf(stderr, "ecrsim: cannot write %s\n", qPrintable(file.fileName()));
    }
}

bool Logos::askedBy(const QByteArrayList &sRecord) {
    constexpr int kPrintLogoFlag = 22;
    const QByteArray flags = sRecord.value(0);
    return flags.size() > kPrintLogoFlag && flags.at(kPrintLogoFlag) == '1';
}

QStringList Logos::paperLines(bool asked) const {
    QStringList out;
    if (!printOnReceipts && !asked)
        return out;
    for (const Logo &l : m_stored) {
        if (!l.isEmpty())
            out << blockLines(l);
    }
    return out;
}

QStringList Logos::blockLines(const Logo &logo) {
    QStringList out;
    if (logo.isEmpty())
        return out;
    // One character is two by two cells, 32 characters a line: a cell is
    // `side` dots square, black when at least half its dots are.
    const int side = std::max(1, logo.width / 64);
    auto blackCell = [&logo, side](int cx, int cy) {
        int black = 0;
        for (int y = cy * side; y < (cy + 1) * side; ++y) {
            for (int x = cx * side; x < (cx + 1) * side; ++x)
                black += logo.white(x, y) ? 0 : 1;
        }
        return 2 * black >= side * side;
    };
    const int columns = (logo.width + 2 * side - 1) / (2 * side);
    const int lines = (logo.height + 2 * side - 1) / (2 * side);
    for (int line = 0; line < lines; ++line) {
        QString text;
        for (int col = 0; col < columns; ++col) {
            const int q =
                (blackCell(2 * col, 2 * line) ? 1 : 0) | (blackCell(2 * col + 1, 2 * line) ? 2 : 0) |
                (blackCell(2 * col, 2 * line + 1) ? 4 : 0) | (blackCell(2 * col + 1, 2 * line + 1) ? 8 : 0);
            text += QChar(kQuadrants[q]);
        }
        out << text;
    }
    return out;
}

bool Logos::setFolder(const QString &folder, QString *error) {
    if (!QDir(folder).exists()) {
        if (error)
            *error = QStringLiteral("no folder %1 for the logos").arg(folder);
        return false;
    }
    m_folder = folder;
    return true;
}

QString Logos::pbmPath(int n) const {
    return m_folder.isEmpty() ? QString() : QDir(m_folder).filePath(QStringLiteral("logo%1.pbm").arg(n));
}

QByteArray Logos::pbm(const Logo &logo) {
    QByteArray out = "P4\n" + QByteArray::number(logo.width) + ' ' + QByteArray::number(logo.height) + '\n';
    for (int y = 0; y < logo.height; ++y) {
        for (int x = 0; x < logo.width; x += 8) {
            int byte = 0;
            for (int bit = 0; bit < 8; ++bit)
                byte = byte << 1 | (x + bit < logo.width && !logo.white(x + bit, y) ? 1 : 0);
            out.append(char(byte));
        }
    }
    return out;
}

QByteArray Logos::control(const QByteArray &line) {
    if (!line.startsWith("logos"))
        return {};
    const QByteArray arg = line.mid(5).trimmed();
    if (arg == "print on" || arg == "print off") {
        printOnReceipts = arg == "print on";
        return "ok";
    }
    if (arg == "clear") {
        m_stored = {};
        m_receiving = {};
        return "ok";
    }
    return "expected logos print on|off or logos clear";
}

} // namespace ecrsim
