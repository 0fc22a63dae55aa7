#pragma once

#include "ecrsim/SimLink.h"
#include "link/SerialFunz2.h"
#include "support/SimComPort.h"
#include "support/VirtualClock.h"

#include <QString>
#include <QStringList>

#include <functional>

// The link to a simulated register in memory, on virtual time, opened: what
// the executor and console rigs stand on. `onPump` runs whenever the link
// pumps events while it waits.
template <typename Reg> struct MemoryLinkRig {
    Reg reg;
    ecrsim::SimLink sim{reg};
    testsupport::VirtualClock clock;
    testsupport::SimComPort port{sim, clock};
    std::function<void()> onPump;
    norvvelm::SerialFunz2 link{port, clock, [this] {
                                   if (onPump)
                                       onPump();
                               }};

    MemoryLinkRig() { link.OpenComPort(QStringLiteral("/dev/sim"), 9600); }

    // False (with the reason on the test's output) when the rule is not one
    // the simulated register knows: the test checks it.
    [[nodiscard]] bool fault(const QString &rule) {
        QString error;
        if (sim.addFaultRule(rule, &error))
            return true;
        qWarning("fault rule %s: %s", qPrintable(rule), qPrintable(error));
        return false;
    }
    // The command lines the register carried out, oldest first.
    QStringList sent() const {
        QStringList out;
        for (const QByteArray &c : sim.commandsExecuted())
            out.append(QString::fromLatin1(c));
        return out;
    }
};
