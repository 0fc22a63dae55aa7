#pragma once

#include "commands/DocumentLines.h"

#include <QLineEdit>

namespace norvvelm {

// A text box of the document dialogs: a length limit, the field's filter on
// every character typed or pasted, and its whole content selected when it
// gets the focus.
class FieldLineEdit : public QLineEdit {
    Q_OBJECT
public:
    FieldLineEdit(FieldKind kind, int limit, QWidget *parent = nullptr);

protected:
    void focusInEvent(QFocusEvent *event) override;
};

} // namespace norvvelm
