#pragma once

#include <QChar>
#include <QString>

#include <array>

namespace norvvelm {

// The rules of the document dialogs FrmPiCf, FrmCliente and FrmNCred, apart
// from any widget: limits, which typed characters the fields take, and what
// an "OK" decides.

inline constexpr int kTaxCodeLimit = 16;      // TxtPiCf
inline constexpr int kVatNumberLength = 11;   // TxtPIva, and a VAT number in TxtPiCf
inline constexpr int kCustomerLineLimit = 32; // TxtRiga 0 to 5
inline constexpr int kCustomerLines = 6;
inline constexpr int kFileNumberLimit = 8; // TxtPratica
inline constexpr int kReferenceLimit = 32; // TxtRifer

// How a field takes one typed character: the character it stores, or a null
// QChar when the field refuses it.
enum class FieldKind {
    CommandText, // text that becomes a command field: "/" becomes a backslash
    FileNumber,  // digits, blank and "-" only
    Reference,   // anything but "/"
};
QChar FilterTypedChar(FieldKind kind, QChar c);
// A whole text (pasted, or set from outside) through the same filter.
QString FilterText(FieldKind kind, const QString &text);

// The tax-code dialog's "OK": an entry of 11 characters is a VAT number (the
// type-1 command from the text as typed), one of 16 a fiscal code (the type-2
// command in capitals); any other length is refused. No check digit is
// verified: the length alone decides.
struct TaxCodeEntry {
    int length = 0;  // 0 when refused
    QString command; // empty when refused
};
TaxCodeEntry CheckTaxCode(const QString &text);

// The customer dialog's "OK": the field that must take the focus, or -1 when
// the entry is complete. 0 is the VAT number, 1 + n the customer line n; the
// VAT number and lines 0 to 2 (name, street, postcode) must not be empty.
inline constexpr int kEntryComplete = -1;
int CustomerEntryFocus(const QString &vatNumber, const std::array<QString, kCustomerLines> &lines);

// The amount a display line begins with, as the document buttons read it:
// leading blanks skipped, an optional sign, digits with a decimal point or
// the register's decimal comma; 0 when the text does not begin with a number.
double DisplayAmount(const QString &text);

} // namespace norvvelm
