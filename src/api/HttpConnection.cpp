#include "api/HttpConnection.h"

#include <QTcpSocket>

#ifdef Q_OS_UNIX
#include <sys/socket.h>
#endif

namespace norvvelm {

namespace {
constexpr qint64 kReadChunk = 64 * 1024;
} // namespace

HttpConnection::HttpConnection(QTcpSocket *socket, const HttpLimits &limits, HeaderCheck check,
                               Deadlines &deadlines, QObject *parent)
    : QObject(parent), m_socket(socket), m_limits(limits), m_check(std::move(check)), m_deadlines(deadlines),
      m_timer(deadlines, [this] { timedOut(); }), m_quietSince(deadlines.nowMs()) {
    m_socket->setParent(this);
    // Bytes the program has not asked for stay in the system's buffers: a
    // client that sends without end is held back by its own connection.
    m_socket->setReadBufferSize(kReadChunk);
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
    armTimer();
}

HttpConnection::~HttpConnection() = default;

qint64 HttpConnection::quietMs() const {
    return m_deadlines.nowMs() - m_quietSince;
}

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
        refuse(HttpResponse::error(408, QStringLiteral("request_timeout"),
                                   QStringLiteral("Richiesta non completata in tempo")));
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
        m_quietSince = m_deadlines.nowMs();
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
    HttpHead head = ParseHead(m_buffer, m_limits);
    if (head.outcome == HttpHead::Outcome::Incomplete)
        return m_socket->bytesAvailable() > 0 && m_buffer.size() <= m_limits.headerBytes ? Step::Again
                                                                                         : Step::Stop;
    // A HEAD is answered without a body, its refusals too.
    m_head = head.outcome == HttpHead::Outcome::Complete && head.request.method == "HEAD";
    std::optional<HttpResponse> refusal;
    if (head.outcome == HttpHead::Outcome::Refused)
        refusal = head.refusal;
    else if (m_check)
        refusal = m_check(head.request, *m_socket);
    if (refusal) {
        refuse(*refusal);
        return Step::Stop;
    }
    m_buffer.remove(0, head.size);
    m_request = std::move(head.request);
    m_bodyLength = head.bodyLength;
    m_keepAlive = head.keepAlive;
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

void HttpConnection::refuse(const HttpResponse &response) {
    m_request = HttpRequest{};
    m_buffer.clear();
    send(response, false);
}

void HttpConnection::respond(const HttpResponse &response) {
    if (m_state != State::Answering)
        return;
    send(response, m_keepAlive);
    if (m_state == State::Idle && !m_inProcess)
        QMetaObject::invokeMethod(this, &HttpConnection::process, Qt::QueuedConnection);
}

void HttpConnection::send(const HttpResponse &response, bool keepAlive) {
    if (m_state == State::Closing || m_state == State::Closed)
        return;
    const bool close = response.closes(keepAlive);
    m_socket->write(response.wire(keepAlive, !m_head));
    m_quietSince = m_deadlines.nowMs();
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
