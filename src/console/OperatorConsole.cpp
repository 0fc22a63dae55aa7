#include "console/OperatorConsole.h"

#include "commands/BusyPointer.h"
#include "commands/CommandLanguage.h"
#include "commands/DocumentLines.h"
#include "commands/Prompter.h"
#include "commands/Runner.h"
#include "commands/Session.h"
#include "console/ConsoleLines.h"
#include "console/DocumentDialogs.h"
#include "console/DocumentEntry.h"
#include "console/RegisterKeys.h"
#include "link/Ansi.h"
#include "link/SerialFunz2.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

namespace norvvelm {

namespace {
constexpr int kDisplayReads = 3;
constexpr int kClosingExtraReads = 2;
constexpr int kShortPauseMs = 100;
constexpr int kLongPauseMs = 200;

const QString kAttention = QStringLiteral("Attenzione");

size_t slot(OperatorConsole::Display d) {
    return d == OperatorConsole::Display::Register ? 0 : 1;
}
} // namespace

OperatorConsole::OperatorConsole(Session &session, SerialFunz2 &link, Runner &runner, Prompter &prompter,
                                 QObject *parent)
    : QObject(parent), m_session(session), m_link(link), m_runner(runner), m_prompter(prompter) {}

OperatorConsole::~OperatorConsole() = default;

// ---------------------------------------------------------------- plumbing

void OperatorConsole::run(std::function<void()> work, std::optional<RegisterOwner::Use> use) {
    std::function<void()> item = [this, work = std::move(work), use] {
        if (!use) {
            work();
            return;
        }
        const RegisterLease lease(m_session, *use, &m_prompter);
        if (lease)
            work();
    };
    if (m_running) {
        // Pressed during a pause of another sequence: it follows that one.
        m_waiting.push_back(std::move(item));
        return;
    }
    m_running = true;
    emit busyChanged(true);
    {
        const BusyPointer pointer(m_session);
        item();
        while (!m_waiting.empty()) {
            const std::function<void()> next = std::move(m_waiting.front());
            m_waiting.pop_front();
            next();
        }
    }
    m_running = false;
    emit busyChanged(false);
}

void OperatorConsole::clearPendingDocument() {
    m_pending = PendingDocument{};
    holdWhileOpen();
}

void OperatorConsole::endPendingDocument() {
    m_pending.invoicePending = false;
    m_pending.creditNotePending = false;
    m_pending.invoiceOpened = false;
    m_pending.customerVatLine.clear();
    m_pending.customerHeaderLine.clear();
    m_pending.creditNoteReference.clear();
    m_pending.documentCommand.clear();
    holdWhileOpen();
}

bool OperatorConsole::cashKeyClosesDocument(int code) const {
    return code == kCashKeyCode && (m_pending.invoicePending || m_pending.creditNotePending);
}

int OperatorConsole::exchangeDirect(const QString &line) {
    m_session.lastExchange().setLastAnswer(QString());
    const Reply reply = m_link.exchange(line);
    m_session.lastExchange().setLastAnswer(reply.answer);
    m_session.lastExchange().setLastStatus(statusNumber(reply.status));
    return statusNumber(reply.status);
}

int OperatorConsole::sendRunner(const QString &line) {
    return m_runner.SendAndCheck(line);
}

void OperatorConsole::pause(int ms) {
    m_link.WaitMs(ms);
}

void OperatorConsole::setDisplay(Display target, const QString &top, const QString &bottom) {
    m_display[slot(target)] = {top, bottom};
    emit displayChanged(target, top, bottom);
}

QString OperatorConsole::displayLine(Display target, int row) const {
    return row == 0 || row == 1 ? m_display[slot(target)][size_t(row)] : QString();
}

bool OperatorConsole::showDisplayFromLastAnswer(Display target) {
    const auto lines = DisplayFromAnswer(m_session.lastExchange().lastAnswer());
    if (!lines)
        return false;
    setDisplay(target, lines->top, lines->bottom);
    return true;
}

// ---------------------------------------------------------------- keys and display

int OperatorConsole::PressRegisterKey(const QString &code) {
    // The code is the trimmed text of the button's tag.
    const int status = exchangeDirect(KeyPressLine(code.trimmed().toInt()));
    pause(kKeyPauseMs);
    return status;
}

bool OperatorConsole::RefreshRegisterDisplay(Display target) {
    for (int read = 0; read < kDisplayReads; ++read) {
        exchangeDirect(DisplayReadLine());
        if (DisplayFromAnswer(m_session.lastExchange().lastAnswer()))
            break;
    }
    return showDisplayFromLastAnswer(target);
}

void OperatorConsole::ReadTechnicianDisplay() {
    run(
        [this] {
            sendRunner(DisplayReadLine());
            showDisplayFromLastAnswer(Display::Virtual);
        },
        RegisterOwner::Use::Reads);
}

void OperatorConsole::cmdECR_Click(int index) {
    run([this, index] { pressPanelKey(index); }, RegisterOwner::Use::Changes);
}

void OperatorConsole::pressPanelKey(int index) {
    const RegisterKey *key = FindRegisterKey(RegisterPanelKeys(), index);
    if (!key)
        return;
    const QString code = key->tag.trimmed();
    const bool cash = index == kCashKeyIndex;
    // Another key of the cash key's code would close a pending document as a
    // plain receipt and leave its lines behind.
    if (!cash && cashKeyClosesDocument(code.toInt())) {
        m_prompter.message(QStringLiteral("Documento in corso: chiuderlo con il tasto Contanti"), kAttention,
                           Prompter::Icon::Warning);
        return;
    }
    // An invoice ends with its customer lines and payment: the plain cash
    // key would close it as a receipt first.
    if (!(cash && m_pending.invoicePending))
        PressRegisterKey(code);
    switch (key->followUp) {
    case KeyFollowUp::ExtraKeys:
        // Sent even when an earlier key of the sequence failed.
        for (const int extra : key->extraKeys)
            PressRegisterKey(QString::number(extra));
        break;
    case KeyFollowUp::SameAgain:
        PressRegisterKey(code);
        break;
    case KeyFollowUp::LongerPause:
        pause(kPanelLongerPauseMs);
        break;
    case KeyFollowUp::CloseDocument:
        if (m_pending.invoicePending || m_pending.creditNotePending)
            CloseDocumentOnCash();
        break;
    case KeyFollowUp::Nothing:
        break;
    }
    noteKeyedReceipt(code.toInt());
    RefreshRegisterDisplay(Display::Register);
    // The cash key ends the pending document, whatever happened before.
    if (cash)
        endPendingDocument();
    holdWhileOpen();
}

void OperatorConsole::cmdVirtKBD_Click(int index) {
    run([this, index] { pressVirtualKey(index); }, RegisterOwner::Use::Changes);
}

void OperatorConsole::pressVirtualKey(int index) {
    const RegisterKey *key = FindRegisterKey(VirtualKeyboardKeys(), index);
    // A disabled key has no code: it would send ")//".
    if (!key || !key->enabled || key->tag.trimmed().isEmpty())
        return;
    if (cashKeyClosesDocument(key->tag.trimmed().toInt())) {
        // The cash key of a pending document is its closing, as on the
        // register page.
        pressPanelKey(kCashKeyIndex);
    } else {
        PressRegisterKey(key->tag.trimmed());
        noteKeyedReceipt(key->tag.trimmed().toInt());
    }
    RefreshRegisterDisplay(Display::Virtual);
    holdWhileOpen();
}

void OperatorConsole::noteKeyedReceipt(int code) {
    // Judged from the answer to the button's last key.
    m_keyedReceipt =
        ReceiptOpenAfterKey(KeyReceiptEffect(code), m_session.lastExchange().lastAnswer(), m_keyedReceipt);
}

void OperatorConsole::holdWhileOpen() {
    // A receipt rung up by keys, or an invoice or credit note opened here,
    // keeps the register until it is closed.
    const bool open = m_keyedReceipt || m_pending.invoiceOpened || m_pending.creditNotePending;
    m_session.registerOwner().setDocumentOpen(open);
}

void OperatorConsole::Command1_Click() {
    run(
        [this] {
            exchangeDirect(WithdrawalLine());
            pause(kShortPauseMs);
        },
        RegisterOwner::Use::Changes);
}

// ---------------------------------------------------------------- documents

OperatorConsole::Verdict OperatorConsole::FrmPiCf_Button(int index, const QString &taxCode) {
    m_pending.documentCommandLength = 0;
    m_pending.documentCommand.clear();
    if (index != kOkButton)
        return {true, -1};
    const TaxCodeEntry entry = CheckTaxCode(taxCode);
    if (entry.length == 0) {
        m_prompter.message(QStringLiteral("PI/CF errato"), kAttention, Prompter::Icon::Critical);
        return {false, 0};
    }
    m_pending.documentCommandLength = entry.length;
    m_pending.documentCommand = entry.command;
    return {true, -1};
}

void OperatorConsole::CmdCfPi_Click() {
    run(
        [this] {
            // A dialog closed without its buttons leaves no command of an earlier
            // document behind to be sent again.
            m_pending.documentCommandLength = 0;
            m_pending.documentCommand.clear();
            if (!MayUseRegister(m_session, RegisterOwner::Use::Changes, &m_prompter))
                return;
            if (m_dialogs)
                m_dialogs->showTaxCodeDialog();
            if (m_pending.documentCommandLength <= 0)
                return;
            const RegisterLease lease(m_session, RegisterOwner::Use::Changes, &m_prompter);
            if (lease)
                sendRunner(m_pending.documentCommand);
        },
        std::nullopt);
}

OperatorConsole::Verdict
OperatorConsole::FrmCliente_Button(int index, const QString &vatNumber,
                                   const std::array<QString, kCustomerLines> &lines) {
    m_pending.invoicePending = false;
    if (index != kOkButton)
        return {true, -1};
    const int focus = CustomerEntryFocus(vatNumber, lines);
    if (focus != kEntryComplete)
        return {false, focus};
    m_pending.customerVat = FilterText(FieldKind::CommandText, vatNumber).left(kVatNumberLength);
    for (int i = 0; i < kCustomerLines; ++i)
        m_pending.customerLines[size_t(i)] =
            FilterText(FieldKind::CommandText, lines[size_t(i)]).left(kCustomerLineLimit);
    m_pending.invoicePending = true;
    return {true, -1};
}

void OperatorConsole::CmdFat_Click() {
    run(
        [this] {
            if (m_pending.invoicePending) {
                m_prompter.message(QStringLiteral("Cliente gi\u00e0 impostato"), kAttention,
                                   Prompter::Icon::Information);
                return;
            }
            if (m_pending.creditNotePending) {
                m_prompter.message(QStringLiteral("Nota Credito gi\u00e0 impostata"), kAttention,
                                   Prompter::Icon::Information);
                return;
            }
            // An amount on the display: a receipt is being rung up.
            if (DisplayAmount(displayLine(Display::Register, 0)) != 0)
                return;
            if (!MayUseRegister(m_session, RegisterOwner::Use::Changes, &m_prompter))
                return;
            if (m_dialogs)
                m_dialogs->showCustomerDialog();
            if (!m_pending.invoicePending)
                return;
            const RegisterLease lease(m_session, RegisterOwner::Use::Changes, &m_prompter);
            // Refused, by the register or by the rules: no invoice is open, and
            // nothing of it is left for a later cash key to send.
            if (!lease || sendRunner(InvoiceOpeningLine()) != 0) {
                endPendingDocument();
                return;
            }
            m_pending.invoiceOpened = true;
            QStringList header;
            for (int i = 0; i < kCustomerLines; ++i)
                header.append(m_pending.customerLines[size_t(i)]);
            const QStringList customer = InvoiceCustomerLines(m_pending.customerVat, header);
            m_pending.customerVatLine = customer.value(0);
            m_pending.customerHeaderLine = customer.value(1);
            // Until its closing, the register belongs to this invoice.
            holdWhileOpen();
        },
        std::nullopt);
}

OperatorConsole::Verdict OperatorConsole::FrmNCred_Button(int index, const QString &fileNumber,
                                                          const QString &reference) {
    if (index != kOkButton) {
        m_pending.documentCommand.clear();
        m_pending.creditNoteReference.clear();
        m_pending.creditNotePending = false;
        return {true, -1};
    }
    m_pending.documentCommand =
        CreditNoteOpeningLine(FilterText(FieldKind::FileNumber, fileNumber).left(kFileNumberLimit));
    m_pending.creditNoteReference =
        CreditNoteReferenceLine(FilterText(FieldKind::Reference, reference).left(kReferenceLimit));
    m_pending.creditNotePending = true;
    return {true, -1};
}

void OperatorConsole::CmdNotaCredito_Click() {
    run(
        [this] {
            if (m_pending.creditNotePending) {
                m_prompter.message(QStringLiteral("Nota Credito gi\u00e0 impostata"), kAttention,
                                   Prompter::Icon::Information);
                return;
            }
            if (m_pending.invoicePending) {
                m_prompter.message(QStringLiteral("Fattura gi\u00e0 impostata"), kAttention,
                                   Prompter::Icon::Information);
                return;
            }
            if (DisplayAmount(displayLine(Display::Register, 0)) != 0)
                return;
            // Not the tax-code command of an earlier receipt: only this dialog's
            // "OK" gives the line to send.
            m_pending.documentCommand.clear();
            if (!MayUseRegister(m_session, RegisterOwner::Use::Changes, &m_prompter))
                return;
            if (m_dialogs)
                m_dialogs->showCreditNoteDialog();
            if (m_pending.documentCommand.isEmpty())
                return;
            const RegisterLease lease(m_session, RegisterOwner::Use::Changes, &m_prompter);
            // A refused opening leaves no credit note pending: what is rung up
            // next is not taken for a refund.
            if (!lease || sendRunner(m_pending.documentCommand) != 0) {
                endPendingDocument();
                return;
            }
            holdWhileOpen();
        },
        std::nullopt);
}

void OperatorConsole::CloseDocumentOnCash() {
    bool closed = false;
    if (m_pending.invoicePending) {
        closed = true;
        if (m_pending.invoiceOpened) {
            pause(kShortPauseMs);
            sendRunner(m_pending.customerVatLine);
            pause(kShortPauseMs);
            sendRunner(m_pending.customerHeaderLine);
        }
        pause(kLongPauseMs);
        exchangeDirect(InvoicePaymentLine());
        pause(kLongPauseMs);
        exchangeDirect(DisplayReadLine());
    }
    if (m_pending.creditNotePending) {
        closed = true;
        pause(kShortPauseMs);
        sendRunner(m_pending.creditNoteReference);
        // The refund in cash: the cash key's second press.
        for (const QString &key : CreditNotePaymentLines(1)) {
            pause(kShortPauseMs);
            exchangeDirect(key);
        }
        pause(kLongPauseMs);
        exchangeDirect(DisplayReadLine());
    }
    if (!closed)
        return;
    for (int extra = 0;
         extra < kClosingExtraReads && !DisplayFromAnswer(m_session.lastExchange().lastAnswer()); ++extra)
        exchangeDirect(DisplayReadLine());
    showDisplayFromLastAnswer(Display::Register);
    m_pending.invoiceOpened = false;
}

void OperatorConsole::cmdReportVenditeOP01_Click() {
    run([this] { sendRunner(SalesTotalsLine()); }, RegisterOwner::Use::Changes);
}

void OperatorConsole::cmdChiusuraGIornaliera_Click() {
    run(
        [this] {
            if (!MayUseRegister(m_session, RegisterOwner::Use::Changes, &m_prompter))
                return;
            const auto answer = m_prompter.ask(
                QStringLiteral("Si conferma di voler fare la chiusura giornaliera?"),
                QStringLiteral("ATTENZIONE"), Prompter::Icon::Information, Prompter::Buttons::OkCancel,
                Prompter::Answer::Cancel, Prompter::Answer::Cancel);
            if (answer != Prompter::Answer::Ok)
                return;
            const RegisterLease lease(m_session, RegisterOwner::Use::Changes, &m_prompter);
            if (lease)
                sendRunner(DailyClosingLine());
        },
        std::nullopt);
}

void OperatorConsole::cmdDGFE_Click(int index) {
    if (index != 0)
        return; // "TBD": disabled
    run([this] { reprintLastReceipt(); }, std::nullopt);
}

void OperatorConsole::reprintLastReceipt() {
    if (!MayUseRegister(m_session, RegisterOwner::Use::Changes, &m_prompter))
        return;
    const auto answer = m_prompter.ask(QStringLiteral("Vuoi ristampare\nl'ultimo scontrino?"), kAttention,
                                       Prompter::Icon::Information, Prompter::Buttons::YesNo,
                                       Prompter::Answer::Yes, Prompter::Answer::No);
    if (answer != Prompter::Answer::Yes)
        return;
    const RegisterLease lease(m_session, RegisterOwner::Use::Changes, &m_prompter);
    if (!lease)
        return;
    exchangeDirect(JournalReadLine());
    for (const QString &line : ReprintLines(m_session.lastExchange().lastAnswer())) {
        exchangeDirect(line);
        // The register takes its new journal setting before the key.
        if (line == JournalWriteLine())
            pause(kShortPauseMs);
    }
}

void OperatorConsole::cmdDemoTicket_Click(int index) {
    if (index < 1 || index > kDemoReceipts)
        return;
    // A file for the print server, which sends it as one receipt: nothing
    // of the console goes to the register.
    run([this, index] { writeDemoReceipt(index); }, std::nullopt);
}

QString OperatorConsole::demoReceiptTarget() const {
    if (!ServerFolderConfigured(m_session.settings().config()))
        return {};
    const QString folder = ServerFolder(m_session.settings().config(), m_session.settings().programDir());
    // The receipt name may be a mask ("*.txt"): the demonstration file gets a
    // name the mask selects, never a literal "*".
    QString name = m_session.settings().config().ServerFile.trimmed();
    name.replace(u'*', QStringLiteral("demo"));
    if (name.isEmpty())
        return {};
    return folder + name;
}

void OperatorConsole::writeDemoReceipt(int index) {
    const auto answer = m_prompter.ask(QStringLiteral("Consigliamo, prima di emettere \n"
                                                      "scontrini di prova, di \n"
                                                      "entrare in modalit\u00e0 apprendimento.\n"
                                                      "Vuoi continuare?"),
                                       kAttention, Prompter::Icon::Question, Prompter::Buttons::YesNo,
                                       Prompter::Answer::Yes, Prompter::Answer::No);
    if (answer != Prompter::Answer::Yes)
        return;
    const QString target = demoReceiptTarget();
    if (target.isEmpty())
        return;
    const QString exists = QStringLiteral("File gi\u00e0 esistente.");
    if (QFileInfo::exists(target)) {
        m_prompter.message(exists, kAttention, Prompter::Icon::None);
        return;
    }
    QByteArray bytes;
    for (const QString &line : DemoReceiptLines(index))
        bytes += toAnsi(line) + "\r\n";
    // Written whole under a name the print server does not look at (a folder
    // of its own beside the receipts), then moved into place: the server
    // never takes it half written. The move refuses to replace a file that
    // appeared meanwhile.
    const QString folder = QFileInfo(target).absolutePath();
    QTemporaryDir work(folder + QStringLiteral("/.norvvelm-demo-XXXXXX"));
    QFile out(work.isValid() ? work.filePath(QStringLiteral("receipt")) : QString());
    bool written = work.isValid() && out.open(QIODevice::WriteOnly) && out.write(bytes) == bytes.size();
    if (out.isOpen()) {
        written = out.flush() && written;
        out.close();
    }
    if (!written) {
        m_prompter.message(QStringLiteral("Impossibile scrivere il file ") + QDir::toNativeSeparators(target),
                           kAttention, Prompter::Icon::Critical);
        return;
    }
    if (!QFile::rename(out.fileName(), target)) {
        if (QFileInfo::exists(target))
            m_prompter.message(exists, kAttention, Prompter::Icon::None);
        else
            m_prompter.message(QStringLiteral("Impossibile scrivere il file ") +
                                   QDir::toNativeSeparators(target),
                               kAttention, Prompter::Icon::Critical);
    }
}

} // namespace norvvelm
