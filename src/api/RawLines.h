#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace norvvelm {

// The technician's raw command lines given to the local interface:
// {"lines": ["?/", "0/", ...]}, each line completed with its final "/" as an
// item of the technician's command file is. No line is judged as the
// executor would judge a receipt's: only what cannot travel in a frame (a
// control character, its length), a character the register cannot take, or
// a blank line is refused. The first fault names its field ("lines[2]: ...",
// "lines: ...") and nothing is read from a faulty body.
struct RawLinesReading {
    QStringList lines;
    QString error; // empty when the body was read
    bool ok() const { return error.isEmpty(); }
};

// At most this many lines in one request.
constexpr int kMaxRawLines = 50;

RawLinesReading ReadRawLines(const QByteArray &body);

} // namespace norvvelm
