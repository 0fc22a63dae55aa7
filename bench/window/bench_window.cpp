// Window figures, one "name: value" a line:
//   ms_startup_to_window   NorvVelm started until its window is shown, against
//                          the simulated register over a pty (median of 5), less
//                          the 100 ms start-up waits by design

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

QString bin(const QString &name) {
    return QCoreApplication::applicationDirPath() + u'/' + name;
}

// One start of the window; -1 when it did not show.
double startOnce() {
    QTemporaryDir home;
    const QString link = home.filePath(QStringLiteral("ecr"));
    QProcess sim;
    sim.setStandardErrorFile(QProcess::nullDevice());
    sim.start(bin(QStringLiteral("ecrsim")), {QStringLiteral("--pty"), link});
    if (!sim.waitForStarted(5000))
        return -1;
    for (int i = 0; i < 500 && !QFileInfo::exists(link); ++i)
        QThread::msleep(10);
    QDir().mkpath(home.filePath(QStringLiteral("server")));
    QFile ini(home.filePath(QStringLiteral("NorvVelm.ini")));
    if (!ini.open(QIODevice::WriteOnly))
        return -1;
    ini.write("[Parametri]\r\nModello=Norv ONe\r\nPorta=1\r\nVelocita=9600\r\nServerStato=On\r\nServerDir=" +
              home.filePath(QStringLiteral("server")).toUtf8() +
              "\r\nServerFile=scontrino.txt\r\n[Porte]\r\nCom1=" + link.toUtf8() + "\r\n");
    ini.close();

    QProcess window;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("NORVVELM_HOME"), home.path());
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    window.setProcessEnvironment(env);
    window.setStandardOutputFile(QProcess::nullDevice());
    QByteArray err;
    QElapsedTimer t;
    t.start();
    window.start(bin(QStringLiteral("NorvVelm")), {});
    double ms = -1;
    while (t.elapsed() < 15000 && window.state() != QProcess::NotRunning) {
        window.waitForReadyRead(20);
        err += window.readAllStandardError();
        if (err.contains("window ")) {
            ms = double(t.nsecsElapsed()) / 1e6 - 100.0;
            break;
        }
    }
    window.terminate();
    if (!window.waitForFinished(5000))
        window.kill();
    sim.terminate();
    sim.waitForFinished(3000);
    return ms;
}

} // namespace

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    std::vector<double> runs;
    for (int i = 0; i < 5; ++i) {
        const double ms = startOnce();
        if (ms < 0) {
            std::fprintf(stderr, "bench_window: the window did not show\n");
            return 1;
        }
        runs.push_back(ms);
    }
    std::sort(runs.begin(), runs.end());
    std::printf("ms_startup_to_window: %.0f\n", runs[runs.size() / 2]);
    return 0;
}
