#pragma once

#include "link/ComPort.h"

#include <QSerialPort>

namespace norvvelm {

// The real serial port, on QSerialPort.
class SerialComPort final : public ComPort {
public:
    SerialComPort();
    ~SerialComPort() override;

    bool open(const QString &device, qint32 speed) override;
    void close() override;
    bool isOpen() const override;
    bool writeByte(quint8 byte) override;
    void flush() override { flushOutput(); }
    bool readByte(quint8 &byte) override;
    qint64 bytesQueued() override;
    bool waitForData(int ms) override;
    void purge() override;
    // QSerialPort reads the device when its notifier fires in the event loop.
    bool wakesEventLoop() const override { return true; }
    QString errorText() const override { return m_errorText; }

    // The device path after links are resolved: two names of one device open
    // the same port, so the second is refused as busy.
    static QString canonicalDevice(const QString &device);

private:
    void noteError(QSerialPort::SerialPortError error);
    void closeIfHungUp();
    void checkHangUp();
    void flushOutput();

    QSerialPort m_port;
    bool m_hungUp = false;
    QString m_errorText;
};

} // namespace norvvelm
