#include "console/OperatorConsole.h"

#include "commands/BusyPointer.h"
#include "commands/CommandLanguage.h"
#include "commands/Prompter.h"
#include "commands/Runner.h"
#include "commands/Session.h"
#include "console/ConsoleLines.h"
#include "console/DocumentDialogs.h"
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

void OperatorConsole::run(std::function<void()> work) {
    if (m_running) {
        // Pressed during a pause of another sequence: it follows that one.
        m_waiting.push_back(std::move(work));
        return;
    }
    m_running = true;
    emit busyChanged(true);
    {
        const BusyPointer pointer(m_session);
        work();
        while (!m_waiting.empty()) {
            const std::function<void()> next = std::move(m_waiting.front());
            m_waiting.pop_front();
            next();
        }
    }
    m_running = false;
    emit busyChanged(false);
}

int OperatorConsole::exchangeDirect(const QString &line) {
    m_session.setLastAnswer(QString());
    const Reply reply = m_link.exchange(line);
    m_session.setLastAnswer(reply.answer);
    m_session.setLastStatus(statusNumber(reply.status));
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
    const auto lines = DisplayFromAnswer(m_session.lastAnswer());
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
        if (DisplayFromAnswer(m_session.lastAnswer()))
            break;
    }
    return showDisplayFromLastAnswer(target);
}

void OperatorConsole::ReadTechnicianDisplay() {
    run([this] {
        sendRunner(DisplayReadLine());
        showDisplayFromLastAnswer(Display::Virtual);
    });
}

void OperatorConsole::cmdECR_Click(int index) {
    run([this, index] { pressPanelKey(index); });
}

void OperatorConsole::pressPanelKey(int index) {
    const RegisterKey *key = FindRegisterKey(RegisterPanelKeys(), index);
    if (!key)
        return;
    const QString code = key->tag.trimmed();
    const bool cash = index == kCashKeyIndex;
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
    RefreshRegisterDisplay(Display::Register);
    if (cash) {
        // The cash key ends the pending document, whatever happened before.
        m_pending.invoicePending = false;
        m_pending.creditNotePending = false;
    }
}

void OperatorConsole::cmdVirtKBD_Click(int index) {
    run([this, index] { pressVirtualKey(index); });
}

void OperatorConsole::pressVirtualKey(int index) {
    const RegisterKey *key = FindRegisterKey(VirtualKeyboardKeys(), index);
    // A disabled key has no code: it would send ")//".
    if (!key || !key->enabled || key->tag.trimmed().isEmpty())
        return;
    PressRegisterKey(key->tag.trimmed());
    RefreshRegisterDisplay(Display::Virtual);
}

void OperatorConsole::Command1_Click() {
    run([this] {
        exchangeDirect(WithdrawalLine());
        pause(kShortPauseMs);
    });
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
    run([this] {
        // A dialog closed without its buttons leaves no command of an earlier
        // document behind to be sent again.
        m_pending.documentCommandLength = 0;
        m_pending.documentCommand.clear();
        if (m_dialogs)
            m_dialogs->showTaxCodeDialog();
        if (m_pending.documentCommandLength > 0)
            sendRunner(m_pending.documentCommand);
    });
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
    run([this] {
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
        if (m_dialogs)
            m_dialogs->showCustomerDialog();
        if (!m_pending.invoicePending)
            return;
        m_pending.invoiceOpened = sendRunner(InvoiceOpeningLine()) == 0;
        if (m_pending.invoiceOpened) {
            m_pending.customerVatLine = VatNumberLine(m_pending.customerVat);
            QStringList header;
            for (int i = 0; i < kCustomerLines; ++i)
                header.append(m_pending.customerLines[size_t(i)]);
            m_pending.customerHeaderLine = CustomerHeaderLine(header);
        }
    });
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
    run([this] {
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
        if (m_dialogs)
            m_dialogs->showCreditNoteDialog();
        if (!m_pending.documentCommand.isEmpty())
            sendRunner(m_pending.documentCommand);
    });
}

void OperatorConsole::CloseDocumentOnCash() {
    bool closed = false;
    if (m_pending.invoicePending) {
        closed = true;
        // When the register refused to open the invoice there is no invoice
        // to give a customer: what was rung up is paid as it stands.
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
        pause(kShortPauseMs);
        exchangeDirect(KeyPressLine(90));
        pause(kLongPauseMs);
        exchangeDirect(DisplayReadLine());
    }
    if (!closed)
        return;
    for (int extra = 0; extra < kClosingExtraReads && !DisplayFromAnswer(m_session.lastAnswer()); ++extra)
        exchangeDirect(DisplayReadLine());
    showDisplayFromLastAnswer(Display::Register);
    m_pending.invoiceOpened = false;
}

void OperatorConsole::cmdReportVenditeOP01_Click() {
    run([this] { sendRunner(SalesTotalsLine()); });
}

void OperatorConsole::cmdChiusuraGIornaliera_Click() {
    run([this] {
        const auto answer =
            m_prompter.ask(QStringLiteral("Si conferma di voler fare la chiusura giornaliera?"),
                           QStringLiteral("ATTENZIONE"), Prompter::Icon::Information,
                           Prompter::Buttons::OkCancel, Prompter::Answer::Cancel, Prompter::Answer::Cancel);
        if (answer == Prompter::Answer::Ok)
            sendRunner(DailyClosingLine());
    });
}

void OperatorConsole::cmdDGFE_Click(int index) {
    if (index != 0)
        return; // "TBD": disabled
    run([this] { reprintLastReceipt(); });
}

void OperatorConsole::reprintLastReceipt() {
    const auto answer = m_prompter.ask(QStringLiteral("Vuoi ristampare\nl'ultimo scontrino?"), kAttention,
                                       Prompter::Icon::Information, Prompter::Buttons::YesNo,
                                       Prompter::Answer::Yes, Prompter::Answer::No);
    if (answer != Prompter::Answer::Yes)
        return;
    exchangeDirect(JournalReadLine());
    if (!JournalAnswerReadable(m_session.lastAnswer()))
        return;
    if (!JournalAnswerHasReprintSetting(m_session.lastAnswer())) {
        exchangeDirect(JournalWriteLine());
        pause(kShortPauseMs);
    }
    exchangeDirect(ReprintKeyLine());
}

void OperatorConsole::cmdDemoTicket_Click(int index) {
    if (index < 1 || index > kDemoReceipts)
        return;
    run([this, index] { writeDemoReceipt(index); });
}

QString OperatorConsole::demoReceiptTarget() const {
    QString folder = m_session.config().ServerDir;
    if (folder.size() <= 1)
        return {};
    if (!folder.endsWith(u'/') && !folder.endsWith(u'\\'))
        folder += u'/';
    // The receipt name may be a mask ("*.txt"): the demonstration file gets a
    // name the mask selects, never a literal "*".
    QString name = m_session.config().ServerFile.trimmed();
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
