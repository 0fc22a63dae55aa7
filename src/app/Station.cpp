#include "app/Station.h"

#include "programming/PaymentTable.h"

#include "api/OutcomeFiles.h"
#include "commands/DocumentLines.h"
#include "commands/Prompter.h"
#include "commands/TechnicianTools.h"
#include "commands/WriteFailure.h"
#include "shell/Config.h"
#include "shell/ProfileFile.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>

namespace norvvelm {

Station::Station(ComPort &port, Clock &clock, Prompter &prompter, SerialFunz2::EventPump pump,
                 QObject *parent)
    : QObject(parent), m_prompter(prompter), m_deadlines(clock),
      m_link(port, clock, withDeadlines(std::move(pump))), m_runner(m_session, m_link),
      m_startup(m_session, m_link, m_runner, m_executor, m_prompter),
      m_executor(m_session, m_link, m_prompter), m_server(m_session, m_link, m_executor, m_prompter),
      m_book(m_session, m_executor), m_api(m_session, m_deadlines) {
    m_book.fileOutcome = [this](const ReceiptHistory &o) { writeOutcomeFile(o); };
    m_book.queued = [this] { m_server.takeSoon(); };
    m_api.setRegisterUp([this] { return m_startup.ready(); });
    m_api.setServerEnabled([this] { return m_server.isEnabled(); });
    m_api.setFiguresReader([this] { return figures(); });
    m_api.setOfflineReason([this] { return offlineReason(); });
    m_api.setRawSender([this](const QString &line) { return SendRawLine(m_session, m_runner, line); });
    m_link.setLineObserver([this](bool busy) { m_session.runState().setLineBusy(busy); });
    // No file is taken before the register is identified on an open port.
    m_server.setRegisterReady(false);
    connect(&m_startup, &Startup::readyChanged, &m_server, &PrintServer::setRegisterReady);
    m_startup.setTablesRead([this] { readPaymentTypes(); });
    m_api.setReceiptRules([this] {
        const PcConfig &config = m_session.settings().config();
        SaleRewrite rewrite;
        rewrite.wrapDescription = config.WrapDescription;
        rewrite.width1 = config.DescrWidth1;
        rewrite.width2 = config.DescrWidth2;
        return ReceiptRules{m_paymentTypes, kRegisterDescriptionWidth, rewrite, {}};
    });
    connect(&m_startup, &Startup::watched, this, &Station::retryJournal);
    connect(&m_startup, &Startup::watched, this, &Station::autoClose);
    connect(&m_startup, &Startup::watched, this, &Station::announce);
    m_api.setRegisters([this] { return m_directory.list(); });
    m_api.setClosingStatus([this] {
        const AutoClosing::Today &t = m_closing.today();
        const QString setting = m_session.settings().config().ChiusuraAutomatica;
        ApiServer::Closing c{setting, t.day == m_session.now().date() && t.done, t.closedAt, t.problem, {},
                             {}};
        // The takings of today's figures only: a read of yesterday's says nothing of today.
        if (const auto &last = m_executor.lastFigures(); last && last->at.date() == m_session.now().date()) {
            c.takings = last->totals.salesCents;
            c.takingsAt = last->at;
        }
        return c;
    });
}

// Where events run inside the link's waits, deadlines due on the clock run
// too: on a virtual clock nothing else wakes them.
SerialFunz2::EventPump Station::withDeadlines(SerialFunz2::EventPump pump) {
    if (!pump)
        return pump;
    return [this, pump = std::move(pump)] {
        pump();
        m_deadlines.check();
    };
}

Station::~Station() {
    m_directory.withdraw();
    m_link.setLineObserver({});
}

bool Station::loadConfiguration() {
    m_loaded = m_startup.loadConfiguration();
    if (m_loaded && !m_journal) {
        openJournal();
        // Each receipt file's own outcome file is kept as long as its outcome.
        OutcomeFiles::prune(OutcomeFiles::folder(m_session.settings().config().ServerDir,
                                                 m_session.settings().config().ServerEsiti),
                            m_session.now().addDays(-OutcomeStore::kDays));
    }
    return m_loaded;
}

void Station::openJournal() {
    m_journal = std::make_unique<ReceiptJournal>(m_session.settings().programDir() + u'/' +
                                                 ReceiptJournal::fileName());
    m_journal->setWriteFault(m_journalWriteFault);
    // Until it is read and written anew, it takes no record: nothing is taken
    // and nothing goes out.
    m_executor.setJournal(m_journal.get());
    // The outcomes of earlier runs, before the journal's receipts are told.
    if (m_book.open(m_session.settings().programDir()))
        m_api.setBook(&m_book);
    else
        ReportWriteFailure(m_session, QStringLiteral("gli esiti degli scontrini"), m_book.store().path());
    m_journalTriedMs = m_link.clock().nowMs();
    m_journalUnread = !loadJournal();
}

// The queue the journal kept, replayed and written anew; false while the
// file cannot be read (said once).
bool Station::loadJournal() {
    QueueState state;
    QString detail;
    const ReceiptJournal::Load loaded = m_journal->load(state, detail);
    if (loaded == ReceiptJournal::Load::Failed) {
        const QString text = QStringLiteral("Giornale della coda non leggibile: ") +
                             QDir::toNativeSeparators(m_journal->path()) + QStringLiteral(" (") + detail +
                             u')';
        if (!m_journalUnread) {
            m_prompter.message(text, QStringLiteral("Attenzione"), Prompter::Icon::Critical);
            m_session.statusBar().setMessage(QStringLiteral("Giornale della coda"), text);
        }
        m_executor.sayJournalProblem(text);
        return false;
    }
    assumeWhatTheJournalLost(loaded, m_journal->ending(), state);
    if (loaded == ReceiptJournal::Load::SetAside)
        m_prompter.message(QStringLiteral("Giornale della coda illeggibile: messo da parte come ") +
                               QDir::toNativeSeparators(detail),
                           QStringLiteral("Attenzione"), Prompter::Icon::Critical);
    // Only a journal that ends with the queue idle tells every receipt's
    // end; otherwise those it lost wait for the register's word.
    const bool whole =
        loaded != ReceiptJournal::Load::SetAside && m_journal->ending() == ReceiptJournal::Ending::Idle;
    m_book.adopt(state, whole);
    if (m_book.hasLost())
        m_executor.judgeAfterRecovery([this](const ReceiptTotals &now) { m_book.settleLost(now); });
    m_server.recoverWorkingCopies(state.takenFiles);
    m_executor.resume(state);
    if (!m_journal->start(state)) {
        ReportWriteFailure(m_session, QStringLiteral("il giornale della coda"), m_journal->path());
        m_executor.sayJournalProblem(m_session.statusBar().panel(2) + QStringLiteral(" (") +
                                     m_journal->error() + u')');
    }
    return true;
}

// Every few seconds, on the link's clock, while the journal cannot be read or
// written: once it can, the queue it keeps is replayed (or the one in memory
// written anew) before any work is taken, and work resumes by itself.
void Station::retryJournal() {
    if (!m_journal || (m_journal->writable() && !m_journalUnread))
        return;
    const qint64 now = m_link.clock().nowMs();
    if (now - m_journalTriedMs < kJournalRetryMs)
        return;
    m_journalTriedMs = now;
    if (m_journalUnread) {
        if (!loadJournal())
            return;
        m_journalUnread = false;
        if (!m_journal->writable())
            return;
        m_executor.journalMended();
    } else if (!m_executor.mendJournal()) {
        return;
    }
    m_server.takeSoon();
}

// Read now while the register is there and free (no operator sequence, the
// queue idle, no exchange on the line); else the last read, said as older.
ApiServer::Figures Station::figures() {
    ApiServer::Figures f;
    ReceiptTotals now;
    if (m_startup.ready() && !m_session.registerOwner().operatorHolds() && !m_link.lineBusy() &&
        m_executor.readFigures(now)) {
        f.totals = now;
        f.at = m_session.now();
        f.fresh = true;
        return f;
    }
    if (const auto &last = m_executor.lastFigures()) {
        f.totals = last->totals;
        f.at = last->at;
    }
    return f;
}

QString Station::instanceName() const {
    const QString given = qEnvironmentVariable("NORVVELM_INSTANCE");
    if (RegisterDirectory::validName(given))
        return given;
    const QString home = QFileInfo(m_session.settings().programDir()).fileName();
    return RegisterDirectory::validName(home) ? home : QStringLiteral("norvvelm");
}

void Station::announce() {
    if (!m_loaded || !m_api.isListening())
        return;
    const RegisterIdentity &id = m_session.settings().identity();
    m_directory.announce({instanceName(), m_api.address().toString(), m_api.port(), id.sn.trimmed(),
                          m_session.settings().config().Modello, id.fw.trimmed(), m_startup.ready(),
                          QCoreApplication::applicationPid()});
}

void Station::autoClose() {
    if (!m_loaded || !m_journal)
        return;
    const QDateTime now = m_session.now();
    const bool idle = m_startup.ready() && m_executor.state().idle() && m_book.pending() == 0 &&
                      !m_link.lineBusy() && !m_session.registerOwner().operatorHolds() &&
                      !m_executor.recoveryPending();
    switch (m_closing.step(now, m_session.settings().config().ChiusuraAutomatica, idle)) {
    case AutoClosing::Step::Off:
    case AutoClosing::Step::NotYet:
    case AutoClosing::Step::Done:
        return;
    case AutoClosing::Step::Wait:
        if (!m_closingId.isEmpty())
            followClosing();
        return;
    case AutoClosing::Step::Queue:
        break;
    }
    // The attempt under way first: once it ends, the next look decides.
    if (!m_closingId.isEmpty()) {
        followClosing();
        return;
    }
    const QString title = QStringLiteral("Chiusura automatica");
    // The day's closing made already: by a till over the interface, or by an
    // attempt an earlier run queued; or the register has nothing to close
    // (its day's figures are zero after a closing made by hand).
    if (closingPrintedToday())
        return;
    ReceiptTotals figures;
    if (m_executor.readFigures(figures) && figures.receipts == 0 && figures.nonFiscal == 0 &&
        figures.salesCents.value_or(-1) == 0) {
        m_closing.nothingToClose();
        m_session.statusBar().setMessage(title, QStringLiteral("Chiusura giornaliera gi\u00e0 fatta: nessun "
                                                               "documento da chiudere"));
        return;
    }
    const QString key = AutoClosing::KeyOf(now.date(), m_closing.today().attempt);
    const ReceiptSource source(ReceiptSource::Kind::Request, key,
                               QCryptographicHash::hash(key.toUtf8(), QCryptographicHash::Sha256), {}, {},
                               QStringLiteral("daily_closing"));
    ReceiptHistory receipt;
    switch (m_book.submit(source, ComposeDailyClosing().lines, receipt)) {
    case ReceiptBook::Submit::Accepted:
    case ReceiptBook::Submit::Repeated:
        m_closingId = ReceiptIdText(receipt.id);
        if (followClosing())
            m_session.statusBar().setMessage(title, QStringLiteral("Chiusura giornaliera in corso"));
        return;
    case ReceiptBook::Submit::Conflict:
    case ReceiptBook::Submit::Failed:
        break;
    }
    m_closing.failed(now, QStringLiteral("la coda non l'ha accettata"));
    m_session.statusBar().setMessage(title,
                                     QStringLiteral("Chiusura giornaliera non accodata: nuovo tentativo "
                                                    "alle ") +
                                         m_closing.today().retryAt.toString(QStringLiteral("HH:mm")));
}

// The attempt queued: true while it is not final; printed, the day is
// closed; otherwise it is said, and tried again.
bool Station::followClosing() {
    const std::optional<ReceiptHistory> r = m_book.find(m_closingId);
    if (r && !IsFinal(r->outcome))
        return true;
    m_closingId.clear();
    const QString title = QStringLiteral("Chiusura automatica");
    if (r && r->outcome == OutcomeState::Printed) {
        m_closing.printed(r->finished);
        m_session.statusBar().setMessage(title, QStringLiteral("Chiusura giornaliera fatta alle ") +
                                                    r->finished.toString(QStringLiteral("HH:mm")));
        return false;
    }
    const QString why = !r                         ? QStringLiteral("esito sconosciuto")
                        : !r->reasonText.isEmpty() ? r->reasonText
                        : !r->errors.isEmpty()     ? r->errors.constLast().text
                                                   : OutcomeStateName(r->outcome);
    m_closing.failed(r && r->finished.isValid() ? r->finished : m_session.now(), why);
    m_session.statusBar().setMessage(title, QStringLiteral("Chiusura giornaliera non riuscita (") + why +
                                                QStringLiteral("): nuovo tentativo alle ") +
                                                m_closing.today().retryAt.toString(QStringLiteral("HH:mm")));
    return false;
}

// A daily closing of today printed, whoever asked for it: the day's.
bool Station::closingPrintedToday() {
    ReceiptQuery q;
    q.limit = 1000;
    q.date = m_session.now().date();
    q.states = {OutcomeState::Printed};
    bool more = false;
    for (const ReceiptHistory &r : m_book.listed(q, &more)) {
        if (r.source.document == u"daily_closing") {
            m_closing.printed(r.finished);
            return true;
        }
    }
    return false;
}

// The payment types the register has programmed (those with a
// description), read with its payment table each time it is identified, so
// that a receipt naming another is refused before it is queued. Left as it
// was when the table cannot be read now.
void Station::readPaymentTypes() {
    if (m_link.lineBusy() || m_session.registerOwner().operatorHolds())
        return;
    QList<int> programmed;
    for (int n = 1; n <= PaymentTable::kCount; ++n) {
        // A read of its own, quiet: the status bar keeps what it says.
        const Reply reply = m_link.exchange(PaymentTable::readCommand(n));
        if (!reply.answered() || !AnswerAccepted(reply.answer))
            return;
        Payment p;
        PaymentTable::parse(reply.answer, p);
        if (!p.description.isEmpty())
            programmed.append(n);
    }
    m_paymentTypes = programmed;
}

// Why the register does not take the queue's lines, as the port and the
// start-up's last words tell it; nothing while it answers.
ApiServer::Offline Station::offlineReason() const {
    if (m_startup.ready())
        return m_executor.unreachableReported()
                   ? ApiServer::Offline{QStringLiteral("no_answer"), Executor::unreachableMessage()}
                   : ApiServer::Offline{};
    const QString said = m_startup.lastProblem().simplified();
    if (!m_link.isOpen())
        return {QStringLiteral("port_closed"),
                said.isEmpty() ? QStringLiteral("Porta ") + PortName(m_session.settings().config().Porta) +
                                     QStringLiteral(" non aperta")
                               : said};
    if (!said.isEmpty() && link::isLinkFailure(m_session.lastExchange().lastStatus()))
        return {QStringLiteral("no_answer"), said};
    return {QStringLiteral("not_identified"),
            said.isEmpty() ? QStringLiteral("Cassa non ancora identificata") : said};
}

void Station::writeOutcomeFile(const ReceiptHistory &outcome) {
    const QString folder = OutcomeFiles::folder(m_session.settings().config().ServerDir,
                                                m_session.settings().config().ServerEsiti);
    QString error;
    if (!OutcomeFiles::write(folder, outcome, &error))
        ReportWriteFailure(m_session, QStringLiteral("l'esito dello scontrino"),
                           OutcomeFiles::pathFor(folder, outcome.source.key, outcome.id));
}

void Station::assumeWhatTheJournalLost(ReceiptJournal::Load loaded, ReceiptJournal::Ending ending,
                                       const QueueState &state) {
    using Ending = ReceiptJournal::Ending;
    // Only a journal that ends with the queue standing idle proves that the
    // register holds nothing of ours. A home where the register was never
    // identified has nothing to lose; anything else may have left a receipt
    // open, which is voided before any line goes out.
    const bool ranBefore = !ProfileFile(m_session.settings().iniPath())
                                .getString(QStringLiteral("Current"), QStringLiteral("SN"), QString(), 64)
                                .trimmed()
                                .isEmpty();
    const bool lost = loaded == ReceiptJournal::Load::SetAside || loaded == ReceiptJournal::Load::Failed;
    if (!lost && (ending == Ending::Idle || !ranBefore))
        return;
    m_executor.assumeReceiptMayBeOpen();
    if (lost)
        return; // said by the load
    if (const int lines = m_journal->lostLines(); lines > 0)
        m_prompter.message(
            QStringLiteral("Giornale della coda troncato (") + QDir::toNativeSeparators(m_journal->path()) +
                QStringLiteral("): %1 righe dell'ultimo file preso perse, non inviate; "
                               "uno scontrino interrotto viene annullato prima di ogni altra riga")
                    .arg(lines),
            QStringLiteral("Attenzione"), Prompter::Icon::Critical);
    if (m_journal->lostLines() > 0 || !state.idle())
        return; // an interrupted run resumed as such
    QString what;
    switch (ending) {
    case Ending::Missing:
        what = QStringLiteral("mancante");
        break;
    case Ending::Empty:
        what = QStringLiteral("vuoto");
        break;
    case Ending::Cut:
    case Ending::Unfinished:
        what = QStringLiteral("troncato");
        break;
    case Ending::Idle:
        return;
    }
    m_prompter.message(QStringLiteral("Giornale della coda ") + what + QStringLiteral(" (") +
                           QDir::toNativeSeparators(m_journal->path()) +
                           QStringLiteral("): uno scontrino interrotto può essere rimasto aperto sulla "
                                          "cassa, viene annullato prima di ogni altra riga"),
                       QStringLiteral("Attenzione"), Prompter::Icon::Critical);
}

void Station::startServing() {
    if (!m_loaded || m_session.runState().stopRequested())
        return;
    // The interface answers from the start: a receipt resumed from the
    // journal is told while the register's connection sends it again.
    startApi();
    m_startup.connectRegister();
    m_server.setEnabled(m_session.settings().config().ServerStato);
    m_startup.supervise(kCheckMs, kRetryMs);
}

bool Station::startApi() {
    const PcConfig &cfg = m_session.settings().config();
    if (!cfg.ApiStato) {
        m_api.close();
        m_directory.withdraw();
        return true;
    }
    if (m_api.isListening() && m_api.port() == cfg.ApiPorta &&
        m_api.address() == QHostAddress(cfg.ApiIndirizzo))
        return true;
    QString error;
    if (m_api.listen(cfg.ApiIndirizzo, cfg.ApiPorta, &error)) {
        announce();
        return true;
    }
    m_directory.withdraw();
    m_session.statusBar().setMessage(
        QStringLiteral("API non disponibile"),
        QStringLiteral("Impossibile aprire %1 porta %2 per l'API: ").arg(cfg.ApiIndirizzo).arg(cfg.ApiPorta) +
            error);
    return false;
}

bool Station::start() {
    if (!loadConfiguration())
        return false;
    startServing();
    return true;
}

void Station::stop() {
    m_directory.withdraw();
    m_api.close();
    m_server.setEnabled(false);
    m_startup.stopSupervising();
    m_link.CloseComPort();
}

bool Station::saveConfiguration(const ConfigForm &form) {
    PcConfig saved = m_session.settings().config();
    if (saved.IniPath.isEmpty())
        saved.IniPath = m_session.settings().iniPath();
    StatusTexts status;
    const bool written = SaveConfiguration(form, saved, status);
    const bool restart = m_session.settings().applySavedConfig(saved);
    if (m_loaded)
        m_server.setEnabled(m_session.settings().config().ServerStato);
    if (m_loaded && (m_api.isListening() || m_session.settings().config().ApiStato) && !startApi())
        return written;
    if (written && restart)
        status = {QStringLiteral("Riavvio necessario"),
                  QStringLiteral("Porta, velocit\u00e0, modello e modalit\u00e0 valgono dal prossimo avvio")};
    m_session.statusBar().setMessage(status.type, status.message);
    return written;
}

bool Station::setApiRigheDirette(bool on) {
    PcConfig saved = m_session.settings().config();
    if (saved.IniPath.isEmpty())
        saved.IniPath = m_session.settings().iniPath();
    StatusTexts status;
    if (!SaveApiRigheDirette(on, saved, status)) {
        m_session.statusBar().setMessage(status.type, status.message);
        return false;
    }
    m_session.settings().setApiRigheDirette(on);
    return true;
}

} // namespace norvvelm
