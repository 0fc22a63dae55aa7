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
    QJsonObject e{{QStringLiteral("code"), p.code.isEmpty() ? statusCode(status) : p.code},
                  {QStringLiteral("message"), p.message}};
    if (!p.field.isEmpty())
        e.insert(QStringLiteral("field"), p.field);
    if (p.line > 0)
        e.insert(QStringLiteral("line"), p.line);
    if (!p.id.isEmpty())
        e.insert(QStringLiteral("id"), p.id);
    return json(status,
                QJsonDocument(QJsonObject{{QStringLiteral("error"), e}}).toJson(QJsonDocument::Compact));
}

HttpResponse HttpResponse::error(int status, const QString &text) {
    return error(status, Problem{{}, text, {}, 0, {}});
}

namespace {
// Each status with its reason phrase and the code of an error that has no
// more precise one.
constexpr struct {
    int status;
    const char *phrase;
    const char16_t *code;
} kReasons[] = {{100, "Continue", u""},
                {200, "OK", u""},
                {201, "Created", u""},
                {202, "Accepted", u""},
                {400, "Bad Request", u"bad_request"},
                {401, "Unauthorized", u"unauthorized"},
                {403, "Forbidden", u"forbidden"},
                {404, "Not Found", u"not_found"},
                {405, "Method Not Allowed", u"method_not_allowed"},
                {408, "Request Timeout", u"request_timeout"},
                {409, "Conflict", u"conflict"},
                {411, "Length Required", u"length_required"},
                {413, "Content Too Large", u"payload_too_large"},
                {414, "URI Too Long", u"uri_too_long"},
                {415, "Unsupported Media Type", u"unsupported_media_type"},
                {429, "Too Many Requests", u"too_many_requests"},
                {431, "Request Header Fields Too Large", u"headers_too_large"},
                {500, "Internal Server Error", u"internal_error"},
                {501, "Not Implemented", u"not_implemented"},
                {503, "Service Unavailable", u"unavailable"},
                {505, "HTTP Version Not Supported", u"http_version_not_supported"}};
} // namespace

QByteArray HttpResponse::reason(int status) {
    for (const auto &r : kReasons) {
        if (r.status == status)
            return r.phrase;
    }
    return "Status";
}

QString HttpResponse::statusCode(int status) {
    for (const auto &r : kReasons) {
        if (r.status == status)
            return QString::fromUtf16(r.code);
    }
    return QStringLiteral("error");
}

} // namespace norvvelm
