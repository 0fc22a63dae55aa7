#include "console/widgets/VirtualKeyboard.h"

#include "console/OperatorConsole.h"
#include "console/RegisterKeys.h"
#include "console/widgets/RegisterDisplay.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace norvvelm {

VirtualKeyboard::VirtualKeyboard(OperatorConsole &console, QWidget *parent)
    : QWidget(parent), m_console(console) {
    auto *keyboard = new QGroupBox(QStringLiteral("Tastiera"));
    keyboard->setObjectName(QStringLiteral("frmVKbd"));
    auto *grid = new QGridLayout(keyboard);
    grid->setSpacing(2);
    for (const RegisterKey &k : VirtualKeyboardKeys()) {
        auto *b = new QPushButton(k.caption);
        b->setObjectName(QStringLiteral("cmdVirtKBD_") + QString::number(k.index));
        b->setAccessibleName(k.caption.isEmpty() ? QStringLiteral("Tasto ") + QString::number(k.index)
                                                 : k.caption);
        b->setProperty("Tag", k.tag);
        b->setEnabled(k.enabled);
        b->setAutoDefault(false);
        // Never narrower than its caption: a smaller window scrolls instead.
        b->setMinimumSize(b->sizeHint().expandedTo(QSize(56, 32)));
        // The keys grow with the window, as the register page's do.
        b->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
        connect(b, &QPushButton::clicked, this, [this, i = k.index] { m_console.cmdVirtKBD_Click(i); });
        grid->addWidget(b, k.row, k.column);
        if (k.enabled)
            m_order.append(b);
    }

    auto *display = new QGroupBox(QStringLiteral("Display"));
    display->setObjectName(QStringLiteral("frmVDsp"));
    auto *lines = new QVBoxLayout(display);
    for (int i = 0; i < 2; ++i) {
        m_display[i] = new QLineEdit;
        m_display[i]->setObjectName(QStringLiteral("txtVirtDSP_") + QString::number(i));
        m_display[i]->setReadOnly(true);
        StyleAsRegisterDisplay(m_display[i]);
        ShowRegisterDisplayLine(m_display[i], i, m_console.displayLine(OperatorConsole::Display::Virtual, i));
        lines->addWidget(m_display[i]);
        m_order.append(m_display[i]);
    }
    lines->addStretch(1);
    connect(&m_console, &OperatorConsole::displayChanged, this,
            [this](OperatorConsole::Display d, const QString &top, const QString &bottom) {
                if (d != OperatorConsole::Display::Virtual)
                    return;
                ShowRegisterDisplayLine(m_display[0], 0, top);
                ShowRegisterDisplayLine(m_display[1], 1, bottom);
            });

    auto *row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->addWidget(keyboard, 1);
    row->addWidget(display, 0, Qt::AlignTop);
}

} // namespace norvvelm
