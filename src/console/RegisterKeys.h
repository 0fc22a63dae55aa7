#pragma once

#include "commands/CommandLanguage.h"

#include <QList>
#include <QString>

namespace norvvelm {

// What a console button sends after its own key.
enum class KeyFollowUp {
    Nothing,
    ExtraKeys,    // the keys of `extraKeys`, each with its pause
    SameAgain,    // the same key once more ("00" is two "0" presses)
    LongerPause,  // no further key, a longer pause (the register prints or moves paper)
    CloseDocument // the cash key: the closing of a pending invoice or credit note
};

// One button of a register key panel.
struct RegisterKey {
    int index = 0;
    QString caption;
    QString tag; // the key code as text; empty on a disabled key
    KeyFollowUp followUp = KeyFollowUp::Nothing;
    QList<int> extraKeys;
    bool programming = false; // in the frame "Programmazione"
    QString toolTip;
    bool enabled = true;
    int row = 0; // where the button stands on its panel (frame or grid)
    int column = 0;
    int columnSpan = 1;
};

// The register page's panel cmdECR, by index (28 to 31 do not exist).
const QList<RegisterKey> &RegisterPanelKeys();
// The technician page's virtual keyboard cmdVirtKBD (29 does not exist).
const QList<RegisterKey> &VirtualKeyboardKeys();
// The key of `index` in `keys`; nullptr when there is none.
const RegisterKey *FindRegisterKey(const QList<RegisterKey> &keys, int index);

inline constexpr int kCashKeyIndex = 43;
inline constexpr int kPanelLongerPauseMs = 200;
inline constexpr int kKeyPauseMs = 100;

// The cmdECR index a character typed on the PC keyboard presses while the
// register page has the focus: digits and the decimal comma (also '.').
// -1 for any other character: no typed key pays or closes anything.
int RegisterPanelIndexForTypedText(const QString &text);

} // namespace norvvelm
