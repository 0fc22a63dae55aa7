#pragma once

#include "commands/CommandLanguage.h"

#include <QChar>
#include <QString>
#include <QStringList>

#include <QList>

#include <array>
#include <optional>

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
// "5/1/0////": the payment that closes an invoice; of another type, or of an
// amount, "5/<type>/<amount>////" (an empty amount is "0": what is due).
QString InvoicePaymentLine(int type = 1, const QString &amount = {});
// "-/" + file number + "/": opens a credit note.
QString CreditNoteOpeningLine(const QString &fileNumber);
// "7/1/1/" + reference + "/": the printed reference line of a credit note.
QString CreditNoteReferenceLine(const QString &reference);
// A credit note is closed by the cash key twice: the first press shows its
// total, then its reference line goes, then its payment: the cash key again
// for a refund in cash (type 1), else the key "Altro (Tot4)", the payment's
// digit and the cash key, as the register page's button does for type 4.
QString CreditNoteTotalLine(); // ")/90/"
QStringList CreditNotePaymentLines(int type);
// The customer's VAT number line and the customer header of an invoice, in
// the order they close it (before its payment).
QStringList InvoiceCustomerLines(const QString &vatNumber, const QStringList &customer);
// "U/": the subtotal.
QString SubtotalLine();
// A return inside a receipt, "3/R/...": the fields of SaleLine.
QString ReturnLine(const QString &description, const QString &description2, const QString &quantity,
                   const QString &price, int department, const QString &vat);
// A text on the customer display, "7/0/<style>/<text>/": style 1 the top
// line, 0 the bottom one.
inline constexpr int kCustomerDisplayChars = 16;
QString CustomerDisplayLine(bool top, const QString &text);

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
// The copy of the last receipt: JournalReadLine() first, then, from its
// answer, the lines that follow it: none when it cannot be read, the setting
// JournalWriteLine() when the journal lacks it, then ReprintKeyLine(). The
// register page and the interface both send these and nothing else.
QStringList ReprintLines(const QString &journalAnswer);

// --- the register's keys a document presses ---

// Keys of the register page's buttons. A value is typed on the digit keys
// (and the decimal comma) as the operator types it, after "Clear" so that
// nothing typed before is taken with it; the button's keys follow.
inline constexpr int kClearKey = 118;           // "Clear"
inline constexpr int kCommaKey = 73;            // ","
inline constexpr int kCashInKey = 26;           // "Entrate": the deposit of the amount typed
inline constexpr int kDiscountPercentKey = 60;  // "SC %": the percentage typed off
inline constexpr int kSurchargePercentKey = 53; // "Magg %": the percentage typed more
inline constexpr int kAmountFunctionKey = 67;   // "SC €" and "Magg €": then digit 1 or 4, then cash
inline constexpr int kOtherPaymentKey = 58;     // "Altro (Tot4)": then the payment's digit, then cash
// The key of a digit 0 to 9; -1 for anything else.
int DigitKeyCode(int digit);
// "Clear", then the keys that type `entry`: digits, a "," or "." as the
// decimal comma. An amount is typed in cents (the register reads typed
// digits as cents), a percentage as it is written.
QStringList TypedEntryLines(const QString &entry);
// The keys that follow the value of the buttons "SC %", "SC €" (discounts)
// and "Magg %", "Magg €" (surcharges).
QList<int> PriceChangeKeys(bool surcharge, bool percent);

// --- documents composed from their parts ---

// The payment types a document may name (1: cash).
inline constexpr int kPaymentTypes = 10;

// A composed document: its lines, or why it cannot be composed, and then no
// line. `field` names the field at fault as the interface calls it
// ("items[0].price", "tax_code"), `error` says what is wrong with it, in
// Italian, for the person at the till.
struct ComposedDocument {
    QStringList lines;
    QString field;
    QString error;
    bool ok() const { return error.isEmpty(); }
    QString message() const; // "field: error"
};

// One item sold or taken back.
struct DocumentItem {
    QString description;
    QString description2;
    QString quantity = QStringLiteral("1"); // up to 3 decimals, above 0 and at most 9999.999
    QString price;                          // up to 2 decimals, at most 99999.99
    int department = 1;                     // 1 to kDepartments
    QString vat;                            // empty: the department's rate
};

// A discount or surcharge: an amount ("1.50") or a percentage ("10",
// "12.5"), one of the two; on the item of index `item` of the document's
// items, right after it, or without one on the subtotal after all items.
struct PriceChange {
    QString amount;
    QString percent;
    std::optional<int> item;
};

struct DocumentPayment {
    int type = 1;   // 1 to kPaymentTypes
    QString amount; // empty or 0: what is due
};

// A receipt: the customer's tax code first (11 digits: a VAT number, 16
// characters: a fiscal code, as the tax-code dialog takes it), the items,
// each followed by its discounts then its surcharges; then the subtotal and
// the goods taken back (returns, as the demonstration receipt "Reso Merce"
// sends them); then the subtotal and the discounts and surcharges on it;
// the text lines; the payments, which must cover the total when each
// carries an amount.
struct ReceiptDocument {
    QString taxCode; // empty: none
    QList<DocumentItem> items;
    QList<DocumentItem> returns;
    QList<PriceChange> discounts;
    QList<PriceChange> surcharges;
    QStringList text;
    QList<DocumentPayment> payments;
};
ComposedDocument ComposeReceipt(const ReceiptDocument &receipt);

// An invoice as the register page's invoice sends it: its opening, the
// items, the customer's VAT number and header, its payments. The customer
// dialog's fields: an 11-digit VAT number, up to six header lines of at most
// 32 characters, of which the first three (name, street, postcode) are needed.
struct InvoiceDocument {
    QString vatNumber;
    QStringList customer;
    QList<DocumentItem> items;
    QList<DocumentPayment> payments;
};
ComposedDocument ComposeInvoice(const InvoiceDocument &invoice);

// A credit note as the register page's sends it: its opening with the file
// number (digits, blanks and "-", at most 8), the items, the cash key that
// shows its total, the reference (at most 32 characters, no "/"), the refund.
struct CreditNoteDocument {
    QString fileNumber;
    QString reference;
    QList<DocumentItem> items;
    int paymentType = 1; // 1 to 9: the refund (1: cash)
};
ComposedDocument ComposeCreditNote(const CreditNoteDocument &creditNote);

// The deposit of the button "Entrate": the amount typed, then its key.
struct CashInDocument {
    QString amount; // above 0, at most 9999999.99
};
ComposedDocument ComposeCashIn(const CashInDocument &cashIn);
// The withdrawal of the button "Prelievi": the register takes no amount.
ComposedDocument ComposeCashOut();
ComposedDocument ComposeSalesReport();  // X
ComposedDocument ComposeDailyClosing(); // Z
// The copy of the last receipt as it is queued: its key. The journal's
// setting is read (and written when it lacks it) just before it goes out,
// so that it meets the register as ReprintLines says.
ComposedDocument ComposeReprintLast();

// The customer display's two lines, each at most 16 characters (an empty
// one clears its line): top then bottom, as "Avviso Display" sends them.
struct CustomerDisplayDocument {
    QString top;
    QString bottom;
};
ComposedDocument ComposeCustomerDisplay(const CustomerDisplayDocument &display);

// What the register would say of a sale of `quantity` at `price` (decimal
// texts): quantity 0 or above 9999.999, price above 99999.99, a sale of 0.00
// or above 999999.99; empty when it takes it. `cents` is what it comes to.
QString SaleProblem(const QString &quantity, const QString &price, qint64 &cents);

} // namespace norvvelm
