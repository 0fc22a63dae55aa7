#pragma once

#include "commands/Runner.h"
#include "commands/Session.h"
#include "console/DocumentDialogs.h"
#include "console/OperatorConsole.h"
#include "console/RegisterKeys.h"
#include "ecrsim/Register.h"
#include "support/ConfigEdit.h"
#include "support/MemoryLinkRig.h"
#include "support/ScriptedPrompter.h"

#include <QTemporaryDir>
#include <QTest>

#include <functional>

// What an operator types into a document dialog, one press of a button each.
struct DialogEntry {
    int button = norvvelm::OperatorConsole::kOkButton;
    QStringList fields;
};

// The document dialogs as an operator fills them: each press is handed to
// the console's button handler until its verdict closes the dialog.
struct ScriptedDialogs final : norvvelm::DocumentDialogs {
    norvvelm::OperatorConsole *console = nullptr;
    QList<DialogEntry> entries;
    QList<norvvelm::OperatorConsole::Verdict> verdicts;
    QStringList shown;

    template <typename Press> void work(const QString &name, Press press) {
        shown.append(name);
        while (!entries.isEmpty()) {
            const DialogEntry e = entries.takeFirst();
            const auto v = press(e);
            verdicts.append(v);
            if (v.close)
                return;
        }
        // Closed with its close box: as its "ANNULLA".
        press(DialogEntry{norvvelm::OperatorConsole::kCancelButton, {}});
    }
    void showTaxCodeDialog() override {
        work(QStringLiteral("FrmPiCf"),
             [this](const DialogEntry &e) { return console->FrmPiCf_Button(e.button, e.fields.value(0)); });
    }
    void showCustomerDialog() override {
        work(QStringLiteral("FrmCliente"), [this](const DialogEntry &e) {
            std::array<QString, norvvelm::kCustomerLines> lines;
            for (int i = 0; i < norvvelm::kCustomerLines; ++i)
                lines[size_t(i)] = e.fields.value(i + 1);
            return console->FrmCliente_Button(e.button, e.fields.value(0), lines);
        });
    }
    void showCreditNoteDialog() override {
        work(QStringLiteral("FrmNCred"), [this](const DialogEntry &e) {
            return console->FrmNCred_Button(e.button, e.fields.value(0), e.fields.value(1));
        });
    }
};

// The console on the simulated register in memory, on virtual time.
struct ConsoleRig : MemoryLinkRig<ecrsim::Register> {
    norvvelm::Session session;
    testsupport::ScriptedPrompter prompter;
    norvvelm::Runner runner{session, link};
    norvvelm::OperatorConsole console{session, link, runner, prompter};
    ScriptedDialogs dialogs;
    QTemporaryDir dir;

    struct Taken {
        qint64 at;
        QString line;
    };
    QList<Taken> taken;

    ConsoleRig() {
        dialogs.console = &console;
        console.setDialogs(&dialogs);
        setServer(dir.path(), QStringLiteral("scontrino.txt"));
        reg.clock = [] { return QDateTime(QDate(2026, 12, 8), QTime(19, 5, 30)); };
        sim.onCommand = [this](const QByteArray &line, const QByteArray &) {
            taken.append({clock.nowMs(), QString::fromLatin1(line)});
        };
    }
    void setServer(const QString &folder, const QString &file) {
        testsupport::editConfig(session, [&](norvvelm::PcConfig &c) {
            c.ServerDir = folder;
            c.ServerFile = file;
        });
    }
    QStringList lines() const {
        QStringList out;
        for (const Taken &t : taken)
            out.append(t.line);
        return out;
    }
    void clearLines() { taken.clear(); }
    // Presses register-page keys by their captions.
    void keys(const QStringList &captions) {
        for (const QString &c : captions) {
            int index = -1;
            for (const norvvelm::RegisterKey &k : norvvelm::RegisterPanelKeys()) {
                if (k.caption == c && !k.programming)
                    index = k.index;
            }
            QVERIFY2(index >= 0, qPrintable(c));
            console.cmdECR_Click(index);
        }
    }
    QString display(int row) const {
        return console.displayLine(norvvelm::OperatorConsole::Display::Register, row);
    }
};
