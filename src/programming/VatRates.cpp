#include "programming/VatRates.h"

#include "commands/CommandLanguage.h"
#include "programming/WriteProcedure.h"

namespace norvvelm {

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
