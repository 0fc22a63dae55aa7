#pragma once

#include <QString>

namespace norvvelm {

// Who the connected register is: the answer to "a/", kept in section
// "Current" of NorvVelm.ini under the keys named beside each field.
struct RegisterIdentity {
    QString campo; // Campo: the field value
    QString sn;    // SN: the serial number
    QString fw;    // FW: the firmware
    QString num;   // Num: the register's number
};

} // namespace norvvelm
