#pragma once

#include <QList>
#include <QString>

namespace norvvelm {

// A serial port the system has, as the configuration tab offers it.
struct SerialPortChoice {
    QString device;      // /dev/ttyUSB0, COM3
    QString description; // what the driver says it is
    QString stableName;  // /dev/serial/by-id/... where there is one
    // The name to store: the stable one when there is one.
    QString preferred() const { return stableName.isEmpty() ? device : stableName; }
};

// The system's serial ports, sorted by device name. `byIdFolder` is where the
// stable names live (tests point it elsewhere).
QList<SerialPortChoice> AvailableSerialPorts(const QString &byIdFolder = QStringLiteral("/dev/serial/by-id"));

} // namespace norvvelm
