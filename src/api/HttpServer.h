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
// 503.
class HttpServer : public QTcpServer {
    Q_OBJECT
public:
    static constexpr int kMaxConnections = 64;

    explicit HttpServer(QObject *parent = nullptr);
    ~HttpServer() override;

    HttpLimits limits;
    int maxConnections = kMaxConnections;
    HttpConnection::HeaderCheck headerCheck;

    int connectionCount() const { return int(m_connections.size()); }
    // Every connection closed; the listening socket too.
    void shutdown();

signals:
    void requestReady(norvvelm::HttpConnection *connection, const norvvelm::HttpRequest &request);

protected:
    void incomingConnection(qintptr socketDescriptor) override;

private:
    bool makeRoom();
    QList<HttpConnection *> m_connections;
};

} // namespace norvvelm
