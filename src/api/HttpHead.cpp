#include "api/HttpHead.h"

#include <QUrl>

#include <optional>

namespace norvvelm {

namespace {

using Refusal = std::optional<HttpResponse>;

bool isTokenChar(char c) {
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'))
        return true;
    return QByteArrayView("!#$%&'*+-.^_`|~").contains(c);
}

bool isToken(QByteArrayView s) {
    if (s.isEmpty())
        return false;
    for (const char c : s) {
        if (!isTokenChar(c))
            return false;
    }
    return true;
}

// A field value holds visible characters, blanks and tabs only.
bool isFieldValue(QByteArrayView s) {
    for (const char c : s) {
        const auto u = static_cast<unsigned char>(c);
        if ((u < 0x20 && u != '\t') || u == 0x7f)
            return false;
    }
    return true;
}

bool isDigits(QByteArrayView s) {
    if (s.isEmpty() || s.size() > 18)
        return false;
    for (const char c : s) {
        if (c < '0' || c > '9')
            return false;
    }
    return true;
}

// A request no reader can take one way only: malformed.
Refusal bad(const QString &why) {
    return HttpResponse::error(400, QStringLiteral("bad_request"), why);
}

// Every LF follows a CR and every CR comes before an LF, among the first
// `end` bytes (a CR last of all may still get its LF).
Refusal lineEndProblem(QByteArrayView bytes, qsizetype end) {
    for (qsizetype i = 0; i < end; ++i) {
        if (bytes[i] == '\n' && (i == 0 || bytes[i - 1] != '\r'))
            return bad(QStringLiteral("Fine riga senza CR"));
        if (bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] != '\n')
            return bad(QStringLiteral("Fine riga senza LF"));
    }
    return std::nullopt;
}

// The request line and the whole head within their sizes, as far as they
// have come.
Refusal sizeProblem(QByteArrayView bytes, qsizetype end, const HttpLimits &limits) {
    // Without its end yet, the line may still take its CR.
    const qsizetype lineEnd = bytes.indexOf(QByteArrayView("\r\n"));
    if ((lineEnd < 0 && bytes.size() > limits.requestLineBytes + 1) || lineEnd > limits.requestLineBytes)
        return HttpResponse::error(414, QStringLiteral("uri_too_long"),
                                   QStringLiteral("Riga di richiesta troppo lunga"));
    if ((end < 0 && bytes.size() > limits.headerBytes) || end + 4 > limits.headerBytes)
        return HttpResponse::error(431, QStringLiteral("headers_too_large"),
                                   QStringLiteral("Intestazioni troppo lunghe"));
    return std::nullopt;
}

// The target: a path with its query, or the absolute form naming this
// server, whose authority the Host check judges.
Refusal takeTarget(const QByteArray &target, HttpRequest &request) {
    QByteArray origin = target;
    if (target.left(7).compare("http://", Qt::CaseInsensitive) == 0) {
        const QByteArray rest = target.mid(7);
        qsizetype cut = rest.indexOf('/');
        const qsizetype query = rest.indexOf('?');
        if (query >= 0 && (cut < 0 || query < cut))
            cut = query;
        request.authority = cut < 0 ? rest : rest.left(cut);
        if (request.authority.isEmpty() || request.authority.contains('@'))
            return bad(QStringLiteral("Destinazione della richiesta non valida"));
        origin = cut < 0 ? QByteArray("/") : rest.mid(cut);
        if (origin.startsWith('?'))
            origin.prepend('/');
    }
    if (!origin.startsWith('/'))
        return bad(QStringLiteral("Destinazione della richiesta non valida"));
    request.target = origin;
    const qsizetype q = origin.indexOf('?');
    request.path = QUrl::fromPercentEncoding(q < 0 ? origin : origin.left(q));
    if (q >= 0)
        request.query = QUrlQuery(QString::fromLatin1(origin.mid(q + 1)));
    return std::nullopt;
}

// The method, the target and the version.
Refusal takeRequestLine(const QByteArray &requestLine, HttpRequest &request) {
    const QList<QByteArray> parts = requestLine.split(' ');
    if (parts.size() != 3 || !isToken(parts[0]) || parts[1].isEmpty() || !isFieldValue(requestLine))
        return bad(QStringLiteral("Riga di richiesta non valida"));
    if (parts[2] == "HTTP/1.0")
        request.http10 = true;
    else if (parts[2] != "HTTP/1.1")
        return HttpResponse::error(505, QStringLiteral("http_version_not_supported"),
                                   QStringLiteral("Versione HTTP non gestita"));
    request.method = parts[0];
    return takeTarget(parts[1], request);
}

// The header fields, after the request line.
Refusal takeFields(const QList<QByteArray> &lines, HttpRequest &request) {
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QByteArray &l = lines.at(i);
        const qsizetype colon = l.indexOf(':');
        if (colon <= 0)
            return bad(QStringLiteral("Intestazione non valida"));
        const QByteArray name = l.left(colon);
        // No space before the colon, no folded lines.
        if (!isToken(name))
            return bad(QStringLiteral("Nome di intestazione non valido"));
        const QByteArray value = l.mid(colon + 1).trimmed();
        if (!isFieldValue(value))
            return bad(QStringLiteral("Valore di intestazione non valido"));
        request.headers.append({name.toLower(), value});
    }
    return std::nullopt;
}

// One Host, and a body whose end the request says: its Content-Length.
Refusal takeFraming(HttpHead &head, const HttpLimits &limits) {
    const HttpRequest &request = head.request;
    int hosts = 0;
    request.header("host", &hosts);
    if (hosts > 1 || (hosts == 0 && !request.http10))
        return bad(QStringLiteral("Intestazione Host mancante o ripetuta"));
    if (request.hasHeader("transfer-encoding"))
        return HttpResponse::error(501, QStringLiteral("not_implemented"),
                                   QStringLiteral("Transfer-Encoding non gestito: indicare Content-Length"));
    int lengths = 0;
    const QByteArray length = request.header("content-length", &lengths);
    if (lengths > 1)
        return bad(QStringLiteral("Content-Length ripetuto"));
    if (lengths == 1) {
        if (!isDigits(length))
            return bad(QStringLiteral("Content-Length non valido"));
        head.bodyLength = length.toLongLong();
        if (head.bodyLength > limits.bodyBytes)
            return HttpResponse::error(
                413, QStringLiteral("payload_too_large"),
                QStringLiteral("Corpo di %1 byte (massimo %2)").arg(head.bodyLength).arg(limits.bodyBytes));
    } else if (request.method == "POST" || request.method == "PUT") {
        return HttpResponse::error(411, QStringLiteral("length_required"),
                                   QStringLiteral("Content-Length richiesto"));
    }
    const QByteArray connection = request.header("connection").toLower();
    head.keepAlive = request.http10 ? connection.contains("keep-alive") : !connection.contains("close");
    return std::nullopt;
}

// The complete head, its blank line left out.
Refusal takeHead(QByteArrayView text, HttpHead &head, const HttpLimits &limits) {
    const QList<QByteArray> lines = text.toByteArray().split('\n');
    if (lines.size() - 1 > limits.headerCount)
        return HttpResponse::error(431, QStringLiteral("headers_too_large"),
                                   QStringLiteral("Troppe intestazioni"));
    QList<QByteArray> bare;
    bare.reserve(lines.size());
    for (const QByteArray &l : lines)
        bare.append(l.endsWith('\r') ? l.chopped(1) : l);
    if (auto refusal = takeRequestLine(bare.first(), head.request))
        return refusal;
    if (auto refusal = takeFields(bare, head.request))
        return refusal;
    return takeFraming(head, limits);
}

} // namespace

HttpHead ParseHead(QByteArrayView bytes, const HttpLimits &limits) {
    HttpHead head;
    const qsizetype end = bytes.indexOf(QByteArrayView("\r\n\r\n"));
    Refusal refusal = lineEndProblem(bytes, end < 0 ? bytes.size() : end + 4);
    if (!refusal)
        refusal = sizeProblem(bytes, end, limits);
    if (!refusal && end >= 0)
        refusal = takeHead(bytes.first(end), head, limits);
    if (refusal) {
        head = HttpHead{};
        head.outcome = HttpHead::Outcome::Refused;
        head.refusal = *refusal;
    } else if (end >= 0) {
        head.outcome = HttpHead::Outcome::Complete;
        head.size = end + 4;
    }
    return head;
}

} // namespace norvvelm
