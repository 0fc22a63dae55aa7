// Logo preparation and upload without a display: a picture in memory, the
// simulated register behind the runner, and the register's logo store.

#include "FakePicture.h"
#include "LogoRig.h"
#include "commands/CommandLanguage.h"
#include "logo/LogoDots.h"
#include "logo/LogoSlot.h"
#include "logo/LogoUpload.h"

#include <QFile>
#include <QTemporaryDir>

using namespace norvvelm;
using Icon = Prompter::Icon;

namespace {

const QString kNotice = QStringLiteral("Il sistema ridimensionerà automaticamente\r\n"
                                       "le immagini alla risoluzione più vicina a \r\n"
                                       "[64,128,256] x [64,128,256].\r\n"
                                       "Si consiglia di caricare immagini già\r\n"
                                       "dimensionate opportunamente");
const QString kNonStandard = QStringLiteral("Logo non  a dimensioni standard.\r\nRidimensione automatica");
const QString kBadSize = QStringLiteral("Valore di Larghezza o altezza errato");
const QString kNotSet = QStringLiteral("Logo non impostato");
const QString kDone = QStringLiteral("Logo Scaricato, ricordarsi di attivarlo");

// A picture whose dots follow a pattern no row repeats: black where the
// pattern says, white elsewhere.
bool patternBlack(int x, int y) {
    return ((x * 7 + y * 13) % 11) < 4 || x == y;
}
Grid pattern(int w, int h) {
    return Grid(w, h, [](int x, int y) { return patternBlack(x, y) ? 0u : 0xFFFFFFu; });
}

// The register's stored logo equals the picture dot by dot.
bool sameDots(const ecrsim::Logos::Logo &logo, const Grid &g) {
    if (logo.width != g.width || logo.height != g.height)
        return false;
    for (int y = 0; y < g.height; ++y)
        for (int x = 0; x < g.width; ++x)
            if (logo.white(x, y) != (g.at(x, y) == 0xFFFFFFu))
                return false;
    return true;
}

QByteArray row(int logo, int w, int h, int r, const QByteArray &digits) {
    return "$/" + QByteArray::number(logo) + '/' + QByteArray::number(w) + '/' + QByteArray::number(h) + '/' +
           QByteArray::number(r) + '/' + digits + '/';
}

} // namespace

class TestLogo : public QObject {
    Q_OBJECT
private slots:
    void sizesAndThreshold();
    void rowDigitsAndLine();
    void loadThresholdsThenStretches();
    void loadOfALargePictureThresholdsItsFirst256();
    void unreadableFileKeepsThePreviousLogo();
    void resizeChecksTheTypedSizes();
    void uploadSendsEveryRow();
    void uploadRefusesSizesBeforeSending();
    void almostWhiteIsBlack();
    void refusedRowsAreReportedAtTheEnd();
    void linkFailureStopsTheUpload();
    void registerRefusesMalformedRows_data();
    void registerRefusesMalformedRows();
    void registerKeepsOnlyCompleteLogos();
    void registerWritesPbmAndPrintsOnReceipts();
};

void TestLogo::sizesAndThreshold() {
    for (auto [side, target] :
         {std::pair{1, 64}, {64, 64}, {65, 128}, {100, 128}, {128, 128}, {129, 256}, {300, 256}})
        QCOMPARE(LogoTargetSide(side), target);
    QCOMPARE(LogoSideIndex(64), 0);
    QCOMPARE(LogoSideIndex(256), 2);
    QCOMPARE(LogoSideIndex(100), -1);
    QVERIFY(PassesLogoThreshold(161, 101, 151));
    QVERIFY(!PassesLogoThreshold(160, 255, 255));
    QVERIFY(!PassesLogoThreshold(255, 100, 255));
    QVERIFY(!PassesLogoThreshold(255, 255, 150));
    QVERIFY(IsWhiteDot(255, 255, 255));
    QVERIFY(!IsWhiteDot(255, 255, 254));
    QVERIFY(LogoSizeInRange(64, 256));
    QVERIFY(!LogoSizeInRange(63, 64));
    QVERIFY(!LogoSizeInRange(64, 300));
    QCOMPARE(LogoSlot::SideFromText(QStringLiteral(" 128")), 128);
    QCOMPARE(LogoSlot::SideFromText(QStringLiteral("64px")), 64);
    QCOMPARE(LogoSlot::SideFromText(QStringLiteral("")), 0);
    QCOMPARE(LogoSlot::SideFromText(QStringLiteral("-64")), 0);
    QVERIFY(LogoSlot::SideFromText(QStringLiteral("99999999999999999999")) > 32767);
}

void TestLogo::rowDigitsAndLine() {
    // White except for the four leftmost dots: 0 and fifteen F.
    QList<bool> dots(64, true);
    for (int i = 0; i < 4; ++i)
        dots[i] = false;
    const QString digits = LogoRowDigits(dots);
    QCOMPARE(digits, QStringLiteral("0") + QString(15, u'F'));
    QCOMPARE(LogoRowLine(1, 64, 64, 1, digits), QStringLiteral("$/1/64/64/1/0FFFFFFFFFFFFFFF/"));
    // The leftmost dot of a group is its high bit; digits are upper case.
    QCOMPARE(LogoRowDigits({true, false, false, false, false, true, false, true, true, true, false, true}),
             QStringLiteral("85D"));
}

void TestLogo::loadThresholdsThenStretches() {
    FakePicture pic;
    // Left half passes the threshold, right half fails it by one unit of red.
    pic.files.insert(QStringLiteral("a.bmp"), Grid(100, 60, [](int x, int) {
                         return x < 50 ? 0xA1659Bu /* 161,101,155 */ : 0xA0FFFFu;
                     }));
    testsupport::ScriptedPrompter prompter;
    LogoSlot slot(pic, prompter);
    slot.ShowLoadNotice();
    const auto loaded = slot.Load(QStringLiteral("a.bmp"));
    QVERIFY(loaded);
    QCOMPARE(loaded->size, QSize(100, 60));
    QCOMPARE(loaded->widthIndex, 1);
    QCOMPARE(loaded->heightIndex, 0);
    QCOMPARE(prompter.shown.size(), 2);
    QCOMPARE(prompter.shown.at(0).text, kNotice);
    QCOMPARE(prompter.shown.at(0).title, QStringLiteral("Norv Velm"));
    QCOMPARE(prompter.shown.at(1).text, kNonStandard);
    QCOMPARE(prompter.shown.at(1).icon, Icon::Information);
    // Thresholded before the stretch; the stretched picture is what is shown.
    QCOMPARE(pic.current.width, 128);
    QCOMPARE(pic.current.height, 64);
    QCOMPARE(pic.current.at(63, 10), 0xFFFFFFu);
    QCOMPARE(pic.current.at(64, 10), 0u);
    QCOMPARE(pic.shown, pic.current);
    QCOMPARE(pic.pixelWrites, 100 * 60);
    QCOMPARE(pic.calls.mid(pic.calls.indexOf(QStringLiteral("LoadBitmap"))),
             (QStringList{QStringLiteral("LoadBitmap"), QStringLiteral("GetBitmapSize"),
                          QStringLiteral("ShowBitmap"), QStringLiteral("CopyBitmap"),
                          QStringLiteral("GetBitmapSize"), QStringLiteral("StretchBitmap"),
                          QStringLiteral("CopyBitmap"), QStringLiteral("ShowBitmap")}));

    // A picture of a register size is kept as it is, without the message.
    pic.files.insert(QStringLiteral("b.bmp"), pattern(256, 128));
    prompter.shown.clear();
    const auto standard = slot.Load(QStringLiteral("b.bmp"));
    QVERIFY(standard);
    QCOMPARE(standard->widthIndex, 2);
    QCOMPARE(standard->heightIndex, 1);
    QVERIFY(prompter.shown.isEmpty());
    QCOMPARE(pic.current, pattern(256, 128));
}

void TestLogo::loadOfALargePictureThresholdsItsFirst256() {
    FakePicture pic;
    pic.files.insert(QStringLiteral("big.bmp"), Grid(300, 40, [](int, int) { return 0x808080u; }));
    testsupport::ScriptedPrompter prompter;
    LogoSlot slot(pic, prompter);
    QVERIFY(slot.Load(QStringLiteral("big.bmp")));
    QCOMPARE(pic.pixelWrites, 256 * 40);
    // Columns beyond 255 kept their grey, which uploads black anyway.
    QCOMPARE(QSize(pic.current.width, pic.current.height), QSize(256, 64));
    QCOMPARE(pic.current.at(0, 0), 0u);
    QCOMPARE(pic.current.at(255, 63), 0x808080u);
}

void TestLogo::unreadableFileKeepsThePreviousLogo() {
    for (bool empties : {false, true}) {
        FakePicture pic;
        pic.emptiesOnUnreadable = empties;
        pic.files.insert(QStringLiteral("good.bmp"), pattern(64, 64));
        pic.unreadable << QStringLiteral("bad.bmp");
        testsupport::ScriptedPrompter prompter;
        LogoSlot slot(pic, prompter);
        QVERIFY(slot.Load(QStringLiteral("good.bmp")));
        const Grid before = pic.current;
        const int writes = pic.pixelWrites;
        prompter.shown.clear();
        for (const QString &file : {QStringLiteral("bad.bmp"), QStringLiteral("missing.bmp")}) {
            QVERIFY(!slot.Load(file));
            QCOMPARE(prompter.shown.size(), 1);
            QVERIFY(prompter.shown.first().text.startsWith(QStringLiteral("Impossibile leggere il file")));
            QVERIFY(prompter.shown.first().text.contains(file));
            QCOMPARE(prompter.shown.first().icon, Icon::Critical);
            QCOMPARE(pic.current, before);
            QCOMPARE(pic.shown, before);
            QCOMPARE(pic.pixelWrites, writes); // nothing thresholded
            prompter.shown.clear();
        }
    }
    // No file chosen: nothing happens at all.
    FakePicture pic;
    testsupport::ScriptedPrompter prompter;
    LogoSlot slot(pic, prompter);
    QVERIFY(!slot.Load(QString()));
    QVERIFY(pic.calls.isEmpty());
    QVERIFY(prompter.shown.isEmpty());
}

void TestLogo::resizeChecksTheTypedSizes() {
    FakePicture pic;
    pic.current = pattern(64, 64);
    testsupport::ScriptedPrompter prompter;
    LogoSlot slot(pic, prompter);
    // Empty, zero, not a number, negative, a width that is no whole number of
    // four-dot groups, a side the control cannot take.
    for (auto [w, h] : {std::pair{"", "64"},
                        {"128", ""},
                        {"0", "64"},
                        {"abc", "64"},
                        {"-64", "64"},
                        {"130", "64"},
                        {"64", "99999"}}) {
        prompter.shown.clear();
        QVERIFY2(!slot.Resize(QString::fromLatin1(w), QString::fromLatin1(h)), w);
        QCOMPARE(prompter.shown.size(), 1);
        QCOMPARE(prompter.shown.first().text, kBadSize);
        QCOMPARE(prompter.shown.first().icon, Icon::None);
        QCOMPARE(pic.current.width, 64);
    }
    QVERIFY(!pic.calls.contains(QStringLiteral("StretchBitmap")));
    prompter.shown.clear();
    QVERIFY(slot.Resize(QStringLiteral("128"), QStringLiteral("100")));
    QCOMPARE(QSize(pic.current.width, pic.current.height), QSize(128, 100));
    QCOMPARE(pic.shown, pic.current);
    QVERIFY(prompter.shown.isEmpty());
    slot.Zoom(250);
    QCOMPARE(pic.lastZoom, 250);
    QCOMPARE(pic.current.width, 128); // the zoom changes only the view
}

void TestLogo::uploadSendsEveryRow() {
    LogoRig rig;
    FakePicture pic;
    pic.current = pattern(256, 256);
    QVERIFY(LogoUpload(rig.runner, rig.session, rig.prompter).Send(pic, 2));
    const QStringList sent = rig.sent();
    QCOMPARE(sent.size(), 256);
    for (int r = 1; r <= 256; ++r) {
        const QString prefix = QStringLiteral("$/2/256/256/%1/").arg(r);
        QVERIFY2(sent.at(r - 1).startsWith(prefix), qPrintable(sent.at(r - 1)));
        QCOMPARE(sent.at(r - 1).size(), prefix.size() + 64 + 1);
    }
    QVERIFY(sameDots(rig.reg.logos().logo(2), pic.current));
    QVERIFY(rig.reg.logos().logo(1).isEmpty());
    QCOMPARE(rig.prompter.shown.size(), 1);
    QCOMPARE(rig.lastMessage(), kDone);
    QCOMPARE(rig.prompter.shown.last().title, QStringLiteral("Norv Velm"));

    // A 64 by 128 logo 1 beside it.
    pic.current = pattern(64, 128);
    QVERIFY(LogoUpload(rig.runner, rig.session, rig.prompter).Send(pic, 1));
    QVERIFY(sameDots(rig.reg.logos().logo(1), pic.current));
    QCOMPARE(rig.reg.logos().logo(2).width, 256);
}

void TestLogo::uploadRefusesSizesBeforeSending() {
    LogoRig rig;
    FakePicture pic; // no picture at all
    LogoUpload upload(rig.runner, rig.session, rig.prompter);
    QVERIFY(!upload.Send(pic, 1));
    for (auto [w, h] : {std::pair{300, 64}, {64, 300}, {63, 64}, {64, 32}}) {
        pic.current = pattern(w, h);
        QVERIFY(!upload.Send(pic, 1));
        QCOMPARE(rig.lastMessage(), kNotSet);
    }
    // 100 dots do not make whole four-dot groups: never sent.
    pic.current = pattern(102, 64);
    QVERIFY(!upload.Send(pic, 1));
    QVERIFY(rig.lastMessage().startsWith(kNotSet));
    QVERIFY(rig.sent().isEmpty());
    QCOMPARE(pic.pixelReads, 0);
}

void TestLogo::almostWhiteIsBlack() {
    LogoRig rig;
    FakePicture pic;
    pic.current = Grid(64, 64, [](int x, int y) { return x == 5 && y == 0 ? 0xFFFFFEu : 0xFFFFFFu; });
    QVERIFY(LogoUpload(rig.runner, rig.session, rig.prompter).Send(pic, 1));
    QCOMPARE(rig.sent().first(), QStringLiteral("$/1/64/64/1/FBFFFFFFFFFFFFFF/"));
    QVERIFY(!rig.reg.logos().logo(1).white(5, 0));
    QVERIFY(rig.reg.logos().logo(1).white(4, 0));
}

void TestLogo::refusedRowsAreReportedAtTheEnd() {
    LogoRig rig;
    FakePicture pic;
    pic.current = pattern(64, 64);
    QVERIFY(LogoUpload(rig.runner, rig.session, rig.prompter).Send(pic, 1));
    const ecrsim::Logos::Logo before = rig.reg.logos().logo(1);
    const qsizetype already = rig.sent().size();
    // The first row of the next logo is refused with 14; the register then
    // takes no later row of it (23), and the upload still sends them all.
    pic.current = pattern(128, 64);
    rig.fault(QStringLiteral("refuse=14"));
    QVERIFY(!LogoUpload(rig.runner, rig.session, rig.prompter).Send(pic, 1));
    QCOMPARE(rig.sent().size() - already, 64);
    QCOMPARE(rig.prompter.count(kDone), 1); // the first upload's only
    QCOMPARE(rig.lastMessage(), QStringLiteral("Errore in scarico logo\r\nErrore : 23\r\n") +
                                    QStringLiteral("Errore nell'invio dei dati BMP"));
    QCOMPARE(rig.prompter.shown.last().title, QStringLiteral("Attenzione"));
    QCOMPARE(rig.prompter.shown.last().icon, Icon::Critical);
    QCOMPARE(rig.reg.logos().logo(1).width, 64); // the old logo stays
    QCOMPARE(rig.reg.logos().logo(1).rows, before.rows);
}

void TestLogo::linkFailureStopsTheUpload() {
    LogoRig rig;
    FakePicture pic;
    pic.current = pattern(64, 64);
    rig.port.unplug();
    QVERIFY(!LogoUpload(rig.runner, rig.session, rig.prompter).Send(pic, 1));
    QVERIFY(rig.sent().isEmpty());
    QVERIFY(rig.lastMessage().startsWith(QStringLiteral("Errore in scarico logo\r\nErrore : 9999\r\n")));
    QCOMPARE(rig.session.statusBar().panel(1), QStringLiteral("Attenzione!"));
}

void TestLogo::registerRefusesMalformedRows_data() {
    QTest::addColumn<QByteArray>("line");
    const QByteArray f16(16, 'F');
    QTest::newRow("lower case") << row(1, 64, 64, 1, QByteArray(16, 'f'));
    QTest::newRow("short row") << row(1, 64, 64, 1, QByteArray(15, 'F'));
    QTest::newRow("long row") << row(1, 64, 64, 1, QByteArray(17, 'F'));
    QTest::newRow("not hex") << row(1, 64, 64, 1, QByteArray(15, 'F') + 'G');
    QTest::newRow("logo 3") << row(3, 64, 64, 1, f16);
    QTest::newRow("logo 0") << row(0, 64, 64, 1, f16);
    QTest::newRow("width 100") << QByteArray("$/1/100/64/1/" + QByteArray(25, 'F') + '/');
    QTest::newRow("height 32") << row(1, 64, 32, 1, f16);
    QTest::newRow("row 0") << row(1, 64, 64, 0, f16);
    QTest::newRow("row 65") << row(1, 64, 64, 65, f16);
    QTest::newRow("leading zero") << QByteArray("$/1/064/64/1/" + f16 + '/');
    QTest::newRow("blank") << QByteArray("$/1/64/64/ 1/" + f16 + '/');
    QTest::newRow("missing field") << QByteArray("$/1/64/64/" + f16 + '/');
    QTest::newRow("extra field") << QByteArray(row(1, 64, 64, 1, f16) + "0/");
    QTest::newRow("row skipped") << row(1, 64, 64, 3, f16);
    QTest::newRow("other logo") << row(2, 64, 64, 2, f16);
}

void TestLogo::registerRefusesMalformedRows() {
    QFETCH(QByteArray, line);
    ecrsim::Register reg;
    QVERIFY(reg.execute(row(1, 64, 64, 1, QByteArray(16, 'F'))).startsWith("00/"));
    QVERIFY(reg.execute(line).startsWith("23/"));
    // Whatever was under way is gone: the next row of it is refused too.
    QVERIFY(reg.execute(row(1, 64, 64, 2, QByteArray(16, 'F'))).startsWith("23/"));
    QVERIFY(reg.logos().logo(1).isEmpty());
}

void TestLogo::registerKeepsOnlyCompleteLogos() {
    ecrsim::Register reg;
    const QByteArray f16(16, 'F'), z16(16, '0');
    auto send = [&reg](const QByteArray &line) { return reg.execute(line).left(2); };
    for (int r = 1; r <= 64; ++r)
        QCOMPARE(send(row(2, 64, 64, r, r == 1 ? z16 : f16)), QByteArray("00"));
    QVERIFY(!reg.logos().logo(2).white(0, 0));
    QVERIFY(reg.logos().logo(2).white(0, 1));
    // A new logo of another size, with a repeated row, a skipped row.
    QCOMPARE(send(row(2, 128, 64, 1, QByteArray(32, 'F'))), QByteArray("00"));
    QCOMPARE(send(row(2, 128, 64, 2, QByteArray(32, 'F'))), QByteArray("00"));
    QCOMPARE(send(row(2, 128, 64, 2, QByteArray(32, '0'))), QByteArray("00")); // the same row again
    QCOMPARE(reg.logos().expectedRow(2), 3);
    QCOMPARE(send(row(2, 128, 64, 4, QByteArray(32, 'F'))), QByteArray("23"));
    QCOMPARE(reg.logos().expectedRow(2), 0);
    // A row of another size in the middle of a logo.
    QCOMPARE(send(row(2, 128, 64, 1, QByteArray(32, 'F'))), QByteArray("00"));
    QCOMPARE(send(row(2, 256, 64, 2, QByteArray(64, 'F'))), QByteArray("23"));
    QCOMPARE(reg.logos().logo(2).width, 64); // still the first, complete one
    QVERIFY(reg.logos().logo(1).isEmpty());
}

void TestLogo::registerWritesPbmAndPrintsOnReceipts() {
    QTemporaryDir dir;
    ecrsim::Register reg;
    QVERIFY(!reg.logos().setFolder(dir.filePath(QStringLiteral("none"))));
    QVERIFY(reg.logos().setFolder(dir.path()));
    // Left half black, right half white.
    for (int r = 1; r <= 64; ++r)
        QVERIFY(reg.execute(row(1, 64, 64, r, QByteArray(8, '0') + QByteArray(8, 'F'))).startsWith("00/"));
    QFile pbm(reg.logos().pbmPath(1));
    QVERIFY(pbm.open(QIODevice::ReadOnly));
    const QByteArray bits = QByteArray(4, '\xFF') + QByteArray(4, '\0');
    QCOMPARE(pbm.readAll(), QByteArray("P4\n64 64\n") + bits.repeated(64));
    QVERIFY(!QFile::exists(reg.logos().pbmPath(2)));

    const QString blocks = QString(16, QChar(0x2588)) + QString(16, u' ');
    QCOMPARE(ecrsim::Logos::blockLines(reg.logos().logo(1)), QStringList(32, blocks));
    auto receipt = [&reg] {
        reg.execute("3/S/REPARTO1//1/1.00/1/4/");
        reg.execute("5/1/0.00/////");
        return reg.paper().last().split(u'\n');
    };
    QCOMPARE(receipt().first(), reg.tables.printedHeader().first()); // not asked to print them
    QCOMPARE(reg.control("logos print on"), QByteArray("ok"));
    const QStringList printed = receipt();
    QCOMPARE(printed.mid(0, 32), QStringList(32, blocks));
    QCOMPARE(printed.at(32), reg.tables.printedHeader().first());
    QCOMPARE(reg.control("logos print off"), QByteArray("ok"));
    QCOMPARE(receipt().first(), reg.tables.printedHeader().first());
    // The S record's "Print logo" flag asks for them too.
    QByteArrayList s = reg.tables.sRecord;
    s[0][22] = '1';
    QVERIFY(reg.execute("S/" + s.join('/') + '/').startsWith("00/"));
    QCOMPARE(receipt().mid(0, 32), QStringList(32, blocks));
    QCOMPARE(reg.control("logos clear"), QByteArray("ok"));
    QCOMPARE(receipt().first(), reg.tables.printedHeader().first());
}

QTEST_GUILESS_MAIN(TestLogo)
#include "tst_logo.moc"
