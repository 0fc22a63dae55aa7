#pragma once

#include <QByteArray>
#include <QString>

namespace norvvelm {

// Text on the serial line and in the register's files is single-byte
// Windows-1252. Characters the code page lacks become '?'.
QByteArray toAnsi(QStringView text);
QString fromAnsi(QByteArrayView bytes);

// A receipt file that is valid UTF-8 is read as UTF-8, any other as Windows-1252.
QString decodeTextFile(QByteArrayView bytes);

} // namespace norvvelm
