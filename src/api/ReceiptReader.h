#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

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
    bool ok() const { return error.isEmpty(); }
};

enum class ReceiptBodyType { Text, Json, Other };
// The media type of a Content-Type value (parameters and case ignored);
// a charset other than UTF-8 makes a JSON body Other.
ReceiptBodyType ReceiptBodyTypeOf(const QByteArray &contentType);

ReceiptReading ReadReceiptBody(const QByteArray &body, ReceiptBodyType type);
ReceiptReading ReadReceiptJson(const QByteArray &body);
ReceiptReading ReadReceiptText(const QByteArray &body);

// Limits of a structured receipt, beyond the body's own size.
constexpr int kMaxReceiptLines = 5000;

} // namespace norvvelm
