#pragma once

#include <QString>

class QCheckBox;
class QLabel;
class QPushButton;
class QWidget;

namespace norvvelm::controls {

// The one set of helpers that name and label controls: the system's control
// name as objectName, the caption (or its buddy label) as accessible name.

// Its control name, for a control whose caption already names it.
template <typename W> W *named(W *w, const char *objectName) {
    w->setObjectName(QString::fromLatin1(objectName));
    return w;
}
// objectName and accessible name in one go.
void nameControl(QWidget *w, const QString &objectName, const QString &accessibleName);
// The objectName of element `index` of a control array: "txtIVA_3".
QString arrayName(const char *array, int index);

// A caption label set as the control's buddy; the caption (without its
// accelerator mark) also names the control for assistive technology.
QLabel *labelFor(QWidget *control, const QString &caption);
// A button or check box with its control name; its accessible name is its
// caption, or `accessible` when the caption alone says too little ("...").
QPushButton *button(const char *objectName, const QString &caption, const QString &accessible = {});
QPushButton *button(const QString &objectName, const QString &caption, const QString &accessible = {});
QCheckBox *check(const char *objectName, const QString &caption);
// Narrow buttons beside a box ("...", "?") keep to their text.
void keepNarrow(QPushButton *b);

// An output a screen reader reads with what it shows: a label's or a read-only
// box's text becomes `content`, and its accessible name "caption: content"
// (the caption alone while it shows nothing). Each change is announced.
void showReadable(QWidget *output, const QString &caption, const QString &content);
// A list's accessible description (its newest or first entry), announced.
void describe(QWidget *output, const QString &description);
// The accessible name showReadable() gives.
QString readableName(const QString &caption, const QString &content);

} // namespace norvvelm::controls
