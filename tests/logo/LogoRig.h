// The register in memory behind the interactive runner, on virtual time.
#pragma once

#include "commands/Runner.h"
#include "commands/Session.h"
#include "ecrsim/Register.h"
#include "ecrsim/SimLink.h"
#include "link/SerialFunz2.h"
#include "support/ScriptedPrompter.h"
#include "support/SimComPort.h"
#include "support/VirtualClock.h"

#include <QTest>

struct LogoRig {
    ecrsim::Register reg;
    ecrsim::SimLink sim{reg};
    testsupport::VirtualClock clock;
    testsupport::SimComPort port{sim, clock};
    norvvelm::SerialFunz2 link{port, clock, [] {}};
    norvvelm::Session session;
    testsupport::ScriptedPrompter prompter;
    norvvelm::Runner runner{session, link};

    LogoRig() { link.OpenComPort(QStringLiteral("/dev/sim"), 9600); }
    void fault(const QString &rule) {
        QString error;
        QVERIFY2(sim.addFaultRule(rule, &error), qPrintable(error));
    }
    QStringList sent() const {
        QStringList out;
        for (const QByteArray &c : sim.commandsExecuted())
            out.append(QString::fromLatin1(c));
        return out;
    }
    QString lastMessage() const { return prompter.shown.isEmpty() ? QString() : prompter.shown.last().text; }
};
