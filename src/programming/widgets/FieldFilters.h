#pragma once

#include <QString>

class QLineEdit;

namespace norvvelm {

// Text that becomes a command field never holds the field separator: a "/"
// typed or pasted into the box becomes a backslash.
void slashToBackslash(QLineEdit *box);
// What may be typed into a box: at most `limit` characters (0: no limit),
// the digits 0 to 9 alone when `digits`. A longer text put there by a read
// stays whole, and can still be shortened.
void limitTyped(QLineEdit *box, int limit, bool digits = false);

} // namespace norvvelm
