#pragma once

#include <QString>

class QWidget;

namespace norvvelm {

// Shows a label or text box as one line of the register's display: fixed
// pitch, light on dark, exactly sixteen characters wide.
void StyleAsRegisterDisplay(QWidget *line);

// Shows `text` in display line `row` (0 or 1) and names the line "Display
// riga 1: text" for assistive technology, announcing the change.
void ShowRegisterDisplayLine(QWidget *line, int row, const QString &text);

} // namespace norvvelm
