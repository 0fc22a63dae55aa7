#pragma once

#include "api/HttpMessage.h"

#include <QByteArrayView>

namespace norvvelm {

// What one connection may send and how long it may take.
struct HttpLimits {
    int requestLineBytes = 4096;    // the request line alone
    int headerBytes = 16384;        // request line and header fields together
    int headerCount = 64;           // header fields
    qint64 bodyBytes = 1024 * 1024; // a larger body is refused before it is read
    int requestMs = 10000;          // from a request's first byte to its last
    int idleMs = 15000;             // between requests on a kept connection
    int closingMs = 5000;           // an answer the client does not take
};

// A request's head (its request line and header fields, up to the blank line)
// as far as it has come.
struct HttpHead {
    enum class Outcome {
        Incomplete, // nothing wrong yet: more is to come
        Complete,   // `request`, `size`, `bodyLength` and `keepAlive` hold
        Refused,    // `refusal` is the answer, and the connection closes
    };
    Outcome outcome = Outcome::Incomplete;
    HttpRequest request; // without its body
    qsizetype size = 0;  // bytes of the head, its blank line included
    qint64 bodyLength = 0;
    bool keepAlive = true;
    HttpResponse refusal;
};

// Reads the head at the start of `bytes`, the first bytes of a request and
// whatever has come after them; no byte after the head's blank line is
// looked at. Every line ends in CR LF: a bare LF or CR is refused as soon as
// it arrives. The target is a path (with its query) or the absolute form
// `http://authority/path`, whose authority is kept for the Host check. One
// Host; a body framed by one Content-Length within the limits.
HttpHead ParseHead(QByteArrayView bytes, const HttpLimits &limits);

} // namespace norvvelm
