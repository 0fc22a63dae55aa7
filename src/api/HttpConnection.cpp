#include "api/HttpConnection.h"

#include <QTcpSocket>
#include <QUrl>

#ifdef Q_OS_UNIX
#include <sys/socket.h>
#endif

namespace norvvelm {

namespace {

constexpr qint64 kReadChunk = 64 * 1024;

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

} // namespace

HttpConnection::HttpConnection(QTcpSocket *socket, const HttpLimits &limits, HeaderCheck check,
                               QObject *parent)
    : QObject(parent), m_socket(socket), m_limits(limits), m_check(std::move(check)) {
    m_socket->setParent(this);
    // Bytes the program has not asked for stay in the system's buffers: a
    // client that sends without end is held back by its own connection.
    m_socket->setReadBufferSize(kReadChunk);
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, &HttpConnection::timedOut);
    connect(m_socket, &QTcpSocket::readyRead, this, &HttpConnection::process);
    connect(m_socket, &QTcpSocket::disconnected, this, &HttpConnection::finish);
    connect(m_socket, &QTcpSocket::errorOccurred, this, [this](QAbstractSocket::SocketError e) {
        if (e != QAbstractSocket::RemoteHostClosedError || m_state != State::Answering)
            finish();
    });
    connect(m_socket, &QTcpSocket::bytesWritten, this, [this] {
        if (m_state == State::Closing && m_socket->bytesToWrite() == 0)
            endWriting();
    });
    m_quiet.start();
    armTimer();
}

HttpConnection::~HttpConnection() = default;

void HttpConnection::armTimer() {
    switch (m_state) {
    case State::Idle:
        m_timer.start(m_limits.idleMs);
        break;
    case State::Headers:
    case State::Body:
        if (!m_timer.isActive())
            m_timer.start(m_limits.requestMs);
        break;
    case State::Closing:
        m_timer.start(m_limits.closingMs);
        break;
    case State::Answering:
    case State::Closed:
        m_timer.stop();
        break;
    }
}

void HttpConnection::timedOut() {
    switch (m_state) {
    case State::Headers:
    case State::Body:
        refuse(HttpResponse::error(408, QStringLiteral("Richiesta non completata in tempo")));
        break;
    case State::Idle:
    case State::Closing:
        abort();
        break;
    case State::Answering:
    case State::Closed:
        break;
    }
}

void HttpConnection::readMore() {
    const qint64 room = m_state == State::Body ? qMax<qint64>(0, m_bodyLength - (m_buffer.size()))
                                               : qint64(m_limits.headerBytes) + 4 - m_buffer.size();
    if (room <= 0 || m_socket->bytesAvailable() <= 0)
        return;
    const QByteArray got = m_socket->read(qMin(room, kReadChunk));
    if (!got.isEmpty()) {
        m_buffer += got;
        m_quiet.restart();
    }
}

void HttpConnection::endWriting() {
    // Half closed: the client reads the answer whole, and what it still
    // sends (a refused body) is read and dropped until it stops or the
    // closing time is up. Closing outright with its bytes unread would make
    // the system reset the connection and lose the answer.
#ifdef Q_OS_UNIX
    if (!m_halfClosed && m_socket->socketDescriptor() >= 0) {
        m_halfClosed = true;
        ::shutdown(int(m_socket->socketDescriptor()), SHUT_WR);
    }
#else
    m_socket->disconnectFromHost();
#endif
}

// The request line and header fields, once they are all in: Again when more
// is already waiting on the socket, Stop to wait for more (or after a refusal).
HttpConnection::Step HttpConnection::takeHead() {
    const qsizetype end = m_buffer.indexOf("\r\n\r\n");
    const qsizetype lineEnd = m_buffer.indexOf("\r\n");
    if ((lineEnd < 0 && m_buffer.size() > m_limits.requestLineBytes) || lineEnd > m_limits.requestLineBytes) {
        refuse(HttpResponse::error(414, QStringLiteral("Riga di richiesta troppo lunga")));
        return Step::Stop;
    }
    if (end < 0) {
        if (m_buffer.size() > m_limits.headerBytes) {
            refuse(HttpResponse::error(431, QStringLiteral("Intestazioni troppo lunghe")));
            return Step::Stop;
        }
        if (m_socket->bytesAvailable() > 0 && m_buffer.size() <= m_limits.headerBytes)
            return Step::Again;
        return Step::Stop;
    }
    if (end + 4 > m_limits.headerBytes) {
        refuse(HttpResponse::error(431, QStringLiteral("Intestazioni troppo lunghe")));
        return Step::Stop;
    }
    const QByteArray head = m_buffer.left(end);
    m_buffer.remove(0, end + 4);
    std::optional<HttpResponse> refusal = parseHead(head);
    if (!refusal && m_check)
        refusal = m_check(m_request, *m_socket);
    if (refusal) {
        refuse(*refusal);
        return Step::Stop;
    }
    if (m_bodyLength > 0 && m_request.header("expect").compare("100-continue", Qt::CaseInsensitive) == 0)
        m_socket->write("HTTP/1.1 100 Continue\r\n\r\n");
    m_state = State::Body;
    return Step::Done;
}

// The body, once it is all in: the request is told and answered; Stop to
// wait for more.
HttpConnection::Step HttpConnection::takeBody() {
    readMore();
    if (m_buffer.size() < m_bodyLength)
        return m_socket->bytesAvailable() > 0 ? Step::Again : Step::Stop;
    m_request.body = m_buffer.left(m_bodyLength);
    m_buffer.remove(0, m_bodyLength);
    m_state = State::Answering;
    armTimer();
    const HttpRequest request = std::exchange(m_request, HttpRequest{});
    emit requestReady(this, request);
    // Answered at once, the loop goes on with what else was sent.
    return Step::Done;
}

void HttpConnection::process() {
    if (m_state == State::Closing) {
        m_socket->skip(m_socket->bytesAvailable());
        return;
    }
    if (m_inProcess)
        return;
    m_inProcess = true;
    for (;;) {
        if (m_state == State::Answering || m_state == State::Closing || m_state == State::Closed)
            break;
        readMore();
        if (m_state == State::Idle) {
            if (m_buffer.isEmpty())
                break;
            m_state = State::Headers;
            m_timer.stop();
            armTimer();
        }
        const Step step = m_state == State::Headers ? takeHead() : Step::Done;
        if (step == Step::Again)
            continue;
        if (step == Step::Stop)
            break;
        if (m_state == State::Body && takeBody() == Step::Stop)
            break;
    }
    m_inProcess = false;
}

namespace {
std::optional<HttpResponse> bad(const QString &why) {
    return HttpResponse::error(400, why);
}
} // namespace

std::optional<HttpResponse> HttpConnection::parseHead(const QByteArray &head) {
    m_request = HttpRequest{};
    m_bodyLength = 0;
    const QList<QByteArray> lines = head.split('\n');
    if (lines.size() - 1 > m_limits.headerCount)
        return HttpResponse::error(431, QStringLiteral("Troppe intestazioni"));
    for (qsizetype i = 0; i < lines.size(); ++i) {
        // Every line but the last ends in CR LF; a bare CR or LF is refused.
        const QByteArray &l = lines.at(i);
        if (i + 1 < lines.size() && !l.endsWith('\r'))
            return bad(QStringLiteral("Fine riga senza CR"));
    }
    QByteArray requestLine = lines.first();
    requestLine.chop(lines.size() > 1 ? 1 : 0);
    if (auto refusal = parseRequestLine(requestLine))
        return refusal;
    if (auto refusal = parseFields(lines))
        return refusal;
    return checkFraming();
}

// The method, the target (its path and query) and the version.
std::optional<HttpResponse> HttpConnection::parseRequestLine(const QByteArray &requestLine) {
    const QList<QByteArray> parts = requestLine.split(' ');
    if (parts.size() != 3 || !isToken(parts[0]) || parts[1].isEmpty() || !isFieldValue(requestLine))
        return bad(QStringLiteral("Riga di richiesta non valida"));
    if (parts[2] == "HTTP/1.0")
        m_request.http10 = true;
    else if (parts[2] != "HTTP/1.1")
        return HttpResponse::error(505, QStringLiteral("Versione HTTP non gestita"));
    m_request.method = parts[0];
    m_request.target = parts[1];
    if (!m_request.target.startsWith('/'))
        return bad(QStringLiteral("Destinazione della richiesta non valida"));
    const qsizetype q = m_request.target.indexOf('?');
    const QByteArray rawPath = q < 0 ? m_request.target : m_request.target.left(q);
    m_request.path = QUrl::fromPercentEncoding(rawPath);
    if (q >= 0)
        m_request.query = QUrlQuery(QString::fromLatin1(m_request.target.mid(q + 1)));
    return std::nullopt;
}

// The header fields, after the request line.
std::optional<HttpResponse> HttpConnection::parseFields(const QList<QByteArray> &lines) {
    for (qsizetype i = 1; i < lines.size(); ++i) {
        QByteArray l = lines.at(i);
        if (l.endsWith('\r'))
            l.chop(1);
        if (l.contains('\r'))
            return bad(QStringLiteral("Fine riga senza LF"));
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
        m_request.headers.append({name.toLower(), value});
    }
    return std::nullopt;
}

// One Host, and a body whose end the request says: its Content-Length.
std::optional<HttpResponse> HttpConnection::checkFraming() {
    int hosts = 0;
    m_request.header("host", &hosts);
    if (hosts > 1 || (hosts == 0 && !m_request.http10))
        return bad(QStringLiteral("Intestazione Host mancante o ripetuta"));
    if (m_request.hasHeader("transfer-encoding"))
        return HttpResponse::error(501,
                                   QStringLiteral("Transfer-Encoding non gestito: indicare Content-Length"));
    int lengths = 0;
    const QByteArray length = m_request.header("content-length", &lengths);
    if (lengths > 1)
        return bad(QStringLiteral("Content-Length ripetuto"));
    if (lengths == 1) {
        if (!isDigits(length))
            return bad(QStringLiteral("Content-Length non valido"));
        m_bodyLength = length.toLongLong();
        if (m_bodyLength > m_limits.bodyBytes)
            return HttpResponse::error(
                413,
                QStringLiteral("Corpo di %1 byte (massimo %2)").arg(m_bodyLength).arg(m_limits.bodyBytes));
    } else if (m_request.method == "POST" || m_request.method == "PUT") {
        return HttpResponse::error(411, QStringLiteral("Content-Length richiesto"));
    }
    const QByteArray connection = m_request.header("connection").toLower();
    m_keepAlive = m_request.http10 ? connection.contains("keep-alive") : !connection.contains("close");
    return std::nullopt;
}

void HttpConnection::refuse(const HttpResponse &response) {
    m_request = HttpRequest{};
    m_buffer.clear();
    send(response, true);
}

void HttpConnection::respond(const HttpResponse &response) {
    if (m_state != State::Answering)
        return;
    send(response, !m_keepAlive);
    if (m_state == State::Idle && !m_inProcess)
        QMetaObject::invokeMethod(this, &HttpConnection::process, Qt::QueuedConnection);
}

void HttpConnection::send(const HttpResponse &response, bool close) {
    if (m_state == State::Closing || m_state == State::Closed)
        return;
    QByteArray out = "HTTP/1.1 " + QByteArray::number(response.status) + ' ' +
                     HttpResponse::reason(response.status) + "\r\n";
    out += "Content-Type: " + response.contentType + "\r\n";
    out += "Content-Length: " + QByteArray::number(response.body.size()) + "\r\n";
    out += "Cache-Control: no-store\r\nX-Content-Type-Options: nosniff\r\n"
           "Content-Security-Policy: default-src 'self'\r\nReferrer-Policy: no-referrer\r\n";
    for (const auto &[k, v] : response.headers)
        out += k + ": " + v + "\r\n";
    out += close ? "Connection: close\r\n\r\n" : "Connection: keep-alive\r\n\r\n";
    out += response.body;
    m_socket->write(out);
    m_quiet.restart();
    if (close) {
        m_state = State::Closing;
        m_socket->flush();
        if (m_socket->bytesToWrite() == 0)
            endWriting();
    } else {
        m_state = State::Idle;
    }
    armTimer();
}

void HttpConnection::abort() {
    if (m_state == State::Closed)
        return;
    m_socket->abort();
    finish();
}

void HttpConnection::finish() {
    if (m_state == State::Closed)
        return;
    m_state = State::Closed;
    m_timer.stop();
    emit closed(this);
}

} // namespace norvvelm
