// Register detection figures, one "name: value" a line:
//   detect_8_ports_ms  looking for registers on 8 pseudo-terminals, one with the
//                      simulated register, seven silent, at the configuration
//                      tab's three speeds

#include "benchsupport/PtyRegister.h"
#include "link/Clock.h"
#include "link/SerialComPort.h"
#include "shell/MainWindowLogic.h"
#include "shell/RegisterDetection.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <cstdio>
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

using namespace norvvelm;

namespace {

// A silent line: a pseudo-terminal nobody answers on, its slave kept open raw.
struct SilentPty {
    int master = -1;
    int slaveFd = -1;
    QString slave;
    bool open() {
        master = posix_openpt(O_RDWR | O_NOCTTY);
        if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0)
            return false;
        slave = QString::fromLocal8Bit(ptsname(master));
        slaveFd = ::open(ptsname(master), O_RDWR | O_NOCTTY);
        termios t{};
        if (slaveFd < 0 || tcgetattr(slaveFd, &t) != 0)
            return false;
        cfmakeraw(&t);
        return tcsetattr(slaveFd, TCSANOW, &t) == 0;
    }
    ~SilentPty() {
        if (slaveFd >= 0)
            ::close(slaveFd);
        if (master >= 0)
            ::close(master);
    }
};

} // namespace

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    PtyRegister reg;
    if (!reg.start()) {
        std::fprintf(stderr, "bench_detect: ecrsim did not start\n");
        return 1;
    }
    SilentPty silent[7];
    QStringList devices{reg.link()};
    for (SilentPty &p : silent) {
        if (!p.open()) {
            std::fprintf(stderr, "bench_detect: no pseudo-terminal\n");
            return 1;
        }
        devices.append(p.slave);
    }
    RealClock clock;
    RegisterDetection detection(clock, [] { return std::make_unique<SerialComPort>(); });
    QElapsedTimer timer;
    timer.start();
    const QList<DetectedPort> found =
        detection.DetectRegisters(devices, RegisterDetection::SpeedsFromNames(mainwindow::SpeedNames()));
    const qint64 ms = timer.elapsed();
    if (found.isEmpty() || !found.first().found()) {
        std::fprintf(stderr, "bench_detect: the register was not found\n");
        return 1;
    }
    std::printf("detect_8_ports_ms: %lld\n", static_cast<long long>(ms));
    return 0;
}
