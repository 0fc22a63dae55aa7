#pragma once

#include <QByteArray>
#include <QDeadlineTimer>
#include <QJsonDocument>
#include <QJsonObject>
#include <QList>
#include <QTcpSocket>
#include <QTest>

#include <functional>

namespace testsupport {

// One answer as it came over the wire.
struct HttpAnswer {
    int status = 0; // 0: the connection closed without an answer
    QList<std::pair<QByteArray, QByteArray>> headers;
    QByteArray body;
    bool closed = false; // the server closed the connection after it

    QByteArray header(QByteArrayView name) const {
        for (const auto &[k, v] : headers) {
            if (k.compare(name, Qt::CaseInsensitive) == 0)
                return v;
        }
        return {};
    }
    QJsonObject json() const { return QJsonDocument::fromJson(body).object(); }
};

// A client on loopback that sends raw bytes and reads one answer, for tests
// of what the server takes and refuses.
class HttpProbe {
public:
    explicit HttpProbe(quint16 port) : m_port(port) {}

    bool connect() {
        m_socket.connectToHost(QStringLiteral("127.0.0.1"), m_port);
        // A refused connection ends the wait at once: nobody listens yet.
        (void)QTest::qWaitFor(
            [this] {
                return m_socket.state() == QAbstractSocket::ConnectedState ||
                       m_socket.state() == QAbstractSocket::UnconnectedState;
            },
            5000);
        return m_socket.state() == QAbstractSocket::ConnectedState;
    }
    QTcpSocket &socket() { return m_socket; }
    // Called between short waits while the probe waits for the server: a
    // test on virtual time moves its clock there, and the server's time-outs
    // come when their time does.
    void setTick(std::function<void()> tick) { m_tick = std::move(tick); }
    void send(const QByteArray &bytes) {
        m_socket.write(bytes);
        m_socket.flush();
    }
    // Reads one whole answer (its header, then Content-Length bytes, none
    // for the answer to a HEAD); waits up to `ms` for it, the event loop
    // running.
    HttpAnswer read(int ms = 10000, bool toHead = false) {
        HttpAnswer a;
        QDeadlineTimer deadline(ms);
        for (;;) {
            m_buffer += m_socket.readAll();
            const qsizetype end = m_buffer.indexOf("\r\n\r\n");
            if (end >= 0) {
                const QList<QByteArray> lines = m_buffer.left(end).split('\n');
                const QList<QByteArray> first = lines.value(0).trimmed().split(' ');
                int status = first.value(1).toInt();
                qsizetype length = 0;
                QList<std::pair<QByteArray, QByteArray>> headers;
                for (qsizetype i = 1; i < lines.size(); ++i) {
                    const QByteArray l = lines.at(i).trimmed();
                    const qsizetype colon = l.indexOf(':');
                    headers.append({l.left(colon).trimmed(), l.mid(colon + 1).trimmed()});
                    if (!toHead && headers.last().first.compare("content-length", Qt::CaseInsensitive) == 0)
                        length = headers.last().second.toLongLong();
                }
                if (status == 100) {
                    m_buffer.remove(0, end + 4);
                    continue;
                }
                if (m_buffer.size() >= end + 4 + length) {
                    a.status = status;
                    a.headers = headers;
                    a.body = m_buffer.mid(end + 4, length);
                    m_buffer.remove(0, end + 4 + length);
                    a.closed = a.header("connection").toLower() == "close";
                    return a;
                }
            }
            if (m_socket.state() != QAbstractSocket::ConnectedState && m_socket.bytesAvailable() == 0) {
                a.closed = true;
                return a;
            }
            if (deadline.hasExpired())
                return a;
            waitSome(deadline);
        }
    }
    // Waits until the server has closed the connection.
    bool closedByServer(int ms = 10000) {
        QDeadlineTimer deadline(ms);
        while (m_socket.state() == QAbstractSocket::ConnectedState && !deadline.hasExpired()) {
            waitSome(deadline);
            m_socket.readAll();
        }
        return m_socket.state() != QAbstractSocket::ConnectedState;
    }

    // A whole request with its length.
    static QByteArray request(const QByteArray &method, const QByteArray &target, quint16 port,
                              const QList<QByteArray> &headers = {}, const QByteArray &body = {}) {
        QByteArray r =
            method + ' ' + target + " HTTP/1.1\r\nHost: 127.0.0.1:" + QByteArray::number(port) + "\r\n";
        for (const QByteArray &h : headers)
            r += h + "\r\n";
        if (!body.isEmpty() || method == "POST")
            r += "Content-Length: " + QByteArray::number(body.size()) + "\r\n";
        return r + "\r\n" + body;
    }
    // One request on a connection of its own.
    static HttpAnswer ask(quint16 port, const QByteArray &bytes, int ms = 10000) {
        HttpProbe p(port);
        if (!p.connect())
            return {};
        p.send(bytes);
        return p.read(ms, bytes.startsWith("HEAD "));
    }

private:
    // The server may live in this thread: its events run meanwhile.
    void waitSome(const QDeadlineTimer &deadline) {
        const int left = int(qMax<qint64>(1, deadline.remainingTime()));
        const bool moved = QTest::qWaitFor(
            [this] {
                return m_socket.bytesAvailable() > 0 || m_socket.state() != QAbstractSocket::ConnectedState;
            },
            m_tick ? qMin(left, 2) : left);
        if (!moved && m_tick)
            m_tick();
    }

    std::function<void()> m_tick;
    quint16 m_port;
    QTcpSocket m_socket;
    QByteArray m_buffer;
};

} // namespace testsupport
