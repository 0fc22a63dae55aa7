#pragma once

#include <QObject>
#include <QString>

#include <array>

namespace norvvelm {

// The status bar sbMain, panels 1 to 4: panel 1 names what the last problem
// concerns and panel 2 says it (set together), panel 3 the register's
// identity, panel 4 its firmware.
class StatusBar : public QObject {
    Q_OBJECT
public:
    explicit StatusBar(QObject *parent = nullptr) : QObject(parent) {}

    QString panel(int n) const;
    void setPanel(int n, const QString &text);
    // Panels 1 and 2 together: what, and what about it.
    void setMessage(const QString &title, const QString &text);

signals:
    void panelChanged(int panel, const QString &text);

private:
    std::array<QString, 4> m_panels;
};

} // namespace norvvelm
