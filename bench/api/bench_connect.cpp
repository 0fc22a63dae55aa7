// How soon a burst of new clients gets through to the local HTTP interface
// of the real norvvelmd (ecrsim on a pty behind it), one "name: value" a line:
//   ms_connect_p99_burst_1000  1,000 connections opened at once on loopback:
//                              from each connect() to its completion
// A listen queue too short for the burst drops the calls it cannot hold, and
// the kernel tries those again only after a second.

#include "benchsupport/PtyRegister.h"

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <vector>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

constexpr int kBurst = 1000;
constexpr int kGiveUpMs = 10000;

double nowMs() {
    return double(std::chrono::duration_cast<std::chrono::microseconds>(
                      std::chrono::steady_clock::now().time_since_epoch())
                      .count()) /
           1000.0;
}

quint16 freePort() {
    QTcpServer probe;
    return probe.listen(QHostAddress::LocalHost, 0) ? probe.serverPort() : 0;
}

bool answers(quint16 port) {
    QTcpSocket s;
    s.connectToHost(QStringLiteral("127.0.0.1"), port);
    if (!s.waitForConnected(1000))
        return false;
    s.write("GET /api/v1/status HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n");
    return s.waitForReadyRead(2000) && s.readAll().startsWith("HTTP/1.1 200");
}

struct Pending {
    int fd = -1;
    double started = 0;
};

// Looks at every pending connection for `waitMs` at most: those complete
// (or failed) leave `pending` with the time they took in `took`, their
// descriptor in `done`.
void sweep(std::vector<Pending> &pending, std::vector<double> &took, std::vector<int> &done, int waitMs) {
    std::vector<pollfd> fds;
    fds.reserve(pending.size());
    for (const Pending &p : pending)
        fds.push_back({p.fd, POLLOUT, 0});
    if (fds.empty() || ::poll(fds.data(), nfds_t(fds.size()), waitMs) <= 0)
        return;
    const double now = nowMs();
    std::vector<Pending> still;
    for (size_t i = 0; i < fds.size(); ++i) {
        if (fds[i].revents == 0) {
            still.push_back(pending[i]);
            continue;
        }
        int error = 0;
        socklen_t length = sizeof error;
        ::getsockopt(pending[i].fd, SOL_SOCKET, SO_ERROR, &error, &length);
        took.push_back(error == 0 ? now - pending[i].started : kGiveUpMs);
        done.push_back(pending[i].fd);
    }
    pending.swap(still);
}

// Opens `count` connections at once and returns how long each took to
// complete, in milliseconds (kGiveUpMs for one that never did). Those still
// pending are looked at after every connect(), so that the time a
// connection spends waiting for the others to be opened is not counted.
std::vector<double> burst(quint16 port, int count) {
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(port);
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    std::vector<Pending> pending;
    std::vector<double> took;
    std::vector<int> done;
    for (int i = 0; i < count; ++i) {
        const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
        if (fd < 0)
            break;
        const double t = nowMs();
        if (::connect(fd, reinterpret_cast<const sockaddr *>(&to), sizeof to) == 0) {
            took.push_back(nowMs() - t);
            done.push_back(fd);
        } else if (errno == EINPROGRESS) {
            pending.push_back({fd, t});
        } else {
            took.push_back(kGiveUpMs);
            ::close(fd);
        }
        sweep(pending, took, done, 0);
    }
    for (const double end = nowMs() + kGiveUpMs; !pending.empty() && nowMs() < end;)
        sweep(pending, took, done, 100);
    for (const Pending &p : pending) {
        took.push_back(kGiveUpMs);
        done.push_back(p.fd);
    }
    for (const int fd : done)
        ::close(fd);
    return took;
}

} // namespace

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    // Room for the burst's descriptors.
    rlimit files{};
    if (::getrlimit(RLIMIT_NOFILE, &files) == 0 && files.rlim_cur < files.rlim_max) {
        files.rlim_cur = files.rlim_max;
        ::setrlimit(RLIMIT_NOFILE, &files);
    }
    PtyRegister reg;
    QTemporaryDir home;
    const quint16 port = freePort();
    if (!reg.start() || port == 0) {
        std::fprintf(stderr, "bench_connect: no register or no free port\n");
        return 1;
    }
    QFile ini(home.filePath(QStringLiteral("NorvVelm.ini")));
    if (!ini.open(QIODevice::WriteOnly))
        return 1;
    ini.write("[Parametri]\r\nModello=Norv ONe\r\nPorta=1\r\nVelocita=9600\r\nServerStato=Off\r\nApiPorta=" +
              QByteArray::number(port) + "\r\n[Porte]\r\nCom1=" + reg.link().toUtf8() + "\r\n");
    ini.close();
    QProcess daemon;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("NORVVELM_HOME"), home.path());
    daemon.setProcessEnvironment(env);
    daemon.setStandardOutputFile(QProcess::nullDevice());
    daemon.setStandardErrorFile(QProcess::nullDevice());
    daemon.start(QCoreApplication::applicationDirPath() + QStringLiteral("/norvvelmd"), {});
    bool up = false;
    for (int i = 0; i < 500 && !up; ++i) {
        up = answers(port);
        if (!up)
            QThread::msleep(10);
    }
    int status = 1;
    if (up) {
        std::vector<double> took = burst(port, kBurst);
        std::sort(took.begin(), took.end());
        if (!took.empty()) {
            std::printf("ms_connect_p99_burst_1000: %.2f\n", took.at(size_t(double(took.size() - 1) * 0.99)));
            status = 0;
        }
    } else {
        std::fprintf(stderr, "bench_connect: the daemon did not come up\n");
    }
    daemon.terminate();
    if (!daemon.waitForFinished(15000))
        daemon.kill();
    return status;
}
