#pragma once

#include "commands/DocumentLines.h"
#include "commands/RegisterOwner.h"

#include <QObject>
#include <QString>

#include <array>
#include <deque>
#include <functional>
#include <optional>

namespace norvvelm {

class DocumentDialogs;
class Prompter;
class Runner;
class SerialFunz2;
class Session;

// The operator console: the register's keys and display copies, and the
// fiscal documents and closings of the register page.
//
// Key presses and display reads go to the link directly; documents and
// reports through the interactive runner. Every pause lets window events run;
// a button pressed during a pause waits until the sequence that holds the
// console has finished, so two sequences never mix their keys. Each sequence
// holds the register (RegisterLease) from its first exchange to its last;
// an invoice or credit note holds it from its opening to its closing.
class OperatorConsole : public QObject {
    Q_OBJECT
public:
    // The two display copies: LblDisp1 on the register page, txtVirtDSP on
    // the technician's page.
    enum class Display { Register, Virtual };

    // Program-wide state of a pending invoice or credit note.
    struct PendingDocument {
        bool invoicePending = false;
        bool creditNotePending = false;
        QString customerVat;
        std::array<QString, 7> customerLines; // 0-5 used
        QString documentCommand;
        int documentCommandLength = 0;
        QString creditNoteReference;
        // Prepared when the register opened the invoice.
        QString customerVatLine;
        QString customerHeaderLine;
        bool invoiceOpened = false;
    };

    // What a dialog button decided: close the dialog, or keep it open with
    // the focus on field `focus` (-1: leave the focus where it is).
    struct Verdict {
        bool close = false;
        int focus = -1;
    };
    static constexpr int kOkButton = 1;
    static constexpr int kCancelButton = 0;

    OperatorConsole(Session &session, SerialFunz2 &link, Runner &runner, Prompter &prompter,
                    QObject *parent = nullptr);
    ~OperatorConsole() override;

    void setDialogs(DocumentDialogs *dialogs) { m_dialogs = dialogs; }

    // --- keys and display ---
    // One key press: ")/" + code + "/" on the link, then a 100 ms pause.
    int PressRegisterKey(const QString &code);
    // Up to three reads of the display; true when one gave both lines.
    bool RefreshRegisterDisplay(Display target);
    // The technician page's read when it is selected: one "(/" through the
    // runner, the lines into txtVirtDSP when the answer is long enough.
    void ReadTechnicianDisplay();
    QString displayLine(Display target, int row) const;

    void cmdECR_Click(int index);
    void cmdVirtKBD_Click(int index);
    void Command1_Click();

    // --- documents and closings ---
    void CmdCfPi_Click();
    void CmdFat_Click();
    void CmdNotaCredito_Click();
    void CloseDocumentOnCash();
    void cmdReportVenditeOP01_Click();
    void cmdChiusuraGIornaliera_Click();
    void cmdDGFE_Click(int index);
    void cmdDemoTicket_Click(int index);

    // The dialogs' buttons (index 1 "OK", 0 "ANNULLA").
    Verdict FrmPiCf_Button(int index, const QString &taxCode);
    Verdict FrmCliente_Button(int index, const QString &vatNumber,
                              const std::array<QString, kCustomerLines> &lines);
    Verdict FrmNCred_Button(int index, const QString &fileNumber, const QString &reference);

    const PendingDocument &pending() const { return m_pending; }
    // The start-up reset of the pending document.
    void clearPendingDocument();

    // A receipt rung up by keys here is open on the register.
    bool keyedReceiptOpen() const { return m_keyedReceipt; }

    // True while a sequence of exchanges holds the console.
    bool busy() const { return m_running; }

signals:
    void displayChanged(Display target, const QString &top, const QString &bottom);
    void busyChanged(bool busy);

private:
    // Runs `work` now, or after the sequence that holds the console; with a
    // use, under a lease of the register (nothing runs when it is refused).
    void run(std::function<void()> work, std::optional<RegisterOwner::Use> use);
    // The pending document is over: nothing of it is left to send.
    void endPendingDocument();
    // A key of code 90 pressed while a document is pending: its closing.
    bool cashKeyClosesDocument(int code) const;
    // A receipt rung up by keys is open on the register until a payment or
    // the void key ends it.
    void noteKeyedReceipt(int code);
    // The register stays the console's while its receipt or document is open.
    void holdWhileOpen();
    int exchangeDirect(const QString &line);
    int sendRunner(const QString &line);
    void pause(int ms);
    void setDisplay(Display target, const QString &top, const QString &bottom);
    bool showDisplayFromLastAnswer(Display target);
    void pressPanelKey(int index);
    void pressVirtualKey(int index);
    QString demoReceiptTarget() const;
    void writeDemoReceipt(int index);
    void reprintLastReceipt();

    Session &m_session;
    SerialFunz2 &m_link;
    Runner &m_runner;
    Prompter &m_prompter;
    DocumentDialogs *m_dialogs = nullptr;
    PendingDocument m_pending;
    std::array<std::array<QString, 2>, 2> m_display;
    bool m_running = false;
    bool m_keyedReceipt = false;
    std::deque<std::function<void()>> m_waiting;
};

} // namespace norvvelm
