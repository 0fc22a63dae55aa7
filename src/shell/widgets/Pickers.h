#pragma once

#include <QString>

namespace norvvelm {

// The folder and file pickers of the window (ChooseFolder, ChooseFile): the
// window shows the desktop's dialogs, tests script the choices.
class Pickers {
public:
    virtual ~Pickers() = default;
    // The chosen folder, without a trailing separator; "" when cancelled.
    virtual QString chooseFolder(const QString &title) = 0;
    // The chosen file's full name; "" when cancelled. `filter` is given as
    // "Description|pattern[|Description|pattern...]", e.g. "All Files|*.*".
    virtual QString chooseFile(const QString &filter) = 0;
};

} // namespace norvvelm
