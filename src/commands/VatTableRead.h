#pragma once

#include <QStringList>

namespace norvvelm {

class Runner;
class Session;

// Reads the register's five VAT rates with "e/" into the session's VAT-rate
// table (entries 0..4; the others stay -1). The rate texts as the register
// sent them go to `texts` when given. False when the exchange failed: the
// status bar carries the runner's report and the table stays unknown.
bool ReadVatRates(Runner &runner, Session &session, QStringList *texts = nullptr);

// A rate text as a whole number: rounded to the nearest, halves to the even
// neighbour; -1 when the text holds no number.
int VatRateValue(const QString &text);

} // namespace norvvelm
