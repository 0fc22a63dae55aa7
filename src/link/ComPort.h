#pragma once

#include <QString>
#include <QtGlobal>

namespace norvvelm {

// The byte pipe to the register. The real one wraps QSerialPort; tests use an
// in-memory one wired to the simulated register.
class ComPort {
public:
    virtual ~ComPort() = default;

    // Opens the device at the given speed with the fixed line settings
    // (8 data bits, no parity, 1 stop bit, no flow control, DTR and RTS on).
    virtual bool open(const QString &device, qint32 speed) = 0;
    virtual void close() = 0;
    virtual bool isOpen() const = 0;

    // Queues one byte; flush() sends what is queued.
    virtual bool writeByte(quint8 byte) = 0;
    virtual void flush() {}
    // False when no byte could be read.
    virtual bool readByte(quint8 &byte) = 0;
    // Bytes waiting in the input queue (refreshes it without blocking).
    virtual qint64 bytesQueued() = 0;
    // Blocks for at most ms waiting for input; true when input is queued.
    virtual bool waitForData(int ms) = 0;
    // Drops everything queued in both directions.
    virtual void purge() = 0;
    // Its input wakes the thread's event loop: a wait there sees the data.
    virtual bool wakesEventLoop() const { return false; }

    virtual QString errorText() const { return {}; }
    // The last open failed because another program holds the device.
    virtual bool heldElsewhere() const { return false; }
};

} // namespace norvvelm
