#include "api/HttpMessage.h"

#include <QJsonDocument>
#include <QJsonObject>

namespace norvvelm {

QByteArray HttpRequest::header(QByteArrayView name, int *count) const {
    QByteArray value;
    int n = 0;
    for (const auto &[k, v] : headers) {
        if (k == name) {
            if (n++ == 0)
                value = v;
        }
    }
    if (count)
        *count = n;
    return value;
}

bool HttpRequest::hasHeader(QByteArrayView name) const {
    int n = 0;
    header(name, &n);
    return n > 0;
}

QByteArray HttpResponse::wire(bool keepAlive, bool withBody) const {
    QByteArray out = "HTTP/1.1 " + QByteArray::number(status) + ' ' + reason(status) + "\r\n";
    out += "Content-Type: " + contentType + "\r\n";
    out += "Content-Length: " + QByteArray::number(body.size()) + "\r\n";
    out += "Cache-Control: no-store\r\nX-Content-Type-Options: nosniff\r\n"
           "Content-Security-Policy: default-src 'self'\r\nReferrer-Policy: no-referrer\r\n";
    for (const auto &[k, v] : headers)
        out += k + ": " + v + "\r\n";
    out += closes(keepAlive) ? "Connection: close\r\n\r\n" : "Connection: keep-alive\r\n\r\n";
    if (withBody)
        out += body;
    return out;
}

HttpResponse HttpResponse::json(int status, const QByteArray &body) {
    HttpResponse r;
    r.status = status;
    r.body = body;
    return r;
}

HttpResponse HttpResponse::error(int status, const Problem &p) {
    QJsonObject e{{QStringLiteral("code"), p.code}, {QStringLiteral("message"), p.message}};
    if (!p.field.isEmpty())
        e.insert(QStringLiteral("field"), p.field);
    if (p.line > 0)
        e.insert(QStringLiteral("line"), p.line);
    if (!p.id.isEmpty())
        e.insert(QStringLiteral("id"), p.id);
    return json(status,
                QJsonDocument(QJsonObject{{QStringLiteral("error"), e}}).toJson(QJsonDocument::Compact));
}

namespace {
constexpr struct {
    int status;
    const char *phrase;
} kReasons[] = {{100, "Continue"},
                {200, "OK"},
                {201, "Created"},
                {202, "Accepted"},
                {400, "Bad Request"},
                {401, "Unauthorized"},
                {403, "Forbidden"},
                {404, "Not Found"},
                {405, "Method Not Allowed"},
                {408, "Request Timeout"},
                {409, "Conflict"},
                {411, "Length Required"},
                {413, "Content Too Large"},
                {414, "URI Too Long"},
                {415, "Unsupported Media Type"},
                {431, "Request Header Fields Too Large"},
                {500, "Internal Server Error"},
                {501, "Not Implemented"},
                {503, "Service Unavailable"},
                {505, "HTTP Version Not Supported"}};
} // namespace

QByteArray HttpResponse::reason(int status) {
    for (const auto &r : kReasons) {
        if (r.status == status)
            return r.phrase;
    }
    return "Status";
}

} // namespace norvvelm
