#pragma once

#include <QByteArrayView>
#include <QString>
#include <QStringList>

namespace norvvelm {

// Items in the manner of sequential text input, as FileExt.ini and the
// technician's command files are read: items end at a comma or a line end;
// leading blanks are skipped; a double-quoted item runs to its closing quote
// (commas inside it stay) and loses its quotes; an unquoted one loses its
// trailing blanks. At most `max` items (all when negative).
QStringList ReadSequentialItems(const QString &text, qsizetype max = -1);
// The same over a file's bytes (UTF-8 when valid, else Windows-1252).
QStringList ReadSequentialFileItems(QByteArrayView content, qsizetype max = -1);

} // namespace norvvelm
