#include "programming/widgets/HeaderFooterPage.h"

#include "programming/widgets/DlgPreviewIntestazione.h"
#include "programming/widgets/FieldFilters.h"
#include "shell/widgets/Controls.h"
#include "shell/widgets/FixedPitchFont.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace norvvelm {

using controls::arrayName;
using controls::nameControl;

const QStringList &HeaderFooterPage::alignItems() {
    static const QStringList items = {QStringLiteral("Sinistra"), QStringLiteral("Destra"),
                                      QStringLiteral("Centrato")};
    return items;
}

const QStringList &HeaderFooterPage::modeItems() {
    static const QStringList items = {QStringLiteral("Normale"), QStringLiteral("Doppia Altezza"),
                                      QStringLiteral("Doppia Larghezza"),
                                      QStringLiteral("Doppia Altezza e Larghezza")};
    return items;
}

HeaderFooterPage::HeaderFooterPage(Kind kind, HeaderFooter &logic, QWidget *parent)
    : QWidget(parent), m_kind(kind), m_logic(logic) {
    const bool header = kind == Kind::Header;
    const int count = header ? HeaderFooter::kHeaderRows : HeaderFooter::kFooterRows;
    const QString rowTitle =
        header ? QStringLiteral("Riga di intestazione") : QString::fromUtf8("Riga di piè di scontrino");
    auto *outer = new QVBoxLayout(this);
    auto *grid = new QGridLayout;
    grid->addWidget(new QLabel(rowTitle, this), 0, 0);
    grid->addWidget(new QLabel(QStringLiteral("Allineamento"), this), 0, 1);
    grid->addWidget(new QLabel(QStringLiteral("Tipo di carattere"), this), 0, 2);
    const QFont fixed = FixedPitchFont();
    const char *textArray = header ? "txtHeaderText" : "txtFooterText";
    const char *alignArray = header ? "cmbHeaderAlign" : "cmbFooterAlign";
    const char *modeArray = header ? "cmbHeaderFont" : "cmbFooterFont";
    for (int i = 0; i < count; ++i) {
        const QString n = QString::number(i + 1);
        auto *text = new QLineEdit(this);
        nameControl(text, arrayName(textArray, i), rowTitle + u' ' + n);
        limitTyped(text, HeaderFooter::kTypedLimit);
        text->setFont(fixed);
        text->setMinimumWidth(QFontMetrics(fixed).horizontalAdvance(QString(33, u'M')));
        slashToBackslash(text);
        auto *align = new QComboBox(this);
        nameControl(align, arrayName(alignArray, i), QStringLiteral("Allineamento ") + n);
        align->addItems(alignItems());
        auto *mode = new QComboBox(this);
        nameControl(mode, arrayName(modeArray, i), QStringLiteral("Tipo di carattere ") + n);
        mode->addItems(modeItems());
        grid->addWidget(text, i + 1, 0);
        grid->addWidget(align, i + 1, 1);
        grid->addWidget(mode, i + 1, 2);
        m_text << text;
        m_align << align;
        m_mode << mode;
    }
    outer->addLayout(grid);

    auto *buttons = new QHBoxLayout;
    m_write = new QPushButton(QStringLiteral("Imposta"), this);
    nameControl(m_write, arrayName("cmdSetParametri", header ? 0 : 1), QStringLiteral("Imposta"));
    auto *reload = new QPushButton(QStringLiteral("Recupera"), this);
    nameControl(reload, header ? QStringLiteral("cmdRecHeader") : QStringLiteral("cmdReadPiede"),
                QStringLiteral("Recupera"));
    connect(reload, &QPushButton::clicked, this, &HeaderFooterPage::reload);
    buttons->addWidget(m_write);
    buttons->addWidget(reload);
    if (header) {
        auto *preview = new QPushButton(QStringLiteral("Anteprima"), this);
        nameControl(preview, QStringLiteral("cmdPreviewIntestazione"), QStringLiteral("Anteprima"));
        connect(preview, &QPushButton::clicked, this, &HeaderFooterPage::preview);
        buttons->addWidget(preview);
    }
    buttons->addStretch();
    outer->addLayout(buttons);
    if (header) {
        for (const QString &notice :
             {QString::fromUtf8(
                  "Attenzione : il limite di modifiche massimo all'intestazione dello scontrino "
                  "è di 60 cambiamenti"),
              QStringLiteral(
                  "Per poter cambiare l'intestazione bisogna aver prima eseguito l'azzeramento")}) {
            auto *l = new QLabel(notice, this);
            l->setWordWrap(true);
            outer->addWidget(l);
        }
    }
    outer->addStretch();
    clear();
}

QList<PrintRow> HeaderFooterPage::rows() const {
    QList<PrintRow> out;
    for (int i = 0; i < m_text.size(); ++i)
        out.append({m_text[i]->text(), m_align[i]->currentIndex(), m_mode[i]->currentIndex()});
    return out;
}

void HeaderFooterPage::setRows(const QList<PrintRow> &rows) {
    for (int i = 0; i < m_text.size() && i < rows.size(); ++i) {
        m_text[i]->setText(rows[i].text);
        m_align[i]->setCurrentIndex(rows[i].align);
        m_mode[i]->setCurrentIndex(rows[i].mode);
    }
}

void HeaderFooterPage::clear() {
    setRows(QList<PrintRow>(m_text.size()));
}

void HeaderFooterPage::showRows(int count) {
    for (int i = 0; i < m_text.size(); ++i) {
        m_text[i]->setVisible(i < count);
        m_align[i]->setVisible(i < count);
        m_mode[i]->setVisible(i < count);
    }
}

void HeaderFooterPage::reload() {
    setRows(m_kind == Kind::Header ? m_logic.reloadHeader(rows()) : m_logic.reloadFooter(rows()));
}

void HeaderFooterPage::preview() {
    DlgPreviewIntestazione dlg(rows(), this);
    dlg.exec();
}

} // namespace norvvelm
