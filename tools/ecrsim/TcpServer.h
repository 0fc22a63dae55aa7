#pragma once

#include "ecrsim/LineServer.h"

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

namespace ecrsim {

class SimLink;

// Serves the simulated register on a TCP port of the loopback interface, as a
// serial device server in raw mode: the bytes of one client at a time go to
// the register and its answers back. A second client is refused while one is
// connected. A client that goes away leaves the register as it is (a receipt
// stays open); what the register was sending is lost.
class TcpServer : public QObject, public LineServer {
    Q_OBJECT
public:
    TcpServer(SimLink &link, quint16 port, QObject *parent = nullptr);
    ~TcpServer() override;

    bool start(QString *error);
    void stop();
    void disconnectFor(int ms) override;
    // The port it listens on (the one the system chose for port 0).
    quint16 port() const { return m_port; }

private:
    void onNewConnection();
    void onReadable();
    void dropClient();
    void flushOutput();

    SimLink &m_link;
    quint16 m_port;
    QTcpServer m_server;
    QPointer<QTcpSocket> m_client;
    QTimer m_outTimer;
    QElapsedTimer m_clock;
};

} // namespace ecrsim
