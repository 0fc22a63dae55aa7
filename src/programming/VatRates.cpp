#include "programming/VatRates.h"

#include "commands/CommandLanguage.h"
#include "commands/Prompter.h"
#include "programming/WriteProcedure.h"

namespace norvvelm {

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
