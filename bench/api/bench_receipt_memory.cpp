// Memory of the money path over a long run, one "name: value" a line:
//   kb_rss_growth_10k_to_100k   resident memory after receipt 100,000 less that after
//                               receipt 10,000 (flat: nothing kept per receipt for good)
//   kb_heap_growth_10k_to_100k  the same of the live allocations alone: the resident
//                               figure also holds the allocator's scraps and the pages
//                               of code run for the first time (the outcome store's
//                               first rewrite, the day's second log file)
//   kb_rss_at_10k               resident memory after receipt 10,000, for scale
//   receipts_per_second_memory  receipts through the whole run
//
// 100,000 three-line receipts go through the real receipt queue with its
// journal, the executor, the link protocol and the API's receipt book with
// its outcome store, in a temporary home, against the simulated register in
// memory on virtual time. Every other receipt is a request of the API, the
// others come from receipt files. The receipts are handed to the executor and
// the book directly, not through the print server's ticks or HTTP, so that
// the run stays within a couple of minutes. The home lies in /dev/shm where there is one: the
// journal and the store sync every receipt, and what is measured here is
// memory, not the disk.
//
// The simulated link records every command it carried out, for tests; that is
// the rig's memory, not the program's, so its in-memory end is made anew
// every thousand receipts, between two receipts, while nothing is on the line.

#include "api/QueueReceiptBook.h"
#include "commands/Executor.h"
#include "commands/Prompter.h"
#include "commands/ReceiptJournal.h"
#include "commands/Session.h"
#include "ecrsim/Register.h"
#include "ecrsim/SimLink.h"
#include "link/SerialFunz2.h"
#include "support/ConfigEdit.h"
#include "support/SimComPort.h"
#include "support/VirtualClock.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <cstdio>
#include <memory>

#include <malloc.h>
#include <unistd.h>

using namespace norvvelm;

namespace {

constexpr int kReceipts = 100000;
constexpr int kFirstLook = 10000;
constexpr int kFreshLinkEvery = 1000;
constexpr qint64 kMsPerReceipt = 900; // virtual time a receipt takes, door to door

// Resident memory in KiB, once the allocator has handed back what it holds
// free: what the program keeps, not what it once used.
long residentKb() {
    malloc_trim(0);
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return -1;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.size() < 2 ? -1 : fields.at(1).toLong() * (sysconf(_SC_PAGESIZE) / 1024);
}

// What the program's live allocations take, in KiB.
long heapKb() {
    return long(mallinfo2().uordblks / 1024);
}

class QuietPrompter final : public Prompter {
public:
    void message(const QString &, const QString &, Icon) override {}
    Answer ask(const QString &, const QString &, Icon, Buttons, Answer, Answer safe) override { return safe; }
};

// The in-memory port of the tests, over a simulated link that can be made
// anew while the line is quiet.
class FreshPort final : public ComPort {
public:
    FreshPort(ecrsim::Register &reg, testsupport::VirtualClock &clock) : m_reg(reg), m_clock(clock) {
        renew();
    }
    void renew() {
        const bool wasOpen = m_port && m_port->isOpen();
        m_port.reset();
        m_link = std::make_unique<ecrsim::SimLink>(m_reg);
        m_port = std::make_unique<testsupport::SimComPort>(*m_link, m_clock);
        if (wasOpen)
            m_port->open(m_device, m_speed);
    }
    bool open(const QString &device, qint32 speed) override {
        m_device = device;
        m_speed = speed;
        return m_port->open(device, speed);
    }
    void close() override { m_port->close(); }
    bool isOpen() const override { return m_port->isOpen(); }
    bool writeByte(quint8 byte) override { return m_port->writeByte(byte); }
    bool readByte(quint8 &byte) override { return m_port->readByte(byte); }
    qint64 bytesQueued() override { return m_port->bytesQueued(); }
    bool waitForData(int ms) override { return m_port->waitForData(ms); }
    void purge() override { m_port->purge(); }

private:
    ecrsim::Register &m_reg;
    testsupport::VirtualClock &m_clock;
    std::unique_ptr<ecrsim::SimLink> m_link;
    std::unique_ptr<testsupport::SimComPort> m_port;
    QString m_device;
    qint32 m_speed = 0;
};

QStringList receiptLines(int n) {
    const QString tag = QString::number(n);
    return {QStringLiteral("3/S/ART-%1//1/0.10/1//").arg(tag),
            QStringLiteral("3/S/BIS-%1//2/0.25/1//").arg(tag), QStringLiteral("5/1/////")};
}

} // namespace

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    const QString shm = QStringLiteral("/dev/shm");
    QTemporaryDir home(QDir(shm).exists() && QFileInfo(shm).isWritable()
                           ? shm + QStringLiteral("/bench_receipt_memory-XXXXXX")
                           : QDir::tempPath() + QStringLiteral("/bench_receipt_memory-XXXXXX"));
    if (!home.isValid())
        return 1;

    ecrsim::Register reg;
    testsupport::VirtualClock clock;
    FreshPort port(reg, clock);
    SerialFunz2 link(port, clock, [] {});
    if (!link.OpenComPort(QStringLiteral("/dev/sim"), 9600))
        return 1;
    const QDateTime start(QDate(2026, 12, 7), QTime(8, 0));
    Session session;
    session.setNow([&] { return start.addMSecs(clock.nowMs()); });
    session.settings().setProgramDir(home.path());
    session.settings().setLogEnabled(true);
    session.monitor().setMonitorEnabled(true);
    testsupport::editConfig(session, [&](PcConfig &c) {
        c.ServerDir = home.path();
        c.identity.sn = QStringLiteral("NV42");
    });
    QuietPrompter prompter;
    Executor executor(session, link, prompter);
    ReceiptJournal journal(home.filePath(ReceiptJournal::fileName()));
    if (!journal.start({}))
        return 1;
    executor.setJournal(&journal);
    QueueReceiptBook book(session, executor);
    if (!book.open(home.path()))
        return 1;

    long atFirstLook = -1;
    long heapAtFirstLook = -1;
    QElapsedTimer t;
    t.start();
    for (int i = 1; i <= kReceipts; ++i) {
        const QStringList lines = receiptLines(i);
        if (i % 2 == 0) {
            const QString key = QStringLiteral("till-") + QString::number(i);
            const QByteArray hash =
                QCryptographicHash::hash(lines.join(u'\n').toUtf8(), QCryptographicHash::Sha256);
            ReceiptHistory told;
            if (book.submit(key, hash, lines, told) != ReceiptBook::Submit::Accepted)
                return 1;
        } else if (!executor.enqueue(
                       lines, {},
                       ReceiptSource{ReceiptSource::Kind::File, QStringLiteral("scontrino.txt"), {}})) {
            return 1;
        }
        executor.ExecuteReceiptQueue();
        if (!executor.state().idle())
            return 1;
        clock.advance(kMsPerReceipt);
        QCoreApplication::processEvents();
        if (i % kFreshLinkEvery == 0)
            port.renew();
        if (i == kFirstLook) {
            atFirstLook = residentKb();
            heapAtFirstLook = heapKb();
        }
    }
    const double seconds = double(t.nsecsElapsed()) / 1e9;
    const long atEnd = residentKb();
    const long heapAtEnd = heapKb();
    const std::optional<ReceiptHistory> last = book.find(ReceiptIdText(quint64(kReceipts)));
    if (!last || last->outcome != OutcomeState::Printed || reg.paper().printed() < kReceipts)
        return 1;
    std::printf("kb_rss_growth_10k_to_100k: %ld\n", atEnd - atFirstLook);
    std::printf("kb_heap_growth_10k_to_100k: %ld\n", heapAtEnd - heapAtFirstLook);
    std::printf("kb_rss_at_10k: %ld\n", atFirstLook);
    std::printf("receipts_per_second_memory: %.0f\n", kReceipts / seconds);
    return 0;
}
