#pragma once

#include <QString>

namespace norvvelm {

// Texts of the programming tables as they travel in command fields.

// The trimmed text; when longer than `limit` only its last `limit`
// characters, trimmed again.
QString LastCharacters(const QString &text, int limit);

// The numeric value of a text's leading numeric part: blanks, a sign, digits,
// a "." and more digits. Empty or non-numeric text gives 0; "1,50" gives 1.
double LeadingNumber(const QString &text);

// A number as decimal text: "." as the decimal point, no trailing zeros after
// it, no zero before it between -1 and 1 (0.5 gives ".5"), no leading blank.
QString DecimalText(double value);

} // namespace norvvelm
