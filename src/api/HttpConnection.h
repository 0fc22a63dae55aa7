#pragma once

#include "api/HttpHead.h"
#include "api/HttpMessage.h"
#include "link/ClockTimer.h"

#include <QObject>

#include <functional>
#include <optional>

class QTcpSocket;

namespace norvvelm {

// One client connection: reads requests within the limits, answers each in
// turn (one at a time; what the client sends meanwhile waits), keeps the
// connection for the next request or closes it. Every refusal is answered
// and closes the connection. Its time-outs are measured on the clock of
// `deadlines`.
class HttpConnection : public QObject {
    Q_OBJECT
public:
    // Looks at a request whose header fields are in, before its body is
    // read: an answer refuses it (and nothing of its body is read).
    using HeaderCheck = std::function<std::optional<HttpResponse>(const HttpRequest &, const QTcpSocket &)>;

    HttpConnection(QTcpSocket *socket, const HttpLimits &limits, HeaderCheck check, Deadlines &deadlines,
                   QObject *parent = nullptr);
    ~HttpConnection() override;

    QTcpSocket &socket() { return *m_socket; }
    // A request is being answered: its handler holds it.
    bool answering() const { return m_state == State::Answering; }
    // Milliseconds since the client last sent something or was answered.
    qint64 quietMs() const;

    // The answer to the request being answered (without its body when it
    // was a HEAD); the connection then goes on with the next request, or
    // closes.
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
    enum class Step { Again, Stop, Done };
    Step takeHead();
    Step takeBody();
    void refuse(const HttpResponse &response);
    void send(const HttpResponse &response, bool keepAlive);
    void endWriting();
    void armTimer();
    void timedOut();
    void finish();

    QTcpSocket *m_socket;
    HttpLimits m_limits;
    HeaderCheck m_check;
    Deadlines &m_deadlines;
    State m_state = State::Idle;
    QByteArray m_buffer;
    HttpRequest m_request;
    qint64 m_bodyLength = 0;
    bool m_keepAlive = true;
    bool m_head = false; // the request being answered is a HEAD
    bool m_inProcess = false;
    bool m_halfClosed = false;
    ClockTimer m_timer;
    qint64 m_quietSince = 0;
};

} // namespace norvvelm
