#pragma once

#include "link/ComPort.h"
#include "support/VirtualClock.h"

#include <QByteArray>

namespace ecrsim {
class SimLink;
}

namespace testsupport {

// An in-memory serial port wired to the simulated register, on virtual time.
class SimComPort final : public norvvelm::ComPort {
public:
    SimComPort(ecrsim::SimLink &link, VirtualClock &clock) : m_link(link), m_clock(clock) {}

    bool open(const QString &device, qint32 speed) override;
    void close() override { m_open = false; }
    bool isOpen() const override { return m_open; }
    bool writeByte(quint8 byte) override;
    bool readByte(quint8 &byte) override;
    qint64 bytesQueued() override;
    bool waitForData(int ms) override;
    void purge() override;

    // Everything the PC wrote, in order, and the device names opened.
    QByteArray written;
    QString openedDevice;
    qint32 openedSpeed = 0;
    bool refuseOpen = false;
    // A port that disappears: reads and writes fail, the port reports closed.
    void unplug() { m_open = false; }

private:
    void deliver();

    ecrsim::SimLink &m_link;
    VirtualClock &m_clock;
    QByteArray m_inbox;
    bool m_open = false;
};

} // namespace testsupport
