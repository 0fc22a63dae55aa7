#pragma once

class QWidget;

namespace norvvelm {

// Shows a label or text box as one line of the register's display: fixed
// pitch, light on dark, exactly sixteen characters wide.
void StyleAsRegisterDisplay(QWidget *line);

} // namespace norvvelm
