#include "commands/DocumentLines.h"

namespace norvvelm {

namespace {
constexpr int kJournalAnswerMin = 12;

QString fields(std::initializer_list<QString> parts) {
    QString out;
    for (const QString &p : parts)
        out += p + u'/';
    return out;
}
} // namespace

// ---------------------------------------------------------------- fields

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

int CustomerEntryFocus(const QString &vatNumber, const std::array<QString, kCustomerLines> &lines) {
    if (vatNumber.isEmpty())
        return 0;
    for (int i = 0; i < 3; ++i) {
        if (lines[size_t(i)].isEmpty())
            return 1 + i;
    }
    return kEntryComplete;
}

// ---------------------------------------------------------------- lines

QString VatNumberLine(const QString &vatNumber) {
    return fields({QStringLiteral("'"), QStringLiteral("1"), vatNumber, QString(16, u'1')});
}

QString FiscalCodeLine(const QString &fiscalCode) {
    return fields({QStringLiteral("'"), QStringLiteral("2"), QString(11, u'1'), fiscalCode});
}

QString TaxCodeLine(const QString &taxCode) {
    if (taxCode.size() == kVatNumberLength)
        return VatNumberLine(taxCode);
    if (taxCode.size() == kTaxCodeLimit)
        return FiscalCodeLine(taxCode.toUpper());
    return {};
}

QString InvoiceOpeningLine() {
    return QStringLiteral("3/F/OPENFAT//0/0/0/0/");
}

QString InvoicePaymentLine() {
    return QStringLiteral("5/1/0////");
}

QString CreditNoteOpeningLine(const QString &fileNumber) {
    return fields({QStringLiteral("-"), fileNumber});
}

QString CreditNoteReferenceLine(const QString &reference) {
    return fields({QStringLiteral("7"), QStringLiteral("1"), QStringLiteral("1"), reference});
}

QString WithdrawalLine() {
    return QStringLiteral("6/1/");
}

QString SalesTotalsLine() {
    return QStringLiteral("x/1/1/1/");
}

QString DailyClosingLine() {
    return QStringLiteral("x/7/0/0/");
}

QString JournalReadLine() {
    return QStringLiteral("B/12/");
}

QString JournalWriteLine() {
    return QStringLiteral("G/12/1/1/42/");
}

QString ReprintKeyLine() {
    return KeyPressLine(120);
}

bool JournalAnswerReadable(const QString &answer) {
    return answer.size() >= kJournalAnswerMin;
}

bool JournalAnswerHasReprintSetting(const QString &answer) {
    return answer.mid(9, 2) == QLatin1String("42");
}

} // namespace norvvelm
