#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QUrlQuery>

#include <utility>

namespace norvvelm {

// One request as the server took it from the wire: the method and target of
// its request line, its header fields (names in lower case, in the order
// they came) and its body.
struct HttpRequest {
    QByteArray method;
    QByteArray target;    // its path and query
    QByteArray authority; // the host and port of a target sent in absolute form
    QString path;         // percent-decoded, without the query
    QUrlQuery query;
    bool http10 = false;
    QList<std::pair<QByteArray, QByteArray>> headers;
    QByteArray body;

    // The value of a header field, empty when absent; `count` tells how many
    // times it came.
    QByteArray header(QByteArrayView name, int *count = nullptr) const;
    bool hasHeader(QByteArrayView name) const;
};

// One answer: status, type and body; its writer adds the length, the
// connection's fate and the headers every answer carries.
struct HttpResponse {
    int status = 200;
    QByteArray contentType = "application/json";
    QByteArray body;
    QList<std::pair<QByteArray, QByteArray>> headers;

    // Whether the connection ends after this answer: when the client asks
    // it (`keepAlive` false), and after every refusal.
    bool closes(bool keepAlive) const { return !keepAlive || status >= 400; }
    // The one writer of answers: status line, type, length, the headers every
    // answer carries, its own, and the connection's fate; the body unless
    // the request was a HEAD (the length stays the body's).
    QByteArray wire(bool keepAlive, bool withBody = true) const;

    static HttpResponse json(int status, const QByteArray &body);
    // {"error": {"code", "message", "field"?, "line"?, "id"?}}: the code a
    // program matches, stable, and the words for the person. Every refusal
    // names its own code; docs/api.md lists them all.
    struct Problem {
        QString code;
        QString message;
        QString field; // the header, query parameter or body field it is about
        int line = 0;  // the body's line (from 1), when one
        QString id;    // the receipt it is about (a key already given)
    };
    static HttpResponse error(int status, const Problem &problem);
    static HttpResponse error(int status, const QString &code, const QString &text) {
        return error(status, Problem{code, text, {}, 0, {}});
    }
    // The status line's reason phrase.
    static QByteArray reason(int status);
};

} // namespace norvvelm
