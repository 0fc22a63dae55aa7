#include "programming/VatRates.h"

#include "commands/Runner.h"
#include "commands/Session.h"
#include "programming/WriteProcedure.h"

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
    s.vatTable.fill(-1);
    if (texts)
        texts->clear();
    if (runner.SendAndCheck(QStringLiteral("e/")) != 0)
        return false;
    qsizetype p = 9; // character 10
    const QString &a = s.lastAnswer;
    for (int i = 0; i < 5; ++i) {
        const qsizetype slash = a.indexOf(u'/', p);
        // A short answer leaves the missing rates unknown.
        const QString rate = slash < 0 ? QString() : a.mid(p, slash - p);
        if (texts)
            texts->append(rate);
        s.vatTable[size_t(i)] = slash < 0 ? -1 : VatRateValue(rate);
        if (slash < 0)
            p = a.size();
        else
            p = slash + 1;
    }
    return true;
}

QString VatRatesCommand(const QStringList &rates) {
    QString line = QStringLiteral("b/");
    for (int i = 0; i < 5; ++i)
        line += rates.value(i).trimmed() + u'/';
    return line;
}

bool WriteVatRates(WriteProcedure &procedure, const QStringList &rates) {
    if (!procedure.confirm(QStringLiteral("Le aliquote IVA si possono cambiare un massimo di 20 volte. "
                                          "Confermare Operazione?")))
        return false;
    procedure.link().send(VatRatesCommand(rates));
    return procedure.report(QStringLiteral("Errore in scarico aliquote IVA"),
                            QStringLiteral("Aliquote IVA scaricate"));
}

} // namespace norvvelm
