#pragma once

#include "link/ComPort.h"
#include "link/SerialComPort.h"
#include "link/TcpComPort.h"

namespace norvvelm {

// The port the programs open: the device named in the configuration decides
// what is behind it, a serial port ("/dev/ttyUSB0") or a serial device server
// on the shop's network ("tcp://192.168.1.50:4001").
class DeviceComPort final : public ComPort {
public:
    bool open(const QString &device, qint32 speed) override;
    void close() override { m_current->close(); }
    bool isOpen() const override { return m_current->isOpen(); }
    bool writeByte(quint8 byte) override { return m_current->writeByte(byte); }
    void flush() override { m_current->flush(); }
    bool readByte(quint8 &byte) override { return m_current->readByte(byte); }
    qint64 bytesQueued() override { return m_current->bytesQueued(); }
    bool waitForData(int ms) override { return m_current->waitForData(ms); }
    void purge() override { m_current->purge(); }
    bool wakesEventLoop() const override { return m_current->wakesEventLoop(); }
    QString errorText() const override { return m_current->errorText(); }

private:
    SerialComPort m_serial;
    TcpComPort m_tcp;
    ComPort *m_current = &m_serial;
};

} // namespace norvvelm
