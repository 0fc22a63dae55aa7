#pragma once

#include "commands/PcConfig.h"
#include "commands/RegisterIdentity.h"

#include <QString>
#include <QStringList>

#include <array>
#include <optional>

namespace norvvelm {

// The register's command and answer lines: the only place where they are
// taken apart or put together.

// --- command lines ---

// The department numbers of the VAT table, 1 to 21, each with its VAT entry
// (the register itself has twenty departments: it refuses a sale in the 21st).
constexpr int kDepartments = 21;

// The lines the program itself sends.
QString StatusRequestLine(); // "?/"
QString IdentifyLine();      // "a/"
QString VatReadLine();       // "e/"
QString DisplayReadLine();   // "(/"
// ")/<code>/": presses the register key of that code.
QString KeyPressLine(int keyCode);
// The register's "Annullo Scontrino" key: voids the receipt it holds open.
constexpr int kVoidReceiptKey = 28;
QString VoidReceiptLine(); // ")/28/"
QString TotalsReadLine();  // "0/"
// The documents (a withdrawal, the reports, invoices ...) are composed in
// commands/DocumentLines.
// The four reads of the daily report, in order: date and time, totals,
// counters, grand total.
const QStringList &DailyReportQueries();

// The command code: the first two characters ("3/", "?/", "t0").
QString CommandCode(const QString &line);
// Adds the final "/" a line lacks.
QString CompleteLine(const QString &line);
// Customer header "j/": exactly nine fields, then "0/".
QString NormalizeCustomerHeader(const QString &line);
// One row of a logo "$/": logo 1 or 2, width, height, row from 1 at the
// top, then the row's dots as hexadecimal digits (logo/LogoDots.h).
QString LogoRowLine(int logo, int width, int height, int row, const QString &digits);

// What the executor does with a receipt-file line, by its code.
enum class ReceiptRule {
    DailyReport, // "t0": written to the report file, nothing sent
    Opens,       // sent; a receipt counts as open afterwards
    Closes,      // "5/": sent; no receipt open afterwards
    Neutral,     // sent; the receipt state does not change
    EndsOpen,    // "+/": sent only with a receipt open, which it closes
    ClosedOnly,  // sent only while no receipt is open
    KeyCode,     // ")/": only the whole lines ")/5/" and ")/120/" are sent
    NotHandled,  // refused
};
ReceiptRule ReceiptRuleFor(const QString &code);

// The whole key lines a receipt file may hold.
constexpr int kReceiptFileKeys[] = {5, 120};
// Those a document the server composed may press besides: the digits, the
// decimal comma and "Clear" that type a value, the keys of discounts,
// surcharges, payments of another type and the deposit, and the cash key,
// which closes a credit note (and, after the amount function, applies a
// discount or surcharge). A composed document is judged by the register's
// count as a payment is: the cash key counts as one.
constexpr int kDocumentKeys[] = {5,  120, 69,  22, 30, 38, 37, 46, 54, 61,
                                 62, 70,  118, 73, 60, 53, 67, 58, 26, 90};

// How the executor treats a receipt-file line: one row per rule.
struct ReceiptRuleRow {
    enum class Needs { Nothing, Open, Closed }; // the receipt state it is sent in
    enum class After { Same, Open, Closed };    // the receipt state it leaves
    ReceiptRule rule;
    Needs needs;
    After after;
    bool sent;         // it goes to the register
    bool countsBefore; // with a receipt open, the receipt count is read before it
    bool rewritten;    // RewriteReceiptLine may change it
};
// The row of a whole line: a key line other than those allowed is not handled.
// `composed`: the line belongs to a document the server composed, whose keys
// are kDocumentKeys.
const ReceiptRuleRow &ReceiptRuleOfLine(const QString &line, bool composed = false);
// The state a line leaves behind, from the state it found.
bool ReceiptOpenAfter(const ReceiptRuleRow &row, bool openBefore);

// Sale line "3/" fields: 0 code, 1 type, 2 and 3 description lines, 4 quantity,
// 5 price, 6 department (1-based), 7 VAT value.
struct SaleRewrite {
    bool wrapDescription = false;
    int width1 = 10; // a width of 0 or less counts as 10
    int width2 = 10;
    bool autoVat = false;
    const std::array<int, kDepartments> *vatTable = nullptr;
};
QString RewriteSaleLine(const QString &line, const SaleRewrite &how);
// A receipt-file line as it goes out: the customer header normalized, the
// sale line rewritten; any other line as it is.
QString RewriteReceiptLine(const QString &line, const SaleRewrite &how);

// A command the technician typed without its final "/": the line sent.
QString TypedCommandLine(const QString &typed);
// An item of the technician's command file, or a line given to the raw
// interface: the line sent, its final "/" added.
QString CommandFileLine(const QString &item);

// The longest command line the link carries safely (its answer bound).
constexpr int kMaxLineChars = 2047;
// Why a receipt-file line cannot travel in a frame: a control character or
// its length; empty when it can.
QString LineProblem(const QString &line);
// Lines of a receipt file: CR, LF and CRLF each end one; a final line end
// does not start another line.
QStringList SplitReceiptLines(const QString &text);

// --- receipts composed from their parts ---

// A decimal amount as the register reads it: digits, optionally "." and at
// most `decimals` digits ("5.26", "1", "0.125" with 3). Never a binary float.
bool IsDecimalText(const QString &text, int decimals);
// Why a text cannot be a field of a composed line ("/" ends a field, control
// characters do not travel); empty when it can.
QString FieldProblem(const QString &text);
// Sale "3/S/<description>/<description2>/<quantity>/<price>/<department>/<vat>/";
// an empty VAT value leaves the department's rate to the register.
QString SaleLine(const QString &description, const QString &description2, const QString &quantity,
                 const QString &price, int department, const QString &vat);
// Payment "5/<type>/<amount>/////"; an empty amount pays what is due.
QString PaymentLine(int type, const QString &amount);
// A text row printed on the receipt: "7/1/0/<text>/".
QString ReceiptTextLine(const QString &text);
// The customer header "j/": the given fields (at most nine, a "/" in one
// turned into a backslash), empty ones up to nine, then the final "0".
QString CustomerHeaderLine(const QStringList &fields);
// What becomes of a receipt line as the point of sale wrote it, in the
// receipt state it meets: the one rule the executor follows when it takes a
// line, and the interface before it queues one.
struct LineVerdict {
    enum class Why {
        None,        // it goes out (or, the daily report, is written)
        Blank,       // skipped, nothing said
        Unfit,       // a control character or its length: `detail` says which
        NotHandled,  // a code the executor does not handle
        NotOpen,     // it ends a receipt and none is open
        OpenReceipt, // it is refused while a receipt is open
    };
    Why why = Why::None;
    QString line;                        // the line completed with its final "/"
    const ReceiptRuleRow *row = nullptr; // its rule; null for a blank line
    QString detail;
    bool openAfter = false; // the receipt state it leaves behind
    bool goesOut() const { return why == Why::None; }
};
LineVerdict JudgeReceiptLine(const QString &taken, bool receiptOpen, bool composed = false);
// Why the executor would not carry out a receipt line, judged before it is
// queued: a control character or its length, a code it does not handle, a
// closing with no receipt open, a command refused while one is open. Empty
// when the line goes out (or, blank, is skipped). `receiptOpen` follows the
// line, as the executor's receipt state would.
QString ReceiptLineProblem(const QString &line, bool &receiptOpen, bool composed = false);

// --- answer lines ---

// Characters 1-2: the error code ("00" accepted).
QString AnswerErrorCode(const QString &answer);
// The register took the command: its error code is "00".
bool AnswerAccepted(const QString &answer);
// The answer begins with the accepted code as a whole field ("00/").
bool AnswerAcceptedField(const QString &answer);
// 0-9 for "0"-"9", 10-15 for "A"-"F", 0 for anything else (lower case too).
int HexDigitValue(QStringView c);
// The error code as a number, each of its two characters read as a
// hexadecimal digit (anything else counts 0).
int AnswerErrorValue(const QString &answer);
// Characters 4-5: the status number 0..7; -1 when they are not a number.
int AnswerStatusNumber(const QString &answer);
// Bit value 4 of the status number: the paper must be replaced.
bool AnswerNeedsPaper(const QString &answer);
// The fields from character 10 on, each ended by "/" (a trailing text
// without its "/" is not a field).
QStringList AnswerFields(const QString &answer);

// The cash key's code ("Contanti"; "OK" of the programming frame too).
inline constexpr int kCashKeyCode = 90;
// What a key, by its code, does to a receipt on the register: a department,
// PLU or return key rings a sale up (and so opens one); a payment or the
// void key ends it.
enum class KeyReceipt { None, Rings, Ends };
KeyReceipt KeyReceiptEffect(int code);
// The same for a command line sent as it is (the technician's): a line that
// opens a receipt rings, one that closes it (a payment, the void key) ends it.
KeyReceipt LineReceiptEffect(const QString &line);
// Whether a receipt is open after a key or line with this effect, judged
// from the register's answer to it: a refused one changes nothing.
bool ReceiptOpenAfterKey(KeyReceipt effect, const QString &answer, bool openBefore);

// What the answer to "0/" tells of the receipts: the count of fiscal
// receipts closed today, field 7 (-1 when not there), and the sales total in
// cents, field 6 (none when not there or not an amount).
// The register's figures of the day, as "0/" answers them: the count of
// receipts and the sales total (what a receipt's closing is judged by), and
// beside them the VAT totals, the non-fiscal documents, corrections,
// returns and voids. Amounts in cents; none where the answer has none.
struct ReceiptTotals {
    int receipts = -1;
    std::optional<qint64> salesCents;
    std::array<std::optional<qint64>, 5> vatCents;
    int nonFiscal = -1;
    std::optional<qint64> correctionsCents;
    std::optional<qint64> returnsCents;
    std::optional<qint64> voidsCents;
    bool read() const { return receipts >= 0; }
    bool operator==(const ReceiptTotals &) const = default;
};
ReceiptTotals TotalsOfAnswer(const QString &answer);
// An amount of the register, "12.34" or "12,34" (a sign allowed), in cents;
// none when it is not one.
std::optional<qint64> AmountCents(const QString &text);
// Cents as a decimal text with two decimals: "12.34", "-0.50".
QString AmountText(qint64 cents);

// The answer to "a/": fields 1 (the serial number, trimmed), 2, 3 and 6.
RegisterIdentity ParseIdentification(const QString &answer);

} // namespace norvvelm
