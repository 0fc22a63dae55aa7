// The technician's password, login, raw commands and command files, on the
// simulated register in virtual time.

#include "commands/PasswordHash.h"
#include "commands/TechnicianTools.h"
#include "shell/Config.h"
#include "support/ExecutorRig.h"
#include "support/TestFiles.h"

#include <QSignalSpy>
#include <QTest>

using namespace norvvelm;
using testsupport::writeFile;

namespace {
struct TechRig : ExecutorRig {
    // The register refuses the next command with error 03.
    void refuseNext() {
        ecrsim::AnswerFault f;
        f.replace = true;
        f.text = "03/00/00/0/";
        sim.pushAnswerFault(f);
    }
    TechnicianPassword password{dir.filePath(QStringLiteral("user.ini"))};
    TechnicianTools tools{session, runner, prompter, password};
    TechRig() { password.iterations = 1000; }
    QStringList titlesShown() const {
        QStringList t;
        for (const auto &s : prompter.shown)
            t.append(s.text);
        return t;
    }
};
} // namespace

class TestTechnician : public QObject {
    Q_OBJECT
private slots:
    void pbkdf2KnownAnswer();
    void hashShapeAndHostileValues();
    void loginWithoutPassword();
    void loginRules_data();
    void loginRules();
    void legacyPlainValue();
    void passwordChange();
    void singleCommand();
    void commandFile();
    void rawReceiptHoldsTheRegister_data();
    void rawReceiptHoldsTheRegister();
    void otherIndex();
    void serverWorkRefuses_data();
    void serverWorkRefuses();
};

void TestTechnician::pbkdf2KnownAnswer() {
    QCOMPARE(passwordhash::Pbkdf2Sha256("passwd", "salt", 1, 64).toHex(),
             QByteArray(
                 "55ac046e56e3089fec1691c22544b605f94185216dde0465e68b9d57c20dacbc49ca9cccf179b645991664b39d7"
                 "7ef317c71b845b1e30bd509112041d3a19783"));
    // Two iterations differ from one, and the length is what was asked.
    QCOMPARE(passwordhash::Pbkdf2Sha256("p", "s", 2, 20).size(), 20);
    QVERIFY(passwordhash::Pbkdf2Sha256("p", "s", 2, 32) != passwordhash::Pbkdf2Sha256("p", "s", 1, 32));
}

void TestTechnician::hashShapeAndHostileValues() {
    const QString a = passwordhash::Hash(QStringLiteral("SEGRETO"), 10);
    const QString b = passwordhash::Hash(QStringLiteral("SEGRETO"), 10);
    QVERIFY(a.startsWith(QLatin1String("pbkdf2-sha256$10$")));
    QVERIFY(a != b); // salted
    QVERIFY(passwordhash::Verify(a, QStringLiteral("SEGRETO")));
    QVERIFY(!passwordhash::Verify(a, QStringLiteral("segreto")));
    QVERIFY(!a.contains(QLatin1String("SEGRETO")));
    for (const char *bad :
         {"", "pbkdf2-sha256$x$AAAA$AAAA", "pbkdf2-sha256$0$AAAA$AAAA", "pbkdf2-sha256$999999999$AAAA$AAAA",
          "pbkdf2-sha256$10$!!$AAAA", "pbkdf2-sha256$10$AAAA", "md5$10$AAAA$AAAA"}) {
        QVERIFY2(!passwordhash::IsHash(QString::fromLatin1(bad)), bad);
        QVERIFY(!passwordhash::Verify(QString::fromLatin1(bad), QString()));
    }
}

void TestTechnician::loginWithoutPassword() {
    TechRig r;
    QSignalSpy changed(&r.session.runState(), &RunState::technicianModeChanged);
    QVERIFY(r.password.isEmpty());
    QVERIFY(r.tools.login(QString()));
    QVERIFY(r.session.runState().technicianMode());
    QCOMPARE(changed.size(), 1);
    QVERIFY(!r.tools.login(QStringLiteral("x")));
    QCOMPARE(r.prompter.count(QStringLiteral("Password Errata")), 1);
    QCOMPARE(r.prompter.shown.last().title, QStringLiteral("Attenzione"));
    QCOMPARE(r.prompter.shown.last().icon, Prompter::Icon::Critical);
    QVERIFY(!r.session.runState().technicianMode());
    r.tools.login(QString());
    r.tools.cancel();
    QVERIFY(!r.session.runState().technicianMode());
}

void TestTechnician::loginRules_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("ok");
    QTest::newRow("same") << "Segreto" << true;
    QTest::newRow("letter case") << "sEGRETO" << true;
    QTest::newRow("blanks") << "  segreto \t" << true;
    QTest::newRow("wrong") << "Segreta" << false;
    QTest::newRow("empty") << "" << false;
    QTest::newRow("inner blank") << "seg reto" << false;
}

void TestTechnician::loginRules() {
    QFETCH(QString, typed);
    QFETCH(bool, ok);
    TechRig r;
    r.session.runState().setTechnicianMode(true);
    QVERIFY(r.password.change(QStringLiteral(" Segreto ")));
    QVERIFY(passwordhash::IsHash(r.password.read()));
    QVERIFY(!r.password.isEmpty());
    QCOMPARE(r.tools.login(typed), ok);
    QCOMPARE(r.session.runState().technicianMode(), ok);
    QCOMPARE(r.prompter.count(QStringLiteral("Password Errata")), ok ? 0 : 1);
}

void TestTechnician::legacyPlainValue() {
    TechRig r;
    // An older installation left the password as plain text.
    QVERIFY(r.password.write(QStringLiteral("vecchia")));
    QVERIFY(r.tools.login(QStringLiteral(" VECCHIA")));
    QCOMPARE(r.password.read(), QStringLiteral("vecchia")); // replaced only at the next change
    QCOMPARE(
        r.tools.changePassword(QStringLiteral("Vecchia"), QStringLiteral("Nuova"), QStringLiteral("Nuova")),
        TechnicianTools::Change::Changed);
    QVERIFY(passwordhash::IsHash(r.password.read()));
    QVERIFY(r.password.matches(QStringLiteral("nuova")));
    QVERIFY(!r.password.matches(QStringLiteral("vecchia")));
}

void TestTechnician::passwordChange() {
    TechRig r;
    QVERIFY(r.password.change(QStringLiteral("uno")));
    r.session.runState().setTechnicianMode(true);

    // A wrong current password changes nothing and locks the page.
    QCOMPARE(r.tools.changePassword(QStringLiteral("due"), QStringLiteral("tre"), QStringLiteral("tre")),
             TechnicianTools::Change::WrongCurrent);
    QCOMPARE(r.prompter.count(QStringLiteral("Password corrente errata")), 1);
    QVERIFY(!r.session.runState().technicianMode());
    QVERIFY(r.password.matches(QStringLiteral("uno")));

    // The repetition must be exactly the same text: letter case counts here.
    r.session.runState().setTechnicianMode(true);
    QCOMPARE(r.tools.changePassword(QStringLiteral("UNO"), QStringLiteral("Tre"), QStringLiteral("tre")),
             TechnicianTools::Change::Mismatch);
    QCOMPARE(r.prompter.count(QStringLiteral("Nuova Password Errata")), 1);
    QVERIFY(!r.session.runState().technicianMode());
    QVERIFY(r.password.matches(QStringLiteral("uno")));

    QCOMPARE(
        r.tools.changePassword(QStringLiteral(" uno "), QStringLiteral(" Tre "), QStringLiteral(" Tre ")),
        TechnicianTools::Change::Changed);
    QVERIFY(r.session.runState().technicianMode());
    QVERIFY(r.password.matches(QStringLiteral("TRE")));
    QVERIFY(!r.password.read().contains(QLatin1String("TRE"), Qt::CaseInsensitive));

    // A blank new password removes it: the page is open to everyone again.
    QCOMPARE(r.tools.changePassword(QStringLiteral("tre"), QStringLiteral("  "), QStringLiteral("  ")),
             TechnicianTools::Change::Changed);
    QVERIFY(r.password.isEmpty());
    QVERIFY(r.tools.login(QString()));

    // A store that cannot be written is said, not hidden.
    TechnicianPassword readOnly(r.dir.filePath(QStringLiteral("missing/dir/x.ini")));
    QFile::remove(r.dir.filePath(QStringLiteral("missing")));
    writeFile(r.dir.filePath(QStringLiteral("missing")), "a file where a folder should be");
    TechnicianTools tools(r.session, r.runner, r.prompter, readOnly);
    QCOMPARE(tools.changePassword(QString(), QStringLiteral("a"), QStringLiteral("a")),
             TechnicianTools::Change::NotStored);
    QCOMPARE(r.prompter.count(QStringLiteral("Impossibile memorizzare la nuova password")), 1);
}

void TestTechnician::singleCommand() {
    TechRig r;
    // The page always appends the final slash, even to one typed already.
    const QString shown = r.tools.sendSingle(QStringLiteral("  ?  "));
    QCOMPARE(shown, r.session.lastExchange().lastAnswer());
    QVERIFY(r.session.lastExchange().lastAnswer().startsWith(QLatin1String("00/")));
    r.tools.sendSingle(QStringLiteral("a/"));
    QCOMPARE(r.sent(), (QStringList{QStringLiteral("?/"), QStringLiteral("a//")}));
    r.refuseNext();
    QCOMPARE(r.tools.sendSingle(QStringLiteral("x/1")), QStringLiteral("Errore"));
    QCOMPARE(r.session.statusBar().panel(2), QStringLiteral("Err. 3 : Comunicazione errata"));
    r.port.close();
    QCOMPARE(r.tools.sendSingle(QStringLiteral("?")), QStringLiteral("Errore"));
    QCOMPARE(r.session.lastExchange().lastStatus(), 9999);
}

void TestTechnician::commandFile() {
    TechRig r;
    const QString file = r.dir.filePath(QStringLiteral("comandi.txt"));
    QCOMPARE(r.tools.sendFile(QStringLiteral("   ")), QString());
    QCOMPARE(r.tools.sendFile(r.dir.filePath(QStringLiteral("nessuno.txt"))),
             QStringLiteral("File inesistente"));
    QCOMPARE(r.tools.sendFile(r.dir.path()), QStringLiteral("File inesistente"));
    QVERIFY(r.sent().isEmpty());

    // An empty file sends nothing and leaves the answer box empty; so does a
    // file of blank lines (a lone "/" is never sent).
    writeFile(file, "");
    QCOMPARE(r.tools.sendFile(file), QString());
    writeFile(file, "\r\n  \r\n");
    QCOMPARE(r.tools.sendFile(QStringLiteral(" ") + file + QStringLiteral(" ")), QString());
    QVERIFY(r.sent().isEmpty());

    // A sale, a comma and a payment on one line are two commands; a missing
    // final slash is added; quotes are removed and keep their commas.
    writeFile(file, "3/S/REPARTO1//1/5.26/1/4/,5/1/0.00/////\r\n?\r\n\"7/Uno, due/\"\r\n");
    const QString shown = r.tools.sendFile(file);
    QCOMPARE(r.sent(),
             (QStringList{QStringLiteral("3/S/REPARTO1//1/5.26/1/4/"), QStringLiteral("5/1/0.00/////"),
                          QStringLiteral("?/"), QStringLiteral("7/Uno, due/")}));
    QCOMPARE(shown, r.session.lastExchange().lastAnswer()); // the box shows the last item's outcome

    // The last item refused: "Errore", whatever came before.
    writeFile(file, "?/\nx/9/\n");
    r.refuseNext();
    r.refuseNext();
    QCOMPARE(r.tools.sendFile(file), QStringLiteral("Errore"));
}

void TestTechnician::rawReceiptHoldsTheRegister_data() {
    QTest::addColumn<QStringList>("typed"); // "!" first: the register refuses it
    QTest::addColumn<bool>("held");
    const QString sale = QStringLiteral("3/S/TECNICO//1/1.00/1/");
    QTest::newRow("a sale opens a receipt") << QStringList{sale} << true;
    QTest::newRow("paid") << QStringList{sale, QStringLiteral("5/1/0.00////")} << false;
    QTest::newRow("voided by its key") << QStringList{sale, QStringLiteral(")/28")} << false;
    QTest::newRow("a sale refused") << QStringList{u'!' + sale} << false;
    QTest::newRow("a payment refused") << QStringList{sale, QStringLiteral("!5/1/0.00////")} << true;
    QTest::newRow("a read, another key") << QStringList{QStringLiteral("?"), QStringLiteral(")/37")} << false;
}

void TestTechnician::rawReceiptHoldsTheRegister() {
    QFETCH(QStringList, typed);
    QFETCH(bool, held);
    TechRig r;
    QSignalSpy released(&r.session.registerOwner(), &RegisterOwner::operatorReleased);
    for (QString t : typed) {
        if (t.startsWith(u'!')) {
            r.refuseNext();
            t.remove(0, 1);
        }
        r.tools.sendSingle(t);
    }
    // The print server takes no file into a receipt the technician left open.
    QCOMPARE(r.session.registerOwner().rawReceiptOpen(), held);
    QCOMPARE(r.session.registerOwner().operatorHolds(), held);
    if (!held)
        QVERIFY(!released.isEmpty());
}

void TestTechnician::otherIndex() {
    TechRig r;
    QCOMPARE(r.tools.sendCommand(2, QStringLiteral("?"), QString()), QStringLiteral("Errore!"));
    QCOMPARE(r.tools.sendCommand(-1, QStringLiteral("?"), QString()), QStringLiteral("Errore!"));
    QVERIFY(r.sent().isEmpty());
    const QString shown = r.tools.sendCommand(0, QStringLiteral("?"), QString());
    QCOMPARE(shown, r.session.lastExchange().lastAnswer());
}

void TestTechnician::serverWorkRefuses_data() {
    QTest::addColumn<bool>("sending");
    QTest::addColumn<bool>("linesWaiting");
    QTest::addColumn<bool>("receiptOpen");
    // What the operator holds open: "" nothing, "raw" a receipt of the raw
    // commands, "document" a document of the console.
    QTest::addColumn<QString>("operatorOpen");
    QTest::addColumn<bool>("readRefused");
    QTest::addColumn<bool>("changeRefused");
    QTest::newRow("nothing under way") << false << false << false << QString() << false << false;
    QTest::newRow("sending: not even a read") << true << false << false << QString() << true << true;
    QTest::newRow("lines or a recovery waiting") << false << true << false << QString() << false << true;
    QTest::newRow("its receipt open") << false << false << true << QString() << false << true;
    // Lines that wait for the operator's own receipt never keep the operator
    // from closing it.
    QTest::newRow("lines waiting for a raw receipt")
        << false << true << false << QStringLiteral("raw") << false << false;
    QTest::newRow("lines waiting for a console document")
        << false << true << false << QStringLiteral("document") << false << false;
}

// What the print server has under way decides what an operator may do: a
// read goes between its receipts, never while it sends.
void TestTechnician::serverWorkRefuses() {
    QFETCH(bool, sending);
    QFETCH(bool, linesWaiting);
    QFETCH(bool, receiptOpen);
    QFETCH(QString, operatorOpen);
    QFETCH(bool, readRefused);
    QFETCH(bool, changeRefused);
    RegisterOwner owner;
    owner.setRawReceiptOpen(operatorOpen == u"raw");
    owner.setDocumentOpen(operatorOpen == u"document");
    owner.setServerWork([&] { return RegisterOwner::ServerWork{sending, linesWaiting, receiptOpen}; });
    QCOMPARE(!owner.refusal(RegisterOwner::Use::Reads).isEmpty(), readRefused);
    QCOMPARE(!owner.refusal(RegisterOwner::Use::Changes).isEmpty(), changeRefused);
}

QTEST_GUILESS_MAIN(TestTechnician)
#include "tst_technician.moc"
