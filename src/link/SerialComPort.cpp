#include "link/SerialComPort.h"

#include <QDir>
#include <QFileInfo>
#include <QLockFile>
#include <QStandardPaths>

#ifdef Q_OS_UNIX
#include <poll.h>
#endif

namespace norvvelm {

namespace {
constexpr qint64 kQueueSize = 16384;
// How a device another program opened is said.
QString heldText() {
    return QStringLiteral("occupata da un altro programma");
}
} // namespace

SerialComPort::SerialComPort() {
    QObject::connect(&m_port, &QSerialPort::errorOccurred, &m_port,
                     [this](QSerialPort::SerialPortError e) { noteError(e); });
}

SerialComPort::~SerialComPort() {
    close();
}

QString SerialComPort::canonicalDevice(const QString &device) {
    const QString canonical = QFileInfo(device).canonicalFilePath();
    return canonical.isEmpty() ? device : canonical;
}

QString CannotOpenPortText(const QString &porta, const QString &device, const QString &cause) {
    QString where = device.isEmpty() ? QStringLiteral("nessun dispositivo nella sezione Porte") : device;
    if (!device.isEmpty() && !cause.isEmpty())
        where += QStringLiteral(": ") + cause;
    return QStringLiteral("Impossibile Aprire Porta ") + porta + QStringLiteral(" (") + where + u')';
}

QString SerialComPort::lockHolder(const QString &device) {
    // The serial port's lock file: "LCK.." and the device's name below /dev,
    // in the first of the usual lock folders that has it.
    QString name = canonicalDevice(device);
    if (name.startsWith(QLatin1String("/dev/")))
        name = name.mid(5);
    name.replace(u'/', u'_');
    const QStringList folders{QStringLiteral("/var/lock"),
                              QStringLiteral("/etc/locks"),
                              QStringLiteral("/var/spool/locks"),
                              QStringLiteral("/var/spool/uucp"),
                              QStringLiteral("/tmp"),
                              QStringLiteral("/var/tmp"),
                              QStringLiteral("/var/lock/lockdev"),
                              QStringLiteral("/run/lock"),
                              QStandardPaths::writableLocation(QStandardPaths::TempLocation)};
    for (const QString &folder : folders) {
        const QString path = folder + QStringLiteral("/LCK..") + name;
        if (!QFileInfo::exists(path))
            continue;
        qint64 pid = 0;
        QString host, program;
        if (!QLockFile(path).getLockInfo(&pid, &host, &program) || pid <= 0)
            continue;
#ifdef Q_OS_LINUX
        if (!QFileInfo::exists(QStringLiteral("/proc/") + QString::number(pid)))
            continue; // a stale lock: Qt takes it over
#endif
        return (program.isEmpty() ? QStringLiteral("un programma") : program) + QStringLiteral(", pid ") +
               QString::number(pid);
    }
    return {};
}

QString SerialComPort::openFailureCause(QSerialPort::SerialPortError error, const QString &device,
                                        const QString &detail) {
    if (!QFileInfo::exists(device))
        return QStringLiteral("dispositivo inesistente");
    if (error == QSerialPort::PermissionError || error == QSerialPort::OpenError) {
        const QString holder = lockHolder(device);
        if (!holder.isEmpty())
            return heldText() + QStringLiteral(" (") + holder + u')';
        const QFileInfo info(canonicalDevice(device));
        if (!info.isReadable() || !info.isWritable())
            return QStringLiteral("accesso negato all'utente (il gruppo del dispositivo, di solito dialout)");
        // Readable and writable, yet refused: another program opened it for
        // itself alone.
        return heldText();
    }
    return detail;
}

void SerialComPort::noteError(QSerialPort::SerialPortError error) {
    // A hang-up (adapter unplugged, peer gone) shows as a resource error while
    // the port still claims to be open; it is closed at the next call so that
    // a later open can succeed.
    if (error == QSerialPort::ResourceError || error == QSerialPort::PermissionError)
        m_hungUp = m_port.isOpen();
    if (error != QSerialPort::NoError)
        m_errorText = m_port.errorString();
}

void SerialComPort::checkHangUp() {
#ifdef Q_OS_UNIX
    // An idle port whose far end went away reports the hang-up only to poll:
    // a read never starts, so no read error would tell.
    if (!m_port.isOpen() || m_hungUp)
        return;
    pollfd p{int(m_port.handle()), POLLIN, 0};
    // A terminal whose far end is gone polls readable with hang-up, and reads
    // as end of file; local mode keeps a live line from ever reporting it.
    if (::poll(&p, 1, 0) > 0 && (p.revents & (POLLHUP | POLLERR | POLLNVAL)))
        m_hungUp = true;
#endif
}

void SerialComPort::closeIfHungUp() {
    if (m_hungUp) {
        m_hungUp = false;
        if (m_port.isOpen())
            m_port.close();
    }
}

bool SerialComPort::open(const QString &device, qint32 speed) {
    close();
    if (speed <= 0) {
        m_errorText = QStringLiteral("invalid speed");
        return false;
    }
    m_errorText.clear();
    m_heldElsewhere = false;
    m_port.setPortName(canonicalDevice(device));
    m_port.setBaudRate(speed);
    m_port.setDataBits(QSerialPort::Data8);
    m_port.setParity(QSerialPort::NoParity);
    m_port.setStopBits(QSerialPort::OneStop);
    m_port.setFlowControl(QSerialPort::NoFlowControl);
    m_port.setReadBufferSize(kQueueSize);
    if (!m_port.open(QIODevice::ReadWrite)) {
        m_errorText = openFailureCause(m_port.error(), device, m_port.errorString());
        m_heldElsewhere = m_errorText.startsWith(heldText());
        return false;
    }
    // A pseudo-terminal has no modem lines: setting them fails as an
    // unsupported operation, which is no failure of the open.
    for (bool ok : {m_port.setDataTerminalReady(true), m_port.setRequestToSend(true)}) {
        if (!ok && m_port.error() != QSerialPort::UnsupportedOperationError) {
            m_errorText = m_port.errorString();
            close();
            return false;
        }
    }
    m_port.clearError();
    m_port.setBreakEnabled(false);
    m_port.clearError();
    m_hungUp = false;
    return true;
}

void SerialComPort::close() {
    flushOutput();
    if (m_port.isOpen()) {
        m_port.clear(QSerialPort::AllDirections);
        m_port.close();
    }
    m_hungUp = false;
}

bool SerialComPort::isOpen() const {
    return m_port.isOpen() && !m_hungUp;
}

bool SerialComPort::writeByte(quint8 byte) {
    closeIfHungUp();
    if (!m_port.isOpen())
        return false;
    // Bytes gather in the port's buffer until flush(): a frame leaves in one
    // write instead of one per byte. Any read, wait or purge flushes too.
    return m_port.putChar(char(byte));
}

void SerialComPort::flushOutput() {
    if (m_port.isOpen() && m_port.bytesToWrite() > 0)
        m_port.flush();
}

bool SerialComPort::readByte(quint8 &byte) {
    flushOutput();
    closeIfHungUp();
    if (!m_port.isOpen())
        return false;
    if (m_port.bytesAvailable() == 0)
        m_port.waitForReadyRead(0);
    char c = 0;
    const bool ok = m_port.bytesAvailable() > 0 && m_port.getChar(&c);
    closeIfHungUp();
    byte = quint8(c);
    return ok;
}

qint64 SerialComPort::bytesQueued() {
    flushOutput();
    closeIfHungUp();
    if (!m_port.isOpen())
        return 0;
    if (m_port.bytesAvailable() == 0 && !m_port.waitForReadyRead(0))
        checkHangUp();
    closeIfHungUp();
    return m_port.isOpen() ? m_port.bytesAvailable() : 0;
}

bool SerialComPort::waitForData(int ms) {
    flushOutput();
    closeIfHungUp();
    if (!m_port.isOpen())
        return false;
    if (m_port.bytesAvailable() > 0)
        return true;
    if (!m_port.waitForReadyRead(ms))
        checkHangUp();
    closeIfHungUp();
    return m_port.isOpen() && m_port.bytesAvailable() > 0;
}

void SerialComPort::purge() {
    closeIfHungUp();
    if (!m_port.isOpen())
        return;
    // Let the pending output reach the line first, then drop what is queued:
    // the purge must not swallow bytes already written for this exchange.
    flushOutput();
    m_port.clear(QSerialPort::Input);
    closeIfHungUp();
}

} // namespace norvvelm
