#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

namespace ecrsim {

// The register's code page: text on the line is single-byte Windows-1252.
QString fromCp1252(QByteArrayView bytes);
QByteArray toCp1252(QStringView text); // characters the code page lacks become '?'

// A decimal number as the register reads it: digits with at most one '.' and
// at most `decimals` digits after it, no sign, surrounding blanks allowed.
// Returns the value scaled by 10^decimals, or nothing for anything else
// (letters, a comma, an empty field, more than nine integer digits).
std::optional<qint64> parseFixed(QByteArrayView text, int decimals);

// 1234 with 2 decimals: "12.34" (wire) or "12,34" (paper).
QByteArray wireAmount(qint64 cents);
QString paperAmount(qint64 cents);
// A quantity in thousandths for the paper, trailing zeros dropped: "1", "1,5".
QString paperQuantity(qint64 thousandths);

} // namespace ecrsim
