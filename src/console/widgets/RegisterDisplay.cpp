#include "console/widgets/RegisterDisplay.h"

#include "shell/widgets/Controls.h"
#include "shell/widgets/FixedPitchFont.h"

#include <QFontMetrics>
#include <QWidget>

namespace norvvelm {

void StyleAsRegisterDisplay(QWidget *line) {
    const QFont font = FixedPitchFont(1.4);
    line->setFont(font);
    line->setStyleSheet(QStringLiteral("background-color: #10261a; color: #7dff9a; padding: 2px 4px;"));
    const QFontMetrics m(font);
    line->setFixedWidth(m.horizontalAdvance(QString(16, u'M')) + 16);
    line->setMinimumHeight(m.height() + 8);
}

void ShowRegisterDisplayLine(QWidget *line, int row, const QString &text) {
    controls::showReadable(line, QStringLiteral("Display riga ") + QString::number(row + 1), text);
}

} // namespace norvvelm
