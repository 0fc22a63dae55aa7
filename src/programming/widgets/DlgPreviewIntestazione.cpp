#include "programming/widgets/DlgPreviewIntestazione.h"

#include "programming/widgets/FieldFilters.h"
#include "shell/widgets/Controls.h"

#include <QLineEdit>
#include <QPushButton>

namespace norvvelm {

using controls::arrayName;
using controls::nameControl;

namespace {
// Twips at the usual 96 dots per inch.
int pixels(int twips) {
    return (twips + 7) / 15;
}
} // namespace

DlgPreviewIntestazione::Look DlgPreviewIntestazione::lookOf(int mode) {
    // Where a typeface is missing the nearest installed one stands in.
    const QStringList impact = {QStringLiteral("Impact"), QStringLiteral("DejaVu Sans Condensed"),
                                QStringLiteral("DejaVu Sans")};
    switch (mode) {
    case 0:
        return {impact, 10, false, 310, 250};
    case 1:
        return {{QStringLiteral("Movie Condensed"), QStringLiteral("DejaVu Sans Condensed"),
                 QStringLiteral("DejaVu Sans")},
                38,
                false,
                660,
                750};
    case 2:
        return {{QStringLiteral("Rockwell"), QStringLiteral("DejaVu Serif")}, 13, true, 310, 280};
    case 3:
        return {impact, 20, false, 660, 750};
    default:
        return {impact, 10, false, 330, 250};
    }
}

DlgPreviewIntestazione::DlgPreviewIntestazione(const QList<PrintRow> &rows, QWidget *parent)
    : QDialog(parent) {
    setObjectName(QStringLiteral("DlgPreviewIntestazione"));
    setWindowTitle(QStringLiteral("Anteprima intestazione"));
    int top = 30;
    int width = 0;
    for (int i = 0; i < HeaderFooter::kHeaderRows; ++i) {
        const PrintRow row = i < rows.size() ? rows.at(i) : PrintRow{};
        const Look look = lookOf(row.mode);
        auto *box = new QLineEdit(row.text, this);
        nameControl(box, arrayName("txtHeader1", i), QStringLiteral("Riga %1").arg(i + 1));
        box->setReadOnly(true);
        QFont f;
        f.setFamilies(look.families);
        f.setPointSize(look.pointSize);
        f.setBold(look.bold);
        box->setFont(f);
        box->setAlignment(row.align == 1   ? Qt::AlignRight
                          : row.align == 2 ? Qt::AlignHCenter
                                           : Qt::AlignLeft);
        box->setGeometry(8, pixels(top), 480, pixels(look.heightTwips));
        width = 496;
        top += look.stepTwips;
        m_boxes << box;
    }
    auto *ok = new QPushButton(QStringLiteral("OK"), this);
    nameControl(ok, QStringLiteral("OKButton"), QStringLiteral("OK"));
    ok->setDefault(true);
    ok->move(width - ok->sizeHint().width() - 8, pixels(top) + 16);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    setFixedSize(width, pixels(top) + 24 + ok->sizeHint().height());
}

} // namespace norvvelm
