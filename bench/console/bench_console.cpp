// Operator console figures, one "name: value" a line, against the simulated
// register answering at once over a pty:
//   ms_key_press_round_trip       one register key with its display read,
//                                 less the 100 ms pause the key makes by design
//   max_ms_event_gap_during_keys  the longest the event loop goes unserved
//                                 while keys are pressed

#include "benchsupport/PtyRegister.h"
#include "commands/Prompter.h"
#include "commands/Runner.h"
#include "commands/Session.h"
#include "console/OperatorConsole.h"
#include "console/RegisterKeys.h"
#include "link/SerialComPort.h"
#include "link/SerialFunz2.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <cstdio>

using namespace norvvelm;

namespace {
class QuietPrompter final : public Prompter {
public:
    void message(const QString &, const QString &, Icon) override {}
    Answer ask(const QString &, const QString &, Icon, Buttons, Answer, Answer safe) override { return safe; }
};
} // namespace

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    PtyRegister sim;
    sim.start();

    SerialComPort port;
    RealClock clock;
    SerialFunz2 link(port, clock, [] { QCoreApplication::processEvents(); });
    if (!link.OpenComPort(sim.link(), 115200)) {
        fprintf(stderr, "bench_console: no simulated register\n");
        return 1;
    }
    Session session;
    Runner runner(session, link);
    QuietPrompter prompter;
    OperatorConsole console(session, link, runner, prompter);

    // The event loop's heartbeat while keys are pressed.
    QElapsedTimer beat;
    qint64 last = -1;
    qint64 maxGap = 0;
    QTimer heart;
    heart.setInterval(1);
    QObject::connect(&heart, &QTimer::timeout, [&] {
        const qint64 now = beat.nsecsElapsed();
        if (last >= 0)
            maxGap = std::max(maxGap, now - last);
        last = now;
    });

    const int digit = 18; // "1"
    const int presses = 40;
    console.cmdECR_Click(digit); // warm up
    beat.start();
    heart.start();
    QElapsedTimer t;
    t.start();
    for (int i = 0; i < presses; ++i) {
        console.cmdECR_Click(i % 2 ? 7 : digit); // a digit, then Clear
        QCoreApplication::processEvents();
    }
    const double perKey = double(t.nsecsElapsed()) / 1e6 / presses - kKeyPauseMs;
    heart.stop();
    printf("ms_key_press_round_trip: %.2f\n", perKey);
    printf("max_ms_event_gap_during_keys: %.2f\n", double(maxGap) / 1e6);
    link.CloseComPort();
    return 0;
}
