#include "console/widgets/RegisterPage.h"

#include "commands/DocumentLines.h"
#include "console/ConsoleLines.h"
#include "console/OperatorConsole.h"
#include "console/RegisterKeys.h"
#include "console/widgets/DialogDocuments.h"
#include "console/widgets/RegisterDisplay.h"
#include "shell/widgets/Controls.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace norvvelm {

using controls::button;

RegisterPage::RegisterPage(OperatorConsole &console, QWidget *parent)
    : QWidget(parent), m_console(console), m_dialogs(std::make_unique<DialogDocuments>(console, this)) {
    m_console.setDialogs(m_dialogs.get());
    setFocusPolicy(Qt::StrongFocus);

    // The display.
    auto *display = new QVBoxLayout;
    display->setSpacing(0);
    for (int i = 0; i < 2; ++i) {
        m_display[i] = new QLabel;
        m_display[i]->setObjectName(QStringLiteral("LblDisp1_") + QString::number(i));
        m_display[i]->setTextFormat(Qt::PlainText);
        StyleAsRegisterDisplay(m_display[i]);
        ShowRegisterDisplayLine(m_display[i], i,
                                m_console.displayLine(OperatorConsole::Display::Register, i));
        display->addWidget(m_display[i]);
    }
    connect(&m_console, &OperatorConsole::displayChanged, this,
            [this](OperatorConsole::Display d, const QString &top, const QString &bottom) {
                if (d != OperatorConsole::Display::Register)
                    return;
                ShowRegisterDisplayLine(m_display[0], 0, top);
                ShowRegisterDisplayLine(m_display[1], 1, bottom);
            });

    // The keys, from the key table.
    auto *keys = new QGridLayout;
    auto *programming = new QGroupBox(QStringLiteral("Programmazione"));
    programming->setObjectName(QStringLiteral("frmProgrammazione"));
    auto *progGrid = new QGridLayout(programming);
    QList<QWidget *> progOrder;
    for (const RegisterKey &k : RegisterPanelKeys()) {
        auto *b = button(QStringLiteral("cmdECR_") + QString::number(k.index), k.caption);
        b->setProperty("Tag", k.tag);
        b->setToolTip(k.toolTip);
        // Never narrower than its caption: a smaller window scrolls instead.
        b->setMinimumSize(b->sizeHint().expandedTo(QSize(64, 40)));
        b->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
        connect(b, &QPushButton::clicked, this, [this, i = k.index] { m_console.cmdECR_Click(i); });
        (k.programming ? progGrid : keys)->addWidget(b, k.row, k.column, 1, k.columnSpan);
        (k.programming ? progOrder : m_order).append(b);
    }
    m_order += progOrder;

    // The documents and closings, and the demonstration receipts, two a row:
    // the column then fits a 1024x768 screen.
    auto *documents = new QGridLayout;
    struct Doc {
        const char *name;
        const char16_t *caption;
        std::function<void()> click;
    };
    const Doc docs[] = {
        {"Command1", u"Prelievi", [this] { m_console.Command1_Click(); }},
        {"CmdCfPi", u"Scontrino Parlante", [this] { m_console.CmdCfPi_Click(); }},
        {"CmdFat", u"FATTURA", [this] { m_console.CmdFat_Click(); }},
        {"CmdNotaCredito", u"Nota Cred.", [this] { m_console.CmdNotaCredito_Click(); }},
        {"cmdReportVenditeOP01", u"Totali Venduto", [this] { m_console.cmdReportVenditeOP01_Click(); }},
        {"cmdChiusuraGIornaliera", u"Chiusura Giornaliera",
         [this] { m_console.cmdChiusuraGIornaliera_Click(); }},
        {"cmdDGFE_0", u"Ultimo Scontrino", [this] { m_console.cmdDGFE_Click(0); }},
    };
    int row = 0;
    for (const Doc &d : docs) {
        auto *b = button(QString::fromLatin1(d.name), QString::fromUtf16(d.caption));
        if (QByteArrayView(d.name) == "Command1")
            b->setProperty("Tag", WithdrawalLine());
        connect(b, &QPushButton::clicked, this, d.click);
        documents->addWidget(b, row / 2, row % 2);
        ++row;
        m_order.append(b);
    }
    for (int i = 1; i <= 3; ++i) {
        auto *b = button(QStringLiteral("cmdDGFE_") + QString::number(i), QStringLiteral("TBD"));
        b->setAccessibleName(QStringLiteral("TBD ") + QString::number(i));
        b->setEnabled(false);
        documents->addWidget(b, row / 2, row % 2);
        ++row;
    }
    auto *demo = new QGroupBox(QStringLiteral("Scontrini di prova"));
    demo->setObjectName(QStringLiteral("frmDemoTicket"));
    auto *demoBox = new QGridLayout(demo);
    for (int i = 1; i <= kDemoReceipts; ++i) {
        auto *b = button(QStringLiteral("cmdDemoTicket_") + QString::number(i), DemoReceiptCaption(i));
        b->setAccessibleName(QStringLiteral("Scontrino di prova ") + DemoReceiptCaption(i));
        connect(b, &QPushButton::clicked, this, [this, i] { m_console.cmdDemoTicket_Click(i); });
        demoBox->addWidget(b, (i - 1) / 2, (i - 1) % 2);
        m_order.append(b);
    }

    auto *left = new QVBoxLayout;
    left->addLayout(display);
    left->addSpacing(8);
    left->addLayout(keys, 1);
    auto *right = new QVBoxLayout;
    right->addWidget(programming);
    right->addLayout(documents);
    right->addWidget(demo);
    right->addStretch(1);
    auto *page = new QHBoxLayout(this);
    page->addLayout(left, 1);
    page->addLayout(right);
}

RegisterPage::~RegisterPage() {
    m_console.setDialogs(nullptr);
}

void RegisterPage::keyPressEvent(QKeyEvent *event) {
    // The buttons leave Enter to the page: it activates the focused button,
    // and is never a register key of its own.
    auto *focused = qobject_cast<QAbstractButton *>(focusWidget());
    if (focused && !isAncestorOf(focused))
        focused = nullptr;
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        event->accept();
        if (focused && focused->isEnabled())
            focused->animateClick();
        return;
    }
    // The digits type on the register only while no button has the focus.
    int index = -1;
    if (!focused && !(event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)))
        index = RegisterPanelIndexForTypedText(event->text());
    if (index < 0) {
        QWidget::keyPressEvent(event);
        return;
    }
    event->accept();
    // As if the button itself were pressed: it shows down, then clicks.
    if (auto *b = findChild<QPushButton *>(QStringLiteral("cmdECR_") + QString::number(index)))
        b->animateClick();
}

} // namespace norvvelm
