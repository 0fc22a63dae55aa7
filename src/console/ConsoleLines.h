#pragma once

#include "commands/CommandLanguage.h"

#include <QString>
#include <QStringList>

#include <optional>

namespace norvvelm {

// Every command line the operator console sends or writes, and the readings
// it takes from the answers: the one place where they are put together.

// --- keys and the display ---

// The key press ")/" + code + "/" and the display read "(/" are the
// command language's own (commands/CommandLanguage.h).
// "6/1/", the withdrawal of the button "Prelievi", and the reports "x/1/1/1/"
// and "x/7/0/0/" are the command language's (commands/CommandLanguage.h):
// the interface sends the same lines as documents.

// The register display's two lines out of the answer to "(/": characters
// 10-25 and 27-42 (from 1). Nothing when the answer is shorter than 43.
struct DisplayText {
    QString top;
    QString bottom;
};
std::optional<DisplayText> DisplayFromAnswer(const QString &answer);

// --- fiscal documents ---

// The customer's VAT number or fiscal code: type 1 carries the 11-character
// VAT number and sixteen "1", type 2 eleven "1" and the fiscal code.
QString VatNumberLine(const QString &vatNumber);
QString FiscalCodeLine(const QString &fiscalCode);
// "3/F/OPENFAT//0/0/0/0/": opens an invoice.
QString InvoiceOpeningLine();
// The customer header "j/" is CustomerHeaderLine of commands/CommandLanguage.
// "5/1/0////": the payment that closes an invoice.
QString InvoicePaymentLine();
// "-/" + file number + "/": opens a credit note.
QString CreditNoteOpeningLine(const QString &fileNumber);
// "7/1/1/" + reference + "/": the printed reference line of a credit note.
QString CreditNoteReferenceLine(const QString &reference);

// --- reports and the electronic journal ---

QString JournalReadLine();  // "B/12/"
QString JournalWriteLine(); // "G/12/1/1/42/"
QString ReprintKeyLine();   // ")/120/": the copy of the last receipt
// Whether the answer to "B/12/" is long enough to be read (12 characters).
bool JournalAnswerReadable(const QString &answer);
// Whether it already carries the setting "42" at characters 10-11.
bool JournalAnswerHasReprintSetting(const QString &answer);

// --- the demonstration receipts, cmdDemoTicket 1 to 6 ---

inline constexpr int kDemoReceipts = 6;
QString DemoReceiptCaption(int index);
// Their lines, each without its line end; empty for an index out of 1..6.
QStringList DemoReceiptLines(int index);

} // namespace norvvelm
