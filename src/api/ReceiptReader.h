#pragma once

#include "commands/CommandLanguage.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

namespace norvvelm {

// The body of a receipt submitted to the API, read into the register lines
// the queue takes:
//  - text/plain: the lines of a receipt file, exactly as the receipt folder
//    takes them (UTF-8 when valid, else Windows-1252);
//  - application/json: {"lines": [...]} or a structured receipt
//    {"items": [...], "payments": [...], "customer": [...], "text": [...]}
//    composed into sale, payment, text and customer lines.
// Every line is then checked as the executor would take it; the first fault
// names its place and reason, and nothing is read from a faulty body.
struct ReceiptReading {
    QStringList lines;
    QString error; // empty when the body was read
    // Every change made to its text so that the register prints it, said.
    QStringList warnings;
    // The kind of document it is ("receipt" and the others of a document body).
    QString kind = QStringLiteral("receipt");
    // Composed by the server from a structured body (its key lines are a
    // document's), not lines given as they are.
    bool composed = false;
    bool ok() const { return error.isEmpty(); }
};

// What the register is known to take, as far as it was read: the payment
// types it has programmed (empty: not read, none refused on this ground),
// how many characters of a text row it prints (0: not known), and how the
// executor rewrites a sale's descriptions before it sends the line.
// A credit note's reference made from a receipt the server printed: the
// reference and file number, or why none can be made.
struct ReceiptReference {
    QString reference;
    QString fileNumber;
    QString problem;
};

struct ReceiptRules {
    QList<int> paymentTypes;
    int descriptionWidth = 0;
    SaleRewrite saleRewrite;
    // The reference of the receipt of an id; unset: none is known.
    std::function<ReceiptReference(const QString &id)> receiptReference;
};

// Text as the register prints it (Windows-1252): a character it cannot
// print becomes its nearest printable form (a letter without its accent, a
// known substitute) or "?"; `changed` tells whether anything was changed.
QString PrintableText(const QString &text, bool *changed = nullptr);

enum class ReceiptBodyType { Text, Json, Other };
// The media type of a Content-Type value (parameters and case ignored);
// a charset other than UTF-8 makes a JSON body Other.
ReceiptBodyType ReceiptBodyTypeOf(const QByteArray &contentType);

// Besides each line's own rule, what the register would refuse is refused
// before anything is queued: a sale without its fields, a quantity that is
// not a number, zero or above 9999.999, a price that is not a number or
// above 99999.99, a department outside 1..20, a sale that comes to 0.00 or
// above 999999.99, a receipt above 9999999.99, a payment type outside 1..9
// or one the register has not programmed, and in a structured receipt
// payments that do not cover its total. Text the register cannot print is
// changed to what it prints, each change (and a text longer than a row of
// the register) said in `warnings`; a text left with nothing printable is
// refused.
ReceiptReading ReadReceiptBody(const QByteArray &body, ReceiptBodyType type, const ReceiptRules &rules = {});
ReceiptReading ReadReceiptJson(const QByteArray &body, const ReceiptRules &rules = {});
ReceiptReading ReadReceiptText(const QByteArray &body, const ReceiptRules &rules = {});
// A document: a JSON object {"kind": ..., ...}, composed by the composers
// the register page uses (commands/DocumentLines.h): "receipt" (a structured
// receipt, with tax_code, returns, discounts and surcharges), "invoice",
// "credit_note", "cash_in" and "customer_display" with their fields;
// "sales_report" (X), "daily_closing" (Z), "cash_out" (the withdrawal of
// "Prelievi") and "reprint_last" take nothing more.
ReceiptReading ReadDocumentJson(const QByteArray &body, const ReceiptRules &rules = {});
// The kinds a document body may name.
QStringList DocumentKinds();

// Limits of a structured receipt, beyond the body's own size.
constexpr int kMaxReceiptLines = 5000;

} // namespace norvvelm
