#include "api/HttpServer.h"

#include <QTcpSocket>
#include <QTimer>

namespace norvvelm {

HttpServer::HttpServer(QObject *parent) : QTcpServer(parent) {}

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
    if (m_connections.size() < maxConnections)
        return true;
    HttpConnection *quietest = nullptr;
    for (HttpConnection *c : std::as_const(m_connections)) {
        if (!c->answering() && (!quietest || c->quietMs() > quietest->quietMs()))
            quietest = c;
    }
    if (!quietest)
        return false;
    quietest->abort(); // its closed() takes it out of the list
    return m_connections.size() < maxConnections;
}

void HttpServer::incomingConnection(qintptr socketDescriptor) {
    auto *socket = new QTcpSocket;
    if (!socket->setSocketDescriptor(socketDescriptor)) {
        delete socket;
        return;
    }
    if (!makeRoom()) {
        const HttpResponse busy = HttpResponse::error(503, QStringLiteral("Troppe connessioni aperte"));
        socket->write("HTTP/1.1 503 " + HttpResponse::reason(503) +
                      "\r\nContent-Type: application/json\r\nContent-Length: " +
                      QByteArray::number(busy.body.size()) + "\r\nConnection: close\r\n\r\n" + busy.body);
        socket->setParent(this);
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        QTimer::singleShot(limits.closingMs, socket, [socket] {
            socket->abort();
            socket->deleteLater();
        });
        socket->disconnectFromHost();
        return;
    }
    auto *c = new HttpConnection(socket, limits, headerCheck, this);
    m_connections.append(c);
    connect(c, &HttpConnection::requestReady, this, &HttpServer::requestReady);
    connect(c, &HttpConnection::closed, this, [this](HttpConnection *gone) {
        m_connections.removeOne(gone);
        gone->deleteLater();
    });
}

} // namespace norvvelm
