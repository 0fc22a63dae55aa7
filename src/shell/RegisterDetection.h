#pragma once

#include "commands/RegisterIdentity.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

namespace norvvelm {

class Clock;
class ComPort;

// What one port turned out to be.
struct DetectedPort {
    enum class Outcome {
        Register,     // a register answered "a/" with its serial number
        Busy,         // another program holds it: left alone, nothing written
        NotOpened,    // it would not open (detail says why)
        Silent,       // nothing came back at any speed
        Garbage,      // bytes came back, never a register's answer
        Unidentified, // the link answered, the identification did not
    };
    QString device;
    Outcome outcome = Outcome::Silent;
    qint32 speed = 0; // the speed the register answered at
    RegisterIdentity identity;
    QString detail;
    bool found() const { return outcome == Outcome::Register; }
};

// Looks for registers on serial ports by themselves. Only the link's enquiry
// and the identification read "a/" are written to a port, and "a/" only to a
// port that acknowledged the enquiry: a modem, a scale or a barcode reader
// behind a port sees nothing more. Each speed is tried briefly and once.
class RegisterDetection {
public:
    using PortFactory = std::function<std::unique_ptr<ComPort>()>;

    // `clock` measures the waits; on a clock that follows the wall the ports
    // are probed side by side, each on a port of its own from `makePort`. A
    // real port needs the real clock: a virtual one moves only for ports of
    // memory that advance it while they wait.
    RegisterDetection(Clock &clock, PortFactory makePort);

    // The speeds offered, as the configuration tab lists them ("9600").
    static QList<qint32> SpeedsFromNames(const QStringList &names);

    // Each device at each speed in turn until a register answers; results in
    // the order of `devices`.
    QList<DetectedPort> DetectRegisters(const QStringList &devices, const QList<qint32> &speeds);

    // The port this program already holds with its register on it: said as
    // that register, never opened again.
    void setOwnPort(const QString &device, qint32 speed, const RegisterIdentity &identity);

    // One port, at each speed until a register answers.
    DetectedPort DetectOne(const QString &device, const QList<qint32> &speeds);

private:
    Clock &m_clock;
    PortFactory m_makePort;
    DetectedPort m_own;
};

// "/dev/ttyUSB0 9600 SN424242 0001 1.02", or the device and why no register
// is there: one line of norvvelm-cmd --detect.
QString DetectionLine(const DetectedPort &port);
// What the configuration tab writes beside a device a register answered on
// ("/dev/ttyUSB0 (cassa SN424242)"); the device alone otherwise.
QString DeviceMark(const DetectedPort &port);
// What a search found, in one line a screen reader says: "Casse trovate:
// /dev/ttyUSB0 (cassa SN424242)", or that none answered.
QString DetectionSummary(const QList<DetectedPort> &ports);
// The device of a device box's text, with or without its mark.
QString DeviceOfMark(const QString &text);

} // namespace norvvelm
