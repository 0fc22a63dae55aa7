#include "api/HttpServer.h"

#include <QPointer>
#include <QTcpSocket>

namespace norvvelm {

HttpServer::HttpServer(Deadlines &deadlines, HttpConnection::HeaderCheck check, QObject *parent)
    : QTcpServer(parent), m_deadlines(deadlines), m_check(std::move(check)) {
    setListenBacklogSize(kListenBacklog);
}

HttpServer::~HttpServer() {
    shutdown();
}

void HttpServer::shutdown() {
    close();
    const QList<HttpConnection *> all = std::exchange(m_connections, {});
    for (HttpConnection *c : all) {
        c->disconnect(this);
        c->abort();
        delete c;
    }
}

bool HttpServer::makeRoom() {
    if (m_connections.size() < m_maxConnections)
        return true;
    HttpConnection *quietest = nullptr;
    for (HttpConnection *c : std::as_const(m_connections)) {
        if (!c->answering() && (!quietest || c->quietMs() > quietest->quietMs()))
            quietest = c;
    }
    if (!quietest)
        return false;
    quietest->abort(); // its closed() takes it out of the list
    return m_connections.size() < m_maxConnections;
}

void HttpServer::incomingConnection(qintptr socketDescriptor) {
    auto *socket = new QTcpSocket;
    if (!socket->setSocketDescriptor(socketDescriptor)) {
        delete socket;
        return;
    }
    if (!makeRoom())
        return refuseBusy(socket);
    auto *c = new HttpConnection(socket, m_limits, m_check, m_deadlines, this);
    m_connections.append(c);
    connect(c, &HttpConnection::requestReady, this, &HttpServer::requestReady);
    connect(c, &HttpConnection::closed, this, [this](HttpConnection *gone) {
        m_connections.removeOne(gone);
        gone->deleteLater();
    });
}

// Answered through the same writer as every other answer, and closed; a
// client that does not take it is cut off after the closing time.
void HttpServer::refuseBusy(QTcpSocket *socket) {
    socket->write(HttpResponse::error(503, QStringLiteral("too_many_connections"),
                                      QStringLiteral("Troppe connessioni aperte"))
                      .wire(false));
    socket->setParent(this);
    connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    m_deadlines.after(m_limits.closingMs, [guard = QPointer<QTcpSocket>(socket)] {
        if (!guard)
            return;
        guard->abort();
        guard->deleteLater();
    });
    socket->disconnectFromHost();
}

} // namespace norvvelm
