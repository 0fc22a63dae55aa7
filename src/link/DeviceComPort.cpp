#include "link/DeviceComPort.h"

namespace norvvelm {

bool DeviceComPort::open(const QString &device, qint32 speed) {
    m_current->close();
    m_current = TcpComPort::isTcpDevice(device) ? static_cast<ComPort *>(&m_tcp) : &m_serial;
    return m_current->open(device, speed);
}

} // namespace norvvelm
