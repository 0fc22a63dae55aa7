#pragma once

#include "console/OperatorConsole.h"

#include <QDialog>
#include <QList>

class QGridLayout;
class QPushButton;

namespace norvvelm {

class FieldLineEdit;

// What the three document dialogs share: their text boxes under their labels,
// the button array "ANNULLA" (0) and "OK" (1), and a close by Escape or the
// close box that counts as "ANNULLA".
class ConsoleDialog : public QDialog {
    Q_OBJECT
public:
    void reject() override;
    FieldLineEdit *field(int i) const { return m_fields.value(i); }

protected:
    ConsoleDialog(const QString &objectName, const QString &caption, QWidget *parent);
    // A text box named `name` with its label (none when `label` is empty).
    FieldLineEdit *addField(const QString &name, const QString &label, int limit, FieldKind kind);
    // The buttons, once every field is in place.
    void addButtons();
    // The console's handler of button `index`, with the fields' texts.
    virtual OperatorConsole::Verdict press(int index) = 0;

private:
    void onButton(int index);

    QGridLayout *m_grid;
    QList<FieldLineEdit *> m_fields;
    QPushButton *m_buttons[2] = {};
    bool m_pressed = false;
};

} // namespace norvvelm
