#pragma once

#include <QString>

namespace norvvelm {

// The rules of the document dialogs FrmPiCf, FrmCliente and FrmNCred that
// are the dialogs' own, apart from any widget. Their fields' limits and
// filters, and the lines they lead to, are the documents' own
// (commands/DocumentLines.h), which the interface shares.

// The tax-code dialog's "OK": an entry of 11 characters is a VAT number (the
// type-1 command from the text as typed), one of 16 a fiscal code (the type-2
// command in capitals); any other length is refused. No check digit is
// verified: the length alone decides.
struct TaxCodeEntry {
    int length = 0;  // 0 when refused
    QString command; // empty when refused
};
TaxCodeEntry CheckTaxCode(const QString &text);

// The amount a display line begins with, as the document buttons read it:
// leading blanks skipped, an optional sign, digits with a decimal point or
// the register's decimal comma; 0 when the text does not begin with a number.
double DisplayAmount(const QString &text);

} // namespace norvvelm
