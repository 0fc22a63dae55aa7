#pragma once

#include "api/HttpConnection.h"

#include <QHostAddress>
#include <QList>
#include <QTcpServer>

namespace norvvelm {

// The listening socket and its connections: at most `maxConnections` at a
// time. A new client that finds them all taken closes the one that has been
// quiet longest and is not being answered, so idle connections never keep a
// request out; when every connection is being answered, the newcomer gets
// 503. The kernel keeps a burst of new clients waiting to be taken rather
// than dropping their first call. Time-outs are measured on the clock of
// `deadlines`.
class HttpServer : public QTcpServer {
    Q_OBJECT
public:
    static constexpr int kMaxConnections = 64;
    // Connections the kernel completes before the server takes them.
    static constexpr int kListenBacklog = 1024;

    HttpServer(Deadlines &deadlines, HttpConnection::HeaderCheck check, QObject *parent = nullptr);
    ~HttpServer() override;

    // For the connections opened from now on.
    void setLimits(const HttpLimits &limits) { m_limits = limits; }
    const HttpLimits &limits() const { return m_limits; }
    void setMaxConnections(int count) { m_maxConnections = count; }

    int connectionCount() const { return int(m_connections.size()); }
    // Every connection closed; the listening socket too.
    void shutdown();

signals:
    void requestReady(norvvelm::HttpConnection *connection, const norvvelm::HttpRequest &request);

protected:
    void incomingConnection(qintptr socketDescriptor) override;

private:
    bool makeRoom();
    void refuseBusy(QTcpSocket *socket);

    Deadlines &m_deadlines;
    HttpConnection::HeaderCheck m_check;
    HttpLimits m_limits;
    int m_maxConnections = kMaxConnections;
    QList<HttpConnection *> m_connections;
};

} // namespace norvvelm
