#pragma once

#include "link/ComPort.h"

#include <QSerialPort>

namespace norvvelm {

// "Impossibile Aprire Porta Com1 (/dev/ttyUSB0: dispositivo inesistente)":
// the port, the device behind it and why it did not open.
QString CannotOpenPortText(const QString &porta, const QString &device, const QString &cause);

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
    bool heldElsewhere() const override { return m_heldElsewhere; }

    // The device path after links are resolved: two names of one device open
    // the same port, so the second is refused as busy.
    static QString canonicalDevice(const QString &device);

    // Why a device would not open, in the words the user acts on: missing,
    // held by another program (named when its lock file says which), not
    // allowed to this user, or what the system said.
    static QString openFailureCause(QSerialPort::SerialPortError error, const QString &device,
                                    const QString &detail);
    // The program whose lock file holds `device` ("norvvelmd, pid 4242"),
    // empty when no live program holds it.
    static QString lockHolder(const QString &device);

private:
    void noteError(QSerialPort::SerialPortError error);
    void closeIfHungUp();
    void checkHangUp();
    void flushOutput();

    QSerialPort m_port;
    bool m_hungUp = false;
    QString m_errorText;
    bool m_heldElsewhere = false;
};

} // namespace norvvelm
