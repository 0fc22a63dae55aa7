#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

class QSerialPort;

namespace q520 {

// The serial line as the driver sees it: bytes out, and a signal whenever
// bytes came in.
class Port : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    // Opens the device with the given speed, no parity, 8 data bits, 1 stop bit.
    virtual bool open(const QString &device, qint32 baudRate, QString *error) = 0;
    virtual void close() = 0;
    virtual bool isOpen() const = 0;
    virtual void write(const QByteArray &bytes) = 0;
    virtual QByteArray readAll() = 0;
    // Discards what was received and not read yet.
    virtual void clearInput() = 0;

signals:
    void readyRead();
};

class SerialPort final : public Port {
    Q_OBJECT
public:
    explicit SerialPort(QObject *parent = nullptr);
    bool open(const QString &device, qint32 baudRate, QString *error) override;
    void close() override;
    bool isOpen() const override;
    void write(const QByteArray &bytes) override;
    QByteArray readAll() override;
    void clearInput() override;
    // The speed the device itself is set to now (0 when unknown).
    qint32 deviceBaudRate() const;

private:
    QSerialPort *m_port;
};

} // namespace q520
