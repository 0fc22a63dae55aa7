// The control's property page: one editor per persistent property of the
// control it is bound to; "Applica" writes the edited values back.
#pragma once

#include "picture/RitraGlobal.h"

#include <QPointer>
#include <QWidget>

class QFormLayout;

class RITRA_EXPORT CRitraPropPage : public QWidget {
    Q_OBJECT

public:
    explicit CRitraPropPage(QWidget *parent = nullptr);

    // Binds the page to a control (a CRitraCtrl) and shows its values.
    Q_INVOKABLE bool setControl(QWidget *control);
    // Writes the edited values to the bound control.
    Q_INVOKABLE bool apply();

private:
    QPointer<QWidget> m_control;
    QFormLayout *m_form = nullptr;
    QList<QWidget *> m_editors;
};
