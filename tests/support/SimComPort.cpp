#include "support/SimComPort.h"

#include "ecrsim/SimLink.h"

namespace testsupport {

bool SimComPort::open(const QString &device, qint32 speed) {
    if (refuseOpen)
        return false;
    openedDevice = device;
    openedSpeed = speed;
    m_inbox.clear();
    m_open = true;
    return true;
}

void SimComPort::deliver() {
    if (m_open)
        m_inbox.append(m_link.takeOutput(m_clock.nowMs()));
}

bool SimComPort::writeByte(quint8 byte) {
    if (!m_open)
        return false;
    written.append(char(byte));
    m_link.receive(byte, m_clock.nowMs());
    return true;
}

bool SimComPort::readByte(quint8 &byte) {
    deliver();
    if (m_inbox.isEmpty())
        return false;
    byte = quint8(m_inbox.front());
    m_inbox.remove(0, 1);
    return true;
}

qint64 SimComPort::bytesQueued() {
    deliver();
    return m_inbox.size();
}

bool SimComPort::waitForData(int ms) {
    if (!m_open) {
        m_clock.advance(ms);
        return false;
    }
    deliver();
    if (!m_inbox.isEmpty())
        return true;
    const qint64 next = m_link.nextOutputAt();
    const qint64 deadline = m_clock.nowMs() + ms;
    if (next >= 0 && next <= deadline) {
        m_clock.advanceTo(next);
        deliver();
        return !m_inbox.isEmpty();
    }
    m_clock.advanceTo(deadline);
    return false;
}

void SimComPort::purge() {
    deliver();
    m_inbox.clear();
}

} // namespace testsupport
