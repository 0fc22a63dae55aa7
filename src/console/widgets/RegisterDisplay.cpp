#include "console/widgets/RegisterDisplay.h"

#include <QFontDatabase>
#include <QFontMetrics>
#include <QWidget>

namespace norvvelm {

void StyleAsRegisterDisplay(QWidget *line) {
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setStyleHint(QFont::TypeWriter);
    font.setPointSizeF(font.pointSizeF() * 1.4);
    line->setFont(font);
    line->setStyleSheet(QStringLiteral("background-color: #10261a; color: #7dff9a; padding: 2px 4px;"));
    const QFontMetrics m(font);
    line->setFixedWidth(m.horizontalAdvance(QString(16, u'M')) + 16);
    line->setMinimumHeight(m.height() + 8);
}

} // namespace norvvelm
