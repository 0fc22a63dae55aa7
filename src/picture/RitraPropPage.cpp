#include "picture/RitraPropPage.h"

#include "picture/RitraCtrl.h"

#include <QCheckBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QMetaProperty>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

CRitraPropPage::CRitraPropPage(QWidget *parent) : QWidget(parent) {
    setObjectName(QStringLiteral("ritraPropPage"));
    auto *layout = new QVBoxLayout(this);
    m_form = new QFormLayout;
    layout->addLayout(m_form);
    const QMetaObject &mo = CRitraCtrl::staticMetaObject;
    for (const QString &name : CRitraCtrl::persistentProperties()) {
        const QMetaProperty p = mo.property(mo.indexOfProperty(name.toLatin1().constData()));
        QWidget *editor = nullptr;
        switch (p.metaType().id()) {
        case QMetaType::Bool:
            editor = new QCheckBox(this);
            break;
        case QMetaType::Short: {
            auto *spin = new QSpinBox(this);
            spin->setRange(-32768, 32767);
            editor = spin;
            break;
        }
        case QMetaType::Int: {
            auto *spin = new QSpinBox(this);
            spin->setRange(0, 0xFFFFFF);
            spin->setDisplayIntegerBase(16);
            editor = spin;
            break;
        }
        case QMetaType::Float: {
            auto *spin = new QDoubleSpinBox(this);
            spin->setRange(-1000, 1000);
            spin->setDecimals(3);
            editor = spin;
            break;
        }
        default:
            editor = new QLineEdit(this);
            break;
        }
        editor->setObjectName(name);
        editor->setEnabled(false);
        m_form->addRow(name, editor);
        m_editors.append(editor);
    }
    auto *applyButton = new QPushButton(QStringLiteral("Applica"), this);
    applyButton->setObjectName(QStringLiteral("cmdApply"));
    connect(applyButton, &QPushButton::clicked, this, [this] { apply(); });
    layout->addWidget(applyButton);
}

bool CRitraPropPage::setControl(QWidget *control) {
    auto *ctrl = qobject_cast<CRitraCtrl *>(control);
    if (!ctrl)
        return false;
    m_control = ctrl;
    for (QWidget *editor : std::as_const(m_editors)) {
        const QVariant v = ctrl->property(editor->objectName().toLatin1().constData());
        if (auto *box = qobject_cast<QCheckBox *>(editor))
            box->setChecked(v.toBool());
        else if (auto *spin = qobject_cast<QSpinBox *>(editor))
            spin->setValue(v.toInt());
        else if (auto *dspin = qobject_cast<QDoubleSpinBox *>(editor))
            dspin->setValue(v.toDouble());
        else if (auto *line = qobject_cast<QLineEdit *>(editor))
            line->setText(v.toString());
        editor->setEnabled(true);
    }
    return true;
}

bool CRitraPropPage::apply() {
    auto *ctrl = qobject_cast<CRitraCtrl *>(m_control.data());
    if (!ctrl)
        return false;
    for (QWidget *editor : std::as_const(m_editors)) {
        const QByteArray name = editor->objectName().toLatin1();
        const QMetaType type = ctrl->property(name.constData()).metaType();
        QVariant v;
        if (auto *box = qobject_cast<QCheckBox *>(editor))
            v = box->isChecked();
        else if (auto *spin = qobject_cast<QSpinBox *>(editor))
            v = spin->value();
        else if (auto *dspin = qobject_cast<QDoubleSpinBox *>(editor))
            v = dspin->value();
        else if (auto *line = qobject_cast<QLineEdit *>(editor))
            v = line->text();
        if (v.convert(type))
            ctrl->setProperty(name.constData(), v);
    }
    return true;
}
