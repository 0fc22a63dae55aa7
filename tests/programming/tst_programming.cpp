#include "ProgrammingRig.h"

#include "programming/Departments.h"
#include "programming/FieldText.h"
#include "programming/HeaderFooter.h"
#include "programming/PaymentTable.h"
#include "programming/PluTable.h"
#include "programming/SParameters.h"
#include "programming/ScrollMessages.h"
#include "programming/VatRates.h"

using namespace norvvelm;
using Answer = Prompter::Answer;

class TstProgramming : public QObject {
    Q_OBJECT
private slots:
    void layout_data();
    void layout();
    void headerAndFooterCommands();
    void headerWrittenStoredAndPrinted();
    void headerCancelledOrRefused();
    void headerReload();
    void vatRates();
    void departments();
    void departmentWriteFailures();
    void numbers_data();
    void numbers();
    void pluReadAndSweep();
    void pluWriteFailures();
    void payments();
    void sParameters();
    void scrollMessages();
    void writeProcedureDispatch();
};

void TstProgramming::layout_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("align");
    QTest::addColumn<int>("width");
    QTest::addColumn<QString>("laid");
    QTest::newRow("centred 32") << "ABC" << 2 << 32 << QString(14, u' ') + "ABC" + QString(15, u' ');
    QTest::newRow("centred 16") << " ABC " << 2 << 16 << QString(6, u' ') + "ABC" + QString(7, u' ');
    const QString t31(31, u'x');
    QTest::newRow("31 centred is left") << t31 << 2 << 32 << t31 + u' ';
    QTest::newRow("right") << "BAR" << 1 << 16 << QString(13, u' ') + "BAR";
    QTest::newRow("right keeps the end") << "0123456789ABCDEFGH" << 1 << 16 << "23456789ABCDEFGH";
    QTest::newRow("left cut") << "0123456789ABCDEFGH" << 0 << 16 << "0123456789ABCDEF";
    QTest::newRow("no alignment is left") << "A" << -1 << 16 << "A" + QString(15, u' ');
    QTest::newRow("empty") << "" << 2 << 16 << QString(16, u' ');
}

void TstProgramming::layout() {
    QFETCH(QString, text);
    QFETCH(int, align);
    QFETCH(int, width);
    QFETCH(QString, laid);
    QCOMPARE(HeaderFooter::layOut(text, align, width), laid);
}

void TstProgramming::headerAndFooterCommands() {
    QCOMPARE(HeaderFooter::fontCode(0), u"1");
    QCOMPARE(HeaderFooter::fontCode(3), u"4");
    QCOMPARE(HeaderFooter::fontCode(-1), u"0");
    QCOMPARE(HeaderFooter::lineWidth(2), 16);
    QCOMPARE(HeaderFooter::lineWidth(-1), 32);

    QList<PrintRow> rows(12);
    rows[0] = {QStringLiteral("BAR"), 2, 2};
    const QString h = HeaderFooter::headerCommand(rows);
    QVERIFY(h.startsWith(u"H/3/" + QString(6, u' ') + u"BAR" + QString(7, u' ') + u"/1//1//"));
    QCOMPARE(h.count(u'/'), 1 + 24);
    // A blank footer row keeps its blanks, 16 of them in double width.
    QList<PrintRow> foot(3);
    foot[1].mode = 3;
    QCOMPARE(HeaderFooter::footerCommand(foot),
             u"F/1/" + QString(32, u' ') + u"/4/" + QString(16, u' ') + u"/1/" + QString(32, u' ') + u'/');
    QCOMPARE(HeaderFooter::storedValue({QStringLiteral(" BAR "), 2, 2}), u"22BAR");
}

void TstProgramming::headerWrittenStoredAndPrinted() {
    ProgrammingRig rig;
    HeaderFooter hf(rig.procedure);
    QList<PrintRow> rows(12);
    rows[0] = {QStringLiteral("BAR SPORT"), 2, 0};
    rows[1] = {QStringLiteral("BAR"), 2, 2};
    rig.prompter.script = {Answer::Ok};
    QVERIFY(hf.writeHeader(rows));
    QCOMPARE(rig.prompter.shown.last().text, u"Intestazione Scaricata");
    QCOMPARE(rig.ini().getString(QStringLiteral("Intestazioni"), QStringLiteral("Head2"), {}, 256), u"22BAR");
    QCOMPARE(rig.ini().getString(QStringLiteral("Intestazioni"), QStringLiteral("Head3"), {}, 256), u"00");
    QCOMPARE(rig.reg.tables.headerChanges, 1);

    QList<PrintRow> foot(3);
    foot[0] = {QStringLiteral("A PRESTO"), 1, 0};
    QVERIFY(hf.writeFooter(foot));
    QCOMPARE(rig.prompter.shown.last().text, u"Piede di scontrino scaricato");

    // The next receipt carries them, the double-width line spread.
    rig.runner.SendAndCheck(QStringLiteral("3/S/CAFFE//1/1.20/1//"));
    rig.runner.SendAndCheck(QStringLiteral("5/1/0.00/////"));
    const QStringList paper = rig.reg.paper().last().split(u'\n');
    QCOMPARE(paper.at(0), QString(11, u' ') + u"BAR SPORT" + QString(12, u' '));
    QCOMPARE(paper.at(1), QString(12, u' ') + u"B A R " + QString(14, u' '));
    QVERIFY(paper.contains(QString(24, u' ') + u"A PRESTO"));
}

void TstProgramming::headerCancelledOrRefused() {
    ProgrammingRig rig;
    HeaderFooter hf(rig.procedure);
    QList<PrintRow> rows(12);
    rows[0] = {QStringLiteral("NEGOZIO"), 0, 0};
    rig.prompter.script = {Answer::Cancel};
    QVERIFY(!hf.writeHeader(rows));
    QVERIFY(!QFile::exists(rig.session.settings().config().IniPath));
    QVERIFY(rig.sent("H/").isEmpty());

    // Past its 60 changes the register refuses; the rows are stored anyway.
    rig.reg.tables.headerChanges = 60;
    rig.prompter.script = {Answer::Ok};
    QVERIFY(!hf.writeHeader(rows));
    QCOMPARE(rig.prompter.shown.last().text,
             u"Errore in scarico intestazione\nErrore : 1D\nRaggiunto limite massimo Intestazioni scontrino");
    QCOMPARE(rig.prompter.shown.last().icon, Prompter::Icon::Critical);
    QCOMPARE(rig.ini().getString(QStringLiteral("Intestazioni"), QStringLiteral("Head1"), {}, 256),
             u"00NEGOZIO");

    // No answer at all: code and explanation are empty.
    rig.link.CloseComPort();
    QVERIFY(!hf.writeFooter(QList<PrintRow>(3)));
    QCOMPARE(rig.prompter.shown.last().text, u"Errore in scarico intestazione Piede\nErrore : \n");
}

void TstProgramming::headerReload() {
    ProgrammingRig rig;
    const auto ini = rig.ini();
    const QString s = QStringLiteral("Intestazioni");
    ini.writeString(s, QStringLiteral("Head1"), QStringLiteral("22BAR"));
    ini.writeString(s, QStringLiteral("Head2"), QStringLiteral("21"));
    ini.writeString(s, QStringLiteral("Head3"), QStringLiteral("92X Y"));
    ini.writeString(s, QStringLiteral("Foot3"), QStringLiteral("13CIAO"));
    HeaderFooter hf(rig.procedure);
    QList<PrintRow> rows(12, PrintRow{QStringLiteral("KEEP"), 1, 1});
    rows = hf.reloadHeader(rows);
    QCOMPARE(rig.prompter.shown.last().text,
             u"Questa operazione non recupera i valori \ndal Misuratore Fiscale ma dal file di ini");
    QCOMPARE(rows[0].text, u"BAR");
    QCOMPARE(rows[0].align, 2);
    QCOMPARE(rows[0].mode, 2);
    QCOMPARE(rows[1].text, u"KEEP"); // two characters restore nothing
    QCOMPARE(rows[2].align, 1);      // an alignment beyond the list is skipped alone
    QCOMPARE(rows[2].mode, 2);
    QCOMPARE(rows[2].text, u"X Y");
    QCOMPARE(rows[11].text, u"KEEP");
    const QList<PrintRow> foot = hf.reloadFooter({});
    QCOMPARE(foot.size(), 3);
    QCOMPARE(foot[2].text, u"CIAO");
    QCOMPARE(foot[2].mode, 3);
}

void TstProgramming::vatRates() {
    ProgrammingRig rig;
    rig.prompter.script = {Answer::Ok};
    QVERIFY(WriteVatRates(rig.procedure, {QStringLiteral(" 4 "), QStringLiteral("10"), QStringLiteral("22.5"),
                                          QStringLiteral("23.5"), QStringLiteral("0")}));
    QCOMPARE(rig.sent("b/").last(), u"b/4/10/22.5/23.5/0/");
    QCOMPARE(rig.prompter.shown.last().text, u"Aliquote IVA scaricate");
    QStringList texts;
    QVERIFY(ReadVatRates(rig.runner, rig.session, &texts));
    QCOMPARE(texts, QStringList({QStringLiteral("4.00"), QStringLiteral("10.00"), QStringLiteral("22.50"),
                                 QStringLiteral("23.50"), QStringLiteral("0.00")}));
    QCOMPARE(rig.session.settings().vatTable()[2], 22);
    QCOMPARE(rig.session.settings().vatTable()[3], 24);
    QCOMPARE(rig.session.settings().vatTable()[5], -1);

    // Cancel sends nothing; a day with sales is refused with 10.
    rig.prompter.script = {Answer::Cancel};
    QVERIFY(!WriteVatRates(rig.procedure, texts));
    QCOMPARE(rig.sent("b/").size(), 1);
    rig.runner.SendAndCheck(QStringLiteral("3/S/CAFFE//1/1.20/1//"));
    rig.runner.SendAndCheck(QStringLiteral("5/1/0.00/////"));
    rig.prompter.script = {Answer::Ok};
    QVERIFY(!WriteVatRates(rig.procedure, texts));
    QVERIFY(rig.prompter.shown.last().text.startsWith(u"Errore in scarico aliquote IVA\nErrore : 10\n"));
}

void TstProgramming::departments() {
    ProgrammingRig rig;
    Departments d(rig.procedure);
    QList<Department> list;
    for (int i = 0; i < 20; ++i)
        list << Department{QStringLiteral(" REP %1 ").arg(i + 1), i % 5 + 1};
    d.write(list);
    QCOMPARE(rig.sent("D/").first(), u"D/1/REP 1/1//////");
    QCOMPARE(rig.texts(), QStringList{QStringLiteral("Reparti scaricati")});
    QCOMPARE(rig.reg.departmentRate(7), 2);

    QList<int> asked;
    QList<std::optional<Department>> got;
    QVERIFY(d.read([&](int n) { asked << n; }, [&](int, const std::optional<Department> &x) { got << x; }));
    QCOMPARE(asked.size(), 20);
    QCOMPARE(got[6]->description, u"REP 7");
    QCOMPARE(got[6]->rate, 2);

    QCOMPARE(Departments::parse(QStringLiteral("00/00/00/ FOOD /0/0/")).rate, 0);
    QCOMPARE(Departments::parse(QStringLiteral("00/00/00/ FOOD /3/0/")).description, u"FOOD");
    QCOMPARE(Departments::writeCommand(4, {QStringLiteral("X"), 0}), u"D/4/X/0//////");

    // A failed read leaves that one empty and the last outcome decides.
    rig.reg.refuse("d/20/", "08");
    got.clear();
    QVERIFY(!d.read({}, [&](int, const std::optional<Department> &x) { got << x; }));
    QVERIFY(got[18].has_value());
    QVERIFY(!got[19].has_value());
}

void TstProgramming::departmentWriteFailures() {
    ProgrammingRig rig;
    Departments d(rig.procedure);
    // Rate 0 is refused by the register, row by row, and the close says so.
    d.write(QList<Department>(20, Department{QStringLiteral("X"), 0}));
    QCOMPARE(rig.sent("D/").size(), 20);
    QCOMPARE(
        rig.prompter.count(QStringLiteral("Errore in scarico Reparti\nErrore : 09\nAliquota IVA errata")),
        20);
    QCOMPARE(rig.prompter.shown.last().text, u"Errore in scarico Reparti: 20 su 20 non scaricati");
    QCOMPARE(rig.prompter.shown.last().icon, Prompter::Icon::Critical);

    // An unreachable register: one message, no more attempts.
    rig.prompter.shown.clear();
    rig.link.CloseComPort();
    d.write(QList<Department>(20, Department{QStringLiteral("X"), 1}));
    QCOMPARE(rig.prompter.shown.size(), 1);
    QVERIFY(rig.prompter.shown[0].text.contains(u"Scarico interrotto"));
    QVERIFY(rig.prompter.shown[0].text.contains(u"(20 righe su 20"));
}

void TstProgramming::numbers_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("decimal");
    QTest::newRow("comma") << "1,50"
                           << "1";
    QTest::newRow("point") << "1.50"
                           << "1.5";
    QTest::newRow("empty") << ""
                           << "0";
    QTest::newRow("letters") << "abc"
                             << "0";
    QTest::newRow("half") << "0.5"
                          << ".5";
    QTest::newRow("negative half") << "-0.25"
                                   << "-.25";
    QTest::newRow("blanks") << "  12.000x"
                            << "12";
    QTest::newRow("big") << "999999.999"
                         << "999999.999";
}

void TstProgramming::numbers() {
    QFETCH(QString, text);
    QFETCH(QString, decimal);
    QCOMPARE(DecimalText(LeadingNumber(text)), decimal);
}

namespace {
PluRow plu(const QString &code, const QString &price = QStringLiteral("1")) {
    PluRow r;
    r[0] = code;
    r[1] = QStringLiteral("ART ") + code;
    r[2] = QStringLiteral("1");
    r[4] = price;
    r[7] = QStringLiteral("00000000");
    return r;
}
} // namespace

void TstProgramming::pluReadAndSweep() {
    ProgrammingRig rig;
    PluTable table(rig.procedure, &rig.link);
    QList<PluRow> rows;
    for (int i = 1; i <= 5; ++i)
        rows << plu(QString::number(8000 + i));
    rows[0][4] = QStringLiteral("1,50");
    rows[1][4] = QStringLiteral("1.50");
    rows[2][3] = QString();
    // Register positions 6, 7 and 9 hold PLUs the grid does not have.
    for (const int n : {6, 7, 9})
        rig.reg.tables.plus.insert(n, {QString::number(n), QStringLiteral("OLD")});
    QList<int> changed;
    const auto out = table.write(rows, {}, [&](int r) { changed << r; });
    QCOMPARE(out.cleared, QList<int>({6, 7, 9}));
    QCOMPARE(rig.sent("p/").last(), u"p/19/");
    QCOMPARE(rig.sent("P/").first(), u"P/1/8001/ART 8001/1/0/1/0/0/00000000/");
    QCOMPARE(rows[1][4], u"1.5");
    QCOMPARE(rows[0][4], u"1");
    QCOMPARE(rows[2][3], u"0");
    QCOMPARE(changed.size(), 5);
    QCOMPARE(rig.texts().last(), u"PLU scaricate");
    QCOMPARE(rig.reg.tables.plus.keys(), QList<int>({1, 2, 3, 4, 5}));
    QCOMPARE(rig.reg.tables.plus[2].price, 150);

    // Reading stops at the first empty code and keeps what was read.
    QList<PluRow> read;
    QList<int> progress;
    QCOMPARE(table.read([&](int n) { progress << n; }, [&](int, const PluRow &r) { read << r; }), 5);
    QCOMPARE(progress.last(), 6);
    QCOMPARE(read[1][4], u"1.5");
    QCOMPARE(read[1][1], u"ART 8002");

    // An empty grid sweeps from PLU 1.
    rig.prompter.shown.clear();
    QList<PluRow> none;
    QCOMPARE(table.write(none, {}).cleared, QList<int>({1, 2, 3, 4, 5}));
    QVERIFY(rig.reg.tables.plus.isEmpty());
    QCOMPARE(rig.sent("p/").last(), u"p/15/");
}

void TstProgramming::pluWriteFailures() {
    ProgrammingRig rig;
    PluTable table(rig.procedure, &rig.link);
    QList<PluRow> rows = {plu(QStringLiteral("1")), plu(QStringLiteral("2")), plu(QStringLiteral("3"))};
    rows[1][2] = QStringLiteral("99"); // no such department
    table.write(rows, {});
    QCOMPARE(
        rig.prompter.count(QStringLiteral("Errore in scarico PLU 2\nErrore : 08\nIl reparto non esiste")), 1);
    QCOMPARE(rig.texts().last(), u"Errore in scarico PLU: 1 su 3 non scaricati");

    // A register holding all 9000: read to the end.
    for (int n = 1; n <= 9000; ++n)
        rig.reg.tables.plus.insert(n, {QStringLiteral("C%1").arg(n), QStringLiteral("D")});
    int count = 0;
    QCOMPARE(table.read({}, [&](int, const PluRow &) { ++count; }), 9000);
    QCOMPARE(count, 9000);

    // A clear the register refuses ends the sweep and is reported.
    rig.prompter.shown.clear();
    rig.reg.refuse("P/4/", "22");
    const auto out = table.write(rows, {});
    QVERIFY(out.cleared.isEmpty());
    QCOMPARE(rig.sent("p/").last(), u"p/4/");
    QVERIFY(rig.texts().contains(QStringLiteral(
        "Errore in cancellazione PLU 4\nErrore : 22\nRaggiunto limite massimo PLU registrabili")));
}

void TstProgramming::payments() {
    ProgrammingRig rig;
    PaymentTable table(rig.procedure);
    QList<Payment> page(9);
    QVERIFY(table.read([&](int n, const QString &answer) { PaymentTable::parse(answer, page[n - 1]); }));
    QCOMPARE(page[3].description, u"CARTA DI CREDITO");
    QCOMPARE(page[0].flags[0], 1);
    QCOMPARE(page[0].flags[7], 1);
    for (Payment &p : page)
        p.active = 1;
    page[8] = Payment{};
    page[8].description = QStringLiteral("ALTRO");
    page[8].rate = QStringLiteral("1");
    page[8].markUp = QStringLiteral("2");
    table.write(page);
    QCOMPARE(rig.sent("Y/").at(3), u"Y/4/CREDITO/CART/00000000/0/0//1/0/");
    QCOMPARE(rig.sent("Y/").at(8), u"Y/9/ALTRO//00000000/1/2//0/0/");
    QCOMPARE(rig.texts().last(), u"Tabella pagamenti scaricate");
    QCOMPARE(rig.reg.tables.payments[3].description, u"CREDITO");

    // A short flags field unchecks what it lacks; a missing field reads "0".
    Payment p;
    p.flags.fill(1);
    PaymentTable::parse(QStringLiteral("00/00/00/CASH/CA/11/"), p);
    QCOMPARE(p.flags[1], 1);
    QCOMPARE(p.flags[2], 0);
    QCOMPARE(p.rate, u"0");

    // Every payment refused: nine messages and a close that says so.
    rig.prompter.shown.clear();
    rig.fault(QStringLiteral("refuse=04*9"));
    table.write(page);
    QCOMPARE(rig.prompter.shown.size(), 10);
    QVERIFY(rig.prompter.shown[3].text.startsWith(
        u"Errore in scarico pagamento CARTA DI CREDITO\nErrore : 04\n"));
    QCOMPARE(rig.texts().last(), u"Errore in scarico pagamenti: 9 su 9 non scaricati");

    // The description travels onto the receipt.
    rig.runner.SendAndCheck(QStringLiteral("3/S/CAFFE//1/1.20/1//"));
    rig.runner.SendAndCheck(QStringLiteral("5/4/0.00/////"));
    QVERIFY(rig.reg.paper().last().contains(u"CREDITO"));
}

void TstProgramming::sParameters() {
    const SRecord def = SParameters::parse(SParameters::defaultAnswer());
    for (int j = 0; j < 26; ++j)
        QCOMPARE(def.flags[size_t(j)], (j == 4 || j == 5 || j == 10 || j == 19) ? 1 : 0);
    QCOMPARE(def.maximums[0], u"999999");
    QCOMPARE(def.maximums[2], u"1000000");
    QCOMPARE(def.stationName, u"CASSA -1");
    QCOMPARE(def.payRateCode, u"0");
    QCOMPARE(def.weightLeading[8], u"27");
    QCOMPARE(SParameters::defaultFlag(19), 1);

    SRecord r = def;
    r.flags[0] = -1;
    r.flags[17] = 2;
    r.stationName = QStringLiteral("NEGOZIO CENTRO");
    r.priceLeading[0] = QStringLiteral("123");
    const QString line = SParameters::writeCommand(r);
    QVERIFY(
        line.startsWith(u"S/00001100001000000201000000/999999/999999/1000000/99999999/0/0/0/1/O CENTRO/27/"));
    QVERIFY(line.endsWith(u"/23/29/29/29/29/29/29/29/29/8/0/"));
    QCOMPARE(line.count(u'/'), 31);

    // A flag digit the list does not have leaves the flag unselected.
    QCOMPARE(SParameters::parse(QStringLiteral("00/00/00/20/")).flags[0], -1);
    QCOMPARE(SParameters::parse(QStringLiteral("00/00/00/20/")).flags[1], 0);
    QCOMPARE(SParameters::parse(QStringLiteral("00/00/00/20/")).flags[2], 0);

    ProgrammingRig rig;
    SParameters s(rig.procedure);
    QVERIFY(s.write(r));
    QCOMPARE(rig.texts().last(), u"Parametri S scaricati");
    SRecord back;
    QVERIFY(s.read(back));
    QCOMPARE(back.stationName, u"O CENTRO");
    QCOMPARE(back.flags[17], 2);
    rig.fault(QStringLiteral("refuse=14"));
    QVERIFY(!s.read(back));
    QCOMPARE(back.stationName, u"O CENTRO");
}

void TstProgramming::scrollMessages() {
    ProgrammingRig rig;
    ScrollMessages m(rig.procedure);
    QStringList texts(10);
    texts[3] = QStringLiteral("  SALDI DI FINE STAGIONE  ");
    QVERIFY(m.send(texts, -1));
    QCOMPARE(rig.sent("o/").last(), u"o//");
    QVERIFY(!QFile::exists(rig.session.settings().config().IniPath));
    QVERIFY(m.send(texts, 3));
    QCOMPARE(rig.sent("o/").last(), u"o/SALDI DI FINE STAGIONE/");
    QCOMPARE(rig.reg.tables.scrollMessage, u"SALDI DI FINE STAGIONE");
    QCOMPARE(rig.texts().last(), u"Messaggio Scorrevole scaricato\rRicordarsi di attivarlo");

    rig.ini().writeString(QStringLiteral("Messaggi"), QStringLiteral("Msg10"), QString(120, u'x'));
    const QStringList back = m.reload();
    QCOMPARE(back.size(), 10);
    QCOMPARE(back[3], u"SALDI DI FINE STAGIONE");
    QCOMPARE(back[9].size(), 95);
    QCOMPARE(back[0], QString());

    // A copy the settings file cannot take is said; the text still goes.
    const QString ini = rig.session.settings().config().IniPath;
    QVERIFY(QFile::remove(ini));
    QVERIFY(QDir().mkpath(ini));
    QVERIFY(m.send(texts, 3));
    QCOMPARE(rig.session.statusBar().panel(1), u"Errore di scrittura");
    QCOMPARE(rig.session.statusBar().panel(2),
             u"Impossibile scrivere la copia del messaggio scorrevole: " + ini);
    HeaderFooter hf(rig.procedure);
    rig.prompter.script = {Answer::Ok};
    QVERIFY(hf.writeHeader(QList<PrintRow>(12)));
    QCOMPARE(rig.session.statusBar().panel(2), u"Impossibile scrivere la copia dell'intestazione: " + ini);
    QVERIFY(hf.writeFooter(QList<PrintRow>(3)));
    QCOMPARE(rig.session.statusBar().panel(2),
             u"Impossibile scrivere la copia del piede di scontrino: " + ini);
}

void TstProgramming::writeProcedureDispatch() {
    ProgrammingRig rig;
    QList<bool> busy;
    QObject::connect(&rig.session.runState(), &RunState::busyChanged, [&](bool b) { busy << b; });
    int ran = 0;
    for (int i = 0; i < WriteProcedure::kButtons; ++i)
        rig.procedure.setBranch(i, [&] { ++ran; });
    rig.procedure.run(5);
    rig.procedure.run(8);
    QCOMPARE(ran, 0);
    QVERIFY(rig.prompter.shown.isEmpty());
    rig.procedure.run(11);
    QCOMPARE(rig.texts().last(), u"Errore 90 : Avvisare produttore");
    QCOMPARE(rig.prompter.shown.last().title, u"Attenzione");
    rig.procedure.run(2);
    QCOMPARE(ran, 1);
    QCOMPARE(busy, QList<bool>({true, false, true, false, true, false, true, false}));

    ProgrammingRig bare;
    bare.procedure.run(WriteProcedure::kLogo);
    QCOMPARE(bare.texts().last(), u"Pagina del logo non presente: nessun logo da scaricare");
}

QTEST_GUILESS_MAIN(TstProgramming)
#include "tst_programming.moc"
