#pragma once

#include "programming/HeaderFooter.h"

#include <QDialog>
#include <QList>

class QLineEdit;

namespace norvvelm {

// How the header will look: one box per row, in the row's print mode.
class DlgPreviewIntestazione : public QDialog {
    Q_OBJECT
public:
    explicit DlgPreviewIntestazione(const QList<PrintRow> &rows, QWidget *parent = nullptr);

    // Typeface, size, weight and box height and step (twips) of a print mode.
    struct Look {
        QStringList families; // the typeface first, then the ones that stand in for it
        int pointSize;
        bool bold;
        int heightTwips;
        int stepTwips;
    };
    static Look lookOf(int mode);

private:
    QList<QLineEdit *> m_boxes;
};

} // namespace norvvelm
