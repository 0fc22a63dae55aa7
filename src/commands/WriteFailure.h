#pragma once

#include <QString>

namespace norvvelm {

class Session;

// The two status-bar panels a failure reports into (1: title, 2: text).
struct StatusTexts {
    QString type;
    QString message;
};

// A file the program could not write: what and where.
StatusTexts WriteFailureTexts(const QString &what, const QString &path);
// The same on status-bar panels 1 and 2 (the daemon writes them to standard
// error).
void ReportWriteFailure(Session &session, const QString &what, const QString &path);

} // namespace norvvelm
