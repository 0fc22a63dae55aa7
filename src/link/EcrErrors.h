#pragma once

#include <QString>

namespace norvvelm {

// Severity class of a register error code, as the executor reacts to it.
enum class ErrorClass : int {
    None = 0,    // no error, or a code the register table does not know
    Busy = 1,    // repeat the same line
    Refused = 2, // log, show, go on with the next line
    Paper = 4,   // paper out or cover open: wait for the operator, then repeat
    Serious = 9, // stop and drop the queue
};

struct EcrError {
    ErrorClass errorClass = ErrorClass::None;
    QString message; // empty for class 0
};

// Looks up the two-character hexadecimal error code of an answer line.
// Empty text reads as "0"; text that is not hexadecimal gives class 0.
EcrError DescribeEcrError(const QString &codeText);

} // namespace norvvelm
