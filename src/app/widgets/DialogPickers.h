#pragma once

#include "shell/widgets/Pickers.h"

#include <QPointer>
#include <QWidget>

namespace norvvelm {

// The pickers as the desktop's folder and open-file dialogs.
class DialogPickers final : public Pickers {
public:
    explicit DialogPickers(QWidget *owner = nullptr) : m_owner(owner) {}
    void setOwner(QWidget *owner) { m_owner = owner; }
    QString chooseFolder(const QString &title) override;
    QString chooseFile(const QString &filter) override;
    // "All Files|*.*" as a dialog's filter: "All Files (*)".
    static QString dialogFilter(const QString &filter);

private:
    QPointer<QWidget> m_owner;
};

} // namespace norvvelm
