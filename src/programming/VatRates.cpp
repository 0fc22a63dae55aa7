#include "programming/VatRates.h"

#include "commands/CommandLanguage.h"
#include "commands/Prompter.h"
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
    VatTable table;
    table.fill(-1);
    s.setVatTable(table);
    if (texts)
        texts->clear();
    if (runner.SendAndCheck(VatReadLine()) != 0)
        return false;
    // A short answer leaves the missing rates unknown.
    const QStringList fields = AnswerFields(s.lastAnswer());
    QStringList shown;
    for (int i = 0; i < 5; ++i) {
        const bool present = i < fields.size();
        shown.append(fields.value(i));
        table[size_t(i)] = present ? VatRateValue(fields.at(i)) : -1;
    }
    if (texts)
        *texts = shown;
    s.setVatTable(table, shown);
    return true;
}

QString VatRatesCommand(const QStringList &rates) {
    QString line = QStringLiteral("b/");
    for (int i = 0; i < 5; ++i)
        line += rates.value(i).trimmed() + u'/';
    return line;
}

QString EmptyVatRateRefusal(const QStringList &rates) {
    for (int i = 0; i < 5; ++i) {
        if (rates.value(i).trimmed().isEmpty())
            return QStringLiteral("Aliquota IVA %1 vuota: nessuna aliquota inviata. "
                                  "Recuperare le aliquote dalla cassa o indicarle tutte e cinque.")
                .arg(i + 1);
    }
    return {};
}

bool WriteVatRates(WriteProcedure &procedure, const QStringList &rates) {
    // An empty rate would blank that rate on the register and spend one of
    // its changes: refused before the question.
    if (const QString refusal = EmptyVatRateRefusal(rates); !refusal.isEmpty()) {
        procedure.prompter().message(refusal, QStringLiteral("Attenzione"), Prompter::Icon::Critical);
        return false;
    }
    if (!procedure.confirm(QStringLiteral("Le aliquote IVA si possono cambiare un massimo di 20 volte. "
                                          "Confermare Operazione?")))
        return false;
    procedure.link().send(VatRatesCommand(rates));
    return procedure.report(QStringLiteral("Errore in scarico aliquote IVA"),
                            QStringLiteral("Aliquote IVA scaricate"));
}

} // namespace norvvelm
