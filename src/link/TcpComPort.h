#pragma once

#include "link/ComPort.h"

#include <QHostAddress>
#include <QTcpSocket>

#include <memory>

namespace norvvelm {

// A register behind a serial device server in raw TCP mode, named as the
// device "tcp://HOST:PORT": the same frames as on the serial line, over one
// connection. When the peer or the network drops the connection the port
// counts as closed, as an unplugged adapter does, and the next open connects
// again to the configured address, and to no other.
class TcpComPort final : public ComPort {
public:
    TcpComPort();
    ~TcpComPort() override;

    // A device this port serves (it begins with "tcp://").
    static bool isTcpDevice(const QString &device);
    // Takes "tcp://HOST:PORT" apart. HOST is an address of the shop's own
    // network (loopback, private, link-local; "localhost" too) written as
    // digits, an IPv6 one in brackets; a name to resolve is refused, as is any
    // other address. False with the reason in Italian for the status bar.
    static bool parseDevice(const QString &device, QHostAddress &host, quint16 &port, QString &why);

    bool open(const QString &device, qint32 speed) override;
    void close() override;
    bool isOpen() const override;
    bool writeByte(quint8 byte) override;
    void flush() override;
    bool readByte(quint8 &byte) override;
    qint64 bytesQueued() override;
    bool waitForData(int ms) override;
    void purge() override;
    // The socket reads when its notifier fires in the event loop.
    bool wakesEventLoop() const override { return true; }
    QString errorText() const override { return m_errorText; }

private:
    void noteError(QAbstractSocket::SocketError error);
    bool connected() const;

    // A new socket for each connection: nothing left of an attempt that
    // failed reaches the next one.
    std::unique_ptr<QTcpSocket> m_socket;
    QString m_errorText;
};

} // namespace norvvelm
