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

HttpResponse HttpResponse::error(int status, const QString &text) {
    return json(status,
                QJsonDocument(QJsonObject{{QStringLiteral("error"), text}}).toJson(QJsonDocument::Compact));
}

QByteArray HttpResponse::reason(int status) {
    switch (status) {
    case 100:
        return "Continue";
    case 200:
        return "OK";
    case 202:
        return "Accepted";
    case 400:
        return "Bad Request";
    case 401:
        return "Unauthorized";
    case 403:
        return "Forbidden";
    case 404:
        return "Not Found";
    case 405:
        return "Method Not Allowed";
    case 408:
        return "Request Timeout";
    case 409:
        return "Conflict";
    case 411:
        return "Length Required";
    case 413:
        return "Content Too Large";
    case 414:
        return "URI Too Long";
    case 415:
        return "Unsupported Media Type";
    case 431:
        return "Request Header Fields Too Large";
    case 500:
        return "Internal Server Error";
    case 501:
        return "Not Implemented";
    case 503:
        return "Service Unavailable";
    case 505:
        return "HTTP Version Not Supported";
    default:
        return "Status";
    }
}

} // namespace norvvelm
