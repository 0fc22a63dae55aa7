#include "console/widgets/FieldLineEdit.h"

#include <QFocusEvent>
#include <QTimer>
#include <QValidator>

namespace norvvelm {

namespace {
// Rewrites what the box takes with the field's filter: a "/" typed into a
// command field becomes a backslash, a refused character is dropped.
class FieldValidator final : public QValidator {
public:
    FieldValidator(FieldKind kind, QObject *parent) : QValidator(parent), m_kind(kind) {}
    State validate(QString &input, int &pos) const override {
        const QString filtered = FilterText(m_kind, input);
        if (filtered != input) {
            pos = int(std::min<qsizetype>(pos, filtered.size()));
            input = filtered;
        }
        return Acceptable;
    }

private:
    FieldKind m_kind;
};
} // namespace

FieldLineEdit::FieldLineEdit(FieldKind kind, int limit, QWidget *parent) : QLineEdit(parent) {
    setMaxLength(limit);
    setValidator(new FieldValidator(kind, this));
}

void FieldLineEdit::focusInEvent(QFocusEvent *event) {
    QLineEdit::focusInEvent(event);
    // After the click that gave the focus has placed the cursor.
    QTimer::singleShot(0, this, &QLineEdit::selectAll);
}

} // namespace norvvelm
