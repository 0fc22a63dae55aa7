// The Debian package, unpacked into a temporary root: its programs run from
// there as they would once installed, so a file missing from the package
// fails here.

#include "support/EcrSimProcess.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <unistd.h>

namespace {

QString packageDir() {
    return qEnvironmentVariable("NORVVELM_PACKAGE");
}
QString root() {
    return packageDir() + QStringLiteral("/root");
}

QByteArray readAll(const QString &path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool writeAll(const QString &path, const QByteArray &bytes) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

// Runs a program to its end; standard output and error together.
struct Run {
    int exitCode = -1;
    QByteArray out;
};
Run run(const QString &program, const QStringList &args, const QProcessEnvironment &env = {}) {
    QProcess p;
    if (!env.isEmpty())
        p.setProcessEnvironment(env);
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(program, args);
    Run r;
    if (!p.waitForFinished(120000)) {
        p.kill();
        p.waitForFinished(1000);
        r.out = p.readAll();
        return r;
    }
    r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = p.readAll();
    return r;
}

// The switches a text names: "-h", "--api-token", "/TESTMODE", each once,
// sorted; a lone "--" is no switch.
QStringList switchesIn(const QString &text) {
    static const QRegularExpression one(
        QStringLiteral("(?<![\\w/-])(--?[A-Za-z][A-Za-z0-9-]*|/[A-Z][A-Z0-9]*)\\b"));
    QStringList found;
    for (auto it = one.globalMatch(text); it.hasNext();) {
        const QString s = it.next().captured(1);
        if (!found.contains(s))
            found.append(s);
    }
    found.sort();
    return found;
}

// What --help lists: the usage line's switches and those that begin a line.
QStringList helpSwitches(const QString &help) {
    static const QRegularExpression optionLine(QStringLiteral("^\\s+(-|/[A-Z])"));
    QStringList lines;
    for (const QString &line : help.split(u'\n')) {
        if (line.startsWith(QLatin1String("usage:"), Qt::CaseInsensitive) ||
            optionLine.match(line).hasMatch())
            lines.append(line.trimmed().section(QStringLiteral("  "), 0, 0)); // the switch, not its text
    }
    return switchesIn(lines.join(u'\n'));
}

// What a manual page lists: its synopsis and the tags of its OPTIONS, roff
// taken out.
QStringList manualSwitches(const QByteArray &page) {
    QString text = QString::fromUtf8(page);
    text.remove(QRegularExpression(QStringLiteral("\\\\f[BIRP]")));
    text.replace(QStringLiteral("\\-"), QStringLiteral("-"));
    QStringList tags;
    QString section;
    bool tag = false;
    for (const QString &line : text.split(u'\n')) {
        if (line.startsWith(QLatin1String(".SH "))) {
            section = line.mid(4).remove(u'"');
            continue;
        }
        if (line == QLatin1String(".TP")) {
            tag = true;
            continue;
        }
        if (section == QLatin1String("SYNOPSIS") || (section == QLatin1String("OPTIONS") && tag))
            tags.append(line.section(u' ', 1)); // without the macro
        tag = false;
    }
    return switchesIn(tags.join(u'\n'));
}

QStringList programs() {
    QStringList names = QDir(root() + QStringLiteral("/usr/bin")).entryList(QDir::Files | QDir::Executable);
    names.sort();
    return names;
}

} // namespace

class TestPackage : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void everyProgramAnswersHelpAndVersion_data();
    void everyProgramAnswersHelpAndVersion();
    void receiptThroughTheUnpackedServer();
    void mistypedSwitchRefused();
    void pictureControlFromItsPrivateFolder();
    void unitVerifies_data();
    void unitVerifies();
    void keyReadByItsGroupAlone();
    void lintianFindsNoError();
};

void TestPackage::initTestCase() {
    QVERIFY2(QFileInfo(root() + QStringLiteral("/usr/bin/norvvelmd")).isExecutable(), qPrintable(root()));
    // The package's programs, never the build folder's.
    QCOMPARE(EcrSimProcess::bin(QStringLiteral("ecrsim")), root() + QStringLiteral("/usr/bin/ecrsim"));
}

void TestPackage::everyProgramAnswersHelpAndVersion_data() {
    QTest::addColumn<QString>("program");
    const QStringList names = programs();
    QVERIFY(names.contains(QStringLiteral("norvvelm-cmd")) && names.contains(QStringLiteral("ecrsim")) &&
            names.contains(QStringLiteral("ritractl")) && names.contains(QStringLiteral("DriverQ520")));
    for (const QString &name : names)
        QTest::newRow(qPrintable(name)) << name;
}

// Every program in the package has its manual page and answers --help and
// --version without a display.
void TestPackage::everyProgramAnswersHelpAndVersion() {
    QFETCH(QString, program);
    const QString man = root() + QStringLiteral("/usr/share/man/man%1/") + program + QStringLiteral(".%1.gz");
    QVERIFY2(QFile::exists(man.arg(1)) || QFile::exists(man.arg(8)), "no manual page");
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("DISPLAY"));
    env.remove(QStringLiteral("WAYLAND_DISPLAY"));
    env.remove(QStringLiteral("QT_QPA_PLATFORM"));
    const QString path = root() + QStringLiteral("/usr/bin/") + program;
    const Run version = run(path, {QStringLiteral("--version")}, env);
    QCOMPARE(version.exitCode, 0);
    QCOMPARE(QString::fromUtf8(version.out).trimmed(),
             program + u' ' + QStringLiteral(NORVVELM_VERSION_STRING));
    // One version switch everywhere: -V says the same.
    QCOMPARE(run(path, {QStringLiteral("-V")}, env).out, version.out);
    const Run help = run(path, {QStringLiteral("--help")}, env);
    QCOMPARE(help.exitCode, 0);
    const QRegularExpression usage(QStringLiteral("^[Uu]sage: (\\S*/)?") +
                                   QRegularExpression::escape(program) + u' ');
    QVERIFY2(QString::fromUtf8(help.out).contains(usage), help.out.constData());
    QVERIFY(help.out.contains("--version"));

    // The manual page lists the same switches as --help, no more, no fewer.
    const QString page = QFile::exists(man.arg(1)) ? man.arg(1) : man.arg(8);
    const Run manual = run(QStringLiteral("gzip"), {QStringLiteral("-dc"), page});
    QCOMPARE(manual.exitCode, 0);
    const QStringList inHelp = helpSwitches(QString::fromUtf8(help.out));
    QVERIFY2(inHelp.contains(QStringLiteral("--help")), qPrintable(inHelp.join(u' ')));
    QCOMPARE(manualSwitches(manual.out), inHelp);
}

// The service's configuration as the package seeds it, pointed at a
// simulated register; the unpacked server prints one receipt with it.
void TestPackage::receiptThroughTheUnpackedServer() {
    QTemporaryDir home;
    const QString server = home.filePath(QStringLiteral("server"));
    QVERIFY(QDir().mkpath(server));
    const QString link = home.filePath(QStringLiteral("ecr"));
    const QString paper = home.filePath(QStringLiteral("paper.txt"));
    QByteArray ini = readAll(root() + QStringLiteral("/usr/share/norvvelm/NorvVelm.ini"));
    QVERIFY(ini.contains("\nServerDir=/var/spool/norvvelm\n") && ini.contains("\nCom1=/dev/ttyUSB0\n"));
    ini.replace("\nServerDir=/var/spool/norvvelm\n", QByteArray("\nServerDir=" + server.toUtf8() + '\n'));
    ini.replace("\nCom1=/dev/ttyUSB0\n", QByteArray("\nCom1=" + link.toUtf8() + '\n'));
    QVERIFY(writeAll(home.filePath(QStringLiteral("NorvVelm.ini")), ini));
    QVERIFY(QFile::copy(root() + QStringLiteral("/usr/share/norvvelm/FileExt.ini"),
                        home.filePath(QStringLiteral("FileExt.ini"))));

    EcrSimProcess sim(link);
    QVERIFY(sim.start({QStringLiteral("--paper"), paper}));
    QProcess daemon;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("NORVVELM_HOME"), home.path());
    daemon.setProcessEnvironment(env);
    QByteArray out;
    QByteArray err;
    connect(&daemon, &QProcess::readyReadStandardOutput, this,
            [&] { out += daemon.readAllStandardOutput(); });
    connect(&daemon, &QProcess::readyReadStandardError, this, [&] { err += daemon.readAllStandardError(); });
    daemon.start(EcrSimProcess::bin(QStringLiteral("norvvelmd")), {});
    QVERIFY(daemon.waitForStarted(5000));

    const QByteArray receipt = "3/S/REPARTO1//1/5.26/1/4/\r\n5/1/0.00/////\r\n";
    QVERIFY(writeAll(server + QStringLiteral("/scontrino.tmp"), receipt));
    QVERIFY(
        QFile::rename(server + QStringLiteral("/scontrino.tmp"), server + QStringLiteral("/scontrino.txt")));
    QTRY_VERIFY2_WITH_TIMEOUT(out.contains("PC -> ECR : 5/1/0.00/////\nECR        : 00/"), err.constData(),
                              15000);
    QVERIFY(!QFile::exists(server + QStringLiteral("/scontrino.txt")));
    QTRY_VERIFY_WITH_TIMEOUT(readAll(paper).contains("TOTALE"), 5000);
    QVERIFY(readAll(paper).contains("REPARTO1"));
    // The daily log is on, as shipped.
    QVERIFY(!QDir(server).entryList({QStringLiteral("scontrino.txt *.log")}, QDir::Files).isEmpty());

    daemon.terminate();
    QVERIFY(daemon.waitForFinished(15000));
    QCOMPARE(daemon.exitStatus(), QProcess::NormalExit);
    QCOMPARE(daemon.exitCode(), 0);
    QVERIFY(readAll(home.filePath(QStringLiteral("NorvVelm.ini"))).contains("[Current]"));
}

// A switch the server does not know must not start it live in place of
// test mode.
void TestPackage::mistypedSwitchRefused() {
    QTemporaryDir home;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("NORVVELM_HOME"), home.path());
    const Run r = run(EcrSimProcess::bin(QStringLiteral("norvvelmd")), {QStringLiteral("/TESTMOD")}, env);
    QCOMPARE(r.exitCode, 2);
    QVERIFY2(r.out.contains("unknown arguments: /TESTMOD"), r.out.constData());
}

// Installed, the hosts find the library in the private library folder, not
// beside themselves.
void TestPackage::pictureControlFromItsPrivateFolder() {
    QDirIterator it(root() + QStringLiteral("/usr/lib"), {QStringLiteral("libritra.so")}, QDir::Files,
                    QDirIterator::Subdirectories);
    QVERIFY(it.hasNext());
    QVERIFY(it.next().endsWith(QStringLiteral("/norvvelm/libritra.so")));
    QVERIFY(!QFile::exists(root() + QStringLiteral("/usr/bin/libritra.so")));
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("RITRA_LIBRARY"));
    const Run r = run(root() + QStringLiteral("/usr/bin/ritractl"),
                      {QStringLiteral("ObjectWidth"), QStringLiteral("StretchBitmap(\"\",16,8)")}, env);
    QVERIFY2(r.exitCode == 0, r.out.constData());
    QVERIFY2(r.out.contains("ObjectWidth = "), r.out.constData());
}

// The single register's unit, and an instance of the template that runs one
// of several: the same sandbox.
void TestPackage::unitVerifies_data() {
    QTest::addColumn<QString>("unitName");
    QTest::addColumn<QString>("instance"); // its name as systemd verifies it
    QTest::newRow("one register") << QStringLiteral("norvvelmd.service")
                                  << QStringLiteral("norvvelmd.service");
    QTest::newRow("one of several") << QStringLiteral("norvvelmd@.service")
                                    << QStringLiteral("norvvelmd@bar.service");
}

void TestPackage::unitVerifies() {
    QFETCH(QString, unitName);
    QFETCH(QString, instance);
    const QString analyze = QStandardPaths::findExecutable(QStringLiteral("systemd-analyze"));
    if (analyze.isEmpty())
        QSKIP("systemd-analyze is not installed");
    QDirIterator it(root(), {unitName}, QDir::Files, QDirIterator::Subdirectories);
    QVERIFY(it.hasNext());
    QByteArray unit = readAll(it.next());
    // The unit names the installed program; here it is the unpacked one.
    QVERIFY(unit.contains("\nExecStart=/usr/bin/norvvelmd\n"));
    unit.replace("\nExecStart=/usr/bin/norvvelmd\n",
                 QByteArray("\nExecStart=" + root().toUtf8() + "/usr/bin/norvvelmd\n"));
    QTemporaryDir dir;
    const QString copy = dir.filePath(instance);
    QVERIFY(writeAll(copy, unit));
    // It reads the unit's manual page too: the package's own.
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("MANPATH"), root() + QStringLiteral("/usr/share/man"));
    const Run r = run(analyze, {QStringLiteral("verify"), copy}, env);
    // Complaints about other units of this machine are not ours.
    QStringList ours;
    for (const QString &line : QString::fromUtf8(r.out).split(u'\n'))
        if (line.contains(QStringLiteral("norvvelmd")))
            ours << line;
    QVERIFY2(ours.isEmpty(), qPrintable(ours.join(u'\n')));
    QVERIFY2(r.exitCode == 0, r.out.constData());

    // The sandbox opens only what the HTTP interface needs: Internet sockets
    // and the host's network, allowed to localhost alone. Any other exposure
    // systemd finds is a weakening.
    const Run sec = run(analyze, {QStringLiteral("security"), QStringLiteral("--offline=true"), copy}, env);
    static const QStringList allowed{
        // What the print server needs of its own: its serial port through the
        // dialout group, the system's root, the usual system calls.
        QStringLiteral("SystemCallFilter=~@resources"), QStringLiteral("RootDirectory=/RootImage="),
        QStringLiteral("SupplementaryGroups="), QStringLiteral("PrivateDevices="),
        QStringLiteral("DeviceAllow="), QStringLiteral("PrivateMounts="), QStringLiteral("PrivateUsers="),
        QStringLiteral("UMask="), QStringLiteral("RestrictAddressFamilies=~AF_UNIX"),
        // The HTTP interface on loopback.
        QStringLiteral("RestrictAddressFamilies=~AF_(INET|INET6)"), QStringLiteral("PrivateNetwork="),
        QStringLiteral("IPAddressDeny=")};
    QStringList exposed;
    for (const QString &line : QString::fromUtf8(sec.out).split(u'\n')) {
        const QString l = line.trimmed();
        if (!l.startsWith(QStringLiteral("\u2717")))
            continue;
        const QString setting = l.mid(1).trimmed().section(u' ', 0, 0);
        if (!allowed.contains(setting))
            exposed << l;
    }
    QVERIFY2(exposed.isEmpty(), qPrintable(exposed.join(u'\n')));
}

// As the package installs the service, in a scratch root: its user and
// the group that reads its key (sysusers), its home that the group only
// passes through, and the key's file, empty, that the group alone reads
// (tmpfiles); run again, as at every start, it mends the key's mode.
void TestPackage::keyReadByItsGroupAlone() {
    const QString sysusers = QStandardPaths::findExecutable(QStringLiteral("systemd-sysusers"));
    const QString tmpfiles = QStandardPaths::findExecutable(QStringLiteral("systemd-tmpfiles"));
    if (sysusers.isEmpty() || tmpfiles.isEmpty())
        QSKIP("systemd-sysusers or systemd-tmpfiles is not installed");
    if (::geteuid() != 0)
        QSKIP("files of another user are made by root alone");
    QTemporaryDir scratch;
    QVERIFY(QDir().mkpath(scratch.filePath(QStringLiteral("etc"))));
    const QString inRoot = QStringLiteral("--root=") + scratch.path();
    Run r = run(sysusers, {inRoot, root() + QStringLiteral("/usr/lib/sysusers.d/norvvelm.conf")});
    QVERIFY2(r.exitCode == 0, r.out.constData());
    uint group = 0;
    for (const QByteArray &line : readAll(scratch.filePath(QStringLiteral("etc/group"))).split('\n')) {
        if (line.startsWith("norvvelm-api:")) {
            QVERIFY(line.endsWith(':')); // nobody is a member yet, the service neither
            group = line.split(':').value(2).toUInt();
        }
    }
    QVERIFY(group != 0);
    const QStringList create{QStringLiteral("--create"), inRoot,
                             root() + QStringLiteral("/usr/lib/tmpfiles.d/norvvelm.conf")};
    r = run(tmpfiles, create);
    QVERIFY2(r.exitCode == 0, r.out.constData());
    const auto mode = [](const QString &path) {
        return QFile::permissions(path) & ~(QFile::ReadUser | QFile::WriteUser | QFile::ExeUser);
    };
    const QString home = scratch.filePath(QStringLiteral("var/lib/norvvelm"));
    const QString key = home + QStringLiteral("/NorvVelm.token");
    QCOMPARE(QFileInfo(home).groupId(), group);
    QCOMPARE(mode(home), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ExeGroup);
    QCOMPARE(QFileInfo(key).groupId(), group);
    QCOMPARE(QFileInfo(key).size(), 0);
    QCOMPARE(mode(key), QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup);
    QVERIFY(QFile::setPermissions(key, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadOther));
    r = run(tmpfiles, create);
    QVERIFY2(r.exitCode == 0, r.out.constData());
    QCOMPARE(mode(key), QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup);
}

void TestPackage::lintianFindsNoError() {
    const QString lintian = QStandardPaths::findExecutable(QStringLiteral("lintian"));
    if (lintian.isEmpty())
        QSKIP("lintian is not installed");
    const Run r = run(lintian, {QStringLiteral("--fail-on"), QStringLiteral("error"),
                                packageDir() + QStringLiteral("/norvvelm.deb")});
    const QString report = QString::fromUtf8(r.out);
    for (const QString &line : report.split(u'\n'))
        if (line.startsWith(QStringLiteral("W: ")))
            qInfo("%s", qPrintable(line));
    QVERIFY2(
        !report.contains(QRegularExpression(QStringLiteral("^E: "), QRegularExpression::MultilineOption)),
        qPrintable(report));
    QVERIFY2(r.exitCode == 0, qPrintable(report));
}

QTEST_GUILESS_MAIN(TestPackage)
#include "tst_package.moc"
