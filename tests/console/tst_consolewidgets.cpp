// The console's widgets on the offscreen platform, found by objectName, on
// the simulated register in memory.

#include "ConsoleRig.h"
#include "console/widgets/ConsoleDialog.h"
#include "console/widgets/FieldLineEdit.h"
#include "console/widgets/RegisterPage.h"
#include "console/widgets/VirtualKeyboard.h"
#include "support/FontAdvance.h"

#include <QAccessible>
#include <QApplication>
#include <QDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

using norvvelm::OperatorConsole;

namespace {

// Runs `work` on the next modal dialog once it is shown (the dialog runs its
// own event loop inside the click).
void onDialog(std::function<void(QDialog *)> work) {
    auto *timer = new QTimer;
    timer->setInterval(5);
    QObject::connect(timer, &QTimer::timeout, timer, [timer, work] {
        auto *d = qobject_cast<QDialog *>(QApplication::activeModalWidget());
        if (!d || !d->isVisible())
            return;
        timer->stop();
        timer->deleteLater();
        work(d);
    });
    timer->start();
}

QPushButton *dialogButton(QDialog *d, int index) {
    return d->findChild<QPushButton *>(QStringLiteral("cmdButton_") + QString::number(index));
}

} // namespace

class TestConsoleWidgets : public QObject {
    Q_OBJECT
private slots:
    void controlsFromTheTables();
    void keysAndDisplay();
    void pcKeyboardPressesRegisterKeys();
    void taxCodeDialog();
    void invoiceThroughTheDialog();
    void creditNoteDialog();
};

void TestConsoleWidgets::controlsFromTheTables() {
    ConsoleRig rig;
    norvvelm::RegisterPage page(rig.console);
    norvvelm::VirtualKeyboard keyboard(rig.console);
    for (const norvvelm::RegisterKey &k : norvvelm::RegisterPanelKeys()) {
        auto *b = page.findChild<QPushButton *>(QStringLiteral("cmdECR_") + QString::number(k.index));
        QVERIFY2(b, qPrintable(k.caption));
        QCOMPARE(b->text(), k.caption);
        QCOMPARE(b->property("Tag").toString(), k.tag);
        QCOMPARE(b->parentWidget()->objectName() == QLatin1String("frmProgrammazione"), k.programming);
    }
    QVERIFY(!page.findChild<QPushButton *>(QStringLiteral("cmdECR_28")));
    QCOMPARE(page.findChild<QGroupBox *>(QStringLiteral("frmProgrammazione"))->title(),
             QStringLiteral("Programmazione"));
    QCOMPARE(page.findChild<QPushButton *>(QStringLiteral("cmdECR_13"))->toolTip(),
             QStringLiteral("Tasto programmabile dal tecnico"));
    QCOMPARE(page.findChild<QPushButton *>(QStringLiteral("Command1"))->text(), QStringLiteral("Prelievi"));
    QCOMPARE(page.findChild<QPushButton *>(QStringLiteral("Command1"))->property("Tag").toString(),
             QStringLiteral("6/1/"));
    QCOMPARE(page.findChild<QPushButton *>(QStringLiteral("CmdFat"))->text(), QStringLiteral("FATTURA"));
    QCOMPARE(page.findChild<QPushButton *>(QStringLiteral("cmdDemoTicket_5"))->text(),
             QStringLiteral("Nota di Credito"));
    QVERIFY(page.findChild<QPushButton *>(QStringLiteral("cmdDGFE_0"))->isEnabled());
    QVERIFY(!page.findChild<QPushButton *>(QStringLiteral("cmdDGFE_3"))->isEnabled());
    for (int i = 0; i < 2; ++i) {
        auto *l = page.findChild<QLabel *>(QStringLiteral("LblDisp1_") + QString::number(i));
        QVERIFY(l);
        QCOMPARE(testsupport::unevenCharacters(l->font()), QString());
    }
    for (int i = 0; i < 2; ++i) {
        auto *t = keyboard.findChild<QLineEdit *>(QStringLiteral("txtVirtDSP_") + QString::number(i));
        QCOMPARE(testsupport::unevenCharacters(t->font()), QString());
    }
    QVERIFY(!keyboard.findChild<QPushButton *>(QStringLiteral("cmdVirtKBD_29")));
    QVERIFY(!keyboard.findChild<QPushButton *>(QStringLiteral("cmdVirtKBD_24"))->isEnabled());
    QVERIFY(keyboard.findChild<QPushButton *>(QStringLiteral("cmdVirtKBD_34"))->isEnabled());
    QVERIFY(keyboard.findChild<QLineEdit *>(QStringLiteral("txtVirtDSP_1"))->isReadOnly());
    // Every control has a name and an accessible name, none twice.
    QStringList names;
    for (QWidget *root : {static_cast<QWidget *>(&page), static_cast<QWidget *>(&keyboard)}) {
        for (QWidget *c : root->findChildren<QWidget *>()) {
            if (!qobject_cast<QPushButton *>(c) && !qobject_cast<QLineEdit *>(c) &&
                !qobject_cast<QLabel *>(c))
                continue;
            QVERIFY2(!c->objectName().isEmpty(), c->metaObject()->className());
            QVERIFY2(!c->accessibleName().isEmpty(), qPrintable(c->objectName()));
            QVERIFY2(!names.contains(c->objectName()), qPrintable(c->objectName()));
            names.append(c->objectName());
        }
    }
}

void TestConsoleWidgets::keysAndDisplay() {
    ConsoleRig rig;
    norvvelm::RegisterPage page(rig.console);
    norvvelm::VirtualKeyboard keyboard(rig.console);
    const auto spoken = [](QWidget *w) {
        return QAccessible::queryAccessibleInterface(w)->text(QAccessible::Name);
    };
    auto *top = page.findChild<QLabel *>(QStringLiteral("LblDisp1_0"));
    QCOMPARE(spoken(top), QStringLiteral("Display riga 1"));
    for (const int i : {18, 17, 21, 41}) // 1 5 0 REP-01
        page.findChild<QPushButton *>(QStringLiteral("cmdECR_") + QString::number(i))->click();
    QCOMPARE(top->text().left(5), QStringLiteral("1,50 "));
    // A screen reader hears the display with its name.
    QCOMPARE(spoken(top), QStringLiteral("Display riga 1: ") + top->text().trimmed());
    keyboard.findChild<QPushButton *>(QStringLiteral("cmdVirtKBD_31"))->click(); // disabled: nothing
    keyboard.findChild<QPushButton *>(QStringLiteral("cmdVirtKBD_34"))->click(); // Contanti
    auto *virtualTop = keyboard.findChild<QLineEdit *>(QStringLiteral("txtVirtDSP_0"));
    QVERIFY(virtualTop->text().startsWith(QStringLiteral("0,00")));
    QCOMPARE(spoken(virtualTop), QStringLiteral("Display riga 1: ") + virtualTop->text().trimmed());
    QVERIFY(!rig.reg.receiptOpen());
    page.findChild<QPushButton *>(QStringLiteral("Command1"))->click();
    QCOMPARE(rig.lines().last(), QStringLiteral("6/1/"));
}

void TestConsoleWidgets::pcKeyboardPressesRegisterKeys() {
    ConsoleRig rig;
    norvvelm::RegisterPage page(rig.console);
    page.show();
    page.setFocus();
    QTest::keyClicks(&page, QStringLiteral("2,5"));
    QTRY_COMPARE(rig.lines().size(), 6);
    page.findChild<QPushButton *>(QStringLiteral("cmdECR_38"))->click(); // REP-02
    QCOMPARE(rig.lines().mid(0, 6), (QStringList{")/30/", "(/", ")/73/", "(/", ")/46/", "(/"}));
    // Enter is no register key: on the page itself it does nothing, on a
    // button it presses that button and only that one.
    qsizetype n = rig.lines().size();
    QTest::keyClick(&page, Qt::Key_Return);
    QTest::keyClick(&page, Qt::Key_Enter);
    QTest::qWait(0);
    QCOMPARE(rig.lines().size(), n);
    QVERIFY(rig.reg.receiptOpen());
    auto *closing = page.findChild<QPushButton *>(QStringLiteral("cmdChiusuraGIornaliera"));
    closing->setFocus();
    rig.prompter.script = {norvvelm::Prompter::Answer::Cancel};
    QTest::keyClick(closing, Qt::Key_Return);
    QTRY_COMPARE(rig.prompter.count(QStringLiteral("Si conferma di voler fare la chiusura giornaliera?")), 1);
    QCOMPARE(rig.lines().size(), n);
    QVERIFY(rig.reg.receiptOpen());
    // With a button focused the digits type nothing either.
    QTest::keyClicks(closing, QStringLiteral("7"));
    QTest::qWait(0);
    QCOMPARE(rig.lines().size(), n);
    auto *cash = page.findChild<QPushButton *>(QStringLiteral("cmdECR_43"));
    cash->setFocus();
    QTest::keyClick(cash, Qt::Key_Return);
    QTRY_VERIFY(!rig.reg.receiptOpen());
    QVERIFY(rig.reg.paper().last().contains(
        ecrsim::Paper::row(QStringLiteral("TOTALE EURO"), QStringLiteral("2,50"))));
    // Other keys do nothing.
    page.setFocus();
    n = rig.lines().size();
    QTest::keyClicks(&page, QStringLiteral("a+"));
    QTest::qWait(0);
    QCOMPARE(rig.lines().size(), n);
}

void TestConsoleWidgets::taxCodeDialog() {
    ConsoleRig rig;
    norvvelm::RegisterPage page(rig.console);
    bool checked = false;
    onDialog([&](QDialog *d) {
        QCOMPARE(d->objectName(), QStringLiteral("FrmPiCf"));
        QCOMPARE(d->windowTitle(), QStringLiteral("P.IVA - CODICE FISCALE"));
        auto *box = d->findChild<QLineEdit *>(QStringLiteral("TxtPiCf"));
        QCOMPARE(box->maxLength(), 16);
        QCOMPARE(dialogButton(d, 0)->text(), QStringLiteral("ANNULLA"));
        QTest::keyClicks(box, QStringLiteral("rssmra80a01h50/"));
        QCOMPARE(box->text(), QStringLiteral("rssmra80a01h50\\"));
        dialogButton(d, 1)->click(); // 15 characters
        QVERIFY(d->isVisible());
        QCOMPARE(rig.prompter.count(QStringLiteral("PI/CF errato")), 1);
        QCOMPARE(d->focusWidget(), box);
        box->setText(QStringLiteral("rssmra80a01h501uXYZ")); // the limit holds
        QCOMPARE(box->text().size(), 16);
        checked = true;
        dialogButton(d, 1)->click();
    });
    page.findChild<QPushButton *>(QStringLiteral("CmdCfPi"))->click();
    QVERIFY(checked);
    QCOMPARE(rig.lines(), QStringList{"'/2/11111111111/RSSMRA80A01H501U/"});

    // Escape: as ANNULLA, nothing sent.
    onDialog([](QDialog *d) { QTest::keyClick(d, Qt::Key_Escape); });
    page.findChild<QPushButton *>(QStringLiteral("CmdCfPi"))->click();
    QCOMPARE(rig.lines().size(), 1);
}

void TestConsoleWidgets::invoiceThroughTheDialog() {
    ConsoleRig rig;
    norvvelm::RegisterPage page(rig.console);
    bool checked = false;
    onDialog([&](QDialog *d) {
        QCOMPARE(d->windowTitle(), QStringLiteral("Intestazione Cliente"));
        auto *vat = d->findChild<QLineEdit *>(QStringLiteral("TxtPIva"));
        QCOMPARE(vat->maxLength(), 11);
        QCOMPARE(d->findChild<QLabel *>(QStringLiteral("lblTxtRiga_3"))->text(),
                 QStringLiteral("Citt\u00e0"));
        QLineEdit *line[6];
        for (int i = 0; i < 6; ++i) {
            line[i] = d->findChild<QLineEdit *>(QStringLiteral("TxtRiga_") + QString::number(i));
            QCOMPARE(line[i]->maxLength(), 32);
        }
        QTest::keyClicks(vat, QStringLiteral("01234567897"));
        QTest::keyClicks(line[0], QStringLiteral("BIANCHI S/R/L"));
        QTest::keyClicks(line[1], QStringLiteral("VIA PO 3"));
        dialogButton(d, 1)->click(); // no CAP
        QVERIFY(d->isVisible());
        QCOMPARE(d->focusWidget(), line[2]);
        QVERIFY(rig.prompter.shown.isEmpty());
        QTest::keyClicks(line[2], QStringLiteral("10121 TORINO"));
        checked = true;
        dialogButton(d, 1)->click();
    });
    page.findChild<QPushButton *>(QStringLiteral("CmdFat"))->click();
    QVERIFY(checked);
    QCOMPARE(rig.lines(), QStringList{"3/F/OPENFAT//0/0/0/0/"});
    for (const int i : {14, 21, 21, 38, 43}) // 7 0 0 REP-02 Contanti
        page.findChild<QPushButton *>(QStringLiteral("cmdECR_") + QString::number(i))->click();
    QVERIFY(rig.lines().contains(QStringLiteral("j/BIANCHI S\\R\\L/VIA PO 3/10121 TORINO///////0/")));
    const QString paper = rig.reg.paper().last();
    QVERIFY2(paper.contains(QStringLiteral("FATTURA N. 1")), qPrintable(paper));
    QVERIFY(paper.contains(QStringLiteral("BIANCHI S\\R\\L")));
}

void TestConsoleWidgets::creditNoteDialog() {
    ConsoleRig rig;
    norvvelm::RegisterPage page(rig.console);
    onDialog([&](QDialog *d) {
        QCOMPARE(d->windowTitle(), QStringLiteral("NOTA CREDITO"));
        auto *file = d->findChild<QLineEdit *>(QStringLiteral("TxtPratica"));
        auto *ref = d->findChild<QLineEdit *>(QStringLiteral("TxtRifer"));
        QCOMPARE(file->maxLength(), 8);
        QCOMPARE(ref->maxLength(), 32);
        QTest::keyClicks(file, QStringLiteral("12a-3 4/5"));
        QCOMPARE(file->text(), QStringLiteral("12-3 45"));
        QTest::keyClicks(ref, QStringLiteral("sc. 4/12"));
        QCOMPARE(ref->text(), QStringLiteral("sc. 412"));
        d->close(); // the close box: as ANNULLA
    });
    page.findChild<QPushButton *>(QStringLiteral("CmdNotaCredito"))->click();
    QVERIFY(rig.lines().isEmpty());
    QVERIFY(!rig.console.pending().creditNotePending);

    onDialog([&](QDialog *d) {
        QTest::keyClicks(d->findChild<QLineEdit *>(QStringLiteral("TxtPratica")), QStringLiteral("77"));
        QTest::keyClicks(d->findChild<QLineEdit *>(QStringLiteral("TxtRifer")), QStringLiteral("RIF 9"));
        dialogButton(d, 1)->click();
    });
    page.findChild<QPushButton *>(QStringLiteral("CmdNotaCredito"))->click();
    QCOMPARE(rig.lines(), QStringList{"-/77/"});
    for (const int i : {18, 21, 21, 41, 43}) // 1 0 0 REP-01 Contanti
        page.findChild<QPushButton *>(QStringLiteral("cmdECR_") + QString::number(i))->click();
    QVERIFY(rig.reg.paper().last().contains(QStringLiteral("NOTA DI CREDITO N. 1")));
    QVERIFY(rig.reg.paper().last().contains(QStringLiteral("RIF 9\n")));
}

QTEST_MAIN(TestConsoleWidgets)
#include "tst_consolewidgets.moc"
