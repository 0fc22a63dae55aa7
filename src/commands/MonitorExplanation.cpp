#include "commands/MonitorExplanation.h"

namespace norvvelm {

MonitorExplanation ExplainMonitorLine(const QString &line) {
    if (line.size() < 13)
        return {QStringLiteral("Trasmissione Non Coerente"), line, true};
    // Both prefixes are skipped as 12 characters: an answer keeps one blank.
    if (line.startsWith(QLatin1String("ECR")))
        return {QStringLiteral("Messaggio Da ECR a PC"), line.mid(12), false};
    return {QStringLiteral("Messaggio Da PC a ECR"), line.mid(12), false};
}

} // namespace norvvelm
