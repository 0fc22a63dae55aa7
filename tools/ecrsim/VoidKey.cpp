#include "ecrsim/Register.h"

namespace ecrsim {

namespace {
constexpr int kVoidReceiptKey = 28;
}

void Register::installVoidKey() {
    // Every other key goes on to the keyboard's own handler.
    handle(")/", [this](const Command &c) {
        if (c.field(1).trimmed() != QByteArray::number(kVoidReceiptKey))
            return keyPress(c);
        if (!receiptOpen())
            return error("6C");
        cancelDocument(QStringLiteral("ANNULLO SCONTRINO"));
        return ok();
    });
}

} // namespace ecrsim
