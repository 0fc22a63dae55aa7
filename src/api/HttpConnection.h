#pragma once

#include "api/HttpMessage.h"

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <functional>
#include <optional>

class QTcpSocket;

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

// One client connection: reads requests within the limits, answers each in
// turn (one at a time; what the client sends meanwhile waits), keeps the
// connection for the next request or closes it. Every refusal of the wire
// format is answered and closes the connection.
class HttpConnection : public QObject {
    Q_OBJECT
public:
    // Looks at a request whose header fields are in, before its body is
    // read: an answer refuses it (and nothing of its body is read).
    using HeaderCheck = std::function<std::optional<HttpResponse>(const HttpRequest &, const QTcpSocket &)>;

    HttpConnection(QTcpSocket *socket, const HttpLimits &limits, HeaderCheck check,
                   QObject *parent = nullptr);
    ~HttpConnection() override;

    QTcpSocket &socket() { return *m_socket; }
    // A request is being answered: its handler holds it.
    bool answering() const { return m_state == State::Answering; }
    // Milliseconds since the client last sent something or was answered.
    qint64 quietMs() const { return m_quiet.elapsed(); }

    // The answer to the request being answered; the connection then goes on
    // with the next request, or closes.
    void respond(const HttpResponse &response);
    // Closed at once, whatever it was doing.
    void abort();

signals:
    void requestReady(norvvelm::HttpConnection *connection, const norvvelm::HttpRequest &request);
    void closed(norvvelm::HttpConnection *connection);

private:
    enum class State { Idle, Headers, Body, Answering, Closing, Closed };
    void readMore();
    void process();
    // Parses the header block; an answer when it is refused.
    std::optional<HttpResponse> parseHead(const QByteArray &head);
    std::optional<HttpResponse> parseRequestLine(const QByteArray &requestLine);
    std::optional<HttpResponse> parseFields(const QList<QByteArray> &lines);
    std::optional<HttpResponse> checkFraming();
    enum class Step { Again, Stop, Done };
    Step takeHead();
    Step takeBody();
    void refuse(const HttpResponse &response);
    void send(const HttpResponse &response, bool close);
    void endWriting();
    void armTimer();
    void timedOut();
    void finish();

    QTcpSocket *m_socket;
    HttpLimits m_limits;
    HeaderCheck m_check;
    State m_state = State::Idle;
    QByteArray m_buffer;
    HttpRequest m_request;
    qint64 m_bodyLength = 0;
    bool m_keepAlive = true;
    bool m_inProcess = false;
    bool m_halfClosed = false;
    QTimer m_timer;
    QElapsedTimer m_quiet;
};

} // namespace norvvelm
