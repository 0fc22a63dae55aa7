#pragma once

#include "commands/CommandLanguage.h"

#include <QChar>
#include <QString>
#include <QStringList>

#include <array>

namespace norvvelm {

// The fiscal documents of the register, as lines: the one place where the
// register page and the interface compose them, so that both put the very
// same lines on the wire for the same document.

// --- the fields of the documents, as the register page's dialogs take them ---

inline constexpr int kTaxCodeLimit = 16;      // a fiscal code (TxtPiCf)
inline constexpr int kVatNumberLength = 11;   // a VAT number (TxtPIva, TxtPiCf)
inline constexpr int kCustomerLineLimit = 32; // one line of the customer header (TxtRiga 0 to 5)
inline constexpr int kCustomerLines = 6;
inline constexpr int kFileNumberLimit = 8; // the credit note's file number (TxtPratica)
inline constexpr int kReferenceLimit = 32; // the credit note's reference (TxtRifer)

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

// The first field of an invoice's customer left empty: 0 the VAT number, 1 +
// n the customer line n; the VAT number and lines 0 to 2 (name, street,
// postcode) must not be empty. kEntryComplete when none is.
inline constexpr int kEntryComplete = -1;
int CustomerEntryFocus(const QString &vatNumber, const std::array<QString, kCustomerLines> &lines);

// --- lines of the fiscal documents ---

// The customer's VAT number or fiscal code: type 1 carries the 11-character
// VAT number and sixteen "1", type 2 eleven "1" and the fiscal code.
QString VatNumberLine(const QString &vatNumber);
QString FiscalCodeLine(const QString &fiscalCode);
// The length alone chooses: 11 characters a VAT number as it is, 16 a fiscal
// code in capitals; empty for any other length.
QString TaxCodeLine(const QString &taxCode);
// "3/F/OPENFAT//0/0/0/0/": opens an invoice.
QString InvoiceOpeningLine();
// The customer header "j/" is CustomerHeaderLine of commands/CommandLanguage.
// "5/1/0////": the payment that closes an invoice.
QString InvoicePaymentLine();
// "-/" + file number + "/": opens a credit note.
QString CreditNoteOpeningLine(const QString &fileNumber);
// "7/1/1/" + reference + "/": the printed reference line of a credit note.
QString CreditNoteReferenceLine(const QString &reference);

// --- documents outside a receipt ---

QString WithdrawalLine();   // "6/1/": the withdrawal of the button "Prelievi"
QString SalesTotalsLine();  // "x/1/1/1/": the sales report (X)
QString DailyClosingLine(); // "x/7/0/0/": the daily closing (Z)

// --- the electronic journal ---

QString JournalReadLine();  // "B/12/"
QString JournalWriteLine(); // "G/12/1/1/42/"
QString ReprintKeyLine();   // ")/120/": the copy of the last receipt
// Whether the answer to "B/12/" is long enough to be read (12 characters).
bool JournalAnswerReadable(const QString &answer);
// Whether it already carries the setting "42" at characters 10-11.
bool JournalAnswerHasReprintSetting(const QString &answer);

} // namespace norvvelm
