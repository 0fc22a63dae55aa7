#include "q520driver/Q520Driver.h"
#include "q520driver/Q520Window.h"
#include "support/FakeRegister.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

using namespace q520;

class TestQ520Window : public QObject {
    Q_OBJECT
private slots:
    void captionAndButtons();
    void openFiles();
};

namespace {
QMap<QString, bool> enabled(const Window &w) {
    QMap<QString, bool> out;
    for (const char *name : {"cmdAvvia", "cmdFerma", "cmdApriIni", "cmdApriLog"})
        out[QLatin1String(name)] = w.findChild<QPushButton *>(QLatin1String(name))->isEnabled();
    return out;
}
const QMap<QString, bool> kStopped{{QStringLiteral("cmdAvvia"), true},
                                   {QStringLiteral("cmdFerma"), false},
                                   {QStringLiteral("cmdApriIni"), true},
                                   {QStringLiteral("cmdApriLog"), true}};
const QMap<QString, bool> kRunning{{QStringLiteral("cmdAvvia"), false},
                                   {QStringLiteral("cmdFerma"), true},
                                   {QStringLiteral("cmdApriIni"), false},
                                   {QStringLiteral("cmdApriLog"), false}};
} // namespace

void TestQ520Window::captionAndButtons() {
    QTemporaryDir dir;
    FakeRegister reg;
    ScriptedPrompter prompter;
    Driver driver(dir.path(), &reg, &prompter);
    Window w(&driver, &prompter, false);
    QVERIFY(w.windowTitle().startsWith(QStringLiteral("Driver Q520 - Versione : ")));
    QCOMPARE(w.windowTitle().count(u'.'), 2);
    QCOMPARE(enabled(w), kStopped);

    // no settings file: the first check fails and nothing changes
    QTest::mouseClick(w.findChild<QPushButton *>(QStringLiteral("cmdAvvia")), Qt::LeftButton);
    QCOMPARE(prompter.texts, QStringList{QStringLiteral("Nome file scontrino non impostato")});
    QCOMPARE(enabled(w), kStopped);

    QFile ini(dir.filePath(QStringLiteral("DriverQ520.ini")));
    QVERIFY(ini.open(QIODevice::WriteOnly));
    ini.write("[Parametri]\nNomeFileScontrino=s.txt\n");
    ini.close();
    QTest::mouseClick(w.findChild<QPushButton *>(QStringLiteral("cmdAvvia")), Qt::LeftButton);
    QVERIFY(driver.isRunning());
    QCOMPARE(enabled(w), kRunning);
    QTest::mouseClick(w.findChild<QPushButton *>(QStringLiteral("cmdFerma")), Qt::LeftButton);
    QVERIFY(!driver.isRunning());
    QVERIFY(!reg.isOpen());
    QCOMPARE(enabled(w), kStopped);
}

void TestQ520Window::openFiles() {
    QTemporaryDir dir;
    FakeRegister reg;
    ScriptedPrompter prompter;
    Driver driver(dir.path() + QStringLiteral("/home"), &reg, &prompter);
    Window w(&driver, &prompter, false);
    QStringList opened;
    w.openFile = [&](const QString &path) {
        opened.append(path);
        return true;
    };
    w.openIniFile(); // a missing settings file is created with its keys, then opened
    const QString iniPath = dir.filePath(QStringLiteral("home/DriverQ520.ini"));
    QCOMPARE(opened, QStringList{iniPath});
    QFile ini(iniPath);
    QVERIFY(ini.open(QIODevice::ReadOnly));
    QVERIFY(ini.readAll().startsWith("[Parametri]\nNomeFileScontrino=\n"));

    w.openLogFile(); // no log yet: said, not opened
    QCOMPARE(opened.size(), 1);
    QCOMPARE(prompter.texts.size(), 1);
    QVERIFY(prompter.texts.front().startsWith(QStringLiteral("File di log non presente : ")));
}

QTEST_MAIN(TestQ520Window)
#include "tst_q520window.moc"
