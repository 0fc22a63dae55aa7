#include "programming/widgets/FieldFilters.h"

#include <QLineEdit>
#include <QRegularExpressionValidator>

#include <memory>

namespace norvvelm {

void slashToBackslash(QLineEdit *box) {
    QObject::connect(box, &QLineEdit::textEdited, box, [box](const QString &text) {
        if (!text.contains(u'/'))
            return;
        const int cursor = box->cursorPosition();
        QString t = text;
        t.replace(u'/', u'\\');
        box->setText(t);
        box->setCursorPosition(cursor);
    });
}

void limitTyped(QLineEdit *box, int limit, bool digits) {
    if (digits)
        box->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), box));
    if (limit <= 0)
        return;
    // A typed edit that makes the text longer than the limit, and longer than
    // it was, is taken back; the text a read put there stays whole.
    struct Texts {
        QString before;
        QString now;
    };
    auto texts = std::make_shared<Texts>(Texts{{}, box->text()});
    QObject::connect(box, &QLineEdit::textChanged, box, [texts](const QString &t) {
        texts->before = texts->now;
        texts->now = t;
    });
    QObject::connect(box, &QLineEdit::textEdited, box, [box, texts, limit](const QString &t) {
        // Whichever of the two signals came first, the text before the edit.
        const QString before = texts->now == t ? texts->before : texts->now;
        if (t.size() > limit && t.size() > before.size()) {
            const int cursor = box->cursorPosition() - int(t.size() - before.size());
            box->setText(before);
            box->setCursorPosition(qMax(0, cursor));
        }
    });
}

} // namespace norvvelm
