// An invoice and a credit note worked through the register page's buttons
// and dialogs against the ecrsim program over a real pseudo-terminal: what
// its paper shows.

#include "commands/Runner.h"
#include "commands/Session.h"
#include "console/OperatorConsole.h"
#include "console/widgets/RegisterPage.h"
#include "link/SerialComPort.h"
#include "link/SerialFunz2.h"
#include "support/PtyLinkRig.h"
#include "support/ScriptedPrompter.h"
#include "support/TestFiles.h"

#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

using namespace norvvelm;

namespace {

struct PtyRig : PtyLinkRig {
    OperatorConsole console{session, link, runner, prompter};
    std::unique_ptr<RegisterPage> page;

    bool start() {
        page = std::make_unique<RegisterPage>(console);
        return startAndOpen({QStringLiteral("--paper"), paper()});
    }
    void click(const QString &name) {
        auto *b = page->findChild<QPushButton *>(name);
        QVERIFY2(b, qPrintable(name));
        b->click();
    }
    void keys(std::initializer_list<int> indices) {
        for (const int i : indices)
            click(QStringLiteral("cmdECR_") + QString::number(i));
    }
    QString printed() const { return QString::fromUtf8(testsupport::readFile(paper())); }
};

// Fills the next modal dialog's boxes by name and presses OK.
void fillNextDialog(const QList<QPair<QString, QString>> &fields) {
    auto *timer = new QTimer;
    timer->setInterval(5);
    QObject::connect(timer, &QTimer::timeout, timer, [timer, fields] {
        auto *d = qobject_cast<QDialog *>(QApplication::activeModalWidget());
        if (!d || !d->isVisible())
            return;
        timer->stop();
        timer->deleteLater();
        for (const auto &[name, text] : fields)
            QTest::keyClicks(d->findChild<QLineEdit *>(name), text);
        d->findChild<QPushButton *>(QStringLiteral("cmdButton_1"))->click();
    });
    timer->start();
}

} // namespace

class TestConsolePty : public QObject {
    Q_OBJECT
private slots:
    void invoiceAndCreditNote();
};

void TestConsolePty::invoiceAndCreditNote() {
    PtyRig rig;
    QVERIFY(rig.start());
    rig.keys({7}); // Clear: the display copy is read
    QVERIFY(rig.page->findChild<QLabel *>(QStringLiteral("LblDisp1_0"))
                ->text()
                .startsWith(QStringLiteral("0,00")));

    fillNextDialog({{QStringLiteral("TxtPIva"), QStringLiteral("01234567897")},
                    {QStringLiteral("TxtRiga_0"), QStringLiteral("VERDI SPA")},
                    {QStringLiteral("TxtRiga_1"), QStringLiteral("CORSO ITALIA 8")},
                    {QStringLiteral("TxtRiga_2"), QStringLiteral("20122")},
                    {QStringLiteral("TxtRiga_3"), QStringLiteral("MILANO")}});
    rig.click(QStringLiteral("CmdFat"));
    QCOMPARE(rig.session.lastStatus(), 0);
    rig.keys({19, 17, 21, 21, 41, 40, 43}); // 2 5 0 0 REP-01 Sub Totale Contanti
    QTRY_VERIFY(rig.printed().contains(QStringLiteral("FATTURA N. 1")));
    QString paper = rig.printed();
    QVERIFY2(paper.contains(
                 QStringLiteral("P.IVA 01234567897\nSPETT.LE\nVERDI SPA\nCORSO ITALIA 8\n20122\nMILANO\n")),
             qPrintable(paper));
    QVERIFY(paper.contains(QStringLiteral("TOTALE EURO                25,00")));
    QVERIFY(!rig.console.pending().invoicePending);

    fillNextDialog({{QStringLiteral("TxtPratica"), QStringLiteral("45-2026")},
                    {QStringLiteral("TxtRifer"), QStringLiteral("RIF. FATTURA 1")}});
    rig.click(QStringLiteral("CmdNotaCredito"));
    QCOMPARE(rig.session.lastStatus(), 0);
    rig.keys({17, 21, 21, 41, 43}); // 5 0 0 REP-01 Contanti
    QTRY_VERIFY(rig.printed().contains(QStringLiteral("NOTA DI CREDITO N. 1")));
    paper = rig.printed();
    QVERIFY(paper.contains(QStringLiteral("PRATICA N. 45-2026")));
    QVERIFY(paper.contains(QStringLiteral("RIF. FATTURA 1\n")));
    QVERIFY(rig.page->findChild<QLabel *>(QStringLiteral("LblDisp1_0"))
                ->text()
                .startsWith(QStringLiteral("0,00")));
    QVERIFY(rig.prompter.shown.isEmpty());
}

QTEST_MAIN(TestConsolePty)
#include "tst_console_pty.moc"
