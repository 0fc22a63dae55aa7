#include "link/SerialPortList.h"

#include <QDir>
#include <QFileInfo>
#include <QSerialPortInfo>

#include <algorithm>

namespace norvvelm {

QList<SerialPortChoice> AvailableSerialPorts(const QString &byIdFolder) {
    // Stable names are links to the device nodes.
    QHash<QString, QString> stable;
    const QDir byId(byIdFolder);
    for (const QFileInfo &link : byId.entryInfoList(QDir::Files | QDir::System | QDir::NoDotAndDotDot)) {
        const QString target = link.canonicalFilePath();
        if (!target.isEmpty() && !stable.contains(target))
            stable.insert(target, link.absoluteFilePath());
    }
    QList<SerialPortChoice> out;
    for (const QSerialPortInfo &info : QSerialPortInfo::availablePorts()) {
        SerialPortChoice c;
        c.device = info.systemLocation();
        c.description = info.description();
        const QString canonical = QFileInfo(c.device).canonicalFilePath();
        c.stableName = stable.value(canonical.isEmpty() ? c.device : canonical);
        out.append(c);
    }
    std::sort(out.begin(), out.end(),
              [](const SerialPortChoice &a, const SerialPortChoice &b) { return a.device < b.device; });
    return out;
}

} // namespace norvvelm
