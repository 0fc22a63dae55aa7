// Register detection figures, one "name: value" a line:
//   detect_8_ports_ms  looking for registers on 8 pseudo-terminals, one with the
//                      simulated register, seven silent, at the configuration
//                      tab's three speeds

#include "benchsupport/PtyRegister.h"
#include "link/Clock.h"
#include "link/SerialComPort.h"
#include "shell/MainWindowLogic.h"
#include "shell/RegisterDetection.h"
#include "support/RawPty.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <cstdio>

using namespace norvvelm;

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    PtyRegister reg;
    if (!reg.start()) {
        std::fprintf(stderr, "bench_detect: ecrsim did not start\n");
        return 1;
    }
    RawPty silent[7]; // silent lines: nobody answers on them
    QStringList devices{reg.link()};
    for (RawPty &p : silent) {
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
