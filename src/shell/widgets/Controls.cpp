#include "shell/widgets/Controls.h"

#include <QAccessible>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace norvvelm::controls {

namespace {
QString withoutMark(const QString &caption) {
    return QString(caption).remove(u'&');
}
} // namespace

QLabel *labelFor(QWidget *control, const QString &caption) {
    auto *label = new QLabel(caption);
    label->setBuddy(control);
    control->setAccessibleName(withoutMark(caption));
    return label;
}

void nameControl(QWidget *w, const QString &objectName, const QString &accessibleName) {
    w->setObjectName(objectName);
    w->setAccessibleName(accessibleName);
}

QString arrayName(const char *array, int index) {
    return QString::fromLatin1(array) + u'_' + QString::number(index);
}

QPushButton *button(const QString &objectName, const QString &caption, const QString &accessible) {
    auto *b = new QPushButton(caption);
    b->setObjectName(objectName);
    b->setAccessibleName(accessible.isEmpty() ? withoutMark(caption) : accessible);
    return b;
}

QPushButton *button(const char *objectName, const QString &caption, const QString &accessible) {
    return button(QString::fromLatin1(objectName), caption, accessible);
}

QCheckBox *check(const char *objectName, const QString &caption) {
    auto *c = new QCheckBox(caption);
    c->setObjectName(QString::fromLatin1(objectName));
    c->setAccessibleName(withoutMark(caption));
    return c;
}

void keepNarrow(QPushButton *b) {
    b->setMaximumWidth(b->fontMetrics().horizontalAdvance(QStringLiteral("....")) + 24);
}

QString readableName(const QString &caption, const QString &content) {
    const QString shown = content.trimmed();
    return shown.isEmpty() ? caption : caption + u": " + shown;
}

void showReadable(QWidget *output, const QString &caption, const QString &content) {
    if (auto *label = qobject_cast<QLabel *>(output))
        label->setText(content);
    else if (auto *line = qobject_cast<QLineEdit *>(output))
        line->setText(content);
    const QString name = readableName(caption, content);
    if (output->accessibleName() == name)
        return;
    output->setAccessibleName(name);
    QAccessibleEvent renamed(output, QAccessible::NameChanged);
    QAccessible::updateAccessibility(&renamed);
    // A screen reader follows the value of a box as well as its name.
    if (qobject_cast<QLineEdit *>(output)) {
        QAccessibleValueChangeEvent changed(output, content);
        QAccessible::updateAccessibility(&changed);
    }
}

void describe(QWidget *output, const QString &description) {
    if (output->accessibleDescription() == description)
        return;
    output->setAccessibleDescription(description);
    QAccessibleEvent changed(output, QAccessible::DescriptionChanged);
    QAccessible::updateAccessibility(&changed);
}

} // namespace norvvelm::controls
