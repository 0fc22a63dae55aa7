#include "ecrsim/TcpServer.h"

#include "ecrsim/SimLink.h"

namespace ecrsim {

TcpServer::TcpServer(SimLink &link, quint16 port, QObject *parent)
    : QObject(parent), m_link(link), m_port(port) {
    m_clock.start();
    m_outTimer.setSingleShot(true);
    m_outTimer.setTimerType(Qt::PreciseTimer);
    connect(&m_outTimer, &QTimer::timeout, this, &TcpServer::flushOutput);
    connect(&m_server, &QTcpServer::newConnection, this, &TcpServer::onNewConnection);
}

TcpServer::~TcpServer() {
    stop();
}

bool TcpServer::start(QString *error) {
    if (!m_server.listen(QHostAddress::LocalHost, m_port)) {
        if (error)
            *error = QStringLiteral("listen on port ") + QString::number(m_port) + QStringLiteral(": ") +
                     m_server.errorString();
        return false;
    }
    m_port = m_server.serverPort();
    return true;
}

void TcpServer::stop() {
    m_outTimer.stop();
    dropClient();
    m_server.close();
}

void TcpServer::dropClient() {
    if (!m_client)
        return;
    QTcpSocket *client = m_client;
    m_client = nullptr;
    client->disconnect(this);
    client->abort();
    client->deleteLater();
}

void TcpServer::disconnectFor(int ms) {
    // Nobody can connect until the line is back: a connection is refused.
    stop();
    m_link.dropOutput();
    QTimer::singleShot(std::max(ms, 0), this, [this] {
        QString error;
        if (!start(&error))
            qWarning("ecrsim: cannot bring the port back: %s", qPrintable(error));
    });
}

void TcpServer::onNewConnection() {
    while (QTcpSocket *socket = m_server.nextPendingConnection()) {
        // A client that went away makes room: its end shows at this read.
        if (m_client)
            m_client->waitForReadyRead(0);
        if (m_client) {
            socket->abort();
            socket->deleteLater();
            continue;
        }
        m_client = socket;
        socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
        connect(socket, &QTcpSocket::readyRead, this, &TcpServer::onReadable);
        connect(socket, &QTcpSocket::disconnected, this, [this] {
            dropClient();
            m_link.dropOutput();
        });
    }
}

void TcpServer::onReadable() {
    if (!m_client)
        return;
    const QByteArray bytes = m_client->readAll();
    if (!bytes.isEmpty())
        m_link.receive(QByteArrayView(bytes), m_clock.elapsed());
    flushOutput();
}

void TcpServer::flushOutput() {
    const qint64 now = m_clock.elapsed();
    const QByteArray due = m_link.takeOutput(now);
    // With nobody connected the bytes are lost, as on a line with no PC.
    if (m_client && !due.isEmpty()) {
        m_client->write(due);
        m_client->flush();
    }
    const qint64 next = m_link.nextOutputAt();
    if (next >= 0)
        m_outTimer.start(int(std::max<qint64>(0, next - now)));
}

} // namespace ecrsim
