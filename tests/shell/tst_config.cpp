// Configuration files on disk: NorvVelm.ini, FileExt.ini, the password store.

#include "shell/Config.h"
#include "shell/ProfileFile.h"
#include "support/TestFiles.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace norvvelm;

using testsupport::readFile;
using testsupport::writeFile;

class TestConfig : public QObject {
    Q_OBJECT
private slots:
    void profileReadRules();
    void profileWriteKeepsOtherLines();
    void profileWriteAddsKeyAndSection();
    void load_data();
    void load();
    void loadStopsAtMissingModelOrPort();
    void loadBadSpeedGoesOn();
    void forbidden_data();
    void forbidden();
    void forbiddenMatching();
    void saveOrderAndValues();
    void currentSection();
    void portDevice();
    void modelTable();
    void passwordStore();
};

void TestConfig::profileReadRules() {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("p.ini"));
    writeFile(path, "; comment\r\n[Parametri]\r\n  porta =  COM1  \r\nName=\"quoted value\"\r\n"
                    "[parametri]\r\nPorta=9\r\n[Other]\r\nkey=x\r\n");
    const ProfileFile ini(path);
    // Section and key ignore letter case; the first section wins.
    QCOMPARE(ini.getString(QStringLiteral("PARAMETRI"), QStringLiteral("Porta"), {}, 255),
             QStringLiteral("COM1"));
    // The buffer size cuts the value to size - 1 characters.
    QCOMPARE(ini.getString(QStringLiteral("Parametri"), QStringLiteral("Porta"), {}, 3),
             QStringLiteral("CO"));
    QCOMPARE(ini.getString(QStringLiteral("Parametri"), QStringLiteral("name"), {}, 64),
             QStringLiteral("quoted value"));
    QCOMPARE(ini.getString(QStringLiteral("Parametri"), QStringLiteral("missing"), QStringLiteral("dflt"), 3),
             QStringLiteral("df"));
    QCOMPARE(ini.getString(QStringLiteral("Nope"), QStringLiteral("key"), QStringLiteral("d"), 10),
             QStringLiteral("d"));
    QCOMPARE(ini.getString(QStringLiteral("Other"), QStringLiteral("key"), {}, 10), QStringLiteral("x"));
    // A missing file reads as defaults.
    QCOMPARE(ProfileFile(dir.filePath(QStringLiteral("none.ini")))
                 .getString(QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("z"), 10),
             QStringLiteral("z"));
}

void TestConfig::profileWriteKeepsOtherLines() {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("p.ini"));
    const QByteArray before =
        "; kept comment\r\n[Intestazioni]\r\nRiga1=Caff\xe8 Roma\r\n\r\n"
        "[Parametri]\r\nMODELLO=DLm\r\nPorta=1\r\nunknown line\r\n\r\n[Messaggi]\r\nM1=ciao\r\n";
    writeFile(path, before);
    QVERIFY(ProfileFile(path).writeString(QStringLiteral("parametri"), QStringLiteral("Modello"),
                                          QStringLiteral("Norv ONe")));
    QByteArray expected = before;
    expected.replace("MODELLO=DLm", "MODELLO=Norv ONe");
    // Windows-1252 text, line ends and every other line stay as they were.
    QCOMPARE(readFile(path), expected);
}

void TestConfig::profileWriteAddsKeyAndSection() {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("p.ini"));
    writeFile(path, "[Parametri]\nPorta=1\n\n[Messaggi]\nM1=x\n");
    const ProfileFile ini(path);
    QVERIFY(ini.writeString(QStringLiteral("Parametri"), QStringLiteral("Velocita"), QStringLiteral("9600")));
    QVERIFY(ini.writeString(QStringLiteral("Current"), QStringLiteral("SN"), QStringLiteral("NV1")));
    QCOMPARE(readFile(path), QByteArray("[Parametri]\nPorta=1\nVelocita=9600\n\n[Messaggi]\nM1=x\n\n"
                                        "[Current]\nSN=NV1\n"));
    // A new file is created.
    const QString fresh = dir.filePath(QStringLiteral("new.ini"));
    QVERIFY(ProfileFile(fresh).writeString(QStringLiteral("S"), QStringLiteral("k"), QStringLiteral("v")));
    QCOMPARE(readFile(fresh), QByteArray("[S]\nk=v\n"));
}

void TestConfig::load_data() {
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<int>("porta");
    QTest::addColumn<bool>("stato");
    QTest::addColumn<WindowMode>("modalita");
    QTest::addColumn<QString>("file");
    QTest::addColumn<bool>("wrap");
    QTest::addColumn<bool>("raw"); // ApiRigheDirette: off unless "On"
    // The values said at start as looking like they carry a comment.
    QTest::addColumn<QStringList>("commentLike");
    QTest::newRow("port 12") << QByteArray("Porta=12\nServerStato=on\nServerModalita=iconized\n") << 12
                             << true << WindowMode::Iconized << "scontrino.tx" << false << false
                             << QStringList();
    QTest::newRow("COM1 cut by the buffer")
        << QByteArray("Porta=COM1\nServerStato=yes\nServerModalita=Hidden\nServerFile=\nApiRigheDirette=1\n")
        << 0 << false << WindowMode::Normal << "scontrino.tx" << false << false << QStringList();
    QTest::newRow("all set") << QByteArray("Porta=2\nServerStato=ON\nServerModalita=VIRTUALECR\n"
                                           "ServerFile=ord*.txt\nWrapDescription=oN\nApiRigheDirette=ON\n")
                             << 2 << true << WindowMode::VirtualEcr << "ord*.txt" << true << true
                             << QStringList();
    // The text after = is all value, a comment too: it is kept, and said.
    QTest::newRow("inline comments")
        << QByteArray("Porta=2\nServerStato=On   ; the server runs\nServerFile=ord;1.txt\n"
                      "WrapDescription=On #split\n[Porte]\nCom2=/dev/ttyUSB0 ; the adapter\n")
        << 2 << false << WindowMode::Normal << "ord;1.txt" << false << false
        << QStringList{QStringLiteral("ServerStato=On   ; the server runs"),
                       QStringLiteral("WrapDescription=On #split"),
                       QStringLiteral("Com2=/dev/ttyUSB0 ; the adapter")};
}

void TestConfig::load() {
    QFETCH(QByteArray, body);
    QTemporaryDir dir;
    const QString ini = dir.filePath(QStringLiteral("NorvVelm.ini"));
    writeFile(ini, "[Parametri]\nModello=Unknown model\nVelocita=9600\n" + body);
    PcConfig cfg;
    ForbiddenExtensions ext;
    StatusTexts status;
    QVERIFY(LoadConfiguration(ini, dir.path(), cfg, ext, status));
    QTEST(cfg.Porta, "porta");
    QTEST(cfg.ServerStato, "stato");
    QTEST(cfg.ServerModalita, "modalita");
    QTEST(cfg.ServerFile, "file");
    QTEST(cfg.WrapDescription, "wrap");
    QTEST(cfg.ApiRigheDirette, "raw");
    QTEST(CommentLikeValues(ini), "commentLike");
    QCOMPARE(cfg.Velocita, 9600);
    QCOMPARE(cfg.ServerDir, dir.path()); // missing folder: the program's own
    QVERIFY(!cfg.ServerLog);
    QVERIFY(status.type.isEmpty());
    // A model the table does not know loads, selects nothing, widths stay 0.
    QCOMPARE(setupModelli().find(cfg.Modello), -1);
    QCOMPARE(cfg.DescrWidth1, 0);
}

void TestConfig::loadStopsAtMissingModelOrPort() {
    QTemporaryDir dir;
    const QString ini = dir.filePath(QStringLiteral("NorvVelm.ini"));
    PcConfig cfg;
    ForbiddenExtensions ext;
    StatusTexts status;
    // A fresh installation without the file stops at the model.
    QVERIFY(!LoadConfiguration(ini, dir.path(), cfg, ext, status));
    QCOMPARE(status.type, QStringLiteral("Errore Nei Parametri"));
    QCOMPARE(status.message, QStringLiteral("Tipo Modello non impostato"));
    // The programs that stop here name the file they looked for.
    QCOMPARE(ConfigurationFileNote(ini),
             QStringLiteral("file ") + ini +
                 QStringLiteral(" inesistente; NORVVELM_HOME sceglie la cartella"));

    writeFile(dir.filePath(QStringLiteral("FileExt.ini")), "[exe]\n");
    writeFile(ini, "[Parametri]\nModello=DLm\nVelocita=9600\nServerStato=On\n");
    QVERIFY(!LoadConfiguration(ini, dir.path(), cfg, ext, status));
    QCOMPARE(status.message, QStringLiteral("Porta di Comunicazione non impostata"));
    // Nothing after the failing key was read.
    QCOMPARE(cfg.Velocita, 0);
    QVERIFY(!cfg.ServerStato);
    QCOMPARE(ext.count(), 0);
}

void TestConfig::loadBadSpeedGoesOn() {
    QTemporaryDir dir;
    const QString ini = dir.filePath(QStringLiteral("NorvVelm.ini"));
    writeFile(ini, "[Parametri]\nModello=DLm\nPorta=1\nVelocita=fast\nServerLog=On\n");
    writeFile(dir.filePath(QStringLiteral("FileExt.ini")), "[velm]\n[log]\n");
    PcConfig cfg;
    ForbiddenExtensions ext;
    StatusTexts status;
    QVERIFY(LoadConfiguration(ini, dir.path(), cfg, ext, status));
    QCOMPARE(status.message, QStringLiteral("Velocit\u00e0 Comunicazione non impostata"));
    QCOMPARE(cfg.Velocita, 0);
    QVERIFY(cfg.ServerLog);
    QCOMPARE(ext.count(), 2);
}

void TestConfig::forbidden_data() {
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QStringList>("entries");
    QTest::newRow("one per line") << QByteArray("[exe]\r\n[ini]\r\nexe\r\n[]\r\n")
                                  << QStringList{"exe", "ini", "", ""};
    QTest::newRow("comma") << QByteArray("[exe],[bat]\n") << QStringList{"exe", "bat"};
    QTest::newRow("quoted comma") << QByteArray("\"[a,b]\",[c]\n") << QStringList{"a,b", "c"};
    QTest::newRow("blank line is an item") << QByteArray("[a]\n\n[b]") << QStringList{"a", "", "b"};
    QTest::newRow("first bracket") << QByteArray(" [x]y]\n[") << QStringList{"x", ""};
}

void TestConfig::forbidden() {
    QFETCH(QByteArray, content);
    QFETCH(QStringList, entries);
    const ForbiddenExtensions ext = ForbiddenExtensions::parse(content);
    QCOMPARE(ext.count(), entries.size());
    for (int i = 0; i < entries.size(); ++i)
        QCOMPARE(ext.entry(i + 1), entries[i]);
}

void TestConfig::forbiddenMatching() {
    QByteArray big;
    for (int i = 0; i < 6000; ++i)
        big += "[e" + QByteArray::number(i) + "]\n";
    const ForbiddenExtensions many = ForbiddenExtensions::parse(big);
    QCOMPARE(many.count(), 5000); // reading stops after item 5000
    QVERIFY(many.forbids(QStringLiteral("a.E4999")));
    QVERIFY(!many.forbids(QStringLiteral("a.e5000")));

    const ForbiddenExtensions ext = ForbiddenExtensions::parse("[velm]\n[LOG]\n");
    QVERIFY(ext.forbids(QStringLiteral("scontrino.txt.velm")));
    QVERIFY(ext.forbids(QStringLiteral("VELM 20261207.log")));
    QVERIFY(!ext.forbids(QStringLiteral("velm")));       // no extension
    QVERIFY(!ext.forbids(QStringLiteral("a.velm.txt"))); // only the last dot counts
}

void TestConfig::saveOrderAndValues() {
    QTemporaryDir dir;
    const QString ini = dir.filePath(QStringLiteral("NorvVelm.ini"));
    writeFile(ini, "[Intestazioni]\nR1=kept\n[Parametri]\nVelocita=9600\nExtra=kept\n");
    PcConfig cfg;
    cfg.IniPath = ini;
    StatusTexts status{QStringLiteral("t"), QStringLiteral("m")};
    ConfigForm form;
    form.model = QStringLiteral(" DLm ");
    form.port = QStringLiteral("Com12");
    form.speed = QStringLiteral("oops"); // does not replace a working speed
    form.server = true;
    form.mode = QStringLiteral("Iconized");
    form.folder = QStringLiteral("/srv/pos");
    form.file = QStringLiteral("*.txt");
    form.log = true;
    SaveConfiguration(form, cfg, status);
    QVERIFY(status.type.isEmpty() && status.message.isEmpty());
    QCOMPARE(cfg.Porta, 12);
    QCOMPARE(readFile(ini), QByteArray("[Intestazioni]\nR1=kept\n[Parametri]\nVelocita=9600\nExtra=kept\n"
                                       "Modello=DLm\nPorta=12\nServerStato=On\nServerModalita=Iconized\n"
                                       "ServerDir=/srv/pos\nServerFile=*.txt\nServerLog=On\n"
                                       "WrapDescription=Off\nAlIvaAuto=Off\nApiStato=On\n"));
    form.port = QStringLiteral("Co");
    form.speed = QStringLiteral("115200");
    SaveConfiguration(form, cfg, status);
    QCOMPARE(cfg.Porta, 0);
    QCOMPARE(cfg.Velocita, 115200);
    QCOMPARE(ProfileFile(ini).getString(QStringLiteral("Parametri"), QStringLiteral("Velocita"), {}, 10),
             QStringLiteral("115200"));
    // The technician's switch goes to the file alone, at once; the tab's
    // save leaves it as it is.
    QVERIFY(SaveApiRigheDirette(true, cfg, status));
    QVERIFY(cfg.ApiRigheDirette);
    SaveConfiguration(form, cfg, status);
    QVERIFY(readFile(ini).endsWith("ApiStato=On\nApiRigheDirette=On\n"));
    QVERIFY(cfg.ApiRigheDirette);
    // Not written: it stays as it was, and the panels say where.
    cfg.IniPath = dir.filePath(QStringLiteral("none/NorvVelm.ini"));
    QVERIFY(!SaveApiRigheDirette(false, cfg, status));
    QVERIFY(cfg.ApiRigheDirette);
    QVERIFY2(status.message.contains(cfg.IniPath), qPrintable(status.message));
}

void TestConfig::currentSection() {
    QTemporaryDir dir;
    const QString ini = dir.filePath(QStringLiteral("NorvVelm.ini"));
    writeFile(ini, "[Parametri]\nModello=DLm\n");
    WriteCurrentSection(
        ini, {QStringLiteral("72"), QStringLiteral("NV1"), QStringLiteral("1.02"), QStringLiteral("3")},
        QStringLiteral("1.0.0"));
    QCOMPARE(
        readFile(ini),
        QByteArray("[Parametri]\nModello=DLm\n\n[Current]\nCampo=72\nSN=NV1\nNum=3\nFW=1.02\nVelm=1.0.0\n"));
}

void TestConfig::portDevice() {
    QTemporaryDir dir;
    const QString ini = dir.filePath(QStringLiteral("NorvVelm.ini"));
    writeFile(ini, "[Porte]\ncom3=/tmp/ecr\n");
    QCOMPARE(PortDevice(ini, QStringLiteral("Com3")), QStringLiteral("/tmp/ecr"));
    QCOMPARE(PortDevice(ini, QStringLiteral("3")), QStringLiteral("/tmp/ecr"));
    QCOMPARE(PortDevice(ini, QStringLiteral("Com1")), QStringLiteral("/dev/ttyS0"));
    QCOMPARE(PortDevice(ini, QStringLiteral("Com12")), QStringLiteral("/dev/ttyS11"));
    QCOMPARE(PortDevice(ini, QStringLiteral("ComCO")), QString());
    QCOMPARE(PortDevice(ini, QStringLiteral("Com0")), QString());
}

void TestConfig::modelTable() {
    const ModelTable t = setupModelli();
    QCOMPARE(t.find(QStringLiteral("Norv ONe")), 0);
    QCOMPARE(t.find(QStringLiteral("DLm")), 1);
    QCOMPARE(t.find(QStringLiteral("dlm")), -1); // exact, case-sensitive
    QCOMPARE(t.find(QString()), -1);
    QCOMPARE(t.rows[0].descrWidth1, 20);
    QCOMPARE(t.rows[1].paymentRows, 10);
}

void TestConfig::passwordStore() {
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("settings.ini"));
    TechnicianPassword store(file);
    QCOMPARE(store.read(), QString());
    QVERIFY(store.write(QStringLiteral("Segreto")));
    QCOMPARE(TechnicianPassword(file).read(), QStringLiteral("Segreto"));
    QCOMPARE(QFile::permissions(file) &
                 (QFile::ReadGroup | QFile::ReadOther | QFile::WriteGroup | QFile::WriteOther),
             QFile::Permissions());
}

QTEST_GUILESS_MAIN(TestConfig)
#include "tst_config.moc"
