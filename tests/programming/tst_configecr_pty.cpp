// The programming pages over a real pseudo-terminal against the ecrsim
// program: what each page writes is in the register's state file, the header
// and footer on its paper, and every table is still there after a restart.

#include "commands/Runner.h"
#include "commands/Session.h"
#include "link/SerialComPort.h"
#include "link/SerialFunz2.h"
#include "programming/widgets/ConfigEcrPage.h"
#include "support/PtyLinkRig.h"
#include "support/ScriptedPrompter.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>

using namespace norvvelm;
using Answer = Prompter::Answer;

namespace {

struct PtyRig : PtyLinkRig {
    std::unique_ptr<ConfigEcrPage> page;

    QString state() const { return dir.filePath(QStringLiteral("state.json")); }
    bool start() {
        session.settings().setProgramDir(dir.path());
        page = std::make_unique<ConfigEcrPage>(runner, session, prompter, link);
        return startAndOpen({QStringLiteral("--state"), state(), QStringLiteral("--paper"), paper()});
    }
    bool restart() {
        link.CloseComPort();
        sim.stop();
        return sim.start({QStringLiteral("--state"), state()}) && link.OpenComPort(sim.linkPath(), 9600);
    }
    QJsonObject tables() const {
        QFile f(state());
        return f.open(QIODevice::ReadOnly) ? QJsonDocument::fromJson(f.readAll()).object() : QJsonObject();
    }
    template <typename T> T *find(const QString &name) const { return page->findChild<T *>(name); }
    QLineEdit *box(const QString &name) const { return find<QLineEdit>(name); }
    void click(const QString &name) {
        auto *b = find<QPushButton>(name);
        QVERIFY2(b && b->isEnabled(), qPrintable(name));
        b->click();
    }
    QString lastMessage() const { return prompter.shown.isEmpty() ? QString() : prompter.shown.last().text; }
};

} // namespace

class TstConfigEcrPty : public QObject {
    Q_OBJECT
private slots:
    void headerAndFooterOnPaper();
    void vatAndDepartments();
    void plu();
    void payments();
    void messagesAndS();
};

void TstConfigEcrPty::headerAndFooterOnPaper() {
    PtyRig rig;
    QVERIFY(rig.start());
    rig.box(QStringLiteral("txtHeaderText_0"))->setText(QStringLiteral("PASTICCERIA"));
    rig.find<QComboBox>(QStringLiteral("cmbHeaderAlign_0"))->setCurrentIndex(2);
    rig.box(QStringLiteral("txtFooterText_0"))->setText(QStringLiteral("A PRESTO"));
    rig.find<QComboBox>(QStringLiteral("cmbFooterAlign_0"))->setCurrentIndex(1);
    rig.prompter.script = {Answer::Ok};
    rig.click(QStringLiteral("cmdSetParametri_0"));
    QCOMPARE(rig.lastMessage(), QStringLiteral("Intestazione Scaricata"));
    rig.click(QStringLiteral("cmdSetParametri_1"));
    QCOMPARE(rig.lastMessage(), QStringLiteral("Piede di scontrino scaricato"));
    QCOMPARE(rig.runner.SendAndCheck(QStringLiteral("3/S/TORTA//1/12.00/1//")), 0);
    QCOMPARE(rig.runner.SendAndCheck(QStringLiteral("5/1/0.00/////")), 0);
    QTRY_VERIFY(QFileInfo(rig.paper()).size() > 0);
    QFile paper(rig.paper());
    QVERIFY(paper.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(paper.readAll());
    QVERIFY(text.startsWith(QString(10, u' ') + u"PASTICCERIA"));
    QVERIFY(text.contains(QString(24, u' ') + u"A PRESTO"));
    QVERIFY(rig.restart());
    QCOMPARE(rig.tables()[u"tables"][u"header"][0][u"text"].toString().trimmed(),
             QStringLiteral("PASTICCERIA"));
}

void TstConfigEcrPty::vatAndDepartments() {
    PtyRig rig;
    QVERIFY(rig.start());
    rig.click(QStringLiteral("cmdreadParmIVAREP"));
    QCOMPARE(rig.box(QStringLiteral("txtIVA_0"))->text(), QStringLiteral("4.00"));
    QCOMPARE(rig.session.settings().vatTable()[0], 4);
    rig.box(QStringLiteral("txtDEPTDescription_4"))->setText(QStringLiteral("GELATI"));
    rig.find<QComboBox>(QStringLiteral("cmbDPTCodIVA_4"))->setCurrentIndex(2);
    rig.click(QStringLiteral("cmdSetParametri_3"));
    QCOMPARE(rig.lastMessage(), QStringLiteral("Reparti scaricati"));
    rig.box(QStringLiteral("txtIVA_3"))->setText(QStringLiteral("5"));
    rig.prompter.script = {Answer::Ok};
    rig.click(QStringLiteral("cmdSetParametri_10"));
    QCOMPARE(rig.lastMessage(), QStringLiteral("Aliquote IVA scaricate"));
    QVERIFY(rig.restart());
    rig.page->clearRegisterData();
    rig.click(QStringLiteral("cmdreadParmIVAREP"));
    QCOMPARE(rig.box(QStringLiteral("txtDEPTDescription_4"))->text(), QStringLiteral("GELATI"));
    QCOMPARE(rig.find<QComboBox>(QStringLiteral("cmbDPTCodIVA_4"))->currentIndex(), 2);
    QCOMPARE(rig.box(QStringLiteral("txtIVA_3"))->text(), QStringLiteral("5.00"));
}

void TstConfigEcrPty::plu() {
    PtyRig rig;
    QVERIFY(rig.start());
    auto *grid = rig.find<QTableWidget>(QStringLiteral("fgPLU"));
    grid->setRowCount(2);
    const QStringList a = QStringList{QStringLiteral("8001"), QStringLiteral("CORNETTO"), QStringLiteral("1"),
                                      QStringLiteral("0"),    QStringLiteral("1,20"),     QStringLiteral("0"),
                                      QStringLiteral("10"),   QStringLiteral("00000000")};
    const QStringList b =
        QStringList{QStringLiteral("8002"), QStringLiteral("CAPPUCCINO"), QStringLiteral("2"),
                    QStringLiteral("0"),    QStringLiteral("1.50"),       QStringLiteral("0"),
                    QStringLiteral("5"),    QStringLiteral("00000000")};
    for (int c = 0; c < 8; ++c) {
        grid->setItem(0, c, new QTableWidgetItem(a[c]));
        grid->setItem(1, c, new QTableWidgetItem(b[c]));
    }
    rig.click(QStringLiteral("cmdSetParametri_4"));
    QCOMPARE(rig.lastMessage(), QStringLiteral("PLU scaricate"));
    QCOMPARE(grid->item(0, 4)->text(), QStringLiteral("1"));
    QVERIFY(rig.restart());
    rig.click(QStringLiteral("cmdCancellaPLU"));
    rig.click(QStringLiteral("cmdReadPLU"));
    QCOMPARE(grid->rowCount(), 2);
    QCOMPARE(grid->item(1, 1)->text(), QStringLiteral("CAPPUCCINO"));
    QCOMPARE(grid->item(1, 4)->text(), QStringLiteral("1.5"));
}

void TstConfigEcrPty::payments() {
    PtyRig rig;
    QVERIFY(rig.start());
    rig.click(QStringLiteral("cmdReadPagamenti"));
    QCOMPARE(rig.box(QStringLiteral("txtPagDescr_0"))->text(), QStringLiteral("CONTANTI"));
    rig.box(QStringLiteral("txtPagDescr_6"))->setText(QStringLiteral("BUONI"));
    rig.find<QCheckBox>(QStringLiteral("chkPagDecimali_6"))->setChecked(true);
    rig.click(QStringLiteral("cmdSetParametri_6"));
    QCOMPARE(rig.lastMessage(), QStringLiteral("Tabella pagamenti scaricate"));
    QVERIFY(rig.restart());
    rig.click(QStringLiteral("cmdClearPagamenti"));
    rig.click(QStringLiteral("cmdReadPagamenti"));
    QCOMPARE(rig.box(QStringLiteral("txtPagDescr_6"))->text(), QStringLiteral("BUONI"));
    QVERIFY(rig.find<QCheckBox>(QStringLiteral("chkPagDecimali_6"))->isChecked());
    QCOMPARE(rig.box(QStringLiteral("txtPagDescr_3"))->text(), QStringLiteral("CREDITO"));
}

void TstConfigEcrPty::messagesAndS() {
    PtyRig rig;
    QVERIFY(rig.start());
    rig.box(QStringLiteral("txtScrollMSG_0"))->setText(QStringLiteral("BUONE FESTE"));
    rig.find<QRadioButton>(QStringLiteral("optScrollMSGEnable_0"))->setChecked(true);
    rig.click(QStringLiteral("cmdSetParametri_7"));
    rig.click(QStringLiteral("CmdReadParamS"));
    QCOMPARE(rig.box(QStringLiteral("txtNameECR"))->text(), QStringLiteral("CASSA -1"));
    rig.box(QStringLiteral("txtNameECR"))->setText(QStringLiteral("BANCO 2"));
    rig.find<QComboBox>(QStringLiteral("cmbFlagS_22"))->setCurrentIndex(1);
    rig.click(QStringLiteral("cmdSetParametri_9"));
    QCOMPARE(rig.lastMessage(), QStringLiteral("Parametri S scaricati"));
    QVERIFY(rig.restart());
    QCOMPARE(rig.tables()[u"tables"][u"scrollMessage"].toString(), QStringLiteral("BUONE FESTE"));
    rig.box(QStringLiteral("txtNameECR"))->clear();
    rig.find<QComboBox>(QStringLiteral("cmbFlagS_22"))->setCurrentIndex(0);
    rig.click(QStringLiteral("CmdReadParamS"));
    QCOMPARE(rig.box(QStringLiteral("txtNameECR"))->text(), QStringLiteral("BANCO 2"));
    QCOMPARE(rig.find<QComboBox>(QStringLiteral("cmbFlagS_22"))->currentIndex(), 1);
}

QTEST_MAIN(TstConfigEcrPty)
#include "tst_configecr_pty.moc"
