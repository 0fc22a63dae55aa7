#pragma once

#include "api/ApiServer.h"
#include "api/QueueReceiptBook.h"
#include "api/RegisterDirectory.h"
#include "commands/AutoClosing.h"
#include "commands/Executor.h"
#include "commands/ReceiptJournal.h"
#include "commands/Runner.h"
#include "commands/Session.h"
#include "link/Deadlines.h"
#include "link/SerialFunz2.h"
#include "shell/PrintServer.h"
#include "shell/Startup.h"

#include <QObject>

#include <functional>
#include <memory>

namespace norvvelm {

class Clock;
class ComPort;
class Prompter;
struct ConfigForm;

// The program's core, wired once: the session, the link, the runner, the
// start-up and its watch, the executor and the print server. The window, the
// daemon, the command tool and the tests build the same station; each brings
// its own port, clock, prompter and event pump.
class Station : public QObject {
    Q_OBJECT
public:
    // How often the watch looks at the port, and how often it retries a
    // register that does not answer.
    static constexpr int kCheckMs = 1000;
    static constexpr int kRetryMs = 3000;
    // How often a journal that cannot be read or written is tried again.
    static constexpr int kJournalRetryMs = 5000;

    Station(ComPort &port, Clock &clock, Prompter &prompter, SerialFunz2::EventPump pump = {},
            QObject *parent = nullptr);
    ~Station() override;

    Session &session() { return m_session; }
    SerialFunz2 &link() { return m_link; }
    Runner &runner() { return m_runner; }
    Prompter &prompter() { return m_prompter; }
    // What waits for a time on the station's clock.
    Deadlines &deadlines() { return m_deadlines; }
    Startup &startup() { return m_startup; }
    Executor &executor() { return m_executor; }
    PrintServer &printServer() { return m_server; }
    ApiServer &api() { return m_api; }
    QueueReceiptBook &receipts() { return m_book; }

    // The configuration of the home folder into the session, and the queue
    // the journal kept from the last run. False when the configuration is
    // incomplete (status-bar panels 1 and 2 say why).
    bool loadConfiguration();
    // The queue's journal in the home folder. While it cannot be read or
    // written no receipt is taken and no line goes out (the status bar, the
    // monitor and the daily log say so once); it is tried again every
    // kJournalRetryMs.
    ReceiptJournal *journal() { return m_journal.get(); }
    void retryJournal();
    // A test's seam: the journal's writes fail while it answers true.
    void setJournalWriteFault(std::function<bool()> fails) { m_journalWriteFault = std::move(fails); }
    // Brings the register under control (port, status, identification, VAT
    // rates), starts the print server when it is on and the watch that brings
    // the register back.
    void startServing();
    // Both, in that order; false when the configuration is incomplete (then
    // nothing is opened and no file is taken).
    bool start();
    // The print server and the watch stop; the port is closed.
    void stop();
    // The local HTTP interface opened as configured (ApiStato, ApiIndirizzo,
    // ApiPorta), or closed; an address that cannot be opened is said on the
    // status bar, and the print server goes on without it.
    bool startApi();

    // The configuration tab's values saved to the file. The server state,
    // folder, file, log and sale-line options take effect at once; port,
    // speed, model and window mode at the next start, and the status bar says
    // so. False when the file could not be written (panels 1 and 2 say where).
    bool saveConfiguration(const ConfigForm &form);
    // The technician's switch of the raw command lines over the interface
    // (ApiRigheDirette), saved at once and in effect once saved. False when
    // it could not be written (panels 1 and 2 say where): it stays as it was.
    bool setApiRigheDirette(bool on);

    // The automatic daily closing, looked at with every watch of the
    // register: queued as a request of the server's own once it is due and
    // the queue idle, followed to its outcome, said on the status bar.
    void autoClose();
    const AutoClosing &autoClosing() const { return m_closing; }
    // This print server's entry among the till's registers, written again
    // when it changed (with every watch); withdrawn when it stops.
    void announce();
    RegisterDirectory &directory() { return m_directory; }
    // The instance's name: NORVVELM_INSTANCE, else its home folder's name.
    QString instanceName() const;

private:
    Session m_session;
    Prompter &m_prompter;
    Deadlines m_deadlines;
    SerialFunz2 m_link;
    Runner m_runner;
    Startup m_startup;
    Executor m_executor;
    PrintServer m_server;
    QueueReceiptBook m_book;
    ApiServer m_api;
    SerialFunz2::EventPump withDeadlines(SerialFunz2::EventPump pump);
    void writeOutcomeFile(const ReceiptHistory &outcome);
    ApiServer::Figures figures();
    void readPaymentTypes();
    // How many characters of a text the register prints on a row.
    static constexpr int kRegisterDescriptionWidth = 32;
    QList<int> m_paymentTypes; // programmed on the register; empty: not read
    ApiServer::Offline offlineReason() const;
    void openJournal();
    bool loadJournal();
    // The register may hold a receipt the journal no longer knows of.
    void assumeWhatTheJournalLost(ReceiptJournal::Load loaded, ReceiptJournal::Ending ending,
                                  const QueueState &state);

    bool followClosing();
    bool closingPrintedToday();
    AutoClosing m_closing;
    RegisterDirectory m_directory;
    QString m_closingId; // the attempt queued and not final yet

    std::unique_ptr<ReceiptJournal> m_journal;
    bool m_journalUnread = false;
    std::function<bool()> m_journalWriteFault;
    qint64 m_journalTriedMs = 0;
    bool m_loaded = false;
};

} // namespace norvvelm
