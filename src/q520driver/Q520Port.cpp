#include "q520driver/Q520Port.h"

#include <QFileInfo>
#include <QSerialPort>

#ifdef Q_OS_UNIX
#include <termios.h>
#endif

namespace q520 {

SerialPort::SerialPort(QObject *parent) : Port(parent), m_port(new QSerialPort(this)) {
    connect(m_port, &QSerialPort::readyRead, this, &Port::readyRead);
}

bool SerialPort::open(const QString &device, qint32 baudRate, QString *error) {
    // A link to a device (as /dev/serial/by-id/...) opens the device itself, so
    // that two names of one port still exclude each other.
    const QString canonical = QFileInfo(device).canonicalFilePath();
    m_port->setPortName(canonical.isEmpty() ? device : canonical);
    // Set before opening, the settings are applied by the open itself.
    m_port->setBaudRate(baudRate);
    m_port->setDataBits(QSerialPort::Data8);
    m_port->setParity(QSerialPort::NoParity);
    m_port->setStopBits(QSerialPort::OneStop);
    m_port->setFlowControl(QSerialPort::NoFlowControl);
    if (!m_port->open(QIODevice::ReadWrite)) {
        if (error)
            *error = m_port->errorString();
        return false;
    }
    m_port->clear();
    return true;
}

void SerialPort::close() {
    if (m_port->isOpen())
        m_port->close();
}

bool SerialPort::isOpen() const {
    return m_port->isOpen();
}

void SerialPort::write(const QByteArray &bytes) {
    if (!m_port->isOpen())
        return;
    m_port->write(bytes);
    m_port->flush();
}

QByteArray SerialPort::readAll() {
    return m_port->readAll();
}

void SerialPort::clearInput() {
    if (m_port->isOpen()) {
        m_port->clear(QSerialPort::Input);
        m_port->readAll();
    }
}

qint32 SerialPort::deviceBaudRate() const {
#ifdef Q_OS_UNIX
    if (!m_port->isOpen())
        return 0;
    termios tio{};
    if (::tcgetattr(static_cast<int>(m_port->handle()), &tio) != 0)
        return 0;
    switch (::cfgetospeed(&tio)) {
    case B9600:
        return 9600;
    case B19200:
        return 19200;
    case B38400:
        return 38400;
    case B57600:
        return 57600;
    case B115200:
        return 115200;
    default:
        return 0;
    }
#else
    return m_port->isOpen() ? m_port->baudRate() : 0;
#endif
}

} // namespace q520
