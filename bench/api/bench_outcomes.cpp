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
ReceiptHistory outcome(int n, OutcomeState state, const QDateTime &now) {
    ReceiptHistory o;
    o.id = quint64(n + 1);
    o.source = {ReceiptSource::Kind::Request, QStringLiteral("k") + QString::number(n), "digest"};
    o.outcome = state;
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
    for (int i = 0; i < OutcomeStore::kKept; ++i) {
        if (!store.put(outcome(i, OutcomeState::Printed, now), now))
            return 1;
    }
    constexpr int kReceipts = 200;
    QElapsedTimer t;
    t.start();
    for (int i = OutcomeStore::kKept; i < OutcomeStore::kKept + kReceipts; ++i) {
        for (const OutcomeState state :
             {OutcomeState::Queued, OutcomeState::Printing, OutcomeState::Printed}) {
            if (!store.put(outcome(i, state, now), now))
                return 1;
        }
    }
    std::printf("ms_outcome_put_full_store: %.3f\n", double(t.nsecsElapsed()) / 1e6 / (3 * kReceipts));
    return store.size() == OutcomeStore::kKept ? 0 : 1;
}
