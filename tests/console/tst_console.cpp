// The operator console through the simulated register in memory: keys and
// display, documents, closings and the demonstration receipts.

#include "ConsoleRig.h"
#include "commands/DocumentLines.h"
#include "console/ConsoleLines.h"
#include "support/TestFiles.h"

#include <QDir>

using norvvelm::OperatorConsole;
using Display = OperatorConsole::Display;

namespace {
const QString kDisplayRead = QStringLiteral("(/");

int panelIndex(const QString &caption) {
    for (const norvvelm::RegisterKey &k : norvvelm::RegisterPanelKeys()) {
        if (k.caption == caption && !k.programming)
            return k.index;
    }
    return -1;
}

// A display answer of the given length, as the register would send it.
QByteArray displayAnswer(const QByteArray &top, const QByteArray &bottom) {
    return "00/00/00/" + top.leftJustified(16, ' ', true) + '/' + bottom.leftJustified(16, ' ', true) + '/';
}
} // namespace

class TestConsole : public QObject {
    Q_OBJECT
private slots:
    void keySequences_data();
    void keySequences();
    void displayAnswerLength();
    void saleByKeysPrintsReceipt();
    void virtualKeyboardAndTechnicianRead();
    void buttonDuringPauseWaitsItsTurn();
    void withdrawalAndNoPort();
    void taxCodeReceipt();
    void invoiceEndToEnd();
    void invoiceRefusedByRegister_data();
    void invoiceRefusedByRegister();
    void cashKeyOfAPendingDocument_data();
    void cashKeyOfAPendingDocument();
    void invoiceWithAmountOnDisplay();
    void creditNoteEndToEnd();
    void reportsAndClosing();
    void reprintLastReceipt();
    void demoReceipts();
};

void TestConsole::keySequences_data() {
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QStringList>("sent");
    QTest::addColumn<int>("pauseBeforeRead"); // at least, after the last key
    QTest::newRow("00 is two presses") << "00" << QStringList{")/69/", ")/69/", "(/"} << 100;
    QTest::newRow("SC euro") << QString::fromUtf8("SC €") << QStringList{")/67/", ")/22/", ")/90/", "(/"}
                             << 100;
    QTest::newRow("Magg euro") << QString::fromUtf8("Magg €") << QStringList{")/67/", ")/37/", ")/90/", "(/"}
                               << 100;
    QTest::newRow("Altro Tot4") << "Altro (Tot4)" << QStringList{")/58/", ")/37/", ")/90/", "(/"} << 100;
    QTest::newRow("PLU waits longer") << "PLU" << QStringList{")/51/", "(/"} << 300;
    QTest::newRow("paper feed waits longer") << "Avanzam. Carta" << QStringList{")/21/", "(/"} << 300;
    QTest::newRow("cash key, nothing pending") << "Contanti" << QStringList{")/90/", "(/"} << 100;
    QTest::newRow("REP-05") << "REP-05" << QStringList{")/3/", "(/"} << 100;
}

void TestConsole::keySequences() {
    QFETCH(QString, caption);
    QFETCH(QStringList, sent);
    QFETCH(int, pauseBeforeRead);
    ConsoleRig rig;
    rig.keys({caption});
    QCOMPARE(rig.lines(), sent);
    // Every key is followed by its pause before the next command starts.
    for (qsizetype i = 1; i + 1 < rig.taken.size(); ++i)
        QVERIFY(rig.taken[i].at - rig.taken[i - 1].at >= 100);
    const qsizetype n = rig.taken.size();
    QVERIFY(rig.taken[n - 1].at - rig.taken[n - 2].at >= pauseBeforeRead);
}

void TestConsole::displayAnswerLength() {
    ConsoleRig rig;
    ecrsim::AnswerFault f;
    f.replace = true;
    f.text = displayAnswer("12,50    SUBTOT", "          12,50");
    QCOMPARE(f.text.size(), 43);
    rig.sim.pushAnswerFault(f);
    QVERIFY(rig.console.RefreshRegisterDisplay(Display::Register));
    QCOMPARE(rig.display(0), QStringLiteral("12,50    SUBTOT "));
    QCOMPARE(rig.display(1), QStringLiteral("          12,50 "));
    QCOMPARE(rig.lines().size(), 1);

    // 42 characters: read again, three times at most; the copy stays.
    f.text.chop(1);
    f.times = 3;
    rig.sim.pushAnswerFault(f);
    rig.clearLines();
    QVERIFY(!rig.console.RefreshRegisterDisplay(Display::Register));
    QCOMPARE(rig.lines(), (QStringList{kDisplayRead, kDisplayRead, kDisplayRead}));
    QCOMPARE(rig.display(0), QStringLiteral("12,50    SUBTOT "));

    // A short first answer and a good second one.
    f.times = 1;
    rig.sim.pushAnswerFault(f);
    rig.clearLines();
    QVERIFY(rig.console.RefreshRegisterDisplay(Display::Register));
    QCOMPARE(rig.lines().size(), 2);
    QVERIFY(rig.display(0).startsWith(QStringLiteral("0,00")));
}

void TestConsole::saleByKeysPrintsReceipt() {
    ConsoleRig rig;
    QList<QStringList> seen;
    connect(&rig.console, &OperatorConsole::displayChanged, this,
            [&](Display d, const QString &a, const QString &b) {
                if (d == Display::Register)
                    seen.append({a, b});
            });
    rig.keys({"1", "5", "0", "REP-01"});
    QCOMPARE(rig.display(0).left(5), QStringLiteral("1,50 "));
    rig.keys({"2", "x", "3", ",", "5", "REP-02", "Sub Totale"});
    QCOMPARE(rig.display(0).trimmed(), QStringLiteral("8,50   SUBTOTALE"));
    QVERIFY(rig.reg.receiptOpen());
    rig.keys({"Contanti"});
    QVERIFY(!rig.reg.receiptOpen());
    QVERIFY(rig.display(0).startsWith(QStringLiteral("0,00")));
    const QString paper = rig.reg.paper().last();
    QVERIFY2(paper.contains(QStringLiteral("REPARTO 1\n")), qPrintable(paper));
    QVERIFY(
        paper.contains(ecrsim::Paper::row(QStringLiteral("  2 x 3,50"), QStringLiteral("10%      7,00"))));
    QVERIFY(paper.contains(ecrsim::Paper::row(QStringLiteral("TOTALE EURO"), QStringLiteral("8,50"))));
    QVERIFY(paper.contains(ecrsim::Paper::row(QStringLiteral("CONTANTI"), QStringLiteral("8,50"))));
    QVERIFY(seen.size() >= 12); // a display copy after every key
}

void TestConsole::virtualKeyboardAndTechnicianRead() {
    ConsoleRig rig;
    // 7, 5, Rep3, then a disabled key (Storno): it sends nothing.
    for (const int i : {1, 7, 18, 23})
        rig.console.cmdVirtKBD_Click(i);
    QCOMPARE(rig.lines(), (QStringList{")/61/", "(/", ")/46/", "(/", ")/4/", "(/"}));
    const QString top = rig.console.displayLine(Display::Virtual, 0);
    QVERIFY2(top.startsWith(QStringLiteral("0,75 ")), qPrintable(top));
    QVERIFY(rig.display(0).isEmpty()); // the register page's copy is its own

    // Selecting the technician's page: one read through the runner.
    rig.clearLines();
    ecrsim::AnswerFault f;
    f.replace = true;
    f.text = displayAnswer("ABC", "DEF");
    rig.sim.pushAnswerFault(f);
    rig.console.ReadTechnicianDisplay();
    QCOMPARE(rig.lines(), QStringList{kDisplayRead});
    QCOMPARE(rig.console.displayLine(Display::Virtual, 0).trimmed(), QStringLiteral("ABC"));
    f.text.chop(1);
    rig.sim.pushAnswerFault(f);
    rig.console.ReadTechnicianDisplay();
    QCOMPARE(rig.lines().size(), 2); // one read only, the copy kept
    QCOMPARE(rig.console.displayLine(Display::Virtual, 1).trimmed(), QStringLiteral("DEF"));
}

void TestConsole::buttonDuringPauseWaitsItsTurn() {
    ConsoleRig rig;
    bool pressed = false;
    int busyChanges = 0;
    connect(&rig.console, &OperatorConsole::busyChanged, this, [&] { ++busyChanges; });
    // A click that arrives while "SC €" waits between its keys.
    rig.onPump = [&] {
        if (!pressed && rig.taken.size() == 1) {
            pressed = true;
            QVERIFY(rig.console.busy());
            rig.console.cmdECR_Click(panelIndex(QStringLiteral("5")));
        }
    };
    rig.console.cmdECR_Click(panelIndex(QString::fromUtf8("SC €")));
    QVERIFY(pressed);
    QCOMPARE(rig.lines(), (QStringList{")/67/", ")/22/", ")/90/", "(/", ")/46/", "(/"}));
    QCOMPARE(busyChanges, 2);
    QVERIFY(!rig.console.busy());
}

void TestConsole::withdrawalAndNoPort() {
    ConsoleRig rig;
    rig.console.Command1_Click();
    QCOMPARE(rig.lines(), QStringList{"6/1/"}); // no display read
    QVERIFY(rig.reg.paper().last().contains(QStringLiteral("PRELIEVO DI CASSA")));

    rig.link.CloseComPort();
    rig.clearLines();
    QCOMPARE(rig.console.PressRegisterKey(QStringLiteral("22")), 9999);
    QCOMPARE(rig.session.lastExchange().lastStatus(), 9999);
    rig.keys({"1"});
    QVERIFY(rig.lines().isEmpty());
    QVERIFY(rig.prompter.shown.isEmpty()); // keys show no message
}

void TestConsole::taxCodeReceipt() {
    ConsoleRig rig;
    // 15 characters: refused, the dialog stays open on its box; then 16 in
    // lower case, sent in capitals.
    rig.dialogs.entries = {{1, {QStringLiteral("rssmra80a01h501")}},
                           {1, {QStringLiteral("rssmra80a01h501u")}}};
    rig.console.CmdCfPi_Click();
    QCOMPARE(rig.prompter.count(QStringLiteral("PI/CF errato")), 1);
    QCOMPARE(rig.prompter.shown.first().title, QStringLiteral("Attenzione"));
    QCOMPARE(rig.dialogs.verdicts.size(), 2);
    QVERIFY(!rig.dialogs.verdicts[0].close);
    QCOMPARE(rig.dialogs.verdicts[0].focus, 0);
    QCOMPARE(rig.lines(), QStringList{"'/2/11111111111/RSSMRA80A01H501U/"});
    QCOMPARE(rig.console.pending().documentCommandLength, 16);

    // A VAT number as typed; the receipt then carries it.
    rig.clearLines();
    rig.dialogs.entries = {{1, {QStringLiteral("01234567897")}}};
    rig.console.CmdCfPi_Click();
    QCOMPARE(rig.lines(), QStringList{"'/1/01234567897/1111111111111111/"});

    // Cancelled, or closed by its close box: nothing is sent, not even the
    // command of the earlier receipt.
    rig.clearLines();
    rig.dialogs.entries = {{0, {QStringLiteral("01234567897")}}};
    rig.console.CmdCfPi_Click();
    rig.dialogs.entries = {};
    rig.console.CmdCfPi_Click();
    QVERIFY(rig.lines().isEmpty());
    QCOMPARE(rig.console.pending().documentCommandLength, 0);

    rig.keys({"2", "0", "0", "REP-01", "Contanti"});
    QVERIFY(rig.reg.paper().last().contains(QStringLiteral("P.IVA 01234567897")));
    QVERIFY(rig.reg.paper().last().contains(QStringLiteral("C.F. RSSMRA80A01H501U")));
}

void TestConsole::invoiceEndToEnd() {
    ConsoleRig rig;
    rig.console.RefreshRegisterDisplay(Display::Register);
    // First an empty "CAP": the focus goes there and the dialog stays.
    rig.dialogs.entries = {
        {1, {"", "ROSSI SRL", "VIA ROMA 1", "00100"}},
        {1, {"01234567897", "ROSSI SRL", "VIA ROMA 1", "", "ROMA"}},
        {1, {"01234567897", "ROSSI SRL", "VIA ROMA 1", "00100", "", "", ""}},
    };
    rig.console.CmdFat_Click();
    QCOMPARE(rig.dialogs.verdicts.size(), 3);
    QCOMPARE(rig.dialogs.verdicts[0].focus, 0);
    QCOMPARE(rig.dialogs.verdicts[1].focus, 3);
    QVERIFY(rig.dialogs.verdicts[2].close);
    QVERIFY(rig.console.pending().invoicePending);
    QCOMPARE(rig.lines().mid(1), QStringList{"3/F/OPENFAT//0/0/0/0/"});
    QCOMPARE(rig.reg.document(), ecrsim::Register::DocKind::Invoice);

    // A second invoice button: already set.
    rig.console.CmdFat_Click();
    QCOMPARE(rig.prompter.count(QStringLiteral("Cliente gi\u00e0 impostato")), 1);
    rig.console.CmdNotaCredito_Click();
    QCOMPARE(rig.prompter.count(QStringLiteral("Fattura gi\u00e0 impostata")), 1);
    QCOMPARE(rig.dialogs.shown.size(), 1);

    rig.keys({"1", "2", "0", "0", "REP-01"});
    rig.clearLines();
    rig.keys({"Contanti"});
    const QStringList sent = rig.lines();
    QCOMPARE(sent.mid(0, 4), (QStringList{"'/1/01234567897/1111111111111111/",
                                          "j/ROSSI SRL/VIA ROMA 1/00100///////0/", "5/1/0////", "(/"}));
    QCOMPARE(sent.last(), kDisplayRead);
    QVERIFY(!sent.contains(QStringLiteral(")/90/"))); // never closed as a plain receipt
    // The interface's invoice closes with the very same lines.
    norvvelm::InvoiceDocument same;
    same.vatNumber = QStringLiteral("01234567897");
    same.customer = {QStringLiteral("ROSSI SRL"), QStringLiteral("VIA ROMA 1"), QStringLiteral("00100")};
    same.items = {{QStringLiteral("REPARTO 1"), {}, QStringLiteral("1"), QStringLiteral("12.00"), 1, {}}};
    same.payments = {{}};
    const QStringList composed = norvvelm::ComposeInvoice(same).lines;
    QCOMPARE(composed.first(), norvvelm::InvoiceOpeningLine());
    QCOMPARE(composed.mid(2), sent.mid(0, 3));
    QVERIFY(!rig.console.pending().invoicePending);
    QVERIFY(!rig.reg.receiptOpen());
    const QString paper = rig.reg.paper().last();
    QVERIFY2(paper.contains(QStringLiteral("FATTURA N. 1")), qPrintable(paper));
    QVERIFY(paper.contains(QStringLiteral("P.IVA 01234567897\nSPETT.LE\nROSSI SRL\nVIA ROMA 1\n00100\n")));
    QVERIFY(paper.contains(ecrsim::Paper::row(QStringLiteral("TOTALE EURO"), QStringLiteral("12,00"))));
}

void TestConsole::invoiceRefusedByRegister_data() {
    QTest::addColumn<bool>("creditNote");
    QTest::addColumn<QString>("opening");
    QTest::newRow("invoice") << false << QStringLiteral("3/F/OPENFAT//0/0/0/0/");
    QTest::newRow("credit note") << true << QStringLiteral("-/77/");
}

// A document whose opening the register refuses is not pending: what is rung
// up next is an ordinary receipt, paid by the cash key as one, and nothing of
// the document is sent later.
void TestConsole::invoiceRefusedByRegister() {
    QFETCH(bool, creditNote);
    QFETCH(QString, opening);
    ConsoleRig rig;
    rig.reg.pushFault({ecrsim::Register::Fault::Refuse, "6E", 1});
    if (creditNote) {
        rig.dialogs.entries = {{1, {"77", "RIF 9"}}};
        rig.console.CmdNotaCredito_Click();
    } else {
        rig.dialogs.entries = {{1, {"01234567897", "A", "B", "C"}}};
        rig.console.CmdFat_Click();
    }
    QCOMPARE(rig.lines(), QStringList{opening});
    QCOMPARE(rig.session.lastExchange().lastStatus(), 0x6E);
    QCOMPARE(rig.session.statusBar().panel(2), QStringLiteral("Err. 110 : Comunicazione errata"));
    QVERIFY(!rig.console.pending().invoicePending);
    QVERIFY(!rig.console.pending().creditNotePending);
    QVERIFY(rig.console.pending().creditNoteReference.isEmpty());
    QVERIFY(rig.console.pending().customerHeaderLine.isEmpty());
    QVERIFY(!rig.session.registerOwner().documentOpen());

    rig.keys({"5", "0", "0", "REP-02"});
    rig.clearLines();
    rig.keys({"Contanti"});
    QCOMPARE(rig.lines(), (QStringList{")/90/", "(/"}));
    QVERIFY(!rig.reg.receiptOpen());
    const QString paper = rig.reg.paper().last();
    QVERIFY(!paper.contains(QStringLiteral("SPETT.LE")) &&
            !paper.contains(QStringLiteral("NOTA DI CREDITO")));
    QCOMPARE(rig.reg.totals().returns, 0);
    // A second document can be opened at once.
    rig.dialogs.entries = {{1, {"01234567897", "A", "B", "C"}}};
    rig.console.CmdFat_Click();
    QVERIFY(rig.console.pending().invoicePending);
}

void TestConsole::cashKeyOfAPendingDocument_data() {
    QTest::addColumn<bool>("virtualKey"); // the technician page's "Contanti", else the frame's "OK"
    QTest::addColumn<bool>("closes");     // it closes the document, else it is refused
    QTest::newRow("virtual keyboard's Contanti") << true << true;
    QTest::newRow("OK of the programming frame") << false << false;
}

// A key of the cash key's code while a credit note is pending either closes
// it as the register page's cash key does, or is refused: never a plain cash
// key that leaves the reference line for later.
void TestConsole::cashKeyOfAPendingDocument() {
    QFETCH(bool, virtualKey);
    QFETCH(bool, closes);
    ConsoleRig rig;
    rig.dialogs.entries = {{1, {"77", "RIF 9"}}};
    rig.console.CmdNotaCredito_Click();
    QVERIFY(rig.session.registerOwner().documentOpen());
    rig.keys({"7", "5", "0", "REP-01"});
    rig.clearLines();
    if (virtualKey)
        rig.console.cmdVirtKBD_Click(34);
    else
        rig.console.cmdECR_Click(50);
    if (closes) {
        QCOMPARE(rig.lines().mid(0, 4), (QStringList{")/90/", "7/1/1/RIF 9/", ")/90/", "(/"}));
        QVERIFY(rig.reg.paper().last().contains(QStringLiteral("NOTA DI CREDITO N. 1")));
        QVERIFY(rig.console.displayLine(Display::Virtual, 0).startsWith(QStringLiteral("0,00")));
    } else {
        QVERIFY(rig.lines().isEmpty());
        QCOMPARE(rig.prompter.count(QStringLiteral("Documento in corso: chiuderlo con il tasto Contanti")),
                 1);
        QVERIFY(rig.console.pending().creditNotePending);
        rig.keys({"Contanti"});
        QVERIFY(rig.lines().contains(QStringLiteral("7/1/1/RIF 9/")));
    }
    QVERIFY(!rig.reg.receiptOpen());
    QVERIFY(!rig.console.pending().creditNotePending);
    QVERIFY(!rig.session.registerOwner().operatorHolds());
    QCOMPARE(rig.reg.totals().returns, 750);
}

void TestConsole::invoiceWithAmountOnDisplay() {
    ConsoleRig rig;
    rig.keys({"3", "0", "0", "REP-01"}); // 3,00 on the display
    rig.clearLines();
    rig.console.CmdFat_Click();
    rig.console.CmdNotaCredito_Click();
    QVERIFY(rig.dialogs.shown.isEmpty());
    QVERIFY(rig.prompter.shown.isEmpty());
    QVERIFY(rig.lines().isEmpty());
}

void TestConsole::creditNoteEndToEnd() {
    ConsoleRig rig;
    // Cancelled: nothing pending, nothing sent.
    rig.dialogs.entries = {{0, {"1", "x"}}};
    rig.console.CmdNotaCredito_Click();
    QVERIFY(!rig.console.pending().creditNotePending);
    QVERIFY(rig.lines().isEmpty());

    rig.dialogs.entries = {{1, {"123-2010", "rif. scontrino 45 del 01/12"}}};
    rig.console.CmdNotaCredito_Click();
    QCOMPARE(rig.lines(), QStringList{"-/123-2010/"});
    QVERIFY(rig.console.pending().creditNotePending);
    QCOMPARE(rig.console.pending().creditNoteReference, QStringLiteral("7/1/1/rif. scontrino 45 del 0112/"));

    rig.console.CmdNotaCredito_Click();
    rig.console.CmdFat_Click();
    QCOMPARE(rig.prompter.count(QStringLiteral("Nota Credito gi\u00e0 impostata")), 2);
    QCOMPARE(rig.dialogs.shown.size(), 2);
    QCOMPARE(rig.lines().size(), 1);

    rig.keys({"7", "5", "0", "REP-01"});
    rig.clearLines();
    rig.keys({"Contanti"});
    QCOMPARE(rig.lines().mid(0, 4),
             (QStringList{")/90/", "7/1/1/rif. scontrino 45 del 0112/", ")/90/", "(/"}));
    // The interface's credit note: the same opening and closing lines.
    norvvelm::CreditNoteDocument same;
    same.fileNumber = QStringLiteral("123-2010");
    same.reference = QStringLiteral("rif. scontrino 45 del 0112");
    same.items = {{QStringLiteral("REPARTO 1"), {}, QStringLiteral("1"), QStringLiteral("7.50"), 1, {}}};
    const QStringList composed = norvvelm::ComposeCreditNote(same).lines;
    QCOMPARE(composed.first(), QStringLiteral("-/123-2010/"));
    QCOMPARE(composed.mid(2), rig.lines().mid(0, 3));
    QVERIFY(!rig.reg.receiptOpen());
    QVERIFY(!rig.console.pending().creditNotePending);
    const QString paper = rig.reg.paper().last();
    QVERIFY2(paper.contains(QStringLiteral("NOTA DI CREDITO N. 1")), qPrintable(paper));
    QVERIFY(paper.contains(QStringLiteral("PRATICA N. 123-2010")));
    QVERIFY(paper.contains(QStringLiteral("rif. scontrino 45 del 0112")));
    QCOMPARE(rig.reg.totals().returns, 750);
}

void TestConsole::reportsAndClosing() {
    ConsoleRig rig;
    rig.keys({"1", "0", "0", "0", "REP-01", "Contanti"});
    rig.clearLines();
    rig.console.cmdReportVenditeOP01_Click();
    QCOMPARE(rig.lines(), QStringList{"x/1/1/1/"});
    QVERIFY(rig.prompter.shown.isEmpty());
    QVERIFY(rig.reg.paper().last().contains(QStringLiteral("LETTURA VENDUTO")));

    rig.prompter.script = {norvvelm::Prompter::Answer::Cancel};
    rig.console.cmdChiusuraGIornaliera_Click();
    QCOMPARE(rig.prompter.shown.last().text,
             QStringLiteral("Si conferma di voler fare la chiusura giornaliera?"));
    QCOMPARE(rig.prompter.shown.last().title, QStringLiteral("ATTENZIONE"));
    QCOMPARE(rig.lines().size(), 1);
    rig.prompter.script = {}; // Cancel is the default too
    rig.console.cmdChiusuraGIornaliera_Click();
    QCOMPARE(rig.lines().size(), 1);
    rig.prompter.script = {norvvelm::Prompter::Answer::Ok};
    rig.console.cmdChiusuraGIornaliera_Click();
    QCOMPARE(rig.lines().last(), QStringLiteral("x/7/0/0/"));
    QVERIFY(rig.reg.paper().last().contains(QStringLiteral("CHIUSURA GIORNALIERA")));
    QCOMPARE(rig.reg.totals().sales, 0);

    // Refused with a receipt open: the runner reports it.
    rig.keys({"5", "0", "0", "REP-01"});
    rig.prompter.script = {norvvelm::Prompter::Answer::Ok};
    rig.console.cmdChiusuraGIornaliera_Click();
    QCOMPARE(rig.session.lastExchange().lastStatus(), 0x14);
    QCOMPARE(rig.reg.closings(), 1);
}

void TestConsole::reprintLastReceipt() {
    ConsoleRig rig;
    rig.keys({"1", "0", "0", "REP-01", "Contanti"});
    rig.clearLines();
    rig.prompter.script = {norvvelm::Prompter::Answer::No};
    rig.console.cmdDGFE_Click(0);
    QVERIFY(rig.lines().isEmpty());
    QCOMPARE(rig.prompter.shown.last().text, QStringLiteral("Vuoi ristampare\nl'ultimo scontrino?"));

    // The journal setting first, then the copy; the next time only the copy.
    rig.prompter.script = {norvvelm::Prompter::Answer::Yes, norvvelm::Prompter::Answer::Yes};
    rig.console.cmdDGFE_Click(0);
    QCOMPARE(rig.lines(), (QStringList{"B/12/", "G/12/1/1/42/", ")/120/"}));
    QVERIFY(rig.reg.paper().last().contains(QStringLiteral("*** COPIA DA GIORNALE ***")));
    rig.clearLines();
    rig.console.cmdDGFE_Click(0);
    QCOMPARE(rig.lines(), (QStringList{"B/12/", ")/120/"}));

    // A refused read (too short to read) stops there; "TBD" does nothing.
    rig.clearLines();
    rig.keys({"1", "0", "0", "REP-01"});
    rig.clearLines();
    rig.prompter.script = {norvvelm::Prompter::Answer::Yes};
    rig.console.cmdDGFE_Click(0);
    QCOMPARE(rig.lines(), QStringList{"B/12/"});
    const qsizetype shown = rig.prompter.shown.size();
    rig.console.cmdDGFE_Click(2);
    QCOMPARE(rig.prompter.shown.size(), shown);
}

void TestConsole::demoReceipts() {
    ConsoleRig rig;
    const QString target = rig.dir.filePath(QStringLiteral("scontrino.txt"));
    rig.prompter.script = {norvvelm::Prompter::Answer::No};
    rig.console.cmdDemoTicket_Click(4);
    QVERIFY(!QFile::exists(target));
    QVERIFY(rig.prompter.shown.last().text.endsWith(QStringLiteral("Vuoi continuare?")));

    rig.console.cmdDemoTicket_Click(4); // Yes is the default
    const QByteArray written = testsupport::readFile(target);
    QCOMPARE(written,
             QByteArray("3/F/OPEN//1/1/1/4/\r\n3/S/REPARTO 1//1/80/1/4/\r\n3/S/REPARTO 1//1/70/1/4/\r\n"
                        "'/1/01234567897/1111111111111111/\r\n"
                        "j//INTESTAZIONE CLIENTE/VIA DEL CORSO 12/00186 ROMA RM//////0/\r\n"
                        "5/1/0.00/////\r\n"));
    // Nothing is left beside it, the work folder included.
    QCOMPARE(QDir(rig.dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
             QStringList{"scontrino.txt"});

    // The file is there: not written again.
    rig.console.cmdDemoTicket_Click(6);
    QCOMPARE(rig.prompter.shown.last().text, QStringLiteral("File gi\u00e0 esistente."));
    QCOMPARE(testsupport::readFile(target), written);

    // A mask names the file it selects; a folder of one character stops.
    rig.setServer(rig.dir.path(), QStringLiteral("*.txt"));
    rig.console.cmdDemoTicket_Click(3);
    QCOMPARE(testsupport::readFile(rig.dir.filePath(QStringLiteral("demo.txt"))).count("w/1/1//\r\n"), 5);
    rig.setServer(QStringLiteral("/"), QStringLiteral("*.txt"));
    const qsizetype shown = rig.prompter.shown.size();
    rig.console.cmdDemoTicket_Click(1);
    QCOMPARE(rig.prompter.shown.size(), shown + 1); // the question only

    // A folder that cannot be written says so.
    rig.setServer(rig.dir.filePath(QStringLiteral("missing/folder")), QStringLiteral("scontrino.txt"));
    rig.console.cmdDemoTicket_Click(2);
    QVERIFY(rig.prompter.shown.last().text.startsWith(QStringLiteral("Impossibile scrivere il file ")));
}

QTEST_GUILESS_MAIN(TestConsole)
#include "tst_console.moc"
