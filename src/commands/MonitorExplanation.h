#pragma once

#include <QString>

namespace norvvelm {

// How a monitor line explains itself when double-clicked.
struct MonitorExplanation {
    QString title;
    QString text;
    bool critical = false;
};
MonitorExplanation ExplainMonitorLine(const QString &line);

} // namespace norvvelm
