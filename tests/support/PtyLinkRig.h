#pragma once

#include "commands/Runner.h"
#include "commands/Session.h"
#include "link/Clock.h"
#include "link/SerialComPort.h"
#include "link/SerialFunz2.h"
#include "support/EcrSimProcess.h"
#include "support/ScriptedPrompter.h"

#include <QCoreApplication>
#include <QStringList>
#include <QTemporaryDir>

// A session over a real pseudo-terminal to the ecrsim program, on real time:
// what the pages' end-to-end tests stand on.
struct PtyLinkRig {
    QTemporaryDir dir;
    EcrSimProcess sim{dir.filePath(QStringLiteral("ecr"))};
    norvvelm::SerialComPort port;
    norvvelm::RealClock clock;
    norvvelm::SerialFunz2 link{port, clock, [] { QCoreApplication::processEvents(); }};
    norvvelm::Session session;
    norvvelm::Runner runner{session, link};
    testsupport::ScriptedPrompter prompter;

    QString paper() const { return dir.filePath(QStringLiteral("paper.txt")); }
    // Starts the simulated register with `args` and opens the link to it.
    bool startAndOpen(const QStringList &args) {
        return sim.start(args) && link.OpenComPort(sim.linkPath(), 9600);
    }
};
