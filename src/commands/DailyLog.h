#pragma once

#include <QString>

namespace norvvelm {

class Session;

// The daily log's state: the name part of its file (LogPrefix, the receipt
// mask's) and whether it could not be written, so that an outage is said
// once.
class DailyLog {
public:
    QString logPrefix() const { return m_logPrefix; } // LogPrefix
    void setLogPrefix(const QString &prefix) { m_logPrefix = prefix; }
    bool failing() const { return m_failing; }
    void setFailing(bool failing) { m_failing = failing; }

private:
    QString m_logPrefix;
    bool m_failing = false;
};

// The daily log: one 225-character line per exchange in the print server's
// folder, named after the receipt file (or mask) and the day.
namespace dailylog {
constexpr int kLineWidth = 225;
// The name part of the log for the receipt name or the mask's name part: it
// without the dots and spaces at either end, "VELM" when nothing is left
// ("scontrino.txt", "*.txt" gives "txt", "ord*" "ord", "*" "VELM").
QString LogNamePart(const QString &maskName);
// "<folder>/<name part> YYYYMMDD.log" for the session's folder, prefix and day.
QString FileName(const Session &session);
// The line as written: time (19), " - ", command (50), " - ", answer (150).
QString FormatLine(const QString &timestamp, const QString &command, const QString &answer);
} // namespace dailylog

// Appends one line while the log is on. An answer ending in "26" (the busy
// code) is never logged. A line that cannot be written is lost; the first
// loss of an outage is said on the status bar, and so is the first line
// written again afterwards.
void WriteLogLine(Session &session, const QString &answer, const QString &command);

// The rule of the log file's name, as shown by its help button.
QString LogFileExplanation();

} // namespace norvvelm
