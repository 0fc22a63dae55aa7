#include "console/DocumentEntry.h"

#include "commands/DocumentLines.h"
#include "programming/FieldText.h"

namespace norvvelm {

TaxCodeEntry CheckTaxCode(const QString &textIn) {
    // A "/" would split the command's fields: it is kept as the dialog keeps
    // a typed one, as a backslash.
    const QString text = FilterText(FieldKind::CommandText, textIn);
    TaxCodeEntry e;
    e.command = TaxCodeLine(text);
    if (!e.command.isEmpty())
        e.length = int(text.size());
    return e;
}

double DisplayAmount(const QString &text) {
    // The register writes its amounts with a decimal comma: read as a
    // point, "0,50" is not zero.
    QString t = text;
    if (const qsizetype comma = t.indexOf(u','); comma >= 0)
        t[comma] = u'.';
    return LeadingNumber(t);
}

} // namespace norvvelm
