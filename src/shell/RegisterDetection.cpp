#include "shell/RegisterDetection.h"

#include "commands/CommandLanguage.h"
#include "link/ComPort.h"
#include "link/SerialComPort.h"
#include "link/SerialFunz2.h"

#include <QThread>

#include <vector>

namespace norvvelm {

namespace {

// A probe's waits: an enquiry acknowledged within a quarter second, the
// identification answered within a second, once each.
LinkPatience probePatience() {
    LinkPatience p;
    p.enquiryAttempts = 1;
    p.enquiryWaitMs = 250;
    p.frameAttempts = 1;
    p.frameWaitMs = 500;
    p.answerStartWaitMs = 1000;
    p.answerCharWaitMs = 250;
    p.answerAttempts = 1;
    return p;
}

// Where a device's mark begins in the configuration tab's device box.
constexpr QStringView kMarkStart = u" (cassa ";

QString outcomeText(const DetectedPort &port) {
    switch (port.outcome) {
    case DetectedPort::Outcome::Register:
        return {};
    case DetectedPort::Outcome::Busy:
        return QStringLiteral("occupata da un altro programma: non toccata");
    case DetectedPort::Outcome::NotOpened:
        return QStringLiteral("non apribile: ") + port.detail;
    case DetectedPort::Outcome::Silent:
        return QStringLiteral("nessuna risposta");
    case DetectedPort::Outcome::Garbage:
        return QStringLiteral("risposta non riconosciuta");
    case DetectedPort::Outcome::Unidentified:
        return QStringLiteral("risponde ma non si identifica: ") + port.detail;
    }
    return {};
}

} // namespace

RegisterDetection::RegisterDetection(Clock &clock, PortFactory makePort)
    : m_clock(clock), m_makePort(std::move(makePort)) {}

void RegisterDetection::setOwnPort(const QString &device, qint32 speed, const RegisterIdentity &identity) {
    m_own.device = device;
    m_own.speed = speed;
    m_own.identity = identity;
    m_own.outcome = DetectedPort::Outcome::Register;
}

QList<qint32> RegisterDetection::SpeedsFromNames(const QStringList &names) {
    QList<qint32> speeds;
    for (const QString &name : names) {
        bool ok = false;
        const qint32 speed = name.trimmed().toInt(&ok);
        if (ok && speed > 0 && !speeds.contains(speed))
            speeds.append(speed);
    }
    return speeds;
}

DetectedPort RegisterDetection::DetectOne(const QString &device, const QList<qint32> &speeds) {
    DetectedPort result;
    if (!m_own.device.isEmpty() && !m_own.identity.sn.isEmpty() &&
        SerialComPort::canonicalDevice(device) == SerialComPort::canonicalDevice(m_own.device)) {
        result = m_own;
        result.device = device;
        return result;
    }
    result.device = device;
    const std::unique_ptr<ComPort> port = m_makePort();
    SerialFunz2 link(*port, m_clock);
    link.setPatience(probePatience());
    bool heard = false;
    for (const qint32 speed : speeds) {
        if (!link.OpenComPort(device, speed)) {
            // Nothing was written: another program's port stays as it was.
            result.outcome =
                port->heldElsewhere() ? DetectedPort::Outcome::Busy : DetectedPort::Outcome::NotOpened;
            result.detail = port->errorText();
            return result;
        }
        const quint64 before = link.bytesRead();
        const Reply reply = link.exchange(IdentifyLine());
        heard = heard || link.bytesRead() > before;
        link.CloseComPort();
        if (reply.enquiry != LinkStatus::Ok && reply.enquiry != LinkStatus::EnquiryCan)
            continue; // nothing a register says at this speed
        const RegisterIdentity id = ParseIdentification(reply.answer);
        if (reply.answered() && AnswerAccepted(reply.answer) && !id.sn.isEmpty()) {
            result.outcome = DetectedPort::Outcome::Register;
            result.speed = speed;
            result.identity = id;
            return result;
        }
        // The enquiry was acknowledged or cancelled: something speaks the
        // link here, and did not say who it is.
        result.outcome = DetectedPort::Outcome::Unidentified;
        result.speed = speed;
        result.detail = reply.answer.isEmpty()
                            ? QStringLiteral("Err. ") + QString::number(statusNumber(reply.status))
                            : reply.answer;
    }
    if (result.outcome != DetectedPort::Outcome::Unidentified)
        result.outcome = heard ? DetectedPort::Outcome::Garbage : DetectedPort::Outcome::Silent;
    return result;
}

QList<DetectedPort> RegisterDetection::DetectRegisters(const QStringList &devices,
                                                       const QList<qint32> &speeds) {
    QList<DetectedPort> results(devices.size());
    if (!m_clock.followsWall() || devices.size() < 2) {
        // Virtual time moves for one waiter at a time.
        for (qsizetype i = 0; i < devices.size(); ++i)
            results[i] = DetectOne(devices.at(i), speeds);
        return results;
    }
    // Each port on a thread of its own: its port object is made, used and
    // closed there.
    std::vector<std::unique_ptr<QThread>> probes;
    probes.reserve(size_t(devices.size()));
    for (qsizetype i = 0; i < devices.size(); ++i) {
        probes.emplace_back(QThread::create(
            [this, &results, &devices, &speeds, i] { results[i] = DetectOne(devices.at(i), speeds); }));
        probes.back()->start();
    }
    for (const std::unique_ptr<QThread> &t : probes)
        t->wait();
    return results;
}

QString DetectionLine(const DetectedPort &port) {
    if (!port.found())
        return port.device + QStringLiteral(" - ") + outcomeText(port);
    const RegisterIdentity &id = port.identity;
    return port.device + u' ' + QString::number(port.speed) + u' ' + id.sn + u' ' + id.num + u' ' + id.fw;
}

QString DeviceMark(const DetectedPort &port) {
    if (!port.found())
        return port.device;
    return port.device + kMarkStart + port.identity.sn + u')';
}

QString DetectionSummary(const QList<DetectedPort> &ports) {
    QStringList found;
    for (const DetectedPort &port : ports)
        if (port.found())
            found.append(DeviceMark(port));
    if (found.isEmpty())
        return QStringLiteral("Nessuna cassa trovata");
    return QStringLiteral("Casse trovate: ") + found.join(QStringLiteral(", "));
}

QString DeviceOfMark(const QString &text) {
    const qsizetype mark = text.indexOf(kMarkStart);
    return (mark < 0 ? text : text.left(mark)).trimmed();
}

} // namespace norvvelm
