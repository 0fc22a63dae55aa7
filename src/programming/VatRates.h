#pragma once

#include "commands/VatTableRead.h"

#include <QStringList>

namespace norvvelm {

class WriteProcedure;

// "b/" with the five rates, each trimmed.
QString VatRatesCommand(const QStringList &rates);

// Why these five rates cannot be sent: one of them is empty. Empty when they can.
QString EmptyVatRateRefusal(const QStringList &rates);

// cmdSetParametri(10): refuse an empty rate, confirm (the register takes 20 changes), then send the
// five rates. False when cancelled or refused.
bool WriteVatRates(WriteProcedure &procedure, const QStringList &rates);

} // namespace norvvelm
