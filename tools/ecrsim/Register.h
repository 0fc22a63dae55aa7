#pragma once

#include "ecrsim/Keyboard.h"
#include "ecrsim/Logos.h"
#include "ecrsim/Paper.h"
#include "ecrsim/Tables.h"

#include <QByteArray>
#include <QByteArrayList>
#include <QDateTime>
#include <QHash>
#include <QStringList>

#include <array>
#include <deque>
#include <functional>
#include <optional>

namespace ecrsim {

// What the simulated register does with each command line: keeps its state
// and composes the answer line ("EE/SS/NN/" then fields, each ended by "/").
//
// Each command code ("3/", "x/", ")/" ...) has a handler; a model of its own
// overrides one of the virtual command functions below, or replaces or adds a
// handler with handle(). execute() answers register faults first (cover open,
// paper out, scripted busy or refusals, the paper bit), then dispatches.
class Register {
public:
    struct Identity {
        QByteArray serial = "NV00012345";
        QByteArray number = "1";
        QByteArray field = "72";
        QByteArray firmware = "1.02";
    };

    // One command line cut at "/": fields[0] is the code letter, fields[1] the
    // first field after it; the empty piece after the final "/" is dropped.
    struct Command {
        QByteArray line;
        QByteArray code; // the first two characters, "3/"
        QByteArrayList fields;
        QByteArray field(int i) const { return fields.value(i); }
    };

    // A scripted register fault, answered in place of the next `times` commands
    // (which are then not executed). A serious fault also loses the open receipt,
    // as a register that stops does.
    struct Fault {
        enum Kind { Busy, Refuse, Serious } kind = Busy;
        QByteArray code; // error code for Refuse and Serious
        int times = 1;
    };

    enum class DocKind { None, Receipt, Invoice, CreditNote, NonFiscal };

    // The day's totals since the last daily closing (amounts in cents).
    struct Totals {
        std::array<qint64, 5> vat{}; // gross sales by VAT rate
        qint64 sales = 0;
        int receipts = 0; // fiscal documents closed
        int nonFiscal = 0;
        qint64 corrections = 0; // discounts on receipts ("4/")
        qint64 returns = 0;     // returned goods and credit notes
        qint64 voids = 0;       // receipts cancelled with "+/"
    };

    static constexpr int kDepartments = 20;
    static constexpr int kPayments = 9;
    static constexpr int kMaxDocumentLines = 500;
    static constexpr int kMaxVatChanges = 20;

    Register();
    virtual ~Register() = default;

    // Executes one command line (without the frame) and returns the answer.
    virtual QByteArray execute(const QByteArray &line);
    // A control line the model understands (see Control.h); empty when it does not.
    virtual QByteArray control(const QByteArray &line) { return m_logos.control(line); }

    Identity identity;

    // The status number sent in every answer (bit value 4: paper to replace).
    int statusBits = 0;

    static QByteArray answer(QByteArrayView errorCode, int status, const QByteArrayList &fields);
    QByteArray ok(const QByteArrayList &fields = {"0"}) const { return answer("00", statusBits, fields); }
    QByteArray error(QByteArrayView code) const { return answer(code, statusBits, {"0"}); }

    // Register faults.
    void pushFault(const Fault &f) { m_faults.push_back(f); }
    void setPaperOut(bool out) { m_paperOut = out; }
    void setCoverOpen(bool open) { m_coverOpen = open; }
    // The paper bit (status value 4) on the next `answers` answers, or on every
    // answer until a new roll: such an answer is "00" and the command is not
    // executed (nothing is printed until the roll is replaced), so the PC's
    // repeat of the line is not a second sale.
    void addPaperBit(int answers) { m_paperBitAnswers += answers; }
    void setPaperLow(bool low) { m_paperLow = low; }
    // A new roll: paper out and the paper bit are gone.
    void paperIn();
    void clearFaults();
    bool paperOut() const { return m_paperOut; }
    bool coverOpen() const { return m_coverOpen; }
    int pendingFaults() const;

    // State, for tests and for the people watching.
    Paper &paper() { return m_paper; }
    // The two graphic logos taken with "$/" (Logos.h).
    Logos &logos() { return m_logos; }
    DocKind document() const { return m_doc.kind; }
    bool receiptOpen() const { return m_doc.kind != DocKind::None && m_doc.kind != DocKind::NonFiscal; }
    qint64 subtotal() const { return m_doc.total; }
    const Totals &totals() const { return m_totals; }
    int closings() const { return m_closings; }
    qint64 grandTotal() const { return m_grandTotal; }
    QByteArrayList vatRates() const;
    int departmentRate(int dept) const { return m_deptRate.at(dept - 1); }
    QString displayLine(int row) const { return m_display.at(row); }
    KeyboardState &keyboard() { return m_keys; }

    // The register's clock (tests fix it).
    std::function<QDateTime()> clock = [] { return QDateTime::currentDateTime(); };
    // The programmed tables: header, footer, departments, PLUs, payments,
    // scrolling message, S record (Tables.cpp).
    Tables tables;
    // Keeps the tables, VAT rates and department rates in `path` (JSON),
    // loading them first when it exists; false with a message for a file that
    // is not a state of ours.
    bool setStateFile(const QString &path, QString *error = nullptr);

protected:
    using Handler = std::function<QByteArray(const Command &)>;
    // Sets (or replaces) the handler of a command code such as "s/".
    void handle(const QByteArray &code, const Handler &h) { m_handlers.insert(code, h); }
    static Command parse(const QByteArray &line);
    // Commands without a handler.
    virtual QByteArray unknownCommand(const Command &) { return error("06"); }

    // One function per command code.
    virtual QByteArray status(const Command &);         // ?/
    virtual QByteArray identify(const Command &);       // a/
    virtual QByteArray sale(const Command &);           // 3/
    virtual QByteArray amountLine(const Command &);     // 4/  discount on the receipt
    virtual QByteArray subtotalLine(const Command &);   // U/
    virtual QByteArray openReceipt(const Command &);    // 2/
    virtual QByteArray creditNote(const Command &);     // -/
    virtual QByteArray customerHeader(const Command &); // j/
    virtual QByteArray customerCode(const Command &);   // '/
    virtual QByteArray textLine(const Command &);       // 7/
    virtual QByteArray endNonFiscal(const Command &);   // w/ m/
    virtual QByteArray payment(const Command &);        // 5/
    virtual QByteArray voidReceipt(const Command &);    // +/
    virtual QByteArray report(const Command &);         // x/
    virtual QByteArray cashOut(const Command &);        // 6/
    virtual QByteArray journalRead(const Command &);    // B/
    virtual QByteArray journalWrite(const Command &);   // G/
    virtual QByteArray totalsRead(const Command &);     // 0/
    virtual QByteArray dateTimeRead(const Command &);   // t/
    virtual QByteArray countersRead(const Command &);   // 9/
    virtual QByteArray grandTotalRead(const Command &); // X/
    virtual QByteArray vatRead(const Command &);        // e/
    virtual QByteArray vatWrite(const Command &);       // b/
    virtual QByteArray keyPress(const Command &);       // )/
    virtual QByteArray displayRead(const Command &);    // (/
    virtual QByteArray logoRow(const Command &);        // $/

    // Building blocks for models of their own.
    struct Document {
        DocKind kind = DocKind::None;
        QStringList lines;
        qint64 total = 0; // cents, what the customer owes
        qint64 paid = 0;
        int items = 0;
        std::array<qint64, 5> vat{};
        qint64 corrections = 0;
        qint64 returns = 0;
        QStringList payments; // payment rows printed at the close
        // The sale just rung up, which a discount or surcharge key that
        // follows at once applies to: its VAT rate slot and what it comes to
        // so far. None after the subtotal, a return or any other line: such a
        // key then applies to the receipt so far.
        struct Sale {
            int rate = 0;
            qint64 amount = 0;
        };
        std::optional<Sale> lastSale;
    };
    // Opens a document of `kind` unless one is open; a pending non-fiscal
    // document is printed first. False when another fiscal kind is open with
    // items in it (the caller refuses).
    bool ensureDocument(DocKind kind);
    bool roomFor(int lines) const { return m_doc.lines.size() + lines <= kMaxDocumentLines; }
    void closeDocument(); // prints the open document and books its totals
    void cancelDocument(const QString &why);
    void printNonFiscal(const QStringList &body, const QString &title = {});
    QStringList headerLines() const;
    QString stamp() const; // date and time as printed
    void setDisplay(const QString &top, const QString &bottom);
    // Adds `cents` (negative: a discount) to the receipt so far, shared among
    // its VAT rates in proportion to them; the rate that carries most takes
    // what the rounding leaves.
    void shareAmongRates(qint64 cents);

    Document m_doc;
    Totals m_totals;

private:
    friend class Keyboard; // keys work the register as its own commands do
    // The table commands (Tables.cpp).
    void installTables();
    // The "Annullo Scontrino" key, 28, voids the open receipt (VoidKey.cpp).
    void installVoidKey();
    void saveState() const;
    QByteArray printLines(const Command &c, int count, bool header);
    QByteArray headerWrite(const Command &);        // H/
    QByteArray footerWrite(const Command &);        // F/
    QByteArray departmentRead(const Command &);     // d/
    QByteArray departmentWrite(const Command &);    // D/
    QByteArray pluRead(const Command &);            // p/
    QByteArray pluWrite(const Command &);           // P/
    QByteArray paymentRead(const Command &);        // y/
    QByteArray paymentWrite(const Command &);       // Y/
    QByteArray scrollMessageWrite(const Command &); // o/
    QByteArray sRead(const Command &);              // s/
    QByteArray sWrite(const Command &);             // S/
    QString m_stateFile;

    QByteArray dispatch(const QByteArray &line);
    static QByteArray withPaperBit(QByteArray answer);
    QByteArray payWith(int type, qint64 amount);

    QHash<QByteArray, Handler> m_handlers;
    std::deque<Fault> m_faults;
    bool m_paperOut = false;
    bool m_coverOpen = false;
    bool m_paperLow = false;
    int m_paperBitAnswers = 0;

    Paper m_paper;
    Logos m_logos;
    std::array<qint64, 5> m_rates{400, 1000, 2000, 0, 0}; // hundredths of a percent
    std::array<int, kDepartments> m_deptRate{};           // 1..5 for each department
    int m_vatChanges = 0;
    int m_closings = 0;
    qint64 m_grandTotal = 0;
    int m_receiptNumber = 0; // last fiscal document of the day
    int m_nonFiscalNumber = 0;
    int m_invoiceNumber = 0;
    int m_creditNoteNumber = 0;
    QStringList m_lastReceipt;
    QHash<int, QByteArray> m_journal; // electronic-journal settings
    std::array<QString, 2> m_display;
    KeyboardState m_keys;
};

} // namespace ecrsim
