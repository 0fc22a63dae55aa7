#pragma once

#include <QByteArray>
#include <QByteArrayList>

namespace ecrsim {

// What the simulated register does with each command line: keeps its state
// and composes the answer line ("EE/SS/NN/" then fields, each ended by "/").
class Register {
public:
    struct Identity {
        QByteArray serial = "NV00012345";
        QByteArray number = "1";
        QByteArray field = "72";
        QByteArray firmware = "1.02";
    };

    virtual ~Register() = default;

    // Executes one command line (without the frame) and returns the answer.
    virtual QByteArray execute(const QByteArray &line);
    // A control line the model understands (see Control.h); empty when it does not.
    virtual QByteArray control(const QByteArray &) { return {}; }

    Identity identity;

    // The status number sent in every answer (bit value 4: paper to replace).
    int statusBits = 0;

    static QByteArray answer(QByteArrayView errorCode, int status, const QByteArrayList &fields);
    QByteArray ok(const QByteArrayList &fields = {"0"}) const { return answer("00", statusBits, fields); }
    QByteArray error(QByteArrayView code) const { return answer(code, statusBits, {"0"}); }
};

} // namespace ecrsim
