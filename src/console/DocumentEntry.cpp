#include "console/DocumentEntry.h"

#include "console/ConsoleLines.h"
#include "programming/FieldText.h"

namespace norvvelm {

QChar FilterTypedChar(FieldKind kind, QChar c) {
    switch (kind) {
    case FieldKind::CommandText:
        return c == u'/' ? QChar(u'\\') : c;
    case FieldKind::FileNumber:
        return (c.isDigit() && c.unicode() < 0x80) || c == u' ' || c == u'-' ? c : QChar();
    case FieldKind::Reference:
        return c == u'/' ? QChar() : c;
    }
    return QChar();
}

QString FilterText(FieldKind kind, const QString &text) {
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        const QChar kept = FilterTypedChar(kind, c);
        if (!kept.isNull())
            out.append(kept);
    }
    return out;
}

TaxCodeEntry CheckTaxCode(const QString &textIn) {
    // A "/" would split the command's fields: it is kept as the dialog keeps
    // a typed one, as a backslash.
    const QString text = FilterText(FieldKind::CommandText, textIn);
    TaxCodeEntry e;
    if (text.size() == kVatNumberLength) {
        e.length = int(text.size());
        e.command = VatNumberLine(text);
    } else if (text.size() == kTaxCodeLimit) {
        e.length = int(text.size());
        e.command = FiscalCodeLine(text.toUpper());
    }
    return e;
}

int CustomerEntryFocus(const QString &vatNumber, const std::array<QString, kCustomerLines> &lines) {
    if (vatNumber.isEmpty())
        return 0;
    for (int i = 0; i < 3; ++i) {
        if (lines[size_t(i)].isEmpty())
            return 1 + i;
    }
    return kEntryComplete;
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
