#include "commands/StatusBar.h"

namespace norvvelm {

QString StatusBar::panel(int n) const {
    if (n < 1 || n > 4)
        return {};
    return m_panels[size_t(n - 1)];
}

void StatusBar::setPanel(int n, const QString &text) {
    if (n < 1 || n > 4)
        return;
    m_panels[size_t(n - 1)] = text;
    emit panelChanged(n, text);
}

void StatusBar::setMessage(const QString &title, const QString &text) {
    setPanel(1, title);
    setPanel(2, text);
}

} // namespace norvvelm
