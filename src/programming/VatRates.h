#pragma once

#include "commands/VatTableRead.h"

#include <QStringList>

namespace norvvelm {

class WriteProcedure;

// "b/" with the five rates, each trimmed.
QString VatRatesCommand(const QStringList &rates);

// cmdSetParametri(10): confirm (the register takes 20 changes), then send the
// five rates. False when cancelled or refused.
bool WriteVatRates(WriteProcedure &procedure, const QStringList &rates);

} // namespace norvvelm
