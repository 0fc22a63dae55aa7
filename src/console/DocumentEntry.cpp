#include "console/DocumentEntry.h"

#include "console/ConsoleLines.h"

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

double LeadingNumber(const QString &text) {
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n && (text[i] == u' ' || text[i] == u'\t'))
        ++i;
    QString digits;
    if (i < n && (text[i] == u'-' || text[i] == u'+'))
        digits.append(text[i++]);
    bool seenPoint = false;
    bool seenDigit = false;
    for (; i < n; ++i) {
        const QChar c = text[i];
        if (c >= u'0' && c <= u'9') {
            digits.append(c);
            seenDigit = true;
        } else if ((c == u'.' || c == u',') && !seenPoint) {
            digits.append(u'.');
            seenPoint = true;
        } else {
            break;
        }
    }
    if (!seenDigit)
        return 0;
    bool ok = false;
    const double v = digits.toDouble(&ok);
    return ok ? v : 0;
}

} // namespace norvvelm
