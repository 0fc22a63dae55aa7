#include "commands/VatTableRead.h"

#include "commands/CommandLanguage.h"
#include "commands/Runner.h"
#include "commands/Session.h"

#include <cfenv>
#include <cmath>

namespace norvvelm {

int VatRateValue(const QString &text) {
    bool ok = false;
    const double v = text.trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(v) || std::fabs(v) > 1e6)
        return -1;
    std::fesetround(FE_TONEAREST);
    return int(std::nearbyint(v));
}

bool ReadVatRates(Runner &runner, Session &s, QStringList *texts) {
    VatTable table;
    table.fill(-1);
    s.settings().setVatTable(table);
    if (texts)
        texts->clear();
    if (runner.SendAndCheck(VatReadLine()) != 0)
        return false;
    // A short answer leaves the missing rates unknown.
    const QStringList fields = AnswerFields(s.lastExchange().lastAnswer());
    QStringList shown;
    for (int i = 0; i < 5; ++i) {
        const bool present = i < fields.size();
        shown.append(fields.value(i));
        table[size_t(i)] = present ? VatRateValue(fields.at(i)) : -1;
    }
    if (texts)
        *texts = shown;
    s.settings().setVatTable(table, shown);
    return true;
}

} // namespace norvvelm
