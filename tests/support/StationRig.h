#pragma once

#include "app/Station.h"
#include "ecrsim/Register.h"
#include "ecrsim/SimLink.h"
#include "support/ScriptedPrompter.h"
#include "support/SimComPort.h"
#include "support/TestFiles.h"
#include "support/VirtualClock.h"

#include <QTemporaryDir>

#include <functional>

namespace testsupport {

// The whole station, as the window and the daemon build it, on the
// simulated register in memory and virtual time, with a home folder of its
// own whose NorvVelm.ini maps Com3 to the simulated port.
struct StationRig {
    ecrsim::Register reg;
    ecrsim::SimLink sim{reg};
    VirtualClock clock;
    SimComPort port{sim, clock};
    ScriptedPrompter prompter;
    // Runs where the window would let its events run (inside every wait).
    std::function<void()> onPump;
    norvvelm::Station station{port, clock, prompter, [this] {
                                  if (onPump)
                                      onPump();
                              }};
    QTemporaryDir home;

    explicit StationRig(const QByteArray &parameters = "ServerStato=On\nServerFile=scontrino.txt\n") {
        station.session().settings().setProgramDir(home.path());
        station.directory() = norvvelm::RegisterDirectory(home.path() + QStringLiteral("/run/registers"));
        station.session().setNow([] { return QDateTime(QDate(2026, 12, 7), QTime(10, 11, 12)); });
        station.printServer().requireStableFiles = false;
        sim.onCommand = [this](const QByteArray &line, const QByteArray &answer) {
            answers.append({line, answer});
        };
        writeIni(parameters);
    }
    // The receipts' folder is the home folder unless `parameters` say otherwise.
    void writeIni(const QByteArray &parameters) {
        writeFile(path(QStringLiteral("NorvVelm.ini")),
                  "[Parametri]\nModello=Norv ONe\nPorta=3\nVelocita=9600\nServerDir=" + home.path().toUtf8() +
                      "\nApiPorta=0\n" + parameters + "[Porte]\nCom3=/dev/sim3\n");
    }
    QString path(const QString &name) const { return home.filePath(name); }
    int executed(const QByteArray &line) const { return int(sim.commandsExecuted().count(line)); }
    // How many times the register carried a line out: accepted ("00") and
    // without the paper status (a line answered with it is not carried out).
    int taken(const QByteArray &line) const {
        int n = 0;
        for (const auto &[l, answer] : answers)
            n += l == line && answer.startsWith("00/") && !(answer.mid(3, 2).toInt() & 4);
        return n;
    }
    // Runs the print server's ticks, and the watch's checks each second, for
    // up to `ms` of virtual time or until `done` holds.
    template <class Done> bool runUntil(Done done, int ms = 120000) {
        for (qint64 end = clock.nowMs() + ms; clock.nowMs() < end;) {
            station.printServer().TimerSRV_Timer();
            if (done())
                return true;
            clock.advance(norvvelm::PrintServer::kIntervalMs);
            if (clock.nowMs() % norvvelm::Station::kCheckMs < norvvelm::PrintServer::kIntervalMs)
                station.startup().checkNow();
        }
        return done();
    }
    // How many receipts the register printed complete (not voided) that hold `text`.
    int onPaper(const QString &text) const {
        int n = 0;
        for (const QString &doc : const_cast<ecrsim::Register &>(reg).paper().documents())
            n += doc.contains(text) && doc.contains(QStringLiteral("SCONTR. N.")) &&
                 !doc.contains(QStringLiteral("ANNULLATO"));
        return n;
    }
    int voided() const {
        int n = 0;
        for (const QString &doc : const_cast<ecrsim::Register &>(reg).paper().documents())
            n += doc.contains(QStringLiteral("ANNULLATO"));
        return n;
    }
    QList<std::pair<QByteArray, QByteArray>> answers; // every line the register took, with its answer
    // False (with the reason on the test's output) for a rule the simulated
    // register does not know.
    [[nodiscard]] bool fault(const QString &rule) {
        QString error;
        if (sim.addFaultRule(rule, &error))
            return true;
        qWarning("fault rule %s: %s", qPrintable(rule), qPrintable(error));
        return false;
    }
};

} // namespace testsupport
