#include "Register.h"

namespace ecrsim {

QByteArray Register::answer(QByteArrayView errorCode, int status, const QByteArrayList &fields) {
    QByteArray out;
    out.append(errorCode);
    out.append('/');
    out.append(QByteArray::number(status).rightJustified(2, '0'));
    out.append("/00/");
    for (const QByteArray &f : fields) {
        out.append(f);
        out.append('/');
    }
    return out;
}

QByteArray Register::execute(const QByteArray &line) {
    if (line.startsWith("?/"))
        return ok({"0"});
    if (line.startsWith("a/")) {
        // serial number, number, field, two fields the PC skips, firmware
        return ok({identity.serial, identity.number, identity.field, "0", "0", identity.firmware});
    }
    return ok();
}

} // namespace ecrsim
