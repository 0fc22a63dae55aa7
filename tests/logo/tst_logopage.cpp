// The logo page with the real picture control, loaded from the build's
// library through its factory: loading, resizing, zooming, the model's logo
// boxes, and uploads to the register in memory and over a pseudo-terminal.

#include "LogoRig.h"
#include "commands/PcConfig.h"
#include "link/SerialComPort.h"
#include "logo/LogoPicture.h"
#include "logo/widgets/LogoPage.h"
#include "picture/RitraAutomation.h"
#include "programming/WriteProcedure.h"
#include "programming/widgets/ConfigEcrPage.h"
#include "shell/widgets/Pickers.h"
#include "support/BmpBuilder.h"
#include "support/EcrSimProcess.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTemporaryDir>

using namespace norvvelm;

namespace {

// The file choice the test makes; nothing chosen unless told.
struct FilePicker final : Pickers {
    std::function<QString(const QString &filter)> choose;
    QString chooseFolder(const QString &) override { return {}; }
    QString chooseFile(const QString &filter) override { return choose ? choose(filter) : QString(); }
};

// Left of column 50 the colour passes the threshold, right of it red misses
// it by one; a band of pure white across the middle rows.
quint32 sourceColour(int x, int y) {
    if (y >= 20 && y < 30)
        return qRgb(255, 255, 255);
    return x < 50 ? qRgb(200, 150, 160) : qRgb(160, 255, 255);
}

QString writeBmp(const QTemporaryDir &dir, const QString &name, int w, int h) {
    BmpLayout layout;
    layout.width = w;
    layout.height = h;
    layout.pixel = sourceColour;
    const QString path = dir.filePath(name);
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        return {};
    f.write(makeBmp(layout));
    return path;
}

template <typename T> T *child(QWidget &page, const char *name, int index) {
    return page.findChild<T *>(QString::fromLatin1(name) + u'_' + QString::number(index));
}

QSize pictureSize(LogoPicture &p) {
    QSize s;
    return p.GetBitmapSize(QString(), s) == 1 ? s : QSize();
}

bool white(LogoPicture &p, int x, int y) {
    LogoPicture::Colour c;
    p.GetPixel(QString(), x, y, c);
    return c.r == 255 && c.g == 255 && c.b == 255;
}

} // namespace

class TestLogoPage : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void pageCarriesItsControls();
    void loadThresholdsAndStretches();
    void unreadableFileKeepsTheLogo();
    void resizeAndZoom();
    void modelHidesTheLogosItDoesNotTake();
    void uploadsTheSelectedTab();
    void sitsOnTheProgrammingStrip();
    void roundTripOverAPty();

private:
    QTemporaryDir m_dir;
};

void TestLogoPage::initTestCase() {
    qputenv("RITRA_LIBRARY", qgetenv("NORVVELM_BIN") + "/ritra");
    QVERIFY(m_dir.isValid());
}

void TestLogoPage::pageCarriesItsControls() {
    LogoRig rig;
    FilePicker pick;
    LogoPage page(rig.runner, rig.session, rig.prompter, pick);
    QVERIFY2(page.controlError().isEmpty(), qPrintable(page.controlError()));
    auto *tabs = page.findChild<QTabWidget *>(QStringLiteral("SSTabLoghi"));
    QVERIFY(tabs);
    QCOMPARE(tabs->count(), 2);
    for (int i = 0; i < 2; ++i) {
        QWidget *control = child<QWidget>(page, "ritraLogo", i);
        QVERIFY(control);
        QVERIFY(qobject_cast<RitraDispatch *>(control));
        QVERIFY(!control->accessibleName().isEmpty());
        QCOMPARE(child<QPushButton>(page, "cmdBMPLoad", i)->text(), QStringLiteral("Leggi BMP"));
        QCOMPARE(child<QPushButton>(page, "cmdBMResize", i)->text(), QStringLiteral("Ridimensiona"));
        QVERIFY(child<QScrollBar>(page, "HScrBMPZoom", i));
        QVERIFY(child<QLabel>(page, "lbmBMPWidth", i));
        QVERIFY(child<QLabel>(page, "lblBMPHeight", i));
        for (const char *name : {"cmbBMPLarghezza", "cmbBMPAltezza"}) {
            QComboBox *combo = child<QComboBox>(page, name, i);
            QVERIFY(combo);
            QCOMPARE(combo->count(), 3);
            QCOMPARE(combo->itemText(0), QStringLiteral("64"));
            QCOMPARE(combo->itemText(2), QStringLiteral("256"));
            QCOMPARE(combo->currentIndex(), -1);
            QVERIFY(!combo->accessibleName().isEmpty());
        }
    }
    QVERIFY(page.picture(0) && page.picture(1) && !page.picture(2));
    QVERIFY(child<QWidget>(page, "ritraLogo", 0) != child<QWidget>(page, "ritraLogo", 1));
}

void TestLogoPage::loadThresholdsAndStretches() {
    LogoRig rig;
    FilePicker pick;
    LogoPage page(rig.runner, rig.session, rig.prompter, pick);
    const QString file = writeBmp(m_dir, QStringLiteral("t100.bmp"), 100, 60);
    QString filter;
    pick.choose = [&](const QString &f) {
        filter = f;
        return file;
    };
    QSignalSpy busy(&rig.session.runState(), &RunState::busyChanged);
    QTest::mouseClick(child<QPushButton>(page, "cmdBMPLoad", 0), Qt::LeftButton);
    QCOMPARE(filter, QStringLiteral("BMP Files|*.bmp"));
    QCOMPARE(busy.size(), 2); // the busy pointer while the picture is worked on
    QCOMPARE(busy.last().first().toBool(), false);
    QCOMPARE(rig.prompter.shown.size(), 2);
    QVERIFY(rig.prompter.shown.at(0).text.startsWith(QStringLiteral("Il sistema ridimensionerà")));
    QCOMPARE(rig.prompter.shown.at(1).text,
             QStringLiteral("Logo non  a dimensioni standard.\r\nRidimensione automatica"));
    QCOMPARE(child<QLabel>(page, "lbmBMPWidth", 0)->text(), QStringLiteral("Largh.: 100"));
    QCOMPARE(child<QLabel>(page, "lblBMPHeight", 0)->text(), QStringLiteral("Alt.: 60"));
    QCOMPARE(child<QComboBox>(page, "cmbBMPLarghezza", 0)->currentText(), QStringLiteral("128"));
    QCOMPARE(child<QComboBox>(page, "cmbBMPAltezza", 0)->currentText(), QStringLiteral("64"));
    LogoPicture &pic = *page.picture(0);
    QCOMPARE(pictureSize(pic), QSize(128, 64));
    QVERIFY(white(pic, 10, 5));                       // passed the threshold
    QVERIFY(!white(pic, 120, 5));                     // red one short of it
    QVERIFY(white(pic, 120, 26));                     // the white band
    QCOMPARE(pictureSize(*page.picture(1)), QSize()); // the other slot untouched

    // Nothing chosen: the notice, then nothing.
    rig.prompter.shown.clear();
    pick.choose = [](const QString &) { return QString(); };
    QTest::mouseClick(child<QPushButton>(page, "cmdBMPLoad", 0), Qt::LeftButton);
    QCOMPARE(rig.prompter.shown.size(), 1);
    QCOMPARE(pictureSize(pic), QSize(128, 64));
}

void TestLogoPage::unreadableFileKeepsTheLogo() {
    LogoRig rig;
    FilePicker pick;
    LogoPage page(rig.runner, rig.session, rig.prompter, pick);
    const QString good = writeBmp(m_dir, QStringLiteral("g64.bmp"), 64, 64);
    const QString bad = m_dir.filePath(QStringLiteral("four.bmp"));
    QFile f(bad);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(QByteArray("BM\0\0", 4));
    f.close();
    QString next = good;
    pick.choose = [&next](const QString &) { return next; };
    QTest::mouseClick(child<QPushButton>(page, "cmdBMPLoad", 1), Qt::LeftButton);
    LogoPicture &pic = *page.picture(1);
    QCOMPARE(pictureSize(pic), QSize(64, 64));
    QCOMPARE(rig.prompter.shown.size(), 1); // a register size: no resize message
    for (const QString &file : {bad, m_dir.filePath(QStringLiteral("absent.bmp"))}) {
        rig.prompter.shown.clear();
        next = file;
        QTest::mouseClick(child<QPushButton>(page, "cmdBMPLoad", 1), Qt::LeftButton);
        QCOMPARE(rig.prompter.shown.size(), 2);
        QVERIFY(rig.prompter.shown.last().text.startsWith(QStringLiteral("Impossibile leggere il file")));
        QCOMPARE(pictureSize(pic), QSize(64, 64));
        QVERIFY(white(pic, 10, 5));
        QVERIFY(!white(pic, 60, 5));
        QCOMPARE(child<QLabel>(page, "lbmBMPWidth", 1)->text(), QStringLiteral("Largh.: 64"));
    }
}

void TestLogoPage::resizeAndZoom() {
    LogoRig rig;
    FilePicker pick;
    LogoPage page(rig.runner, rig.session, rig.prompter, pick);
    const QString file = writeBmp(m_dir, QStringLiteral("r64.bmp"), 64, 64);
    pick.choose = [&file](const QString &) { return file; };
    QTest::mouseClick(child<QPushButton>(page, "cmdBMPLoad", 0), Qt::LeftButton);
    QComboBox *w = child<QComboBox>(page, "cmbBMPLarghezza", 0);
    QComboBox *h = child<QComboBox>(page, "cmbBMPAltezza", 0);
    w->setCurrentIndex(2);
    h->setEditText(QStringLiteral("100"));
    rig.prompter.shown.clear();
    QTest::mouseClick(child<QPushButton>(page, "cmdBMResize", 0), Qt::LeftButton);
    QVERIFY(rig.prompter.shown.isEmpty());
    QCOMPARE(pictureSize(*page.picture(0)), QSize(256, 100));
    w->setEditText(QStringLiteral("130"));
    QTest::mouseClick(child<QPushButton>(page, "cmdBMResize", 0), Qt::LeftButton);
    w->setEditText(QString());
    QTest::mouseClick(child<QPushButton>(page, "cmdBMResize", 0), Qt::LeftButton);
    QCOMPARE(rig.prompter.count(QStringLiteral("Valore di Larghezza o altezza errato")), 2);
    QCOMPARE(pictureSize(*page.picture(0)), QSize(256, 100));

    auto *control = qobject_cast<RitraDispatch *>(child<QWidget>(page, "ritraLogo", 0));
    child<QScrollBar>(page, "HScrBMPZoom", 0)->setValue(200);
    QVariant zoom;
    QString error;
    QVERIFY(control->invoke(control->dispatchId(QStringLiteral("GetZoomValue")), RitraDispatch::Call::Method,
                            {}, &zoom, &error));
    QCOMPARE(zoom.toInt(), 200);
    QCOMPARE(pictureSize(*page.picture(0)), QSize(256, 100)); // only the view changed
    QTest::mouseClick(child<QPushButton>(page, "cmdBMPLoad", 0), Qt::LeftButton);
    QCOMPARE(child<QScrollBar>(page, "HScrBMPZoom", 0)->value(), 100); // a new picture shows at 100 %
}

void TestLogoPage::modelHidesTheLogosItDoesNotTake() {
    LogoRig rig;
    FilePicker pick;
    LogoPage page(rig.runner, rig.session, rig.prompter, pick);
    auto *tabs = page.findChild<QTabWidget *>(QStringLiteral("SSTabLoghi"));
    QVERIFY(tabs->isTabVisible(0) && tabs->isTabVisible(1)); // row 0 takes both
    ModelRow row;
    row.logo1 = true;
    page.shapeForModel(row);
    QVERIFY(tabs->isTabVisible(0));
    QVERIFY(!tabs->isTabVisible(1));
    row.logo1 = false;
    page.shapeForModel(row);
    QVERIFY(!page.uploadSelected());
    QCOMPARE(rig.prompter.shown.last().text, QStringLiteral("Logo non impostato"));
    QVERIFY(rig.sent().isEmpty());
}

void TestLogoPage::uploadsTheSelectedTab() {
    LogoRig rig;
    FilePicker pick;
    LogoPage page(rig.runner, rig.session, rig.prompter, pick);
    auto *tabs = page.findChild<QTabWidget *>(QStringLiteral("SSTabLoghi"));
    QVERIFY(!page.uploadSelected()); // nothing loaded yet
    QVERIFY(rig.sent().isEmpty());
    const QString file = writeBmp(m_dir, QStringLiteral("u.bmp"), 64, 64);
    pick.choose = [&file](const QString &) { return file; };
    tabs->setCurrentIndex(1);
    QTest::mouseClick(child<QPushButton>(page, "cmdBMPLoad", 1), Qt::LeftButton);
    // The write procedure's button 2 runs the upload.
    WriteProcedure procedure(TableLink{rig.runner, rig.session}, rig.prompter);
    page.installInto(procedure);
    auto *write = page.findChild<QPushButton *>(QStringLiteral("cmdSetParametri_2"));
    QCOMPARE(write->text(), QStringLiteral("Imposta"));
    QTest::mouseClick(write, Qt::LeftButton);
    QCOMPARE(rig.sent().size(), 64);
    QVERIFY(rig.sent().first().startsWith(QStringLiteral("$/2/64/64/1/")));
    QCOMPARE(rig.prompter.shown.last().text, QStringLiteral("Logo Scaricato, ricordarsi di attivarlo"));
    const ecrsim::Logos::Logo &logo = rig.reg.logos().logo(2);
    LogoPicture &pic = *page.picture(1);
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x)
            QCOMPARE(logo.white(x, y), white(pic, x, y));
}

void TestLogoPage::sitsOnTheProgrammingStrip() {
    LogoRig rig;
    FilePicker pick;
    ConfigEcrPage config(rig.runner, rig.session, rig.prompter, rig.link);
    LogoPage *page = LogoPage::insertInto(config, rig.runner, rig.session, rig.prompter, pick);
    auto *strip = config.findChild<QTabWidget *>(QStringLiteral("ssTabConfigECR"));
    QVERIFY(strip);
    QCOMPARE(strip->widget(ConfigEcrPage::LogoTab), page);
    const QString file = writeBmp(m_dir, QStringLiteral("c.bmp"), 64, 64);
    pick.choose = [&file](const QString &) { return file; };
    QTest::mouseClick(child<QPushButton>(*page, "cmdBMPLoad", 0), Qt::LeftButton);
    QSignalSpy busy(&rig.session.runState(), &RunState::busyChanged);
    QTest::mouseClick(page->findChild<QPushButton *>(QStringLiteral("cmdSetParametri_2")), Qt::LeftButton);
    QCOMPARE(rig.sent().size(), 64); // once, through the strip's write procedure
    QCOMPARE(rig.prompter.count(QStringLiteral("Logo Scaricato, ricordarsi di attivarlo")), 1);
    QVERIFY(!busy.isEmpty());
}

void TestLogoPage::roundTripOverAPty() {
    QTemporaryDir dir;
    EcrSimProcess sim(dir.filePath(QStringLiteral("ecr")));
    QVERIFY(sim.start({QStringLiteral("--logos"), dir.path()}));
    SerialComPort port;
    RealClock clock;
    SerialFunz2 link(port, clock, [] { QCoreApplication::processEvents(); });
    QVERIFY2(link.OpenComPort(sim.linkPath(), 115200), qPrintable(port.errorText()));
    Session session;
    Runner runner(session, link);
    testsupport::ScriptedPrompter prompter;
    FilePicker pick;
    LogoPage page(runner, session, prompter, pick);
    const QString file = writeBmp(dir, QStringLiteral("logo.bmp"), 100, 60);
    pick.choose = [&file](const QString &) { return file; };
    QTest::mouseClick(child<QPushButton>(page, "cmdBMPLoad", 0), Qt::LeftButton);
    QVERIFY(page.uploadSelected());
    QCOMPARE(prompter.shown.last().text, QStringLiteral("Logo Scaricato, ricordarsi di attivarlo"));

    QImage stored(dir.filePath(QStringLiteral("logo1.pbm")));
    QCOMPARE(stored.size(), QSize(128, 64));
    LogoPicture &pic = *page.picture(0);
    int blacks = 0;
    for (int y = 0; y < 64; ++y) {
        for (int x = 0; x < 128; ++x) {
            const bool storedWhite = (stored.pixel(x, y) & 0xFFFFFF) == 0xFFFFFF;
            QCOMPARE(storedWhite, white(pic, x, y));
            blacks += storedWhite ? 0 : 1;
        }
    }
    // The source's right part, out of the white band, is black.
    QVERIFY(blacks > 64 * 40 && blacks < 64 * 64);
    QVERIFY((stored.pixel(127, 0) & 0xFFFFFF) == 0);
    QVERIFY((stored.pixel(0, 0) & 0xFFFFFF) == 0xFFFFFF);
}

QTEST_MAIN(TestLogoPage)
#include "tst_logopage.moc"
