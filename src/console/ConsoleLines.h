#pragma once

#include <QString>
#include <QStringList>

#include <optional>

namespace norvvelm {

// What the operator console alone reads and writes: the display copies out of
// the register's answers, and the demonstration receipts it writes as files.

// --- the display ---

// The key press ")/" + code + "/" and the display read "(/" are the
// command language's own (commands/CommandLanguage.h); the lines of the
// fiscal documents, the reports and the electronic journal are composed in
// commands/DocumentLines.h, where the interface takes them too.

// The register display's two lines out of the answer to "(/": characters
// 10-25 and 27-42 (from 1). Nothing when the answer is shorter than 43.
struct DisplayText {
    QString top;
    QString bottom;
};
std::optional<DisplayText> DisplayFromAnswer(const QString &answer);

// --- the demonstration receipts, cmdDemoTicket 1 to 6 ---

inline constexpr int kDemoReceipts = 6;
QString DemoReceiptCaption(int index);
// Their lines, each without its line end; empty for an index out of 1..6.
QStringList DemoReceiptLines(int index);

} // namespace norvvelm
