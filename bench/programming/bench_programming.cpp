// Register-programming figures, one "name: value" a line:
//   plu_read_per_second    PLUs read ("p/") over a pty from a register that answers at once
//   plu_write_per_second   PLUs written ("P/") the same way
//   ms_grid_9000_rows      the PLU page's grid filled by a read of 9000 PLUs (in memory, virtual time)
//   ms_grid_1000_rows      the same with 1000, for the growth

#include "benchsupport/PtyRegister.h"
#include "commands/Runner.h"
#include "commands/Session.h"
#include "ecrsim/Register.h"
#include "ecrsim/SimLink.h"
#include "link/SerialComPort.h"
#include "link/SerialFunz2.h"
#include "programming/PluTable.h"
#include "programming/WriteProcedure.h"
#include "programming/widgets/PluPage.h"
#include "support/ScriptedPrompter.h"
#include "support/SimComPort.h"
#include "support/VirtualClock.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QThread>

#include <cstdio>

using namespace norvvelm;

namespace {

constexpr int kPtyPlus = 300;

void print(const char *name, double value) {
    std::printf("%s: %.1f\n", name, value);
    std::fflush(stdout);
}

void overPty() {
    PtyRegister sim;
    if (!sim.start()) {
        std::fprintf(stderr, "bench_programming: ecrsim did not start\n");
        return;
    }
    SerialComPort port;
    RealClock clock;
    SerialFunz2 link(port, clock, [] { QCoreApplication::processEvents(); });
    if (!link.OpenComPort(sim.link(), 115200))
        return;
    Session session;
    session.settings().setProgramDir(sim.folder());
    Runner runner(session, link);
    testsupport::ScriptedPrompter prompter;
    WriteProcedure procedure({runner, session}, prompter);
    PluTable table(procedure, &link);

    QList<PluRow> rows;
    for (int n = 1; n <= kPtyPlus; ++n) {
        PluRow r;
        r[0] = QString::number(100000 + n);
        r[1] = QStringLiteral("ARTICOLO %1").arg(n);
        r[2] = QStringLiteral("1");
        r[4] = QStringLiteral("1.5");
        r[7] = QStringLiteral("00000000");
        rows << r;
    }
    QElapsedTimer t;
    t.start();
    for (int r = 0; r < rows.size(); ++r)
        runner.SendAndCheck(PluTable::writeCommand(r + 1, rows[r]));
    print("plu_write_per_second", kPtyPlus * 1000.0 / double(qMax<qint64>(1, t.elapsed())));
    t.restart();
    const int read = table.read({}, {});
    print("plu_read_per_second", read * 1000.0 / double(qMax<qint64>(1, t.elapsed())));
    link.CloseComPort();
}

double gridMs(int plus) {
    ecrsim::Register reg;
    for (int n = 1; n <= plus; ++n)
        reg.tables.plus.insert(
            n, {QString::number(100000 + n), QStringLiteral("ARTICOLO %1").arg(n), 1, "0", "00000000", 150});
    ecrsim::SimLink sim(reg);
    testsupport::VirtualClock clock;
    testsupport::SimComPort port(sim, clock);
    SerialFunz2 link(port, clock);
    link.OpenComPort(QStringLiteral("/dev/sim"), 9600);
    Session session;
    Runner runner(session, link);
    testsupport::ScriptedPrompter prompter;
    WriteProcedure procedure({runner, session}, prompter);
    PluPage page(procedure, &link);
    QElapsedTimer t;
    t.start();
    page.read();
    const double ms = double(t.nsecsElapsed()) / 1e6;
    if (page.grid()->rowCount() != plus)
        std::fprintf(stderr, "bench_programming: %d rows instead of %d\n", page.grid()->rowCount(), plus);
    return ms;
}

} // namespace

int main(int argc, char **argv) {
    QApplication app(argc, argv);
    overPty();
    print("ms_grid_9000_rows", gridMs(9000));
    print("ms_grid_1000_rows", gridMs(1000));
    return 0;
}
