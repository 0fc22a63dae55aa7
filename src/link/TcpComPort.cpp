#include "link/TcpComPort.h"

#include <QRegularExpression>

namespace norvvelm {

namespace {
// A device server on the shop's network answers a connection in a few
// milliseconds; one that does not within this time is taken as switched off.
// The wait blocks the caller (the window too), and the start-up watch tries
// again a few seconds later: it is kept short.
constexpr int kConnectMs = 1000;
constexpr qint64 kQueueSize = 16384;

bool shopAddress(const QHostAddress &a) {
    if (a.isLoopback() || a.isLinkLocal() || a.isUniqueLocalUnicast())
        return true;
    if (a.protocol() != QAbstractSocket::IPv4Protocol)
        return false;
    struct Net {
        const char *address;
        int bits;
    };
    static const Net privateNets[] = {{"10.0.0.0", 8}, {"172.16.0.0", 12}, {"192.168.0.0", 16}};
    for (const Net &net : privateNets)
        if (a.isInSubnet(QHostAddress(QLatin1String(net.address)), net.bits))
            return true;
    return false;
}
} // namespace

TcpComPort::TcpComPort() = default;

TcpComPort::~TcpComPort() {
    close();
}

bool TcpComPort::isTcpDevice(const QString &device) {
    return device.trimmed().startsWith(QLatin1String("tcp://"), Qt::CaseInsensitive);
}

bool TcpComPort::parseDevice(const QString &device, QHostAddress &host, quint16 &port, QString &why) {
    static const QRegularExpression form(
        QStringLiteral("^tcp://(\\[([0-9A-Fa-f:.]+)\\]|([^\\[\\]:/]+)):([0-9]{1,5})$"),
        QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch m = form.match(device.trimmed());
    if (!m.hasMatch()) {
        why = QStringLiteral("indirizzo non valido, la forma \u00e8 tcp://INDIRIZZO:PORTA");
        return false;
    }
    const QString name = m.captured(2).isEmpty() ? m.captured(3) : m.captured(2);
    const uint number = m.captured(4).toUInt();
    if (number < 1 || number > 65535) {
        why = QStringLiteral("porta TCP non valida (da 1 a 65535)");
        return false;
    }
    QHostAddress address;
    if (name.compare(QLatin1String("localhost"), Qt::CaseInsensitive) == 0)
        address = QHostAddress(QHostAddress::LocalHost);
    else if (!address.setAddress(name) ||
             (m.captured(2).isEmpty() && address.protocol() != QAbstractSocket::IPv4Protocol)) {
        why = QStringLiteral(
            "indirizzo non valido, la forma \u00e8 tcp://INDIRIZZO:PORTA con l'indirizzo in cifre");
        return false;
    }
    if (!shopAddress(address)) {
        why = QStringLiteral("indirizzo fuori dalla rete locale del negozio");
        return false;
    }
    host = address;
    port = quint16(number);
    return true;
}

void TcpComPort::noteError(QAbstractSocket::SocketError error) {
    if (error == QAbstractSocket::RemoteHostClosedError)
        m_errorText = QStringLiteral("connessione chiusa dal server seriale");
    else
        m_errorText = m_socket->errorString();
}

bool TcpComPort::open(const QString &device, qint32 speed) {
    close();
    if (speed <= 0) {
        m_errorText = QStringLiteral("invalid speed");
        return false;
    }
    m_errorText.clear();
    QHostAddress host;
    quint16 port = 0;
    if (!parseDevice(device, host, port, m_errorText))
        return false;
    // The speed is the device server's own setting: nothing to set here.
    m_socket = std::make_unique<QTcpSocket>();
    QObject::connect(m_socket.get(), &QAbstractSocket::errorOccurred, m_socket.get(),
                     [this](QAbstractSocket::SocketError e) { noteError(e); });
    m_socket->setReadBufferSize(kQueueSize);
    m_socket->connectToHost(host, port);
    if (!m_socket->waitForConnected(kConnectMs)) {
        switch (m_socket->error()) {
        case QAbstractSocket::ConnectionRefusedError:
            m_errorText = QStringLiteral("connessione rifiutata");
            break;
        case QAbstractSocket::SocketTimeoutError:
            m_errorText = QStringLiteral("nessuna risposta dall'indirizzo");
            break;
        default:
            m_errorText = m_socket->errorString();
        }
        m_socket->abort();
        return false;
    }
    // Frames are short and wait for their answer: each leaves at once.
    m_socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    m_socket->setSocketOption(QAbstractSocket::KeepAliveOption, 1);
    return true;
}

void TcpComPort::close() {
    if (!m_socket)
        return;
    if (connected())
        m_socket->flush();
    m_socket->disconnect();
    m_socket->abort();
    m_socket.reset();
}

bool TcpComPort::connected() const {
    return m_socket && m_socket->state() == QAbstractSocket::ConnectedState;
}

bool TcpComPort::isOpen() const {
    return connected();
}

bool TcpComPort::writeByte(quint8 byte) {
    if (!connected())
        return false;
    // Bytes gather in the socket's buffer until flush(): a frame leaves in
    // one segment. Any read, wait or purge flushes too.
    return m_socket->putChar(char(byte));
}

void TcpComPort::flush() {
    if (connected() && m_socket->bytesToWrite() > 0)
        m_socket->flush();
}

bool TcpComPort::readByte(quint8 &byte) {
    flush();
    if (!connected())
        return false;
    if (m_socket->bytesAvailable() == 0)
        m_socket->waitForReadyRead(0);
    char c = 0;
    const bool ok = m_socket->bytesAvailable() > 0 && m_socket->getChar(&c);
    byte = quint8(c);
    return ok;
}

qint64 TcpComPort::bytesQueued() {
    flush();
    if (!connected())
        return 0;
    // Also lets a connection the peer closed show as closed.
    if (m_socket->bytesAvailable() == 0)
        m_socket->waitForReadyRead(0);
    return connected() ? m_socket->bytesAvailable() : 0;
}

bool TcpComPort::waitForData(int ms) {
    flush();
    if (!connected())
        return false;
    if (m_socket->bytesAvailable() > 0)
        return true;
    m_socket->waitForReadyRead(ms);
    return connected() && m_socket->bytesAvailable() > 0;
}

void TcpComPort::purge() {
    if (!connected())
        return;
    flush();
    m_socket->readAll();
}

} // namespace norvvelm
