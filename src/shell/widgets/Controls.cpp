#include "shell/widgets/Controls.h"

#include <QCheckBox>
#include <QLabel>
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

QPushButton *button(const char *objectName, const QString &caption, const QString &accessible) {
    auto *b = new QPushButton(caption);
    b->setObjectName(QString::fromLatin1(objectName));
    b->setAccessibleName(accessible.isEmpty() ? withoutMark(caption) : accessible);
    return b;
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

} // namespace norvvelm::controls
