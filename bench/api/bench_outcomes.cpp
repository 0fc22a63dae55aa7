// The outcome store of the home folder when it holds all it keeps, one
// "name: value" a line:
//   ms_outcome_put_full_store  one outcome put (queued, printing, printed in turn)
//                              into a store of 10,000, synced to disk each

#include "api/OutcomeStore.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <cstdio>

using namespace norvvelm;

namespace {
ReceiptOutcome outcome(int n, const QString &state, const QDateTime &now) {
    ReceiptOutcome o;
    o.id = QStringLiteral("R") + QString::number(n);
    o.key = QStringLiteral("k") + QString::number(n);
    o.source = QStringLiteral("api");
    o.state = state;
    o.lines = {QStringLiteral("3/S/A//1/0.10/1//"), QStringLiteral("5/1/")};
    o.accepted = now;
    return o;
}
} // namespace

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    OutcomeStore store(dir.filePath(OutcomeStore::fileName()));
    const QDateTime now = QDateTime::currentDateTime();
    if (!store.open(now))
        return 1;
    for (int i = 0; i < OutcomeStore::kKept; ++i)
        store.put(outcome(i, QStringLiteral("printed"), now), "digest", now);
    constexpr int kReceipts = 200;
    QElapsedTimer t;
    t.start();
    for (int i = OutcomeStore::kKept; i < OutcomeStore::kKept + kReceipts; ++i) {
        for (const char *state : {"queued", "printing", "printed"})
            store.put(outcome(i, QString::fromLatin1(state), now), "digest", now);
    }
    std::printf("ms_outcome_put_full_store: %.3f\n", double(t.nsecsElapsed()) / 1e6 / (3 * kReceipts));
    return store.size() == OutcomeStore::kKept ? 0 : 1;
}
