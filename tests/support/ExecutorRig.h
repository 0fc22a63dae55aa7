#pragma once

#include "commands/Executor.h"
#include "commands/Runner.h"
#include "commands/Session.h"
#include "ecrsim/Register.h"
#include "ecrsim/Text.h"
#include "support/ConfigEdit.h"
#include "support/MemoryLinkRig.h"
#include "support/ScriptedPrompter.h"

#include <QTemporaryDir>
#include <QTest>

// A register that takes every command: the executor's own rules are under
// test, not the register's.
struct PlainRegister : ecrsim::Register {
    bool totals = false; // "0/" answers with the sales total and the count of receipts closed
    int closed = 0;
    qint64 sales = 0;       // cents; every receipt closed adds 2.50
    bool refusePay = false; // a payment is answered with an error and closes nothing
    QByteArray execute(const QByteArray &line) override {
        if (line.startsWith("a/"))
            return Register::execute(line);
        if (line.startsWith("e/"))
            return ok({"4.00", "10.00", "22.50", "10.50", "0.00"});
        if (totals && line.startsWith("0/"))
            return ok({"0", "0", "0", "0", "0", ecrsim::wireAmount(sales), QByteArray::number(closed)});
        if (line.startsWith("5/") && refusePay)
            return error("6C");
        if (line.startsWith("5/")) {
            ++closed;
            sales += 250;
        }
        if (line.startsWith("x/")) { // the daily closing
            closed = 0;
            sales = 0;
        }
        return ok();
    }
};

struct ExecutorRig : MemoryLinkRig<PlainRegister> {
    norvvelm::Session session;
    testsupport::ScriptedPrompter prompter;
    norvvelm::Executor executor{session, link, prompter};
    norvvelm::Runner runner{session, link};
    QTemporaryDir dir;

    ExecutorRig() {
        // The executor's rules alone: no reads of its own between the lines.
        executor.readCountsBeforeClosing = false;
        session.monitor().setMonitorEnabled(true);
        session.settings().setLogEnabled(true);
        session.settings().setProgramDir(dir.path());
        testsupport::editConfig(session, [this](norvvelm::PcConfig &c) {
            c.ServerDir = dir.path();
            c.identity.sn = QStringLiteral("NV42");
        });
        session.setNow([] { return QDateTime(QDate(2026, 12, 7), QTime(10, 11, 12)); });
    }
    void queue(const QStringList &lines) { QVERIFY(executor.enqueue(lines)); }
    // The executor reads the register's totals around each closing; the
    // register has closed one receipt today, for 10.00.
    void readTotals() {
        executor.readCountsBeforeClosing = true;
        reg.totals = true;
        reg.closed = 1;
        reg.sales = 1000;
    }
    // The monitor oldest first.
    QStringList monitorInOrder() const {
        QStringList m = session.monitor().lines();
        std::reverse(m.begin(), m.end());
        return m;
    }
    QStringList logLines(const QString &prefix = QStringLiteral("VELM")) const {
        QFile f(dir.filePath(prefix + QStringLiteral(" 20261207.log")));
        if (!f.open(QIODevice::ReadOnly))
            return {};
        QStringList lines = QString::fromLatin1(f.readAll()).split(QStringLiteral("\r\n"));
        lines.removeAll(QString());
        return lines;
    }
};
