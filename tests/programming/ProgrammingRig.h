#pragma once

#include "commands/Runner.h"
#include "commands/Session.h"
#include "ecrsim/Register.h"
#include "ecrsim/SimLink.h"
#include "link/SerialFunz2.h"
#include "programming/WriteProcedure.h"
#include "shell/ProfileFile.h"
#include "support/ConfigEdit.h"
#include "support/ScriptedPrompter.h"
#include "support/SimComPort.h"
#include "support/VirtualClock.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

// The simulated register, refusing the lines that start with a prefix.
struct RefusingRegister : ecrsim::Register {
    QByteArray prefix;
    QByteArray code;
    void refuse(const QByteArray &p, const QByteArray &c) {
        prefix = p;
        code = c;
    }
    QByteArray execute(const QByteArray &line) override {
        if (!prefix.isEmpty() && line.startsWith(prefix))
            return error(code);
        return Register::execute(line);
    }
};

// The programming units against the simulated register, in memory and on
// virtual time, with a settings file of their own.
struct ProgrammingRig {
    RefusingRegister reg;
    ecrsim::SimLink sim{reg};
    testsupport::VirtualClock clock;
    testsupport::SimComPort port{sim, clock};
    norvvelm::SerialFunz2 link{port, clock};
    norvvelm::Session session;
    testsupport::ScriptedPrompter prompter;
    norvvelm::Runner runner{session, link};
    norvvelm::WriteProcedure procedure{{runner, session}, prompter};
    QTemporaryDir dir;

    ProgrammingRig() {
        link.OpenComPort(QStringLiteral("/dev/sim"), 9600);
        session.settings().setProgramDir(dir.path());
        testsupport::editConfig(session, [&](norvvelm::PcConfig &c) {
            c.IniPath = dir.filePath(QStringLiteral("NorvVelm.ini"));
        });
    }
    void fault(const QString &rule) {
        QString error;
        QVERIFY2(sim.addFaultRule(rule, &error), qPrintable(error));
    }
    QStringList sent(const QByteArray &prefix = {}) const {
        QStringList out;
        for (const QByteArray &c : sim.commandsExecuted()) {
            if (c.startsWith(prefix))
                out.append(QString::fromLatin1(c));
        }
        return out;
    }
    norvvelm::ProfileFile ini() const { return norvvelm::ProfileFile(session.settings().config().IniPath); }
    QStringList texts() const {
        QStringList out;
        for (const auto &s : prompter.shown)
            out << s.text;
        return out;
    }
};
