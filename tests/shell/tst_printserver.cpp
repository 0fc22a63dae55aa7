// The print server on real folders, the daily log, the monitor and the
// runner, with the simulated register in virtual time.

#include "commands/CommandLanguage.h"
#include "commands/DailyLog.h"
#include "commands/ForbiddenExtensions.h"
#include "commands/MonitorExplanation.h"
#include "programming/VatRates.h"
#include "shell/PrintServer.h"
#include "shell/ProfileFile.h"
#include "shell/Startup.h"
#include "support/ConfigEdit.h"
#include "support/ExecutorRig.h"
#include "support/TestFiles.h"

#include <QDir>
#include <QFile>
#include <QTest>

#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace norvvelm;

namespace {
using testsupport::writeFile;

struct ServerRig : ExecutorRig {
    PrintServer server{session, link, executor, prompter};
    ServerRig() {
        testsupport::editConfig(session, [](PcConfig &c) { c.ServerFile = QStringLiteral("scontrino.txt"); });
        server.requireStableFiles = false;
    }
    QString file(const QString &name) const { return dir.filePath(name); }
};
} // namespace

class TestPrintServer : public QObject {
    Q_OBJECT
private slots:
    void masks_data();
    void masks();
    void listing();
    void tickTakesPrintsDeletes();
    void waitsForFileToSettle();
    void staleWorkingCopy();
    void hostileFiles_data();
    void hostileFiles();
    void ownFilesNeverTaken();
    void testMode();
    void retriesQueueAtLaterTicks();
    void needsIdentifiedRegister();
    void utf8AndAnsiReceipts();
    void logLine();
    void logFileName();
    void monitorLimitAndExplanation();
    void runner();
    void vatRates();
    void startupIdentifies();
};

void TestPrintServer::masks_data() {
    QTest::addColumn<QString>("mask");
    QTest::addColumn<QString>("mode");
    QTest::addColumn<QString>("name");
    // The daily log's file on 7 December 2026: a plain, visible name whatever the mask.
    QTest::addColumn<QString>("log");
    const auto row = [](const char *tag, const char *mask, const char *mode, const char *name,
                        const char *log) {
        QTest::newRow(tag) << QString::fromUtf8(mask) << QString::fromUtf8(mode) << QString::fromUtf8(name)
                           << QString::fromUtf8(log);
    };
    row("exact", "scontrino.txt", "=", "scontrino.txt", "scontrino.txt 20261207.log");
    row("exact, hidden name", ".scontrino", "=", ".scontrino", "scontrino 20261207.log");
    row("ends", "*.txt", "F", ".txt", "txt 20261207.log");
    row("ends, dots and spaces", "* ..txt. ", "F", " ..txt. ", "txt 20261207.log");
    row("begins", "ord*", "I", "ord", "ord 20261207.log");
    row("begins with a dot", ".ord*", "I", ".ord", "ord 20261207.log");
    row("begins, rest unused", "ord*.txt", "I", "ord", "ord 20261207.log");
    row("begins, dot before the star", "ord.*", "I", "ord.", "ord 20261207.log");
    row("contains", "*ord*", "C", "ord", "ord 20261207.log");
    row("contains a dot and a name", "*.ord*", "C", ".ord", "ord 20261207.log");
    row("contains after text", "x*ord*", "C", "ord", "ord 20261207.log");
    row("ends, only dots", "*..", "F", "..", "VELM 20261207.log");
    row("all", "*", "A", "", "VELM 20261207.log");
    row("all dot", "*.*", "A", "", "VELM 20261207.log");
    row("all stars", "**", "A", "", "VELM 20261207.log");
    row("dot between stars", "ab*.*", "I", "ab", "ab 20261207.log");
}

void TestPrintServer::masks() {
    QFETCH(QString, mask);
    const MaskAnalysis m = AnalyseMask(mask);
    QTEST(QString(QChar(char(m.mode))), "mode");
    QTEST(m.name, "name");
    // The log is named as the print server leaves the name part for it.
    Session s;
    s.setNow([] { return QDateTime(QDate(2026, 12, 7), QTime(9, 0)); });
    testsupport::editConfig(s, [](PcConfig &c) { c.ServerDir = QStringLiteral("/srv"); });
    QString prefix;
    ListServerFiles(QStringLiteral("/nonexistent/norvvelm-masks"), mask, {}, prefix);
    s.dailyLog().setLogPrefix(prefix);
    QFETCH(QString, log);
    QCOMPARE(dailylog::FileName(s), QStringLiteral("/srv/") + log);
}

void TestPrintServer::listing() {
    QTemporaryDir dir;
    for (const char *n : {"Scontrino.TXT", "ordine.doc", "a.txt", "b.exe", "noext", "xordx", "a.txt.velm",
                          "Caff\xc3\xa8.TXT"})
        writeFile(dir.filePath(QString::fromUtf8(n)), "x");
    const ForbiddenExtensions ext = ForbiddenExtensions::parse("[exe]\n[velm]\n");
    QString prefix;
    auto list = [&](const char *mask) {
        QStringList l = ListServerFiles(dir.path(), QString::fromUtf8(mask), ext, prefix);
        l.sort();
        return l;
    };
    QCOMPARE(list("scontrino.txt"), QStringList{"Scontrino.TXT"});
    QCOMPARE(prefix, QStringLiteral("scontrino.txt"));
    QCOMPARE(list("scontrino.tx"), QStringList{QString()});
    QCOMPARE(list("*.txt"), (QStringList{"Caff\u00e8.TXT", "Scontrino.TXT", "a.txt"}));
    QCOMPARE(list("caff\u00c8*"), (QStringList{"Caff\u00e8.TXT"})); // a mask beyond ASCII
    QCOMPARE(list("ord*.txt"), (QStringList{"ordine.doc"}));
    QCOMPARE(prefix, QStringLiteral("ord"));
    QCOMPARE(list("*ord*"), (QStringList{"ordine.doc", "xordx"}));
    QCOMPARE(list("*"),
             (QStringList{"Caff\u00e8.TXT", "Scontrino.TXT", "a.txt", "noext", "ordine.doc", "xordx"}));
    QCOMPARE(prefix, QStringLiteral("ord")); // "*" leaves the prefix as it was
    QCOMPARE(ListServerFiles(dir.filePath(QStringLiteral("missing")), QStringLiteral("*"), ext, prefix),
             QStringList{QString()});
    // Waiting files oldest first, by modification time, then by name.
    const auto age = [&](const char *n, qint64 sec) {
        const struct timespec t[2] = {{sec, 0}, {sec, 0}};
        QCOMPARE(
            ::utimensat(AT_FDCWD, QFile::encodeName(dir.filePath(QString::fromLatin1(n))).constData(), t, 0),
            0);
    };
    age("a.txt", 3000);
    age("xordx", 1000);
    age("noext", 2000);
    age("ordine.doc", 2000);
    QCOMPARE(OldestFirst(dir.path() + u'/', {"a.txt", "ordine.doc", "noext", "xordx"}),
             (QStringList{"xordx", "noext", "ordine.doc", "a.txt"}));
}

void TestPrintServer::tickTakesPrintsDeletes() {
    ServerRig rig;
    testsupport::editConfig(rig.session, [&](norvvelm::PcConfig &c) { c.ServerFile = QStringLiteral("*"); });
    rig.session.settings().setForbidden(ForbiddenExtensions::parse("[log]\n[velm]\n[FMN]\n"));
    writeFile(rig.file(QStringLiteral("a.txt")), "3/S/A//1/1/1/4/\r\n\r\n5/1/0.00/////\r\n");
    writeFile(rig.file(QStringLiteral("b.txt")), "7/1/1/X/");
    int executorCalls = 0;
    rig.onPump = [&] { ++executorCalls; };
    rig.server.TimerSRV_Timer();
    QStringList sent = rig.sent();
    QCOMPARE(sent.size(), 3);
    QVERIFY(sent.contains(QStringLiteral("7/1/1/X/")));
    QVERIFY(!QFile::exists(rig.file(QStringLiteral("a.txt"))));
    QVERIFY(!QFile::exists(rig.file(QStringLiteral("b.txt"))));
    QVERIFY(!QFile::exists(rig.file(QStringLiteral("a.txt.velm"))));
    // The empty line was queued and skipped by the executor.
    QVERIFY(rig.session.monitor().lines().contains(QStringLiteral("PC -> ECR : ")));
    QVERIFY(QFile::exists(rig.file(QStringLiteral("VELM 20261207.log"))));
    // Nothing new: nothing sent.
    rig.server.TimerSRV_Timer();
    QCOMPARE(rig.sent().size(), 3);
}

void TestPrintServer::waitsForFileToSettle() {
    ServerRig rig;
    rig.server.requireStableFiles = true;
    const QString name = rig.file(QStringLiteral("scontrino.txt"));
    // There before the folder was watched: it must keep size and time for the
    // quiet period.
    writeFile(name, "3/S/A//1/1/1/4/\r\n5/1/0.00/////\r\n");
    rig.server.TimerSRV_Timer();
    QVERIFY(rig.server.watching());
    rig.clock.advance(1000);
    rig.server.TimerSRV_Timer();
    QVERIFY(rig.sent().isEmpty());
    rig.clock.advance(1100);
    rig.server.TimerSRV_Timer();
    QCOMPARE(rig.sent(), (QStringList{"3/S/A//1/1/1/4/", "5/1/0.00/////"}));

    // Held open by its writer: never taken, however long it stays quiet.
    QFile f(name);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("3/S/B//1/1/1/4/\r\n");
    f.flush();
    for (int i = 0; i < 12; ++i) {
        rig.clock.advance(PrintServer::kIntervalMs);
        rig.server.TimerSRV_Timer();
    }
    QVERIFY(QFile::exists(name));
    f.write("5/1/0.00/////\r\n");
    f.close();
    rig.server.TimerSRV_Timer(); // closed just now: it must settle first
    QVERIFY(QFile::exists(name));
    rig.clock.advance(PrintServer::kSettleMs);
    rig.server.TimerSRV_Timer();
    QCOMPARE(rig.sent().mid(2), (QStringList{"3/S/B//1/1/1/4/", "5/1/0.00/////"}));

    // Written under another name and renamed into place: taken at once.
    writeFile(rig.file(QStringLiteral("tmp.part")), "7/1/1/C/\r\n");
    QVERIFY(QFile::rename(rig.file(QStringLiteral("tmp.part")), name));
    rig.server.TimerSRV_Timer();
    QCOMPARE(rig.sent().mid(4), QStringList{"7/1/1/C/"});
}

void TestPrintServer::hostileFiles_data() {
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QStringList>("sent");
    QTest::addColumn<QString>("message"); // said once, over two ticks
    QTest::addColumn<bool>("stays");      // the entry is left where it is
    const QByteArray secret = "7/1/1/SEGRETO/\n";
    QTest::newRow("link to a file elsewhere")
        << "link" << secret << QStringList() << "\u00e8 un collegamento" << true;
    QTest::newRow("folder") << "folder" << QByteArray() << QStringList() << "non \u00e8 un file regolare"
                            << true;
    QTest::newRow("pipe") << "fifo" << QByteArray() << QStringList() << "non \u00e8 un file regolare" << true;
    QTest::newRow("unreadable") << "unreadable" << secret << QStringList() << "File non leggibile" << true;
    QTest::newRow("CR line ends") << "file" << QByteArray("3/S/A//1/1/1/4/\r5/1/0.00/////\r")
                                  << QStringList{"3/S/A//1/1/1/4/", "5/1/0.00/////"} << QString() << false;
    QTest::newRow("mixed line ends") << "file" << QByteArray("7/1/1/A/\r\n7/1/1/B/\n7/1/1/C/\r7/1/1/D/")
                                     << QStringList{"7/1/1/A/", "7/1/1/B/", "7/1/1/C/", "7/1/1/D/"}
                                     << QString() << false;
    QTest::newRow("control characters")
        << "file"
        << QByteArray("3/S/A\x02//1/1/1/4/\n3/S/B\x05\x15\x18//1/1/1/4/\n3/S/C//1/1/1/4/\n5/1/0.00/////\n")
        << QStringList{"3/S/C//1/1/1/4/", "5/1/0.00/////"} << "carattere di controllo 0x02" << false;
    QTest::newRow("NUL") << "file" << (QByteArray("7/1/1/A") + '\0' + "B/\n7/1/1/OK/\n")
                         << QStringList{"7/1/1/OK/"} << "carattere di controllo 0x00" << false;
    QTest::newRow("over-long line") << "file"
                                    << QByteArray("7/1/1/" + QByteArray(3000, 'X') + "/\n7/1/1/OK/\n")
                                    << QStringList{"7/1/1/OK/"} << "riga di 3007 caratteri" << false;
    QTest::newRow("oversize") << "file" << QByteArray(5000, 'x') << QStringList() << "messo da parte"
                              << false;
    const QByteArray longest = "7/1/1/" + QByteArray(kMaxLineChars - 6, 'X');
    QTest::newRow("longest line, its slash left out")
        << "file" << QByteArray(longest + "\n") << QStringList{QString::fromLatin1(longest + "/")}
        << QString() << false;
    QTest::newRow("hard link to another user's file")
        << "otherslink" << secret << QStringList() << "collegamento a un file di un altro utente" << true;
    QTest::newRow("name in Windows-1252") << "ansiname" << QByteArray("7/1/1/A/\n") << QStringList{"7/1/1/A/"}
                                          << "nome non UTF-8 rinominato" << false;
}

void TestPrintServer::hostileFiles() {
    QFETCH(QString, kind);
    QFETCH(QByteArray, content);
    QFETCH(QStringList, sent);
    QFETCH(QString, message);
    QFETCH(bool, stays);
    if (kind == QLatin1String("unreadable") && ::geteuid() == 0)
        QSKIP("every file is readable by root");
    ServerRig rig;
    testsupport::editConfig(rig.session, [](norvvelm::PcConfig &c) { c.ServerMaxBytes = 4096; });
    const QString name = rig.file(QStringLiteral("scontrino.txt"));
    QTemporaryDir elsewhere;
    const QString target = elsewhere.filePath(QStringLiteral("secret"));
    if (kind == QLatin1String("link")) {
        writeFile(target, content);
        QVERIFY(QFile::link(target, name));
    } else if (kind == QLatin1String("folder")) {
        QVERIFY(QDir().mkdir(name));
    } else if (kind == QLatin1String("fifo")) {
        QCOMPARE(::mkfifo(QFile::encodeName(name).constData(), 0600), 0);
    } else if (kind == QLatin1String("otherslink")) {
        writeFile(target, content);
        if (::chown(QFile::encodeName(target).constData(), 65534, 65534) != 0)
            QSKIP("files cannot be given to another user here");
        QCOMPARE(::link(QFile::encodeName(target).constData(), QFile::encodeName(name).constData()), 0);
    } else if (kind == QLatin1String("ansiname")) {
        // "\u00e9t\u20ac.txt" as a point of sale writes it in Windows-1252.
        testsupport::editConfig(rig.session,
                                [](norvvelm::PcConfig &c) { c.ServerFile = QStringLiteral("*.txt"); });
        const QByteArray path = QFile::encodeName(rig.dir.path()) + "/\xe9t\x80.txt";
        FILE *f = ::fopen(path.constData(), "wb");
        QVERIFY(f);
        ::fwrite(content.constData(), 1, size_t(content.size()), f);
        ::fclose(f);
    } else {
        writeFile(name, content);
        if (kind == QLatin1String("unreadable"))
            QVERIFY(QFile::setPermissions(name, QFileDevice::WriteOwner));
    }
    rig.server.TimerSRV_Timer();
    rig.server.TimerSRV_Timer();
    QCOMPARE(rig.sent(), sent);
    if (!message.isEmpty()) {
        int said = 0;
        for (const auto &m : rig.prompter.shown)
            said += m.text.contains(message);
        QCOMPARE(said, 1);
        QCOMPARE(rig.prompter.shown.size(), 1);
        if (sent.isEmpty()) // a file left alone is named
            QVERIFY(rig.prompter.shown.first().text.contains(QStringLiteral("scontrino.txt")));
    }
    QCOMPARE(QFileInfo::exists(name) || QFileInfo(name).isSymLink(), stays);
    QVERIFY(!QFile::exists(name + QStringLiteral(".velm")));
    // Nothing of a file that was not taken reaches the log or the monitor.
    for (const QString &l : rig.logLines(QStringLiteral("scontrino.txt")))
        QVERIFY(!l.contains(QStringLiteral("SEGRETO")));
    for (const QString &l : rig.session.monitor().lines())
        QVERIFY(!l.contains(QStringLiteral("SEGRETO")));
    if (kind == QLatin1String("link") || kind == QLatin1String("otherslink"))
        QCOMPARE(testsupport::readFile(target), content);
    if (kind == QLatin1String("oversize")) {
        QCOMPARE(testsupport::readFile(name + QStringLiteral(".scartato")), content);
        writeFile(name, "7/1/1/DOPO/\n"); // the next file is taken as usual
        rig.server.TimerSRV_Timer();
        QCOMPARE(rig.sent(), QStringList{"7/1/1/DOPO/"});
        QVERIFY(QFile::exists(name + QStringLiteral(".scartato")));
    }
}

void TestPrintServer::ownFilesNeverTaken() {
    ServerRig rig;
    // The mask takes everything, the folder is the home folder, and
    // FileExt.ini forbids nothing.
    testsupport::editConfig(rig.session, [](norvvelm::PcConfig &c) { c.ServerFile = QStringLiteral("*"); });
    const QStringList own{QStringLiteral("NorvVelm.ini"),     QStringLiteral("FileExt.ini"),
                          QStringLiteral("NorvVelm.journal"), QStringLiteral("NorvVelm.journal.illeggibile"),
                          QStringLiteral("NorvVelm.lock"),    QStringLiteral("VELM 20261207.log"),
                          QStringLiteral("NV4220261207.FMN"), QStringLiteral("b.txt.velm"),
                          QStringLiteral("big.txt.scartato")};
    for (const QString &f : own)
        writeFile(rig.file(f), "7/1/1/PROPRIO/\n");
    writeFile(rig.file(QStringLiteral("a.txt")), "7/1/1/RICEVUTA/\n");
    rig.server.TimerSRV_Timer();
    QCOMPARE(rig.sent(), QStringList{"7/1/1/RICEVUTA/"});
    for (const QString &f : own)
        QVERIFY2(QFile::exists(rig.file(f)), qPrintable(f));
    QVERIFY(IsOwnFile(QStringLiteral("scontrino.txt 20261207.log")));
    QVERIFY(!IsOwnFile(QStringLiteral("scontrino.log")));
    QVERIFY(!IsOwnFile(QStringLiteral("norvvelm.txt")));
}

void TestPrintServer::staleWorkingCopy() {
    ServerRig rig;
    writeFile(rig.file(QStringLiteral("scontrino.txt.velm")), "3/S/OLD//1/1/1/4/\r\n");
    rig.server.TimerSRV_Timer();
    QVERIFY(QFile::exists(rig.file(QStringLiteral("scontrino.txt.velm")))); // stays until a new file comes
    writeFile(rig.file(QStringLiteral("scontrino.txt")), "3/S/NEW//1/1/1/4/\r\n");
    rig.server.TimerSRV_Timer();
    QCOMPARE(rig.sent(), QStringList{"3/S/NEW//1/1/1/4/"});
    QVERIFY(!QFile::exists(rig.file(QStringLiteral("scontrino.txt.velm"))));
    const QStringList log = rig.logLines(QStringLiteral("scontrino.txt"));
    QVERIFY(!log.isEmpty() && log.first().contains(QStringLiteral("Copia di lavoro residua cancellata")));
}

void TestPrintServer::testMode() {
    ServerRig rig;
    rig.session.settings().setTestMode(true);
    writeFile(rig.file(QStringLiteral("scontrino.txt")), "7/1/1/T/\r\n");
    rig.prompter.script = {Prompter::Answer::No, Prompter::Answer::Yes};
    rig.server.TimerSRV_Timer();
    QVERIFY(QFile::exists(rig.file(QStringLiteral("scontrino.txt"))));
    QCOMPARE(rig.prompter.shown.last().text, QStringLiteral("Vuoi cancellare file?"));
    QCOMPARE(rig.prompter.shown.last().title, QStringLiteral("Tes Mode"));
    rig.server.TimerSRV_Timer(); // printed again, then deleted
    QCOMPARE(rig.sent(), (QStringList{"7/1/1/T/", "7/1/1/T/"}));
    QVERIFY(!QFile::exists(rig.file(QStringLiteral("scontrino.txt"))));
    QVERIFY(!QFile::exists(rig.file(QStringLiteral("scontrino.txt.velm"))));
}

void TestPrintServer::retriesQueueAtLaterTicks() {
    ServerRig rig;
    QVERIFY(rig.fault(QStringLiteral("enq:silent*3")));
    writeFile(rig.file(QStringLiteral("scontrino.txt")), "3/S/A//1/1/1/4/\r\n5/1/0.00/////\r\n");
    rig.server.TimerSRV_Timer();
    QVERIFY(rig.sent().isEmpty());
    QCOMPARE(rig.session.runState().queue().size(), 2);
    QVERIFY(!QFile::exists(rig.file(QStringLiteral("scontrino.txt"))));
    rig.server.TimerSRV_Timer(); // still unreachable as far as anyone knows: no futile try
    QVERIFY(rig.sent().isEmpty());
    QCOMPARE(rig.prompter.count(Executor::unreachableMessage()), 1);
    // The watch finds the register again; the next tick carries on.
    Startup watch(rig.session, rig.link, rig.runner, rig.executor, rig.prompter);
    watch.checkNow();
    QVERIFY(watch.ready());
    QVERIFY(!rig.executor.unreachableReported());
    rig.server.TimerSRV_Timer();
    QCOMPARE(rig.sent(), (QStringList{"a/", "e/", "3/S/A//1/1/1/4/", "5/1/0.00/////"}));
    QCOMPARE(rig.session.monitor().lines().count(QStringLiteral("PC -> ECR : 3/S/A//1/1/1/4/")), 2);
}

void TestPrintServer::needsIdentifiedRegister() {
    ServerRig rig;
    testsupport::editConfig(rig.session,
                            [&](norvvelm::PcConfig &c) { c.identity.sn = QStringLiteral("  "); });
    writeFile(rig.file(QStringLiteral("scontrino.txt")), "7/1/1/T/\r\n");
    rig.server.TimerSRV_Timer();
    QVERIFY(QFile::exists(rig.file(QStringLiteral("scontrino.txt"))));
    testsupport::editConfig(rig.session,
                            [&](norvvelm::PcConfig &c) { c.identity.sn = QStringLiteral("NV42"); });
    rig.server.setRegisterReady(false); // the port went away
    rig.server.TimerSRV_Timer();
    QVERIFY(QFile::exists(rig.file(QStringLiteral("scontrino.txt"))));
    QVERIFY(rig.sent().isEmpty());

    // A receipt folder that is not there is said at once, register or not,
    // once while it stays missing and again after it has been back.
    const QString gone = rig.file(QStringLiteral("pos"));
    testsupport::editConfig(rig.session, [&](norvvelm::PcConfig &c) { c.ServerDir = gone; });
    const QString said = QStringLiteral("Cartella degli scontrini inesistente: ") + gone +
                         QStringLiteral("/ (ServerDir); i file attendono che ci sia");
    rig.server.TimerSRV_Timer();
    rig.server.TimerSRV_Timer();
    QCOMPARE(rig.prompter.count(said), 1);
    QVERIFY(rig.session.monitor().lines().contains(QStringLiteral("ECR        : ") + said));
    QVERIFY(QDir().mkpath(gone));
    rig.server.TimerSRV_Timer();
    QVERIFY(QDir(gone).removeRecursively());
    rig.server.TimerSRV_Timer();
    QCOMPARE(rig.prompter.count(said), 2);
}

void TestPrintServer::utf8AndAnsiReceipts() {
    ServerRig rig;
    writeFile(rig.file(QStringLiteral("scontrino.txt")), "7/1/1/Caff\xc3\xa8/\r\n");
    rig.server.TimerSRV_Timer();
    writeFile(rig.file(QStringLiteral("scontrino.txt")), "7/1/1/Caff\xe8/\r\n");
    rig.server.TimerSRV_Timer();
    // Both reach the register as the same Windows-1252 bytes.
    QCOMPARE(rig.sim.commandsExecuted(), (QList<QByteArray>{"7/1/1/Caff\xe8/", "7/1/1/Caff\xe8/"}));
}

void TestPrintServer::logLine() {
    const QString cmd(60, u'c');
    const QString line =
        dailylog::FormatLine(QStringLiteral("2026-12-07 10:11:12"), cmd, QStringLiteral("ok"));
    QCOMPARE(line.size(), 225);
    QCOMPARE(line.mid(19, 3), QStringLiteral(" - "));
    QCOMPARE(line.mid(22, 50), QString(50, u'c'));
    QCOMPARE(line.mid(72, 5), QStringLiteral(" - ok"));
    QCOMPARE(dailylog::FormatLine(QString(), QString(), QString(300, u'a')).size(), 225);

    ExecutorRig rig;
    WriteLogLine(rig.session, QStringLiteral("ERR26"), QStringLiteral("x"));
    QVERIFY(rig.logLines().isEmpty());
    WriteLogLine(rig.session, QStringLiteral("26 "), QStringLiteral("x"));
    QCOMPARE(rig.logLines().size(), 1);
    rig.session.settings().setLogEnabled(false);
    WriteLogLine(rig.session, QStringLiteral("ok"), QStringLiteral("x"));
    QCOMPARE(rig.logLines().size(), 1);
}

void TestPrintServer::logFileName() {
    Session s;
    s.settings().setProgramDir(QStringLiteral("/home/pos"));
    s.setNow([] { return QDateTime(QDate(2026, 12, 7), QTime(23, 59)); });
    const auto folder = [&s](const QString &dir) {
        testsupport::editConfig(s, [&dir](PcConfig &c) { c.ServerDir = dir; });
    };
    folder(QStringLiteral("/srv"));
    QCOMPARE(dailylog::FileName(s), QStringLiteral("/srv/VELM 20261207.log"));
    folder(QStringLiteral("/srv/"));
    s.dailyLog().setLogPrefix(QStringLiteral(" scontrino.txt "));
    QCOMPARE(dailylog::FileName(s), QStringLiteral("/srv/scontrino.txt 20261207.log"));
    folder(QStringLiteral("x"));
    QCOMPARE(dailylog::FileName(s), QStringLiteral("/home/pos/scontrino.txt 20261207.log"));

    // "*" after "*abc": the prefix stays abc.
    QTemporaryDir dir;
    QString prefix;
    ListServerFiles(dir.path(), QStringLiteral("*"), {}, prefix);
    QVERIFY(prefix.isEmpty());
    ListServerFiles(dir.path(), QStringLiteral("*abc"), {}, prefix);
    ListServerFiles(dir.path(), QStringLiteral("*"), {}, prefix);
    QCOMPARE(prefix, QStringLiteral("abc"));
}

void TestPrintServer::monitorLimitAndExplanation() {
    Session s;
    s.monitor().AddMonitorLine(QStringLiteral("off"));
    QVERIFY(s.monitor().lines().isEmpty());
    s.monitor().setMonitorEnabled(true);
    for (int i = 1; i <= 10001; ++i)
        s.monitor().AddMonitorLine(QString::number(i));
    QCOMPARE(s.monitor().lines().size(), 10000);
    QCOMPARE(s.monitor().lines().first(), QStringLiteral("10001"));
    QCOMPARE(s.monitor().lines().last(), QStringLiteral("2"));

    auto e = ExplainMonitorLine(QStringLiteral("PC -> ECR : 3/S/REPARTO1//1/5.26/1/4/"));
    QCOMPARE(e.title, QStringLiteral("Messaggio Da PC a ECR"));
    QCOMPARE(e.text, QStringLiteral("3/S/REPARTO1//1/5.26/1/4/"));
    e = ExplainMonitorLine(QStringLiteral("ECR        : 00/00/00/0/"));
    QCOMPARE(e.title, QStringLiteral("Messaggio Da ECR a PC"));
    QCOMPARE(e.text, QStringLiteral(" 00/00/00/0/"));
    e = ExplainMonitorLine(QStringLiteral("short"));
    QCOMPARE(e.title, QStringLiteral("Trasmissione Non Coerente"));
    QVERIFY(e.critical);
    QCOMPARE(LogFileExplanation().split(u'\r').size(), 7);
}

void TestPrintServer::runner() {
    QCOMPARE(HexDigitValue(u"7"), 7);
    QCOMPARE(HexDigitValue(u"F"), 15);
    QCOMPARE(HexDigitValue(u"f"), 0);
    QString code = QStringLiteral("1A");
    QCOMPARE(FormatCommandError(code, QStringLiteral("3/")), QStringLiteral("Comando '3/' - Errore N. 26"));
    QCOMPARE(code, QStringLiteral("26"));

    ExecutorRig rig;
    QVERIFY(rig.fault(QStringLiteral("answer:text=1A/00/00/0/")));
    QCOMPARE(rig.runner.SendAndCheck(QStringLiteral("3/S/A//1/1/1/4/")), 26);
    QCOMPARE(rig.session.statusBar().panel(1), QStringLiteral("Attenzione!"));
    QCOMPARE(rig.session.statusBar().panel(2), QStringLiteral("Err. 26 : Comunicazione errata"));
    QCOMPARE(rig.runner.SendAndCheck(QStringLiteral("?/")), 0);
    QVERIFY(rig.session.statusBar().panel(1).isEmpty() && rig.session.statusBar().panel(2).isEmpty());
    QCOMPARE(rig.runner.RequestStatus(), 0);
    QVERIFY(rig.fault(QStringLiteral("enq:silent*3")));
    QCOMPARE(rig.runner.RequestStatus(), 1004);
    QVERIFY(rig.fault(QStringLiteral("answer:text=31/00/00/0/")));
    QCOMPARE(rig.runner.RequestStatus(), 49);

    const int sentBefore = rig.sent().size();
    rig.link.CloseComPort();
    QCOMPARE(rig.runner.SendAndCheck(QStringLiteral("?/")), 9999);
    QCOMPARE(rig.session.statusBar().panel(2), QStringLiteral("Err. 9999 : Comunicazione Impossibile"));
    QCOMPARE(rig.sent().size(), sentBefore);
}

void TestPrintServer::vatRates() {
    QCOMPARE(VatRateValue(QStringLiteral("22.5")), 22);
    QCOMPARE(VatRateValue(QStringLiteral("10.5")), 10);
    QCOMPARE(VatRateValue(QStringLiteral("4.51")), 5);
    QCOMPARE(VatRateValue(QStringLiteral("abc")), -1);
    ExecutorRig rig;
    QStringList texts;
    QVERIFY(ReadVatRates(rig.runner, rig.session, &texts));
    QCOMPARE(texts, (QStringList{"4.00", "10.00", "22.50", "10.50", "0.00"}));
    QCOMPARE(rig.session.settings().vatTable()[0], 4);
    QCOMPARE(rig.session.settings().vatTable()[2], 22);
    QCOMPARE(rig.session.settings().vatTable()[3], 10);
    QCOMPARE(rig.session.settings().vatTable()[5], -1);
    QVERIFY(rig.fault(QStringLiteral("enq:can")));
    QVERIFY(!ReadVatRates(rig.runner, rig.session));
    QCOMPARE(rig.session.settings().vatTable()[0], -1);
}

void TestPrintServer::startupIdentifies() {
    ExecutorRig rig;
    rig.link.CloseComPort();
    writeFile(rig.dir.filePath(QStringLiteral("NorvVelm.ini")),
              "[Parametri]\nModello=Norv ONe\nPorta=3\nVelocita=9600\n[Porte]\nCom3=/dev/sim3\n");
    testsupport::editConfig(rig.session, [&](norvvelm::PcConfig &c) { c.identity = {}; });
    Startup startup(rig.session, rig.link, rig.runner, rig.executor, rig.prompter);
    QVERIFY(startup.loadConfiguration());
    QCOMPARE(rig.session.settings().config().DescrWidth1, 20);
    QVERIFY(rig.fault(QStringLiteral("enq:silent*6"))); // off at first: status and "a/" fail
    QVERIFY(!startup.connectRegister());
    QCOMPARE(rig.port.openedDevice, QStringLiteral("/dev/sim3"));
    QVERIFY(startup.connectRegister());
    QCOMPARE(rig.session.settings().config().identity.sn, QStringLiteral("NV00012345"));
    QCOMPARE(rig.session.statusBar().panel(3), QStringLiteral("72-NV00012345"));
    QCOMPARE(rig.session.settings().vatTable()[1], 10);
    QCOMPARE(ProfileFile(rig.session.settings().config().IniPath)
                 .getString(QStringLiteral("Current"), QStringLiteral("SN"), {}, 64),
             QStringLiteral("NV00012345"));
    // One message for the outage, one when the register is back.
    QCOMPARE(rig.prompter.shown.size(), 2);
    QVERIFY(
        rig.prompter.shown[0].text.startsWith(QStringLiteral("Errore : 1004 - Comunicazione impossibile !")));
    QCOMPARE(rig.prompter.shown[1].text, QStringLiteral("Cassa collegata: S/N NV00012345"));

    // The port disappears: said once, and the register comes back by itself.
    rig.port.unplug();
    rig.port.refuseOpen = true;
    startup.checkNow();
    startup.checkNow();
    QVERIFY(!startup.ready());
    QCOMPARE(rig.prompter.count(QStringLiteral("Porta Com3 scollegata")), 1);
    QCOMPARE(rig.prompter.count(QStringLiteral("Impossibile Aprire Porta Com3 (/dev/sim3)")), 1);
    rig.port.refuseOpen = false;
    startup.checkNow();
    QVERIFY(startup.ready());
    QCOMPARE(rig.prompter.count(QStringLiteral("Cassa collegata: S/N NV00012345")), 2);

    // A first connection with no trouble before it is said too: in the
    // monitor, with no box to close.
    ExecutorRig first;
    first.link.CloseComPort();
    first.session.monitor().setMonitorEnabled(true);
    writeFile(first.dir.filePath(QStringLiteral("NorvVelm.ini")),
              "[Parametri]\nModello=Norv ONe\nPorta=3\nVelocita=9600\n[Porte]\nCom3=/dev/sim3\n");
    testsupport::editConfig(first.session, [&](norvvelm::PcConfig &c) { c.identity = {}; });
    Startup quiet(first.session, first.link, first.runner, first.executor, first.prompter);
    QVERIFY(quiet.loadConfiguration());
    QVERIFY(quiet.connectRegister());
    QVERIFY(first.session.monitor().lines().contains(
        QStringLiteral("ECR        : Cassa collegata: S/N NV00012345")));
    QVERIFY(first.prompter.shown.isEmpty());
}

QTEST_GUILESS_MAIN(TestPrintServer)
#include "tst_printserver.moc"
