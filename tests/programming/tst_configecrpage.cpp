#include "ProgrammingRig.h"

#include "programming/SParameters.h"
#include "programming/widgets/ConfigEcrPage.h"
#include "programming/widgets/DlgPreviewIntestazione.h"
#include "programming/widgets/PluPage.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTableWidget>

using namespace norvvelm;
using Answer = Prompter::Answer;

// The page on the offscreen platform, against the simulated register.
struct PageRig : ProgrammingRig {
    ConfigEcrPage page{runner, session, prompter, link};
    template <typename T> T *find(const QString &name) {
        T *w = page.findChild<T *>(name);
        if (!w)
            qWarning("no control %s", qPrintable(name));
        return w;
    }
    QLineEdit *box(const QString &name) { return find<QLineEdit>(name); }
    void click(const QString &name) {
        QPushButton *b = find<QPushButton>(name);
        QVERIFY(b && b->isEnabled());
        b->click();
    }
};

class TstConfigEcrPage : public QObject {
    Q_OBJECT
private slots:
    void controlsAndActivation();
    void keyFilters();
    void headerAndFooter();
    void vatAndDepartments();
    void plu();
    void paymentsAndTechnician();
    void sParametersAndMessages();
    void shapeAndLogo();
    void preview();
};

void TstConfigEcrPage::controlsAndActivation() {
    PageRig rig;
    auto *tabs = rig.find<QTabWidget>(QStringLiteral("ssTabConfigECR"));
    QVERIFY(tabs);
    QCOMPARE(tabs->count(), 7);
    for (const char *name :
         {"txtHeaderText_11", "txtFooterText_2", "txtIVA_4", "txtDEPTDescription_19", "txtPagDescr_8",
          "txtScrollMSG_9", "txtMaximumS_6", "txtBCWeight_8", "txtBCPriceLead_8", "txtIdECR", "txtNameECR",
          "txtPRTIntensity", "txtPayRateCode"})
        QVERIFY2(rig.box(QString::fromLatin1(name)), name);
    for (const int i : {0, 1, 3, 4, 6, 7, 9, 10})
        QVERIFY(rig.find<QPushButton>(QStringLiteral("cmdSetParametri_%1").arg(i)));
    // Written only after their page was read.
    for (const int i : {3, 6, 9})
        QVERIFY(!rig.find<QPushButton>(QStringLiteral("cmdSetParametri_%1").arg(i))->isEnabled());
    QCOMPARE(rig.find<QComboBox>(QStringLiteral("cmbHeaderFont_0"))->itemText(3),
             QStringLiteral("Doppia Altezza e Larghezza"));
    QCOMPARE(rig.find<QComboBox>(QStringLiteral("cmbFlagS_17"))->count(), 3);
    QCOMPARE(rig.find<QComboBox>(QStringLiteral("cmbDPTCodIVA_0"))->currentIndex(), -1);
    QCOMPARE(rig.find<QTableWidget>(QStringLiteral("fgPLU"))->horizontalHeaderItem(9)->text(),
             QStringLiteral("Tot.Vend"));
    for (int i = 0; i < 4; ++i)
        QVERIFY(rig.find<QProgressBar>(QStringLiteral("pbPLU_%1").arg(i))->isHidden());
    // Every control says what it is.
    for (QWidget *w : rig.page.findChildren<QWidget *>()) {
        if (qobject_cast<QLineEdit *>(w) || qobject_cast<QComboBox *>(w) || qobject_cast<QCheckBox *>(w) ||
            qobject_cast<QPushButton *>(w) || qobject_cast<QRadioButton *>(w)) {
            if (w->parentWidget() && qobject_cast<QComboBox *>(w->parentWidget()))
                continue; // a combo's own editor
            QVERIFY2(!w->accessibleName().isEmpty() || !w->objectName().startsWith(u"qt_"),
                     qPrintable(w->objectName()));
            QVERIFY2(!w->accessibleName().isEmpty(), qPrintable(w->objectName()));
        }
    }

    rig.page.show();
    QVERIFY(QTest::qWaitForWindowExposed(&rig.page));
    rig.page.activateWindow();
    tabs->setCurrentIndex(4);
    rig.page.activate();
    QCOMPARE(tabs->currentIndex(), 0);
    QTRY_COMPARE(QApplication::focusWidget(), rig.box(QStringLiteral("txtHeaderText_0")));
}

void TstConfigEcrPage::keyFilters() {
    PageRig rig;
    QLineEdit *header = rig.box(QStringLiteral("txtHeaderText_0"));
    QTest::keyClicks(header, QStringLiteral("A/B"));
    QCOMPARE(header->text(), QStringLiteral("A\\B"));
    QTest::keyClicks(header, QString(40, u'x'));
    QCOMPARE(header->text().size(), 32);
    QLineEdit *id = rig.box(QStringLiteral("txtIdECR"));
    QTest::keyClicks(id, QStringLiteral("1a2/34"));
    QCOMPARE(id->text(), QStringLiteral("123"));
    QLineEdit *price = rig.box(QStringLiteral("txtBCPriceLead_0"));
    QTest::keyClicks(price, QStringLiteral("a/9"));
    QCOMPARE(price->text(), QStringLiteral("a/")); // no filter there, two characters
    // A read may leave a longer text, which typing cannot lengthen.
    QLineEdit *descr = rig.box(QStringLiteral("txtPagDescr_0"));
    descr->setText(QStringLiteral("CARTA DI CREDITO"));
    QTest::keyClicks(descr, QStringLiteral("X"));
    QCOMPARE(descr->text(), QStringLiteral("CARTA DI CREDITO"));
    QTest::keyClick(descr, Qt::Key_Backspace);
    QCOMPARE(descr->text(), QStringLiteral("CARTA DI CREDIT"));
}

void TstConfigEcrPage::headerAndFooter() {
    PageRig rig;
    QTest::keyClicks(rig.box(QStringLiteral("txtHeaderText_0")), QStringLiteral("BAR"));
    rig.find<QComboBox>(QStringLiteral("cmbHeaderAlign_0"))->setCurrentIndex(2);
    rig.find<QComboBox>(QStringLiteral("cmbHeaderFont_0"))->setCurrentIndex(2);
    rig.prompter.script = {Answer::Ok};
    rig.click(QStringLiteral("cmdSetParametri_0"));
    QCOMPARE(rig.texts().last(), QStringLiteral("Intestazione Scaricata"));
    QCOMPARE(rig.reg.tables.header[0].font, 3);
    QCOMPARE(rig.reg.tables.header[0].text, QString(6, u' ') + u"BAR" + QString(7, u' '));
    QVERIFY(!rig.session.runState().busy()); // the busy pointer is gone again

    QTest::keyClicks(rig.box(QStringLiteral("txtFooterText_1")), QStringLiteral("CIAO"));
    rig.click(QStringLiteral("cmdSetParametri_1"));
    QCOMPARE(rig.reg.tables.footer[1].text, QStringLiteral("CIAO") + QString(28, u' '));

    rig.page.clearRegisterData();
    QCOMPARE(rig.box(QStringLiteral("txtHeaderText_0"))->text(), QString());
    rig.click(QStringLiteral("cmdRecHeader"));
    QCOMPARE(rig.box(QStringLiteral("txtHeaderText_0"))->text(), QStringLiteral("BAR"));
    QCOMPARE(rig.find<QComboBox>(QStringLiteral("cmbHeaderFont_0"))->currentIndex(), 2);
    rig.click(QStringLiteral("cmdReadPiede"));
    QCOMPARE(rig.box(QStringLiteral("txtFooterText_1"))->text(), QStringLiteral("CIAO"));
}

void TstConfigEcrPage::vatAndDepartments() {
    PageRig rig;
    rig.click(QStringLiteral("cmdreadParmIVAREP"));
    QCOMPARE(rig.box(QStringLiteral("txtIVA_2"))->text(), QStringLiteral("20.00"));
    QCOMPARE(rig.box(QStringLiteral("txtDEPTDescription_1"))->text(), QStringLiteral("REPARTO 2"));
    QCOMPARE(rig.find<QComboBox>(QStringLiteral("cmbDPTCodIVA_1"))->currentIndex(), 1);
    QVERIFY(rig.find<QPushButton>(QStringLiteral("cmdSetParametri_3"))->isEnabled());
    rig.box(QStringLiteral("txtDEPTDescription_1"))->setText(QStringLiteral("PANE"));
    rig.find<QComboBox>(QStringLiteral("cmbDPTCodIVA_1"))->setCurrentIndex(3);
    rig.click(QStringLiteral("cmdSetParametri_3"));
    QCOMPARE(rig.texts().last(), QStringLiteral("Reparti scaricati"));
    QCOMPARE(rig.reg.tables.departments[1], QStringLiteral("PANE"));
    QCOMPARE(rig.reg.departmentRate(2), 4);

    rig.box(QStringLiteral("txtIVA_4"))->setText(QStringLiteral("5"));
    rig.prompter.script = {Answer::Ok};
    rig.click(QStringLiteral("cmdSetParametri_10"));
    QCOMPARE(rig.reg.vatRates().at(4), QByteArray("5.00"));
    // An empty rate is refused before the question: nothing is sent.
    rig.box(QStringLiteral("txtIVA_1"))->clear();
    const qsizetype questions = rig.prompter.shown.size();
    rig.click(QStringLiteral("cmdSetParametri_10"));
    QCOMPARE(rig.prompter.shown.size(), questions + 1);
    QVERIFY(rig.texts().last().startsWith(QStringLiteral("Aliquota IVA 2 vuota: nessuna aliquota inviata.")));
    QCOMPARE(rig.sent("b/").size(), 1);
    QCOMPARE(rig.reg.vatRates().at(1), QByteArray("10.00"));

    rig.click(QStringLiteral("cmdDPTClear"));
    QCOMPARE(rig.box(QStringLiteral("txtDEPTDescription_1"))->text(), QString());
    QCOMPARE(rig.find<QComboBox>(QStringLiteral("cmbDPTCodIVA_1"))->currentIndex(), 3);
    QVERIFY(!rig.find<QPushButton>(QStringLiteral("cmdSetParametri_3"))->isEnabled());
}

void TstConfigEcrPage::plu() {
    PageRig rig;
    for (int n = 1; n <= 3; ++n)
        rig.reg.tables.plus.insert(
            n, {QStringLiteral("800%1").arg(n), QStringLiteral("ART"), 1, "0", "00000000", 100 * n});
    auto *grid = rig.find<QTableWidget>(QStringLiteral("fgPLU"));
    rig.click(QStringLiteral("cmdReadPLU"));
    QCOMPARE(grid->rowCount(), 3);
    QCOMPARE(grid->item(1, 4)->text(), QStringLiteral("2"));
    QVERIFY(rig.find<QProgressBar>(QStringLiteral("pbPLU_0"))->isHidden());
    // A price changed in place, the counters not editable.
    QVERIFY(grid->item(0, 4)->flags() & Qt::ItemIsEditable);
    QVERIFY(!(grid->item(0, 8)->flags() & Qt::ItemIsEditable));
    grid->item(0, 4)->setText(QStringLiteral("1,50"));
    grid->item(2, 4)->setText(QStringLiteral("0.50"));
    rig.click(QStringLiteral("cmdSetParametri_4"));
    QCOMPARE(grid->item(0, 4)->text(), QStringLiteral("1"));
    QCOMPARE(grid->item(2, 4)->text(), QStringLiteral(".5"));
    QCOMPARE(rig.reg.tables.plus[3].price, 50);
    QCOMPARE(rig.texts().last(), QStringLiteral("PLU scaricate"));

    // Save, then load it twice: appended, every record kept.
    auto *page = rig.page.findChild<PluPage *>();
    const QString path = rig.dir.filePath(QStringLiteral("plu.txt"));
    QString asked, offered;
    page->askFileName = [&](const QString &prompt, const QString &, const QString &def) {
        asked = prompt;
        offered = def;
        return path;
    };
    rig.click(QStringLiteral("cmdPLUSalvaFile"));
    QCOMPARE(asked, QStringLiteral("Indicare il nome del file PLU"));
    QCOMPARE(offered, path);
    QVERIFY(QFile::exists(path));
    rig.click(QStringLiteral("cmdPLUSalvaFile"));
    QCOMPARE(rig.texts().last(), QString::fromUtf8("File già esistente"));
    rig.click(QStringLiteral("cmdPLULeggiFile"));
    QCOMPARE(grid->rowCount(), 6);
    QCOMPARE(grid->item(5, 0)->text(), QStringLiteral("8003"));
    QCOMPARE(grid->item(5, 8)->text(), QString());
    page->askFileName = [&](const QString &, const QString &, const QString &) {
        return rig.dir.filePath(QStringLiteral("none.txt"));
    };
    rig.click(QStringLiteral("cmdPLULeggiFile"));
    QCOMPARE(rig.texts().last(), QStringLiteral("File Inesistente"));
    QCOMPARE(grid->rowCount(), 6);
    rig.click(QStringLiteral("cmdCancellaPLU"));
    QCOMPARE(grid->rowCount(), 0);
}

void TstConfigEcrPage::paymentsAndTechnician() {
    PageRig rig;
    QVERIFY(!rig.find<QCheckBox>(QStringLiteral("chkPagCrediti_0"))->isEnabled());
    rig.session.runState().setTechnicianMode(true);
    QVERIFY(rig.find<QCheckBox>(QStringLiteral("chkPagCrediti_0"))->isEnabled());
    rig.find<QCheckBox>(QStringLiteral("chkPagCrediti_3"))->setChecked(true);
    rig.click(QStringLiteral("cmdReadPagamenti"));
    QCOMPARE(rig.box(QStringLiteral("txtPagDescr_3"))->text(), QStringLiteral("CARTA DI CREDITO"));
    QVERIFY(rig.find<QCheckBox>(QStringLiteral("chkPagAttivo_3"))->isChecked());
    QVERIFY(rig.find<QCheckBox>(QStringLiteral("chkPagCrediti_3"))->isChecked()); // a read leaves it
    QVERIFY(rig.find<QCheckBox>(QStringLiteral("chkPagResto_0"))->isChecked());
    rig.click(QStringLiteral("cmdSetParametri_6"));
    QCOMPARE(rig.reg.tables.payments[3].description, QStringLiteral("CREDITO"));
    QCOMPARE(rig.reg.tables.payments[3].credit, 1);
    rig.click(QStringLiteral("cmdClearPagamenti"));
    QCOMPARE(rig.box(QStringLiteral("txtPagDescr_3"))->text(), QString());
    QVERIFY(!rig.find<QCheckBox>(QStringLiteral("chkPagAttivo_3"))->isChecked());
    QVERIFY(!rig.find<QPushButton>(QStringLiteral("cmdSetParametri_6"))->isEnabled());
}

void TstConfigEcrPage::sParametersAndMessages() {
    PageRig rig;
    rig.prompter.script = {Answer::No};
    rig.click(QStringLiteral("cmdResetParmS"));
    QVERIFY(!rig.find<QPushButton>(QStringLiteral("cmdSetParametri_9"))->isEnabled());
    rig.prompter.script = {Answer::Yes};
    rig.click(QStringLiteral("cmdResetParmS"));
    QCOMPARE(rig.texts().last(), QStringLiteral("Parametri S ripristinati a default ma non salvati."));
    QCOMPARE(rig.session.lastExchange().lastAnswer(), SParameters::defaultAnswer());
    QCOMPARE(rig.find<QComboBox>(QStringLiteral("cmbFlagS_4"))->currentIndex(), 1);
    QCOMPARE(rig.box(QStringLiteral("txtMaximumS_0"))->text(), QStringLiteral("999999"));
    QCOMPARE(rig.box(QStringLiteral("txtNameECR"))->text(), QStringLiteral("CASSA -1"));
    rig.find<QComboBox>(QStringLiteral("cmbFlagS_0"))->setCurrentIndex(-1);
    rig.click(QStringLiteral("cmdSetParametri_9"));
    QCOMPARE(rig.sent("S/").last().left(30), QStringLiteral("S/00001100001000000001000000/9"));
    rig.box(QStringLiteral("txtNameECR"))->clear();
    rig.click(QStringLiteral("CmdReadParamS"));
    QCOMPARE(rig.box(QStringLiteral("txtNameECR"))->text(), QStringLiteral("CASSA -1"));
    rig.link.CloseComPort();
    rig.click(QStringLiteral("CmdReadParamS"));
    QVERIFY(!rig.find<QPushButton>(QStringLiteral("cmdSetParametri_9"))->isEnabled());
    rig.link.OpenComPort(QStringLiteral("/dev/sim"), 9600);

    rig.box(QStringLiteral("txtScrollMSG_2"))->setText(QStringLiteral("OFFERTA"));
    rig.find<QRadioButton>(QStringLiteral("optScrollMSGEnable_2"))->setChecked(true);
    rig.click(QStringLiteral("cmdSetParametri_7"));
    QCOMPARE(rig.reg.tables.scrollMessage, QStringLiteral("OFFERTA"));
    rig.box(QStringLiteral("txtScrollMSG_2"))->clear();
    rig.click(QStringLiteral("cmdReadScrolMSG"));
    QCOMPARE(rig.box(QStringLiteral("txtScrollMSG_2"))->text(), QStringLiteral("OFFERTA"));
}

void TstConfigEcrPage::shapeAndLogo() {
    PageRig rig;
    ModelRow small = rig.session.settings().models().rows[0];
    small.headerLines = 5;
    small.paymentRows = 4;
    small.messageRows = 2;
    small.sFlags.reset(7);
    rig.page.shapeTo(small);
    QVERIFY(!rig.box(QStringLiteral("txtHeaderText_4"))->isHidden());
    QVERIFY(rig.box(QStringLiteral("txtHeaderText_5"))->isHidden());
    QVERIFY(rig.box(QStringLiteral("txtPagDescr_4"))->isHidden());
    QVERIFY(rig.box(QStringLiteral("txtScrollMSG_2"))->isHidden());
    QVERIFY(rig.find<QComboBox>(QStringLiteral("cmbFlagS_7"))->isHidden());
    QVERIFY(!rig.find<QComboBox>(QStringLiteral("cmbFlagS_8"))->isHidden());
    // Hidden header rows are still sent.
    rig.box(QStringLiteral("txtHeaderText_11"))->setText(QStringLiteral("ULTIMA"));
    rig.prompter.script = {Answer::Ok};
    rig.click(QStringLiteral("cmdSetParametri_0"));
    QVERIFY(rig.reg.tables.header[11].text.startsWith(u"ULTIMA"));
    rig.page.shapeToModel(); // no model selected: row 0, everything shown
    QVERIFY(!rig.box(QStringLiteral("txtHeaderText_11"))->isHidden());

    // The logo page goes in at its place, with its branch.
    auto *logo = new QWidget;
    auto *send = new QPushButton(QStringLiteral("Imposta"), logo);
    send->setObjectName(QStringLiteral("cmdSetParametri_2"));
    int sent = 0;
    rig.page.insertLogoPage(logo, QStringLiteral("Logo"), [&] { ++sent; });
    QCOMPARE(rig.page.tabs()->indexOf(logo), int(ConfigEcrPage::LogoTab));
    QCOMPARE(rig.page.tabs()->count(), 8);
    send->click();
    QCOMPARE(sent, 1);
}

void TstConfigEcrPage::preview() {
    QList<PrintRow> rows(12);
    rows[0] = {QStringLiteral("BAR"), 2, 2};
    rows[1] = {QStringLiteral("VIA"), 1, 1};
    DlgPreviewIntestazione dlg(rows);
    auto *first = dlg.findChild<QLineEdit *>(QStringLiteral("txtHeader1_0"));
    auto *second = dlg.findChild<QLineEdit *>(QStringLiteral("txtHeader1_1"));
    QVERIFY(first && second && dlg.findChild<QPushButton *>(QStringLiteral("OKButton")));
    QCOMPARE(first->text(), QStringLiteral("BAR"));
    QCOMPARE(first->alignment() & Qt::AlignHorizontal_Mask, Qt::AlignHCenter);
    QVERIFY(first->font().bold());
    QCOMPARE(first->font().pointSize(), 13);
    QCOMPARE(second->font().pointSize(), 38);
    QCOMPARE(second->alignment() & Qt::AlignHorizontal_Mask, Qt::AlignRight);
    // Each row moves the next down by its step: 30 twips, then 280.
    QCOMPARE(second->y() - first->y(), 19);
}

QTEST_MAIN(TstConfigEcrPage)
#include "tst_configecrpage.moc"
